#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include "core/Describe.h"
#include "gui/desktop/QueuedCall.h"
#include "scan/DescribeService.h"

namespace lmp::gui {

// The time between two frames of the screen, in milliseconds.
int FrameIntervalMs();
// What a failed description says: the exception's message, "Unknown error" for anything else.
QString ErrorText(const std::exception_ptr& error);

// One file to describe for the description pane: a list item, whose path is looked up when its turn to
// be read comes, or a path given directly.
struct PaneRequest {
    int item = -1;              // the list item's index; -1 when path is given
    unsigned contents = 0;      // the list's contents version the index belongs to
    std::filesystem::path path; // the file; for an item, looked up when handed to the pool if empty
    DescribeOptions options;
    // 0: the feed appends the lines itself; otherwise the number of the select-all run that takes them.
    unsigned owner = 0;
    bool marked = false;     // the item was marked as described when it was queued
    bool stopOnError = true; // a file that cannot be read drops everything queued after it
};

// Describes the pane's files on the window's describing service and hands their lines back on the window's
// thread in the order they were queued, so that the window only appends and paints. At most a bounded
// number of requests have their paths looked up and are in the service at once: a request queued alone
// goes in the service's first lane, those queued behind others (a run over many files) in its bulk lane.
class PaneFeed final : public QObject {
    Q_OBJECT

public:
    struct Sinks {
        // The path of the list item at index while the list shows the given contents; empty when the
        // list has moved on (the request is then dropped).
        std::function<std::optional<std::filesystem::path>(int index, unsigned contents)> pathOf;
        // Lines to append to the pane, in queue order.
        std::function<void(std::span<const std::string> lines)> append;
        // A file that could not be read, with the error's text and the requests dropped after it
        // (none when the failed request did not stop on error).
        std::function<void(const PaneRequest& failed, const QString& message,
                           const std::vector<PaneRequest>& dropped)>
            failed;
        // Nothing is queued any more.
        std::function<void()> idle;
    };

    explicit PaneFeed(Sinks sinks, QObject* parent = nullptr);
    // Drops its files, those being read stopping at their next chunk.
    ~PaneFeed() override;

    // Queues a request behind the others; its decimal mark is the feed's.
    void Queue(PaneRequest request);
    // Drops every queued request and result; nothing of them reaches the pane.
    void Cancel();
    // Drops the requests of a select-all run, keeping the others in their order.
    void Drop(unsigned owner);
    // Changes with every Cancel, so that a run can tell that its requests are gone.
    unsigned Generation() const noexcept { return generation_; }
    bool Busy() const noexcept { return !queue_.empty(); }
    // The requests handed back since the feed was last idle, and those queued since then.
    std::pair<std::size_t, std::size_t> Progress() const noexcept
    {
        return {queuedSinceIdle_ - std::min(queuedSinceIdle_, queue_.size()), queuedSinceIdle_};
    }

    // For the select-all run owner: appends what is ready of the requests queued before its own, then
    // takes its next result when it is ready: the request and its description. Empty when the result is
    // not there yet. Throws what describing threw, after dropping everything queued.
    std::optional<std::pair<PaneRequest, Description>> Take(unsigned owner);

    void SetDecimalMark(std::string mark) { decimalMark_ = std::move(mark); }
    // The lines that one append to the pane should hold at most.
    void SetLinesPerAppend(std::size_t lines) noexcept { linesPerAppend_ = lines; }

signals:
    // A select-all run's request is the next to be handed back and its result may be ready, or the
    // run's requests have been dropped (the pane was cleared): the run should look.
    void OwnerReady();

private slots:
    // Appends what is ready of the requests the feed appends itself.
    void Drain();

private:
    void DrainSoon();
    void TopUp();
    void Fail(const PaneRequest& failed, const QString& message);
    void Restart(std::vector<PaneRequest> keep, bool dropsAll);
    void NoteIdle();

    Sinks sinks_;
    std::string decimalMark_ = ".";
    std::size_t linesPerAppend_ = 2048;
    std::size_t queuedSinceIdle_ = 0;
    std::deque<PaneRequest> queue_; // in queue order, the submitted ones first
    std::size_t submitted_ = 0;
    unsigned generation_ = 0;
    QElapsedTimer sinceAppend_; // appends come at most once per frame
    bool backlogged_ = false;   // unless the last one held as many lines as the pane takes at once
    QTimer frameTimer_;         // the next frame's drain
    QTimer cursorTimer_;        // the busy cursor, once work has lasted
    bool cursorShown_ = false;
    QueuedCall drainCall_{*this, "Drain"};
    std::unique_ptr<DescribeService::Client> client_;
};

} // namespace lmp::gui
