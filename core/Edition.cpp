#include "core/Edition.h"

#include <array>

namespace lmp {

namespace {

constexpr std::array<EditionRule, 8> kRules = {{
    {FileType::TrackDesign, -108156, 0},
    {FileType::TrackDesign, -120001, 2},
    {FileType::SavedGame, 108156, 0},
    {FileType::SavedGame, 110001, 1},
    {FileType::SavedGame, 120001, 2},
    {FileType::Scenario, -108156, 0},
    {FileType::Scenario, -110001, 1},
    {FileType::Scenario, -120001, 2},
}};

bool EqualsUpperAscii(std::string_view text, std::string_view upper) noexcept
{
    if (text.size() != upper.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return true;
}

} // namespace

std::string_view ExtensionOf(std::string_view fileName) noexcept
{
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : fileName.substr(dot);
}

FileType FileTypeOfName(std::string_view fileName) noexcept
{
    const std::string_view extension = ExtensionOf(fileName);
    if (EqualsUpperAscii(extension, ".TD4"))
        return FileType::TrackDesign;
    if (EqualsUpperAscii(extension, ".SV4"))
        return FileType::SavedGame;
    if (EqualsUpperAscii(extension, ".SC4"))
        return FileType::Scenario;
    return FileType::None;
}

std::span<const EditionRule> EditionRules() noexcept
{
    return kRules;
}

std::int32_t MatchEditionRule(FileType type, std::int32_t difference) noexcept
{
    for (const EditionRule& rule : kRules)
        if (rule.type == type && rule.difference == difference)
            return rule.edition;
    return kNoEdition;
}

std::int32_t TrackDesignEdition(std::int32_t matched, std::uint8_t flags) noexcept
{
    return matched == 0 && (flags & 0x04) != 0 ? 1 : matched;
}

std::string_view EditionLabel(FileType type, std::int32_t edition) noexcept
{
    if (type == FileType::None)
        return {};
    switch (edition) {
    case 0:
        return type == FileType::TrackDesign ? "Original LMP" : "original LMP";
    case 1:
        return "Vortex Jamboree/Extra Marvels";
    case 2:
        return "Quirky Quarters";
    default:
        return {};
    }
}

} // namespace lmp
