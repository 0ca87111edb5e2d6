#include "gui/pane/PaneFeed.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <utility>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include "gui/desktop/DescribingThreads.h"

namespace lmp::gui {

namespace {

// Files whose paths are looked up and handed to the service at once: enough to keep every worker busy
// while the window appends, few enough that a cancel has little to drop. Their outcomes are only lines.
constexpr std::size_t kInFlight = 1024;
// Work that ends sooner shows no busy cursor, so that a click on a small file does not flicker it.
constexpr int kCursorDelayMs = 100;

} // namespace

QString ErrorText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& thrown) {
        return QString::fromUtf8(thrown.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

int FrameIntervalMs()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal rate = screen != nullptr ? screen->refreshRate() : 0.0;
    // A screen that reports no rate, or an absurd one, is taken for the common 60 Hz.
    return rate >= 20.0 && rate <= 250.0 ? static_cast<int>(1000.0 / rate) : 16;
}

PaneFeed::PaneFeed(Sinks sinks, QObject* parent)
    : QObject(parent), sinks_(std::move(sinks)),
      client_(std::make_unique<DescribeService::Client>(DescribingThreads::Instance().Service(),
                                                        DescribeOrder::Submitted))
{
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, [this] { Drain(); });
    cursorTimer_.setSingleShot(true);
    cursorTimer_.setInterval(kCursorDelayMs);
    connect(&cursorTimer_, &QTimer::timeout, this, [this] {
        if (Busy() && !cursorShown_) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            cursorShown_ = true;
        }
    });
    // Runs on a worker thread: only posts to this object's thread, at most one drain at a time. The
    // client is destroyed, a callback under way waited for, before this object is.
    client_->SetReadyCallback([this] { DrainSoon(); });
    DescribingThreads::Instance().Check(DescribingThreads::Instance().Service());
}

PaneFeed::~PaneFeed()
{
    client_.reset();
    if (cursorShown_) {
        QApplication::restoreOverrideCursor();
    }
}

void PaneFeed::Queue(PaneRequest request)
{
    request.options.decimalMark = decimalMark_;
    queue_.push_back(std::move(request));
    ++queuedSinceIdle_;
    TopUp();
    if (!cursorShown_ && !cursorTimer_.isActive()) {
        cursorTimer_.start();
    }
}

void PaneFeed::Cancel()
{
    Restart({}, true);
}

void PaneFeed::Drop(unsigned owner)
{
    if (std::none_of(queue_.begin(), queue_.end(),
                     [owner](const PaneRequest& request) { return request.owner == owner; })) {
        return;
    }
    // The service drops all of a client's files or nothing: the others are described again, a rare cost (a
    // run ends early only when superseded, and then mostly behind nothing).
    std::vector<PaneRequest> keep;
    for (PaneRequest& request : queue_) {
        if (request.owner != owner) {
            keep.push_back(std::move(request));
        }
    }
    Restart(std::move(keep), false);
}

void PaneFeed::Restart(std::vector<PaneRequest> keep, bool dropsAll)
{
    const bool owned = std::any_of(queue_.begin(), queue_.end(),
                                   [](const PaneRequest& request) { return request.owner != 0; });
    if (dropsAll) {
        ++generation_;
    }
    client_->Cancel();
    queue_.clear();
    submitted_ = 0;
    frameTimer_.stop();
    for (PaneRequest& request : keep) {
        queue_.push_back(std::move(request));
    }
    TopUp();
    NoteIdle();
    if (dropsAll && owned) {
        emit OwnerReady();
    }
}

void PaneFeed::TopUp()
{
    while (submitted_ < std::min(kInFlight, queue_.size())) {
        PaneRequest& request = queue_[submitted_];
        if (request.path.empty() && request.item >= 0) {
            // The index stands for an item of the contents it was queued with; a list that has read a
            // folder since names other files.
            std::optional<std::filesystem::path> path = sinks_.pathOf(request.item, request.contents);
            if (!path) {
                queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(submitted_));
                continue;
            }
            request.path = std::move(*path);
        }
        // A request alone in the queue is one the user asked for now; the others belong to a run.
        const bool alone = request.owner == 0 && queue_.size() == 1;
        client_->Submit(request.path, request.options, alone ? DescribeLane::Pane : DescribeLane::Bulk);
        ++submitted_;
    }
}

void PaneFeed::DrainSoon()
{
    drainCall_.Post();
}

void PaneFeed::Drain()
{
    drainCall_.Arrived();
    if (submitted_ > 0 && queue_.front().owner != 0) {
        emit OwnerReady();
        return;
    }
    // Lines are appended at most once per frame: the pane is laid out and painted once for all the
    // files that became ready meanwhile.
    const int frame = FrameIntervalMs();
    // An append that took as many lines as the pane takes at once filled a frame: the next may follow.
    if (!std::exchange(backlogged_, false) && sinceAppend_.isValid() && sinceAppend_.elapsed() < frame) {
        if (!frameTimer_.isActive()) {
            frameTimer_.start(static_cast<int>(frame - sinceAppend_.elapsed()));
        }
        return;
    }
    QElapsedTimer spent;
    spent.start();
    bool appended = false;
    Lines lines; // the files' lines, appended in one go
    const auto flush = [&] {
        if (!lines.empty()) {
            sinks_.append(lines);
            lines.clear();
            appended = true;
        }
    };
    while (submitted_ > 0 && queue_.front().owner == 0) {
        std::optional<DescribeOutcome> outcome = client_->TryNext();
        if (!outcome) {
            break;
        }
        PaneRequest request = std::move(queue_.front());
        queue_.pop_front();
        --submitted_;
        if (outcome->error) {
            flush();
            Fail(request, ErrorText(outcome->error));
        } else {
            Lines& described = outcome->description->lines;
            std::move(described.begin(), described.end(), std::back_inserter(lines));
        }
        TopUp();
        // A long run of ready results is cut into frames, so that the window paints and takes input.
        if (lines.size() >= linesPerAppend_) {
            backlogged_ = true;
            DrainSoon();
            break;
        }
        if (spent.elapsed() >= frame / 2) {
            DrainSoon();
            break;
        }
    }
    flush();
    if (appended) {
        sinceAppend_.start();
    }
    NoteIdle();
    if (submitted_ > 0 && queue_.front().owner != 0) {
        emit OwnerReady();
    }
}

std::optional<std::pair<PaneRequest, Description>> PaneFeed::Take(unsigned owner)
{
    // The select-all run paces itself: what was queued before its requests goes to the pane now.
    if (submitted_ == 0 || queue_.front().owner != owner) {
        sinceAppend_.invalidate();
        Drain();
    }
    if (submitted_ == 0 || queue_.front().owner != owner) {
        return std::nullopt;
    }
    std::optional<DescribeOutcome> outcome = client_->TryNext();
    if (!outcome) {
        return std::nullopt;
    }
    PaneRequest request = std::move(queue_.front());
    queue_.pop_front();
    --submitted_;
    if (outcome->error) {
        Cancel();
        std::rethrow_exception(outcome->error);
    }
    TopUp();
    NoteIdle();
    return std::pair{std::move(request), std::move(*outcome->description)};
}

void PaneFeed::Fail(const PaneRequest& failed, const QString& message)
{
    std::vector<PaneRequest> dropped;
    if (failed.stopOnError) {
        // Had the files been described one after another, the error would have ended the work here.
        std::move(queue_.begin(), queue_.end(), std::back_inserter(dropped));
        Cancel();
    }
    sinks_.failed(failed, message, dropped);
}

void PaneFeed::NoteIdle()
{
    if (Busy()) {
        return;
    }
    queuedSinceIdle_ = 0;
    cursorTimer_.stop();
    if (cursorShown_) {
        QApplication::restoreOverrideCursor();
        cursorShown_ = false;
    }
    if (sinks_.idle) {
        sinks_.idle();
    }
}

} // namespace lmp::gui
