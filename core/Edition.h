#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace lmp {

// Game edition codes: 0 original game, 1 first expansion, 2 second expansion.
inline constexpr std::int32_t kNoEdition = -1;

enum class FileType { None, TrackDesign, SavedGame, Scenario };

// The extension of a file name: from its last "." on, dot included; empty without a dot.
std::string_view ExtensionOf(std::string_view fileName) noexcept;

// The game file type named by the ASCII-upper-cased extension (".TD4", ".SV4", ".SC4"); None otherwise,
// track images (".TP4") included.
FileType FileTypeOfName(std::string_view fileName) noexcept;

// A checksum difference that identifies an edition for one file type.
struct EditionRule {
    FileType type;
    std::int32_t difference;
    std::int32_t edition;
};

std::span<const EditionRule> EditionRules() noexcept;

// The edition that the difference identifies for the type, or kNoEdition. For a track design the
// answer 0 still depends on the decoded flag byte (TrackDesignEdition).
std::int32_t MatchEditionRule(FileType type, std::int32_t difference) noexcept;

// A track design matched as edition 0 belongs to edition 1 when bit 0x04 of its flag byte is set.
std::int32_t TrackDesignEdition(std::int32_t matched, std::uint8_t flags) noexcept;

// The label of the version line; the original edition is "Original LMP" for track designs and
// "original LMP" for parks. Empty for kNoEdition or FileType::None.
std::string_view EditionLabel(FileType type, std::int32_t edition) noexcept;

} // namespace lmp
