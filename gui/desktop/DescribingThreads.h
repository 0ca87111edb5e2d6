#pragma once

#include <QObject>
#include <QString>

#include <cstddef>

#include "scan/DescribePipeline.h"

namespace lmp::gui {

// The window's describing pipelines share how their threads are started, and the word the window gives
// once when the system refuses some of them: the pipeline then describes on those it got.
class DescribingThreads : public QObject {
    Q_OBJECT

public:
    static DescribingThreads& Instance();

    // The settings of a window pipeline that reads this far ahead.
    PipelineSettings Settings(std::size_t ahead) const;
    // Notes a pipeline that runs on fewer threads than asked: the first such note of the process is
    // kept for TakeNotice and announced by Short.
    void Check(const DescribePipeline& pipeline);
    // The note not yet shown, once; empty when there is none.
    QString TakeNotice();
    // Starts the window pipelines' threads from now on; nullptr for the system's own start. For tests.
    void SetStarter(ThreadStarter starter);

signals:
    void Short();

private:
    DescribingThreads() = default;

    ThreadStarter starter_;
    QString notice_;
    bool noted_ = false;
};

} // namespace lmp::gui
