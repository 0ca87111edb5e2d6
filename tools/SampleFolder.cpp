#include "tools/SampleFolder.h"

#include <fstream>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace lmp::tools {
namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::ParkFields;
using testkit::RideFields;
using testkit::TrackDesignFields;

namespace {

constexpr std::string_view kNoteFirstLine = "LMPexplorer sample folder";

constexpr std::string_view kNoteText =
    "LMPexplorer sample folder\n"
    "\n"
    "Every file here was made up by lmp-samples: track designs (.TD4) with some of their track\n"
    "images (.TP4), saved games (.SV4) and scenarios (.SC4) of all three editions of Lumora Parks,\n"
    "one file of each type that no edition's checksum matches, and a few files that are not game\n"
    "files. Names, parks and rides are invented.\n";

constexpr std::string_view kIdeasText = "Ideas for the next park\n"
                                        "- a water coaster along the lake\n"
                                        "- move the bathrooms nearer the entrance\n";

Bytes TextBytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

// Track images are shown in the file list but never read; any bytes do.
Bytes TrackImage(std::uint8_t seed)
{
    Bytes bytes(512);
    std::uint8_t value = seed;
    for (std::uint8_t& byte : bytes) {
        value = static_cast<std::uint8_t>(value * 37u + 11u);
        byte = value;
    }
    return bytes;
}

std::uint16_t MonthWord(int monthIndex, int year)
{
    return static_cast<std::uint16_t>(monthIndex + ((year - 1) << 3));
}

std::uint16_t DayWord(int day)
{
    return static_cast<std::uint16_t>((day - 1) << 11);
}

RideFields Rated(std::uint8_t type, std::uint16_t excitement, std::uint16_t intensity, std::uint16_t nausea)
{
    return {type, true, excitement, intensity, nausea};
}

RideFields Unrated(std::uint8_t type)
{
    return {type, false, 0, 0, 0};
}

ParkFields SunnyMeadows()
{
    ParkFields park;
    park.name = "Sunny Meadows";
    park.monthWord = MonthWord(3, 3);
    park.dayWord = DayWord(14);
    park.rating = 712;
    park.cash = 154320;
    park.guests = 1243;
    park.rides = {Rated(0, 652, 598, 412),
                  Rated(33, 120, 80, 45),
                  Rated(37, 210, 60, 30),
                  Unrated(25),
                  Unrated(32),
                  Unrated(30),
                  Unrated(36),
                  Unrated(35)};
    park.staff = 12;
    park.otherPeople = 300;
    return park;
}

ParkFields HarbourLights()
{
    ParkFields park;
    park.name = "Harbour Lights";
    park.monthWord = MonthWord(7, 1);
    park.dayWord = DayWord(3);
    park.rating = 388;
    park.cash = -12345;
    park.guests = 264;
    park.rides = {Rated(8, 145, 52, 81), Unrated(24), Unrated(28), Unrated(36)};
    park.staff = 4;
    park.otherPeople = 70;
    return park;
}

ParkFields CrystalCaverns()
{
    ParkFields park;
    park.name = "Crystal Caverns";
    park.monthWord = MonthWord(5, 5);
    park.dayWord = DayWord(28);
    park.rating = 903;
    park.cash = 1234567;
    park.guests = 3871;
    park.rides = {Rated(51, 788, 702, 455),
                  Rated(54, 612, 641, 520),
                  Rated(50, 233, 121, 65),
                  Rated(74, 590, 408, 311),
                  Rated(40, 190, 901, 1020),
                  Unrated(73),
                  Unrated(67),
                  Unrated(29),
                  Unrated(45),
                  Unrated(55),
                  Unrated(82),
                  Unrated(36),
                  Unrated(36)};
    park.staff = 31;
    park.otherPeople = 900;
    return park;
}

ParkFields PineHollow()
{
    ParkFields park;
    park.name = "Pine Hollow";
    park.slot = 4;
    park.goalType = 1;
    park.goalYears = 3;
    park.goalCount = 1500;
    park.monthWord = MonthWord(0, 1);
    park.dayWord = DayWord(1);
    park.rating = 600;
    park.cash = 100000;
    park.rides = {Unrated(5), Unrated(36)};
    park.staff = 2;
    return park;
}

ParkFields GoldenFields()
{
    ParkFields park;
    park.name = "Golden Fields";
    park.slot = 9;
    park.goalType = 6;
    park.goalCount = 2000;
    park.monthWord = MonthWord(2, 2);
    park.dayWord = DayWord(20);
    park.rating = 745;
    park.cash = 52500;
    park.guests = 640;
    park.rides = {Rated(17, 540, 466, 290), Rated(33, 118, 75, 40), Unrated(31), Unrated(34)};
    park.staff = 6;
    park.otherPeople = 120;
    return park;
}

ParkFields CafeCascade()
{
    ParkFields park;
    park.name = "Caf\xE9 Cascade"; // 8-bit (Latin-1) characters, as the game stores them
    park.slot = 12;
    park.goalType = 3;
    park.monthWord = MonthWord(1, 1);
    park.dayWord = DayWord(9);
    park.rating = 500;
    park.cash = 80000;
    park.staff = 1;
    return park;
}

ParkFields LagoonGetaway()
{
    ParkFields park;
    park.name = "Lagoon Getaway";
    park.slot = 2;
    park.goalType = 2;
    park.goalYears = 4;
    park.goalAmount = 500000;
    park.monthWord = MonthWord(0, 1);
    park.dayWord = DayWord(1);
    park.rating = 550;
    park.cash = 200000;
    park.guests = 35;
    park.rides = {Rated(16, 301, 255, 180), Unrated(77), Unrated(30)};
    park.staff = 3;
    park.otherPeople = 35;
    return park;
}

ParkFields FrostyPeaks()
{
    ParkFields park;
    park.name = "Frosty Peaks";
    park.slot = 17;
    park.goalType = 9;
    park.goalAmount = 650;
    park.monthWord = MonthWord(4, 2);
    park.dayWord = DayWord(31);
    park.rating = 820;
    park.cash = 734500;
    park.guests = 1502;
    park.rides = {Rated(13, 701, 655, 430), Rated(18, 150, 40, 20), Rated(14, 99, 12, 5), Unrated(80),
                  Unrated(36)};
    park.staff = 14;
    park.otherPeople = 500;
    return park;
}

ParkFields CloudNine()
{
    ParkFields park;
    park.name = "Cloud Nine";
    park.slot = 5;
    park.goalType = 8;
    park.goalCount = 305;
    park.monthWord = MonthWord(6, 3);
    park.dayWord = DayWord(12);
    park.rating = 677;
    park.cash = 9999;
    park.guests = 2210;
    park.rides = {Rated(62, 811, 720, 515),
                  Rated(75, 905, 855, 602),
                  Rated(66, 640, 780, 690),
                  Rated(69, 402, 615, 380),
                  Unrated(71),
                  Unrated(84),
                  Unrated(83),
                  Unrated(57)};
    park.staff = 20;
    park.otherPeople = 800;
    return park;
}

ParkFields DesertOasis()
{
    ParkFields park;
    park.name = "Desert Oasis";
    park.slot = 21;
    park.goalType = 7;
    park.goalAmount = 35000;
    park.monthWord = MonthWord(0, 1);
    park.dayWord = DayWord(1);
    park.rating = 480;
    park.cash = 150000;
    park.rides = {Unrated(79), Unrated(78)};
    return park;
}

ParkFields MysteryIsland()
{
    ParkFields park;
    park.name = "Mystery Island";
    park.slot = 30;
    park.goalType = 4;
    park.rating = 100;
    return park;
}

TrackDesignFields Design(std::uint8_t rideType, std::uint16_t metres, std::uint8_t excitement,
                         std::uint8_t intensity, std::uint8_t nausea)
{
    TrackDesignFields fields;
    fields.rideType = rideType;
    fields.lengthMetres = metres;
    fields.excitement = excitement;
    fields.intensity = intensity;
    fields.nausea = nausea;
    return fields;
}

bool IsSampleFolder(const fs::path& folder)
{
    std::ifstream note(folder / kSampleNoteName);
    std::string firstLine;
    return note && std::getline(note, firstLine) && firstLine == kNoteFirstLine;
}

} // namespace

std::vector<SampleFile> SampleFiles()
{
    using testkit::MakeParkFile;
    using testkit::MakeTrackDesignFile;
    const FileType saved = FileType::SavedGame;
    const FileType scenario = FileType::Scenario;
    const Bytes brokenDesign = testkit::PackUnmatched(
        testkit::EncodeRunLength(testkit::BuildTrackDesign(Design(0, 400, 60, 55, 30))));

    return {
        {kSampleNoteName, TextBytes(kNoteText)},
        {"Park Ideas.txt", TextBytes(kIdeasText)},
        {"Coaster 2.TD4", MakeTrackDesignFile(Design(0, 305, 67, 52, 38), 0)},
        {"Coaster 2.TP4", TrackImage(2)},
        {"Coaster 2.TD4.bak", MakeTrackDesignFile(Design(0, 290, 64, 50, 37), 0)},
        {"Coaster 10.TD4", MakeTrackDesignFile(Design(19, 812, 72, 68, 45), 0)},
        {"Coaster 10.TP4", TrackImage(10)},
        {"Whitewater.TD4", MakeTrackDesignFile(Design(24, 520, 48, 30, 22), 0)},
        {"Comet Run.TD4", MakeTrackDesignFile(Design(51, 1000, 81, 77, 56), 1)},
        {"Comet Run.TP4", TrackImage(33)},
        {"Log Chute.td4", MakeTrackDesignFile(Design(23, 450, 55, 31, 25), 1)},
        {"Mouse Trap.Td4", MakeTrackDesignFile(Design(54, 388, 59, 63, 48), 2)},
        {"Twin Spiral.TD4", MakeTrackDesignFile(Design(62, 1250, 88, 84, 61), 2)},
        {"Twin Spiral.tp4", TrackImage(62)},
        {"Broken Design.TD4", brokenDesign},
        {"Sunny Meadows.SV4", MakeParkFile(SunnyMeadows(), saved, 0)},
        {"Harbour Lights.SV4", MakeParkFile(HarbourLights(), saved, 1)},
        {"Crystal Caverns.sv4", MakeParkFile(CrystalCaverns(), saved, 2)},
        {"Corrupted Save.SV4", MakeParkFile(SunnyMeadows(), saved, kNoEdition)},
        {"Pine Hollow.SC4", MakeParkFile(PineHollow(), scenario, 0)},
        {"Golden Fields.SC4", MakeParkFile(GoldenFields(), scenario, 0)},
        {"Cafe Cascade.SC4", MakeParkFile(CafeCascade(), scenario, 0)},
        {"Lagoon Getaway.SC4", MakeParkFile(LagoonGetaway(), scenario, 1)},
        {"Frosty Peaks.Sc4", MakeParkFile(FrostyPeaks(), scenario, 1)},
        {"Cloud Nine.SC4", MakeParkFile(CloudNine(), scenario, 2)},
        {"Desert Oasis.sc4", MakeParkFile(DesertOasis(), scenario, 2)},
        {"Mystery Island.SC4", MakeParkFile(MysteryIsland(), scenario, kNoEdition)},
    };
}

std::size_t WriteSampleFolder(const fs::path& folder)
{
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) {
            throw std::runtime_error(folder.string() + " exists and is not a folder");
        }
        if (!fs::is_empty(folder) && !IsSampleFolder(folder)) {
            throw std::runtime_error(folder.string() +
                                     " is a folder that holds other files; choose a new or empty folder");
        }
    }
    fs::create_directories(folder);

    const std::vector<SampleFile> files = SampleFiles();
    for (const SampleFile& file : files) {
        testkit::WriteFile(folder / file.name, file.bytes);
    }
    return files.size();
}

} // namespace lmp::tools
