#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>

namespace lmp::cli {

// Folders of more files than this show how far lmpinfo has come, when standard error is a terminal.
inline constexpr std::size_t kProgressThreshold = 500;
// The progress line is rewritten after this many files.
inline constexpr std::size_t kProgressStep = 100;

// A line on standard error that tells how many of the files were examined, rewritten in place with a
// carriage return. It shows only when enabled, which the caller decides (a terminal), and only for
// more than kProgressThreshold files: of a known total, or once so many were examined when the total
// is not known (a path list still being read), which the line then leaves out. Everything else
// written to that terminal goes after Hide().
// out, when given, is flushed before the line is drawn, so that its buffered lines come first.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool terminal, std::optional<std::size_t> total,
                 std::ostream* out = nullptr) noexcept;
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine();

    // The total, once it is known (a walk that has ended): later lines show it, and the line stays
    // away for a total of kProgressThreshold files or fewer.
    void Total(std::size_t total) noexcept;
    std::optional<std::size_t> Total() const noexcept { return total_; }

    // examined files of the total are done, matched of them matching the search when there is one; shows
    // the line at every kProgressStep files.
    void Examined(std::size_t examined, std::optional<std::size_t> matched = std::nullopt);
    // Blanks the line out, when it is shown, so that other text starts at the line's beginning.
    void Hide();

private:
    std::ostream& err_;
    std::ostream* out_;
    bool terminal_;
    std::optional<std::size_t> total_;
    std::size_t shownLength_ = 0;
};

} // namespace lmp::cli
