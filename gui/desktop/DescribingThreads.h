#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include "scan/DescribeService.h"

namespace lmp::gui {

// The window's one describing service, made when first asked for, which the pane and the Game Details
// columns share; how its threads are started; and the word the window gives once when the system refuses
// some of them: the service then describes on those it got.
class DescribingThreads : public QObject {
    Q_OBJECT

public:
    static DescribingThreads& Instance();
    ~DescribingThreads() override;

    // The process's service, made with the starter now set.
    DescribeService& Service();
    // Notes a service that runs on fewer threads than asked: the first such note of the process is kept
    // for TakeNotice and announced by Short.
    void Check(const DescribeService& service);
    // The note not yet shown, once; empty when there is none.
    QString TakeNotice();
    // Starts the service's threads from now on, on a service made anew; nullptr for the system's own
    // start. Clients of the service made before keep theirs. For tests.
    void SetStarter(ThreadStarter starter);

signals:
    void Short();

private:
    DescribingThreads() = default;

    ThreadStarter starter_;
    std::unique_ptr<DescribeService> service_;
    QString notice_;
    bool noted_ = false;
};

} // namespace lmp::gui
