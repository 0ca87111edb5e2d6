// Writes the files that the lmpinfo tests describe into the folder given as the only argument. The
// expected texts in expected/ were worked out by hand from the values set here.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

#include "testkit/GameFiles.h"

namespace fs = std::filesystem;
using namespace lmp::testkit;
using lmp::FileType;
using lmp::kNoEdition;

namespace {

TrackDesignSpec Design(std::uint8_t rideType, std::uint16_t metres, std::uint8_t excitement, std::uint8_t intensity,
                       std::uint8_t nausea)
{
    TrackDesignSpec spec;
    spec.rideType = rideType;
    spec.lengthMetres = metres;
    spec.excitement = excitement;
    spec.intensity = intensity;
    spec.nausea = nausea;
    return spec;
}

// April 16, year 2; two rated rides whose averages need integer division, an unrated ride, a stall
// and a reserved type that counts as neither.
ParkSpec MapleGrove()
{
    ParkSpec park;
    park.name = "Maple Grove";
    park.monthWord = 9;
    park.dayWord = 0x7800;
    park.rating = 725;
    park.cash = -12345;
    park.guests = 1500;
    park.rides = {{0, true, 650, 400, 100}, {33, false, 0, 0, 0}, {64, true, 999, 999, 999},
                  {51, true, 701, 451, 103}, {36, true, 500, 500, 500}};
    park.staff = 3;
    park.otherPeople = 5;
    return park;
}

ParkSpec CoralCove()
{
    ParkSpec park;
    park.name = "Coral Cove";
    park.slot = 3;
    park.goalType = 8;
    park.goalCount = 305;
    park.monthWord = 7;
    park.dayWord = 30 << 11;
    park.rating = 999;
    park.cash = 1234567;
    return park;
}

ParkSpec LongName()
{
    ParkSpec park;
    park.name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    park.slot = 65535;
    park.goalType = 9;
    park.goalAmount = 650;
    park.monthWord = 7 << 3;
    park.rides = {{10, true, 1, 2, 3}};
    park.staff = 1;
    return park;
}

ParkSpec Cafe()
{
    ParkSpec park;
    park.name = "Caf\xE9";
    park.goalType = 1;
    park.goalYears = 3;
    park.goalCount = 1500;
    park.rating = 1;
    park.cash = 9;
    return park;
}

void Write(const fs::path& path, const Bytes& bytes)
{
    WriteFile(path, bytes);
}

void LinkNowhere(const fs::path& link)
{
    std::error_code ignored;
    fs::remove(link, ignored);
    fs::create_symlink("no such target", link);
}

void WriteFixtures(const fs::path& dir)
{
    fs::create_directories(dir / "order" / "sub");

    Write(dir / "td0.TD4", MakeTrackDesignFile(Design(0, 305, 67, 5, 255), 0));
    Write(dir / "td1.td4", MakeTrackDesignFile(Design(84, 1000, 0, 100, 67), 1));
    Write(dir / "td2.Td4", MakeTrackDesignFile(Design(200, 65535, 255, 1, 10), 2));
    Write(dir / "bad.TD4", MakeTrackDesignFile(Design(0, 305, 67, 5, 255), kNoEdition));

    Write(dir / "sv0.SV4", MakeParkFile(MapleGrove(), FileType::SavedGame, 0));
    Write(dir / "sc1.SC4", MakeParkFile(CoralCove(), FileType::Scenario, 1));
    Write(dir / "sc2.SC4", MakeParkFile(LongName(), FileType::Scenario, 2));
    Write(dir / "sc0.sc4", MakeParkFile(Cafe(), FileType::Scenario, 0));
    Write(dir / "sv-bad.SV4", MakeParkFile(MapleGrove(), FileType::SavedGame, kNoEdition));
    Write(dir / "sc-bad.SC4", MakeParkFile(CoralCove(), FileType::Scenario, kNoEdition));

    Write(dir / "image.TP4", Bytes{0x00, 0x41, 0x84, 0xA8, 0x01, 0x00});
    Write(dir / "notes.txt", Bytes{'h', 'i', '\n'});
    LinkNowhere(dir / "unreadable.TD4");

    Write(dir / "order" / "Track 10.TD4", MakeTrackDesignFile(Design(1, 10, 10, 10, 10), 0));
    Write(dir / "order" / "track 2.TD4", MakeTrackDesignFile(Design(2, 2, 20, 20, 20), 0));
    Write(dir / "order" / "Track 1.td4", MakeTrackDesignFile(Design(3, 1, 30, 30, 30), 0));
    Write(dir / "order" / "readme.txt", Bytes{'o', 'k', '\n'});
    Write(dir / "order" / "sub" / "hidden.TD4", MakeTrackDesignFile(Design(4, 4, 40, 40, 40), 0));
    LinkNowhere(dir / "order" / "dangling.TD4");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_cli_fixtures DIR\n";
        return 2;
    }
    try {
        WriteFixtures(argv[1]);
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "make_cli_fixtures: " << error.what() << '\n';
        return 1;
    }
}
