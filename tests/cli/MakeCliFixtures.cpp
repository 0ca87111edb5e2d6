// Writes the files that the lmpinfo tests describe into the folder given as the only argument. The
// expected texts in expected/ were worked out by hand from the values set here.
#include <sys/stat.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include "testkit/GameFiles.h"

namespace fs = std::filesystem;
using namespace lmp::testkit;
using lmp::FileType;
using lmp::kNoEdition;

namespace {

TrackDesignFields Design(std::uint8_t rideType, std::uint16_t metres, std::uint8_t excitement,
                         std::uint8_t intensity, std::uint8_t nausea)
{
    return {.rideType = rideType,
            .lengthMetres = metres,
            .excitement = excitement,
            .intensity = intensity,
            .nausea = nausea};
}

// April 16, year 2; two rated rides whose averages need integer division, an unrated ride, a stall
// and a reserved type that counts as neither.
const ParkFields kMapleGrove = {.name = "Maple Grove",
                                .monthWord = 9,
                                .dayWord = 0x7800,
                                .rating = 725,
                                .cash = -12345,
                                .guests = 1500,
                                .rides = {{0, true, 650, 400, 100},
                                          {33},
                                          {64, true, 999, 999, 999},
                                          {51, true, 701, 451, 103},
                                          {36, true, 500, 500, 500}},
                                .staff = 3,
                                .otherPeople = 5};
const ParkFields kCoralCove = {.name = "Coral Cove",
                               .slot = 3,
                               .goalType = 8,
                               .goalCount = 305,
                               .monthWord = 7,
                               .dayWord = 30 << 11,
                               .rating = 999,
                               .cash = 1234567,
                               .rides = {}};
const ParkFields kLongName = {.name = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345",
                              .slot = 65535,
                              .goalType = 9,
                              .goalAmount = 650,
                              .monthWord = 7 << 3,
                              .rides = {{10, true, 1, 2, 3}},
                              .staff = 1};
const ParkFields kCafe = {
    .name = "Caf\xE9", .goalType = 1, .goalYears = 3, .goalCount = 1500, .rating = 1, .cash = 9, .rides = {}};

void LinkNowhere(const fs::path& link)
{
    std::error_code ignored;
    fs::remove(link, ignored);
    fs::create_symlink("no such target", link);
}

// A named pipe that nothing writes to: opening it for reading would block.
void MakeFifo(const fs::path& path)
{
    std::error_code ignored;
    fs::remove(path, ignored);
    if (::mkfifo(path.c_str(), 0644) != 0)
        throw std::runtime_error("cannot make the pipe " + path.string());
}

void WriteFixtures(const fs::path& dir)
{
    fs::create_directories(dir / "order" / "sub");
    WriteFile(dir / "td0.TD4", MakeTrackDesignFile(Design(0, 305, 67, 5, 255), 0));
    WriteFile(dir / "td1.td4", MakeTrackDesignFile(Design(84, 1000, 0, 100, 67), 1));
    WriteFile(dir / "td2.Td4", MakeTrackDesignFile(Design(200, 65535, 255, 1, 10), 2));
    WriteFile(dir / "bad.TD4", MakeTrackDesignFile(Design(0, 305, 67, 5, 255), kNoEdition));
    WriteFile(dir / "sv0.SV4", MakeParkFile(kMapleGrove, FileType::SavedGame, 0));
    WriteFile(dir / "sc1.SC4", MakeParkFile(kCoralCove, FileType::Scenario, 1));
    WriteFile(dir / "sc2.SC4", MakeParkFile(kLongName, FileType::Scenario, 2));
    WriteFile(dir / "sc0.sc4", MakeParkFile(kCafe, FileType::Scenario, 0));
    WriteFile(dir / "sv-bad.SV4", MakeParkFile(kMapleGrove, FileType::SavedGame, kNoEdition));
    WriteFile(dir / "sc-bad.SC4", MakeParkFile(kCoralCove, FileType::Scenario, kNoEdition));
    WriteFile(dir / "image.TP4", Bytes{0x00, 0x41, 0x84, 0xA8, 0x01, 0x00});
    WriteFile(dir / "notes.txt", Bytes{'h', 'i', '\n'});
    LinkNowhere(dir / "unreadable.TD4");

    WriteFile(dir / "order" / "Track 10.TD4", MakeTrackDesignFile(Design(1, 10, 10, 10, 10), 0));
    WriteFile(dir / "order" / "track 2.TD4", MakeTrackDesignFile(Design(2, 2, 20, 20, 20), 0));
    WriteFile(dir / "order" / "Track 1.td4", MakeTrackDesignFile(Design(3, 1, 30, 30, 30), 0));
    WriteFile(dir / "order" / "readme.txt", Bytes{'o', 'k', '\n'});
    WriteFile(dir / "order" / "sub" / "hidden.TD4", MakeTrackDesignFile(Design(4, 4, 40, 40, 40), 0));
    LinkNowhere(dir / "order" / "dangling.TD4");

    // Subfolders that only -r reaches, and a link back to the folder that it must not follow.
    fs::create_directories(dir / "order" / "sub 9");
    fs::create_directories(dir / "order" / "Sub 10" / "deep");
    WriteFile(dir / "order" / "sub 9" / "nine.td4", MakeTrackDesignFile(Design(9, 9, 90, 90, 90), 0));
    WriteFile(dir / "order" / "Sub 10" / "ten.TD4", MakeTrackDesignFile(Design(10, 100, 100, 100, 100), 0));
    WriteFile(dir / "order" / "Sub 10" / "deep" / "deep.TD4",
              MakeTrackDesignFile(Design(11, 1000, 1, 2, 3), 0));
    std::error_code ignored;
    fs::remove(dir / "order" / "loop", ignored);
    fs::create_directory_symlink(".", dir / "order" / "loop");

    // More files than the progress line waits for.
    fs::create_directories(dir / "many");
    const Bytes design = MakeTrackDesignFile(Design(0, 1, 1, 1, 1), 0);
    for (int i = 0; i < 600; ++i)
        WriteFile((dir / "many" / "t") += std::to_string(i) + ".TD4", design);

    // Files that stay open while they are read (2 MiB each, sparse), between track designs: more than a
    // handle limit of 16 lets eight threads hold at once.
    fs::create_directories(dir / "open");
    for (int i = 0; i < 48; ++i) {
        const fs::path name = (dir / "open" / "f") += std::to_string(i);
        WriteFile(fs::path(name) += ".TD4", design);
        std::ofstream(fs::path(name) += ".SV4").close();
        fs::resize_file(fs::path(name) += ".SV4", std::uintmax_t{2} << 20);
    }

    // Path lists: CRLF line ends, empty lines, a missing file and no final line end; NUL-separated.
    const std::string lines = "td0.TD4\r\n\r\n\nmissing.TD4\nsc1.SC4";
    WriteFile(dir / "paths.list", Bytes(lines.begin(), lines.end()));
    const std::string nulls("td0.TD4\0td1.td4\0", 16);
    WriteFile(dir / "paths.list0", Bytes(nulls.begin(), nulls.end()));

    MakeFifo(dir / "pipe.TD4");
    fs::create_directories(dir / "folder.SV4");
    MakeFifo(dir / "folder.SV4" / "inner.TD4");
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
