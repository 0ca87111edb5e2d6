#include "gui/desktop/DescribingThreads.h"

#include <utility>

namespace lmp::gui {

DescribingThreads& DescribingThreads::Instance()
{
    static DescribingThreads threads;
    return threads;
}

PipelineSettings DescribingThreads::Settings(std::size_t ahead) const
{
    PipelineSettings settings{.ahead = ahead};
    settings.startThread = starter_;
    return settings;
}

void DescribingThreads::Check(const DescribePipeline& pipeline)
{
    const std::string shortfall = pipeline.ThreadShortfall();
    if (shortfall.empty() || std::exchange(noted_, true)) {
        return;
    }
    notice_ = QString::fromStdString(shortfall);
    emit Short();
}

QString DescribingThreads::TakeNotice()
{
    return std::exchange(notice_, {});
}

void DescribingThreads::SetStarter(ThreadStarter starter)
{
    starter_ = std::move(starter);
    noted_ = false;
}

} // namespace lmp::gui
