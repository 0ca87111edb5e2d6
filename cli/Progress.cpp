#include "cli/Progress.h"

#include <ostream>

#include "cli/Messages.h"
#include "core/NumberFormat.h"

namespace lmp::cli {

namespace {

std::string Grouped(std::size_t count)
{
    return GroupThousands(std::to_string(count));
}

} // namespace

ProgressLine::ProgressLine(std::ostream& err, bool terminal, std::optional<std::size_t> total,
                           std::ostream* out) noexcept
    : err_(err), out_(out), terminal_(terminal), total_(total)
{
}

void ProgressLine::Total(std::size_t total) noexcept
{
    total_ = total;
}

ProgressLine::~ProgressLine()
{
    try {
        Hide();
    } catch (...) { // a destructor must not throw; a lost blanking only leaves text on the terminal
    }
}

void ProgressLine::Examined(std::size_t examined, std::optional<std::size_t> matched)
{
    const bool many = total_ ? *total_ > kProgressThreshold : examined >= kProgressThreshold;
    if (!terminal_ || !many || examined % kProgressStep != 0)
        return;
    if (out_ != nullptr)
        out_->flush();
    const std::string text =
        FormatStderrMessage(Grouped(examined) + (total_ ? " of " + Grouped(*total_) : "") +
                            " files examined" + (matched ? ", " + Grouped(*matched) + " matched" : ""));
    err_ << '\r' << text;
    if (text.size() < shownLength_)
        err_ << std::string(shownLength_ - text.size(), ' ') << '\r' << text;
    err_.flush();
    shownLength_ = text.size();
}

void ProgressLine::Hide()
{
    if (shownLength_ == 0)
        return;
    err_ << '\r' << std::string(shownLength_, ' ') << '\r';
    err_.flush();
    shownLength_ = 0;
}

} // namespace lmp::cli
