#include "cli/PathList.h"

#include <exception>
#include <istream>
#include <string>
#include <utility>

namespace lmp::cli {

PathList::PathList(std::istream& in, std::string name, bool nullSeparated) noexcept
    : in_(in), name_(std::move(name)), separator_(nullSeparated ? '\0' : '\n')
{
}

std::string PathList::Where() const
{
    return "Path list " + name_ + (separator_ == '\n' ? ", line " : ", entry ") + std::to_string(entry_);
}

std::optional<ListedPath> PathList::Next()
{
    using Traits = std::char_traits<char>;
    std::streambuf* buffer = in_.rdbuf();
    while (!ended_ && buffer != nullptr) {
        ++entry_;
        std::string path;
        bool tooLong = false;
        bool holdsNul = false;
        Traits::int_type c = Traits::eof();
        try {
            // One byte past the limit tells an overlong entry, and leaves room for a CRLF's CR.
            while (!Traits::eq_int_type(c = buffer->sbumpc(), Traits::eof()) &&
                   Traits::to_char_type(c) != separator_) {
                holdsNul = holdsNul || Traits::to_char_type(c) == '\0';
                if (path.size() <= kMaxListedPathBytes)
                    path += Traits::to_char_type(c);
                else
                    tooLong = true;
            }
        } catch (const std::exception&) {
            // The standard library's file streams throw on a failed read; a partial entry is not used.
            ended_ = true;
            return ListedPath{{}, "Cannot read path list " + name_};
        }
        if (Traits::eq_int_type(c, Traits::eof()))
            ended_ = true;
        if (separator_ == '\n' && !path.empty() && path.back() == '\r')
            path.pop_back();
        if (tooLong || path.size() > kMaxListedPathBytes)
            return ListedPath{{},
                              Where() + ": longer than " + std::to_string(kMaxListedPathBytes) + " bytes"};
        // A NUL would cut the path short where the system reads it, naming another file.
        if (holdsNul)
            return ListedPath{{}, Where() + ": holds a NUL byte (a NUL-separated list needs --null)"};
        if (!path.empty())
            return ListedPath{std::move(path), {}};
    }
    return std::nullopt;
}

} // namespace lmp::cli
