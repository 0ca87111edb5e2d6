#include "core/DescribePipeline.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace lmp {

void AddSeparator(Description& description)
{
    // Only a described file gets a separator: neither one of an edition left out (no lines) nor one
    // whose edition could not be determined.
    if (description.edition == kNoEdition || description.lines.empty())
        return;
    Lines lines;
    lines.reserve(description.lines.size() + 1);
    lines.emplace_back(kSeparatorLine);
    std::move(description.lines.begin(), description.lines.end(), std::back_inserter(lines));
    description.lines = std::move(lines);
}

Description DescribeOutcome::Take() &&
{
    if (error)
        std::rethrow_exception(error);
    return std::move(*description);
}

DescribePipeline::DescribePipeline(PipelineSettings settings)
{
    unsigned threads = settings.threads;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    ahead_ = settings.ahead != 0 ? settings.ahead : std::size_t{4} * threads;
    workers_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i)
        workers_.emplace_back([this](std::stop_token shutdown) { Work(shutdown); });
}

DescribePipeline::~DescribePipeline()
{
    {
        const std::lock_guard lock(mutex_);
        cancel_.request_stop();
        queue_.clear();
    }
    for (std::jthread& worker : workers_)
        worker.request_stop();
    workAvailable_.notify_all();
    workers_.clear();
}

std::uint64_t DescribePipeline::Submit(std::filesystem::path path, DescribeOptions options)
{
    std::uint64_t ticket = 0;
    {
        const std::lock_guard lock(mutex_);
        ticket = nextTicket_++;
        queue_.push_back({ticket, std::move(path), std::move(options)});
    }
    workAvailable_.notify_one();
    return ticket;
}

std::optional<DescribeOutcome> DescribePipeline::TakeReady(std::unique_lock<std::mutex>& lock)
{
    if (held_.empty() || !held_.front())
        return std::nullopt;
    std::optional<DescribeOutcome> outcome = std::move(held_.front());
    held_.pop_front();
    ++nextOut_;
    lock.unlock();
    // The window of files that may be read ahead has moved on by one.
    workAvailable_.notify_all();
    return outcome;
}

std::optional<DescribeOutcome> DescribePipeline::Next()
{
    std::unique_lock lock(mutex_);
    outcomeReady_.wait(lock, [this] { return nextOut_ == nextTicket_ || (!held_.empty() && held_.front()); });
    return TakeReady(lock);
}

std::optional<DescribeOutcome> DescribePipeline::TryNext()
{
    std::unique_lock lock(mutex_);
    return TakeReady(lock);
}

void DescribePipeline::Cancel()
{
    const std::lock_guard lock(mutex_);
    cancel_.request_stop();
    cancel_ = std::stop_source();
    queue_.clear();
    held_.clear();
    nextOut_ = nextTicket_;
}

std::size_t DescribePipeline::Pending() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(nextTicket_ - nextOut_);
}

void DescribePipeline::SetReadyCallback(std::function<void()> ready)
{
    const std::lock_guard lock(mutex_);
    ready_ = std::move(ready);
}

void DescribePipeline::Work(std::stop_token shutdown)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        const bool haveWork = workAvailable_.wait(
            lock, shutdown, [this] { return !queue_.empty() && queue_.front().ticket < nextOut_ + ahead_; });
        if (!haveWork)
            return;
        Job job = std::move(queue_.front());
        queue_.pop_front();
        const std::stop_token stop = cancel_.get_token();
        lock.unlock();

        DescribeOutcome outcome{job.ticket, std::move(job.path), std::nullopt, nullptr};
        try {
            outcome.description = DescribeFile(outcome.path, job.options, stop);
        } catch (...) {
            outcome.error = std::current_exception();
        }
        const bool stopped = !outcome.description && !outcome.error;

        lock.lock();
        // A cancelled file's outcome is dropped: Cancel moved nextOut_ past every ticket issued before it.
        if (stopped || job.ticket < nextOut_)
            continue;
        const std::size_t index = static_cast<std::size_t>(job.ticket - nextOut_);
        if (held_.size() <= index)
            held_.resize(index + 1);
        held_[index] = std::move(outcome);
        if (index != 0)
            continue;
        const std::function<void()> ready = ready_;
        lock.unlock();
        outcomeReady_.notify_one();
        if (ready)
            ready();
        lock.lock();
    }
}

} // namespace lmp
