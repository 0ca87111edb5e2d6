#include "core/TrackDesign.h"

#include <array>
#include <string>

#include "core/NumberFormat.h"

namespace lmp {

namespace {

constexpr std::array<std::string_view, 85> kRideTypeNames = {
    "Wooden Roller Coaster",
    "Stand-Up Steel Roller Coaster",
    "Suspended Roller Coaster",
    "Inverted Roller Coaster",
    "Steel Mini Roller Coaster",
    "Miniature Railroad",
    "Monorail",
    "Suspended Single-Rail Roller Coaster",
    "Boat Hire",
    "Wooden Crazy Rodent Roller Coaster",
    "Single-Rail Roller Coaster",
    "Car Ride",
    "Whoa Belly",
    "Bobsled Roller Coaster",
    "Observation Tower",
    "Steel Roller Coaster",
    "Water Slide",
    "Mine Train Roller Coaster",
    "Chairlift",
    "Steel Corkscrew Roller Coaster",
    "Hedge Maze",
    "Spiral Slide",
    "Go Karts",
    "Log Flume",
    "River Rapids",
    "Bumper Cars",
    "Swinging Ship",
    "Swinging Inverter Ship",
    "Ice Cream Stall",
    "Fries Stall",
    "Drink Stall",
    "Cotton Candy Stall",
    "Burger Bar",
    "Merry-Go-Round",
    "Balloon Stall",
    "Information Kiosk",
    "Bathroom",
    "Ferris Wheel",
    "Motion Simulator",
    "3D Cinema",
    "Gravitron",
    "Space Rings",
    "Reverse Whoa Belly Roller Coaster",
    "Souvenir Stall",
    "Vertical Roller Coaster",
    "Pizza Stall",
    "Scrambled Eggs",
    "Haunted House",
    "Popcorn Stall",
    "Circus Show",
    "Ghost Train",
    "Steel Twister Roller Coaster",
    "Wooden Twister Roller Coaster",
    "Wooden Side-Friction Roller Coaster",
    "Steel Wild Mouse Roller Coaster",
    "Hot Dog Stall",
    "Exotic Sea-Food Stall",
    "Hat Stall",
    "Candy Apple Stand",
    "Virginia Reel",
    "River Ride",
    "Cycle Monorail",
    "Flying Roller Coaster",
    "Suspended Monorail",
    "(reserved)",
    "Wooden Reverser Roller Coaster",
    "Heartline Twister Roller Coaster",
    "Miniature Golf",
    "(reserved)",
    "Roto-Drop",
    "Flying Saucers",
    "Crooked House",
    "Cycle Railway",
    "Suspended Looping Roller Coaster",
    "Water Coaster",
    "Air Powered Vertical Coaster",
    "Inverted Wild Mouse Coaster",
    "Jet Skis",
    "T-shirt Stall",
    "Raft Ride",
    "Doughnut Shop",
    "Enterprise",
    "Coffee Shop",
    "Fried Chicken Stall",
    "Lemonade Stall",
};

constexpr std::size_t kRideTypeOffset = 0;
constexpr std::size_t kLengthOffset = 43;
constexpr std::size_t kExcitementOffset = 51;
constexpr std::size_t kIntensityOffset = 52;
constexpr std::size_t kNauseaOffset = 53;

} // namespace

std::string RatingText(std::uint8_t tenths, std::string_view decimalMark)
{
    return FormatFixed(DecimalOfSingle(tenths, 1), 6, 2, decimalMark);
}

std::string_view RideTypeName(unsigned rideType) noexcept
{
    return rideType < kRideTypeNames.size() ? kRideTypeNames[rideType] : "ERROR!";
}

TrackDesignSummary SummarizeTrackDesign(const ByteStream& decoded) noexcept
{
    const ByteReader data = decoded.Reader();
    return {.rideType = data.U8(kRideTypeOffset),
            .excitement = data.U8(kExcitementOffset),
            .intensity = data.U8(kIntensityOffset),
            .nausea = data.U8(kNauseaOffset),
            .lengthMetres = data.U16(kLengthOffset)};
}

void FormatTrackDesign(const TrackDesignSummary& summary, std::string_view decimalMark, Lines& lines)
{
    const std::uint16_t length = summary.lengthMetres;
    lines.push_back("      Type: " + std::string(RideTypeName(summary.rideType)));
    lines.push_back("Excitement: " + RatingText(summary.excitement, decimalMark));
    lines.push_back(" Intensity: " + RatingText(summary.intensity, decimalMark));
    lines.push_back("    Nausea: " + RatingText(summary.nausea, decimalMark));
    lines.push_back("    Length: " + FormatFeet(length) + " ft, (" + FormatGrouped(length) + " meters)");
}

TrackDesignSummary DescribeTrackDesign(const ByteStream& decoded, std::string_view decimalMark, Lines& lines)
{
    const TrackDesignSummary summary = SummarizeTrackDesign(decoded);
    FormatTrackDesign(summary, decimalMark, lines);
    return summary;
}

} // namespace lmp
