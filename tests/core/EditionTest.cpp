#include "core/Edition.h"

#include <gtest/gtest.h>

#include <string_view>

namespace lmp {
namespace {

TEST(FileTypeOfName, ComparesTheUpperCasedExtensionFromTheLastDot)
{
    struct Row {
        std::string_view name, extension;
        FileType type;
    };
    const auto td = FileType::TrackDesign, sv = FileType::SavedGame, sc = FileType::Scenario;
    const auto none = FileType::None;
    const Row rows[] = {{"a.TD4", ".TD4", td},     {"a.td4", ".td4", td},
                        {"b.Sv4", ".Sv4", sv},     {"c.sC4", ".sC4", sc},
                        {".SC4", ".SC4", sc},      {"my.park.SV4", ".SV4", sv},
                        {"a.TP4", ".TP4", none},   {"x.TD4.bak", ".bak", none},
                        {"noext", "", none},       {"TD4", "", none},
                        {"a.TD44", ".TD44", none}, {"a.SV4 ", ".SV4 ", none},
                        {"a.", ".", none},         {"", "", none}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExtensionOf(row.name), row.extension);
        EXPECT_EQ(FileTypeOfName(row.name), row.type);
    }
}

TEST(MatchEditionRule, HonoursTheSignOfEachFileType)
{
    struct Row {
        FileType type;
        std::int32_t difference, edition;
    };
    const auto td = FileType::TrackDesign, sv = FileType::SavedGame, sc = FileType::Scenario;
    const auto none = FileType::None;
    const Row rows[] = {{td, -108156, 0},  {td, -120001, 2},  {td, 108156, -1},    {td, -110001, -1},
                        {td, 110001, -1},  {td, 120001, -1},  {td, 0, -1},         {sv, 108156, 0},
                        {sv, 110001, 1},   {sv, 120001, 2},   {sv, -108156, -1},   {sv, -110001, -1},
                        {sv, -120001, -1}, {sv, 108155, -1},  {sv, 108157, -1},    {sc, -108156, 0},
                        {sc, -110001, 1},  {sc, -120001, 2},  {sc, 108156, -1},    {sc, 110001, -1},
                        {sc, 120001, -1},  {sc, -120000, -1}, {none, -108156, -1}, {none, 108156, -1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "type " << static_cast<int>(row.type) << ", D " << row.difference);
        EXPECT_EQ(MatchEditionRule(row.type, row.difference), row.edition);
    }
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
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.matched << " with flags " << int{row.flags});
        EXPECT_EQ(TrackDesignEdition(row.matched, row.flags), row.edition);
    }
}

TEST(EditionLabel, SpellsTheOriginalEditionByFileType)
{
    struct Row {
        FileType type;
        std::int32_t edition;
        std::string_view label;
    };
    const Row rows[] = {{FileType::TrackDesign, 0, "Original LMP"},
                        {FileType::SavedGame, 0, "original LMP"},
                        {FileType::Scenario, 0, "original LMP"},
                        {FileType::TrackDesign, 1, "Vortex Jamboree/Extra Marvels"},
                        {FileType::SavedGame, 1, "Vortex Jamboree/Extra Marvels"},
                        {FileType::Scenario, 2, "Quirky Quarters"},
                        {FileType::TrackDesign, 2, "Quirky Quarters"},
                        {FileType::SavedGame, kNoEdition, ""},
                        {FileType::None, 0, ""},
                        {FileType::Scenario, 3, ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(EditionLabel(row.type, row.edition), row.label);
    }
}

} // namespace
} // namespace lmp
