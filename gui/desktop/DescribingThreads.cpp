#include "gui/desktop/DescribingThreads.h"

#include <utility>

namespace lmp::gui {

DescribingThreads& DescribingThreads::Instance()
{
    static DescribingThreads threads;
    return threads;
}

DescribingThreads::~DescribingThreads() = default;

DescribeService& DescribingThreads::Service()
{
    if (!service_) {
        service_ = std::make_unique<DescribeService>(ServiceSettings{.startThread = starter_});
    }
    return *service_;
}

void DescribingThreads::Check(const DescribeService& service)
{
    const std::string shortfall = service.ThreadShortfall();
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
    service_.reset();
    noted_ = false;
}

} // namespace lmp::gui
