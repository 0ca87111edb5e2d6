#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <stop_token>
#include <thread>
#include <utility>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "gui/desktop/QueuedCall.h"
#include "gui/main/DropCopy.h"
#include "sys/FileCopy.h"

class QMessageBox;
class QProgressDialog;
class QWidget;

namespace lmp::gui {

// The copies of drops, run as jobs off the window's thread, one drop after the other. A drop's job
// shows its progress (files, bytes, the file being copied) once it has run for kProgressDelay, with a
// Cancel button; asks the overwrite question over the window without blocking it; and at its end
// reports what it copied (Finished) and lists the files it left out in the "Not copied:" box. The
// window's thread only shows what the job's thread reports.
class CopyJobs : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kProgressDelay{500};
    // How long the window waits at exit for the copy being written to end.
    static constexpr std::chrono::milliseconds kExitWait{400};

    // The boxes and the progress display are shown over window.
    explicit CopyJobs(QWidget& window);
    // Stops as StopForExit does.
    ~CopyJobs() override;

    // Queues the drop's copies; they start at once when no other drop's are running.
    void Add(CopyRequest request);
    // A drop's copies are running or waiting to.
    bool Running() const;
    // Running, or a box of a finished drop is still open.
    bool Pending() const;
    // Stops the running drop as its Cancel does: the file being copied is left out, nothing further
    // starts, the files copied stay. The drops queued behind it then run.
    void Cancel();
    // Cancels the running drop and drops those queued, waits at most kExitWait for the file being
    // written to be left, and leaves a copy that takes longer to end on its own thread.
    void StopForExit();

    // The file of the running drop being copied (from 1) and the drop's count of files; 0 of 0 while none
    // runs.
    std::pair<std::size_t, std::size_t> Progress() const;
    // The progress display; null while none is shown.
    QProgressDialog* ProgressDialog() const;
    // Injects faults into every copy from the next drop on, for the tests.
    void SetFaults(sys::CopyFaults faults) { faults_ = std::move(faults); }

signals:
    // A drop's copies are done: how many files were copied, and where (empty for a drop of nothing).
    void Finished(const QString& summary);

private slots:
    // Takes what the job's thread reports: a question to ask, or the end of the job.
    void Wake();

private:
    struct Shared;

    static void RunJob(std::stop_token stop, const std::shared_ptr<Shared>& shared,
                       const CopyRequest& request, const sys::CopyFaults& faults);
    void StartNext();
    void ShowProgress();
    void UpdateProgress();
    void Ask(const QString& fileName);
    void Answer(OverwriteAnswer answer);
    void EndJob();

    QWidget& window_;
    std::deque<CopyRequest> queue_;
    std::shared_ptr<Shared> shared_; // the running job's; null while none runs
    std::jthread worker_;
    QStringList names_;  // the running job's files, as shown
    QString folderText_; // the running job's folder
    sys::CopyFaults faults_;
    QueuedCall wake_{*this, "Wake"};
    QTimer showTimer_;
    QTimer refreshTimer_;
    QPointer<QProgressDialog> progress_;
    QPointer<QMessageBox> question_;
    QPointer<QMessageBox> notCopied_;
};

} // namespace lmp::gui
