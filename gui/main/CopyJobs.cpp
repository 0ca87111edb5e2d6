#include "gui/main/CopyJobs.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QWidget>

#include "gui/desktop/ErrorBox.h"
#include "gui/desktop/NativePath.h"

namespace lmp::gui {

namespace {

constexpr int kRefreshMs = 100;
constexpr int kProgressSteps = 1000;
constexpr int kNameWidth = 360; // pixels of a long name shown, cut in its middle

} // namespace

// What the job's thread and the window's share, under mutex. The job's thread wakes the window through
// wake, which the window takes away when it lets a job go at exit.
struct CopyJobs::Shared {
    std::mutex mutex;
    std::condition_variable_any changed;
    QueuedCall* wake = nullptr;

    std::size_t done = 0;    // files done with, whatever became of them
    std::size_t current = 0; // the index of the file being copied
    std::uint64_t bytesTotal = 0;
    std::uint64_t bytesDone = 0;     // of the files done with
    std::uint64_t written = 0;       // of the file being copied
    std::optional<QString> question; // the name the overwrite question waits on
    std::optional<OverwriteAnswer> answer;
    bool ended = false;
    std::vector<ItemOutcome> outcomes;
    QStringList notCopied;

    // Under mutex.
    void Post()
    {
        if (wake != nullptr) {
            wake->Post();
        }
    }
};

// The sizes for the progress first, then the copies.
void CopyJobs::RunJob(std::stop_token stop, const std::shared_ptr<Shared>& shared, const CopyRequest& request,
                      const sys::CopyFaults& faults)
{
    std::vector<std::uint64_t> sizes;
    sizes.reserve(request.sources.size());
    std::uint64_t total = 0;
    for (const std::filesystem::path& source : request.sources) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(source, error);
        sizes.push_back(error ? 0 : size);
        total += sizes.back();
    }
    {
        const std::lock_guard lock(shared->mutex);
        shared->bytesTotal = total;
    }
    CopyControl control;
    control.stop = stop;
    control.faults = faults;
    control.ask = [&shared, &stop](const QString& fileName) {
        std::unique_lock lock(shared->mutex);
        shared->question = fileName;
        shared->Post();
        if (!shared->changed.wait(lock, stop, [&shared] { return shared->answer.has_value(); })) {
            shared->question.reset();
            return OverwriteAnswer::Cancel;
        }
        return *std::exchange(shared->answer, std::nullopt);
    };
    control.progress = [&shared](std::size_t item, std::uint64_t written) {
        const std::lock_guard lock(shared->mutex);
        shared->current = item;
        shared->written = written;
    };
    control.finished = [&shared, &sizes](std::size_t item, ItemOutcome) {
        const std::lock_guard lock(shared->mutex);
        shared->done = item + 1;
        shared->current = item + 1;
        shared->bytesDone += sizes[item];
        shared->written = 0;
    };
    QStringList notCopied;
    std::vector<ItemOutcome> outcomes = RunCopies(request.sources, request.folder, control, &notCopied);
    const std::lock_guard lock(shared->mutex);
    shared->outcomes = std::move(outcomes);
    shared->notCopied = std::move(notCopied);
    shared->ended = true;
    shared->changed.notify_all();
    shared->Post();
}

CopyJobs::CopyJobs(QWidget& window) : QObject(&window), window_(window)
{
    showTimer_.setSingleShot(true);
    showTimer_.setInterval(kProgressDelay);
    connect(&showTimer_, &QTimer::timeout, this, &CopyJobs::ShowProgress);
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &CopyJobs::UpdateProgress);
}

CopyJobs::~CopyJobs()
{
    StopForExit();
}

void CopyJobs::Add(CopyRequest request)
{
    queue_.push_back(std::move(request));
    if (!shared_) {
        StartNext();
    }
}

bool CopyJobs::Running() const
{
    return shared_ != nullptr || !queue_.empty();
}

bool CopyJobs::Pending() const
{
    return Running() || question_ != nullptr || notCopied_ != nullptr;
}

QProgressDialog* CopyJobs::ProgressDialog() const
{
    return progress_;
}

void CopyJobs::Cancel()
{
    if (shared_) {
        worker_.request_stop();
    }
}

void CopyJobs::StopForExit()
{
    queue_.clear();
    showTimer_.stop();
    refreshTimer_.stop();
    delete progress_;
    delete question_;
    if (!shared_) {
        return;
    }
    worker_.request_stop();
    bool ended = false;
    {
        std::unique_lock lock(shared_->mutex);
        ended = shared_->changed.wait_for(lock, kExitWait, [this] { return shared_->ended; });
        shared_->wake = nullptr;
    }
    // A copy still being put on the disk ends on its own; what it leaves is what a killed copy leaves.
    if (ended) {
        worker_.join();
    } else {
        worker_.detach();
    }
    shared_.reset();
}

void CopyJobs::StartNext()
{
    if (queue_.empty()) {
        return;
    }
    CopyRequest request = std::move(queue_.front());
    queue_.pop_front();
    shared_ = std::make_shared<Shared>();
    shared_->wake = &wake_;
    names_.clear();
    for (const std::filesystem::path& source : request.sources) {
        names_ << ShownName(source.filename());
    }
    folderText_ = request.folderText;
    worker_ = std::jthread(RunJob, shared_, std::move(request), faults_);
    showTimer_.start();
}

void CopyJobs::Wake()
{
    wake_.Arrived();
    if (!shared_) {
        return;
    }
    std::optional<QString> question;
    bool ended = false;
    {
        const std::lock_guard lock(shared_->mutex);
        question = shared_->question;
        ended = shared_->ended;
    }
    if (ended) {
        EndJob();
    } else if (question && question_ == nullptr) {
        Ask(*question);
    }
}

void CopyJobs::Ask(const QString& fileName)
{
    QMessageBox* box = OverwriteBox(fileName, &window_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this,
            [this, box] { Answer(AnswerOf(box->standardButton(box->clickedButton()))); });
    question_ = box;
    // Over the window, which it holds still until answered, but without a loop of its own.
    box->open();
}

void CopyJobs::Answer(OverwriteAnswer answer)
{
    if (!shared_) {
        return;
    }
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->question.reset();
        shared_->answer = answer;
    }
    shared_->changed.notify_all();
    // The progress shows once the copies have gone on for a while after the answer.
    if (progress_ == nullptr) {
        showTimer_.start();
    }
}

void CopyJobs::ShowProgress()
{
    if (!shared_ || progress_ != nullptr || question_ != nullptr) {
        return;
    }
    auto* dialog = new QProgressDialog(&window_);
    dialog->setObjectName(QStringLiteral("CopyProgress"));
    dialog->setWindowTitle(QStringLiteral("Copying"));
    dialog->setWindowModality(Qt::NonModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->setRange(0, kProgressSteps);
    // Names are plain text, whatever they hold.
    auto* label = new QLabel(dialog);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    dialog->setLabel(label);
    connect(dialog, &QProgressDialog::canceled, this, &CopyJobs::Cancel);
    progress_ = dialog;
    UpdateProgress();
    dialog->show();
    refreshTimer_.start();
}

std::pair<std::size_t, std::size_t> CopyJobs::Progress() const
{
    if (!shared_) {
        return {0, 0};
    }
    const auto files = static_cast<std::size_t>(names_.size());
    const std::lock_guard lock(shared_->mutex);
    return {std::min(shared_->done + 1, files), files};
}

void CopyJobs::UpdateProgress()
{
    if (!shared_ || progress_ == nullptr || progress_->wasCanceled()) {
        return;
    }
    std::size_t done = 0;
    std::size_t current = 0;
    std::uint64_t bytes = 0;
    std::uint64_t total = 0;
    {
        const std::lock_guard lock(shared_->mutex);
        done = shared_->done;
        current = shared_->current;
        bytes = shared_->bytesDone + shared_->written;
        total = shared_->bytesTotal;
    }
    const auto files = names_.size();
    const QLocale locale;
    QStringList lines;
    lines << QStringLiteral("Copying %1 of %2 files to %3")
                 .arg(locale.toString(std::min<qsizetype>(static_cast<qsizetype>(done) + 1, files)),
                      locale.toString(files), folderText_);
    const QString name = names_.value(static_cast<qsizetype>(current));
    lines << QFontMetrics(progress_->font()).elidedText(name, Qt::ElideMiddle, kNameWidth);
    bytes = std::min(bytes, total);
    lines << QStringLiteral("%1 of %2")
                 .arg(locale.formattedDataSize(static_cast<qint64>(bytes)),
                      locale.formattedDataSize(static_cast<qint64>(total)));
    if (!queue_.empty()) {
        lines << QStringLiteral("Then %1 more %2")
                     .arg(locale.toString(static_cast<qsizetype>(queue_.size())),
                          queue_.size() == 1 ? QStringLiteral("drop") : QStringLiteral("drops"));
    }
    progress_->setLabelText(lines.join(QLatin1Char('\n')));
    progress_->setValue(total == 0 ? 0 : static_cast<int>(bytes * kProgressSteps / total));
}

void CopyJobs::EndJob()
{
    worker_.join();
    std::vector<ItemOutcome> outcomes;
    QStringList notCopied;
    {
        const std::lock_guard lock(shared_->mutex);
        outcomes = std::move(shared_->outcomes);
        notCopied = std::move(shared_->notCopied);
    }
    shared_.reset();
    showTimer_.stop();
    refreshTimer_.stop();
    delete progress_;
    delete question_;
    const QString summary = CopySummary(outcomes, folderText_);
    StartNext();
    if (!summary.isEmpty()) {
        emit Finished(summary);
    }
    if (!notCopied.isEmpty()) {
        auto* box = new QMessageBox(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle),
                                    NotCopiedMessage(notCopied), QMessageBox::Ok, &window_);
        box->setTextFormat(Qt::PlainText);
        box->setAttribute(Qt::WA_DeleteOnClose);
        notCopied_ = box;
        box->open();
    }
}

} // namespace lmp::gui
