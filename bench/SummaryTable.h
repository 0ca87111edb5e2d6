#pragma once

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace lmp::bench {

// One line of the summary: the benchmark's time per iteration, its throughput over bytesPerIteration
// (none when 0) and its time as a multiple of the reference benchmark's (none when empty).
struct SummaryRow {
    std::string label;
    std::string benchmark;
    std::size_t bytesPerIteration;
    std::string reference;
};

// Shows the usual console output and keeps each benchmark's fastest processor time per iteration (the
// process's user and system time, which time taken by other programs on a shared machine leaves out),
// so that the table compares figures of one run; with --benchmark_repetitions the fastest one counts.
class SummaryTable : public benchmark::ConsoleReporter {
public:
    // With showRuns clear, only the machine's description and the table are shown.
    explicit SummaryTable(bool showRuns) : showRuns_(showRuns) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        if (showRuns_)
            ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0 || run.error_occurred)
                continue;
            const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
            const auto [at, added] = seconds_.emplace(run.run_name.str(), seconds);
            if (!added)
                at->second = std::min(at->second, seconds);
        }
    }

    void Print(std::ostream& out, const std::vector<SummaryRow>& rows) const
    {
        out << "\n| What | Time | Throughput | Ratio |\n|---|---:|---:|---|\n";
        for (const SummaryRow& row : rows) {
            const auto it = seconds_.find(row.benchmark);
            if (it == seconds_.end())
                continue;
            out << "| " << row.label << " | " << TimeText(it->second) << " | ";
            if (row.bytesPerIteration > 0)
                out << Formatted("%.0f MB/s", static_cast<double>(row.bytesPerIteration) / it->second / 1e6);
            out << " | ";
            const auto reference = seconds_.find(row.reference);
            if (reference != seconds_.end())
                out << Formatted("%.2f", it->second / reference->second) << " x " << reference->first;
            out << " |\n";
        }
    }

private:
    static std::string Formatted(const char* format, double value)
    {
        char text[64];
        std::snprintf(text, sizeof text, format, value);
        return text;
    }

    static std::string TimeText(double seconds)
    {
        if (seconds >= 1e-3)
            return Formatted("%.3f ms", seconds * 1e3);
        return Formatted("%.2f us", seconds * 1e6);
    }

    bool showRuns_;
    std::map<std::string, double> seconds_;
};

} // namespace lmp::bench
