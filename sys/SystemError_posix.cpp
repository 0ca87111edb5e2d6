#include "sys/SystemError.h"

#include <cerrno>

namespace lmp::sys {

std::string ErrorText(const std::error_code& error)
{
    // The system category's codes are errno values here.
    if (&error.category() == &std::system_category())
        return std::generic_category().message(error.value());
    return error.message();
}

bool IsOutOfHandles(const std::error_code& error) noexcept
{
    // The values of both categories are errno values, compared as such; the categories are told apart by
    // their addresses, as UndefinedBehaviorSanitizer takes any call of theirs for one on an object of the
    // wrong type (their classes are the standard library's own).
    const bool errnoValue =
        &error.category() == &std::system_category() || &error.category() == &std::generic_category();
    return errnoValue && (error.value() == EMFILE || error.value() == ENFILE);
}

} // namespace lmp::sys
