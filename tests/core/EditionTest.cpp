#include "core/Edition.h"

#include <gtest/gtest.h>

namespace lmp {
namespace {

constexpr auto td = FileType::TrackDesign, sv = FileType::SavedGame, sc = FileType::Scenario;
constexpr auto none = FileType::None;

TEST(FileTypeOfName, ComparesTheUpperCasedExtensionFromTheLastDot)
{
    struct Row {
        std::string_view name, extension;
        FileType type;
    };
    const Row rows[] = {{"a.TD4", ".TD4", td},     {"a.td4", ".td4", td},
                        {"b.Sv4", ".Sv4", sv},     {"c.sC4", ".sC4", sc},
                        {".SC4", ".SC4", sc},      {"my.park.SV4", ".SV4", sv},
                        {"a.TP4", ".TP4", none},   {"x.TD4.bak", ".bak", none},
                        {"noext", "", none},       {"TD4", "", none},
                        {"a.TD44", ".TD44", none}, {"a.SV4 ", ".SV4 ", none},
                        {"a.", ".", none},         {"", "", none}};
    for (const auto& row : rows) {
        EXPECT_EQ(ExtensionOf(row.name), row.extension) << row.name;
        EXPECT_EQ(FileTypeOfName(row.name), row.type) << row.name;
    }
}

TEST(MatchEditionRule, HonoursTheSignOfEachFileType)
{
    struct Row {
        FileType type;
        std::int32_t difference, edition;
    };
    const Row rows[] = {{td, -108156, 0},  {td, -120001, 2},  {td, 108156, -1},    {td, -110001, -1},
                        {td, 110001, -1},  {td, 120001, -1},  {td, 0, -1},         {sv, 108156, 0},
                        {sv, 110001, 1},   {sv, 120001, 2},   {sv, -108156, -1},   {sv, -110001, -1},
                        {sv, -120001, -1}, {sv, 108155, -1},  {sv, 108157, -1},    {sc, -108156, 0},
                        {sc, -110001, 1},  {sc, -120001, 2},  {sc, 108156, -1},    {sc, 110001, -1},
                        {sc, 120001, -1},  {sc, -120000, -1}, {none, -108156, -1}, {none, 108156, -1}};
    for (const auto& row : rows)
        EXPECT_EQ(MatchEditionRule(row.type, row.difference), row.edition)
            << "type " << static_cast<int>(row.type) << ", difference " << row.difference;
}

TEST(TrackDesignEdition, FlagMask04TurnsOnlyTheOriginalIntoTheFirstExpansion)
{
    struct Row {
        std::int32_t matched;
        std::uint8_t flags;
        std::int32_t edition;
    };
    const Row rows[] = {{0, 0x00, 0}, {0, 0x04, 1}, {0, 0xFB, 0}, {0, 0xFF, 1},
                        {0, 0x08, 0}, {2, 0x04, 2}, {2, 0x00, 2}, {-1, 0x04, -1}};
    for (const auto& row : rows)
        EXPECT_EQ(TrackDesignEdition(row.matched, row.flags), row.edition)
            << row.matched << " with flags " << +row.flags;
}

TEST(EditionLabel, SpellsTheOriginalEditionByFileType)
{
    struct Row {
        FileType type;
        std::int32_t edition;
        std::string_view label;
    };
    const Row rows[] = {{td, 0, "Original LMP"},
                        {sv, 0, "original LMP"},
                        {sc, 0, "original LMP"},
                        {td, 1, "Vortex Jamboree/Extra Marvels"},
                        {sv, 1, "Vortex Jamboree/Extra Marvels"},
                        {sc, 2, "Quirky Quarters"},
                        {td, 2, "Quirky Quarters"},
                        {sv, kNoEdition, ""},
                        {none, 0, ""},
                        {sc, 3, ""}};
    for (const auto& row : rows)
        EXPECT_EQ(EditionLabel(row.type, row.edition), row.label)
            << static_cast<int>(row.type) << " " << row.edition;
}

} // namespace
} // namespace lmp
