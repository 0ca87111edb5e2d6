#include "gui/desktop/FileFilter.h"

#include <array>

#include "core/Edition.h"

namespace lmp::gui {
namespace {

bool SameAsciiCaseless(std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

struct Kind {
    std::uint16_t bit;
    std::string_view extension;
};
constexpr std::array<Kind, 4> kKinds = {{{1, ".TD4"}, {2, ".TP4"}, {4, ".SV4"}, {8, ".SC4"}}};
constexpr std::uint16_t kCustom = 16;

} // namespace

bool FileFilter::Shows(std::string_view fileName) const noexcept
{
    if ((mask & kAllFiles) != 0)
        return true;
    const std::string_view extension = ExtensionOf(fileName);
    for (const Kind& kind : kKinds) {
        if ((mask & kind.bit) != 0 && SameAsciiCaseless(extension, kind.extension))
            return true;
    }
    if ((mask & kCustom) == 0)
        return false;
    // "*.xyz" is typed as "xyz"; a leading dot is forgiven.
    std::string_view custom = customExtension;
    if (custom.starts_with('.'))
        custom.remove_prefix(1);
    if (custom.empty())
        return extension.empty() || extension == ".";
    return extension.size() > 1 && SameAsciiCaseless(extension.substr(1), custom);
}

} // namespace lmp::gui
