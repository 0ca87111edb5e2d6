// lmpinfo.exe as a Windows shell (cmd.exe) runs it: the shell passes wildcards on as typed and the
// arguments as UTF-16, and the program writes to a pipe. What it writes must be the bytes that Main
// writes for the names the arguments stand for.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "TestSupport.h"
#include "cli/Lmpinfo.h"
#include "sys/CommandLine.h"
#include "testkit/GameFiles.h"

namespace lmp::cli {
namespace {
namespace fs = std::filesystem;

struct Output {
    std::string out;
    int exitCode = -1;
};

Output RunThroughShell(const fs::path& program, const std::string& arguments)
{
    // cmd.exe /c takes off the first and the last quote of a command that starts with one.
    std::string command = "\"\"";
    command += sys::Utf8FromPath(program);
    command += "\" ";
    command += arguments;
    command += " 2>NUL\"";
    Output output;
    FILE* pipe = _wpopen(sys::PathFromUtf8(command).c_str(), L"rb");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.out.append(buffer, got);
    output.exitCode = _pclose(pipe);
    return output;
}

Output RunInProcess(const std::string& format, const std::vector<std::string>& names)
{
    std::vector<const char*> argv{"lmpinfo"};
    if (!format.empty())
        argv.push_back(format.c_str());
    for (const std::string& name : names)
        argv.push_back(name.c_str());
    std::ostringstream out, err;
    const int exitCode = Main(static_cast<int>(argv.size()), argv.data(), out, err);
    return {out.str(), exitCode};
}

TEST(WindowsCommandLine, UnicodeNamesWildcardsAndSlashPathsGiveWhatTheNamesGive)
{
    const fs::path program = fs::absolute(LMP_LMPINFO_EXE).make_preferred();
    const test::TempFolder folder;
    const std::string park = "\xD0\x9F\xD0\xB0\xD1\x80\xD0\xBA \xCE\xA9.TD4"; // "Парк Ω.TD4"
    fs::create_directory(folder / "sub");
    testkit::WriteFile(folder / "a.TD4", testkit::MakeTrackDesignFile({.rideType = 37, .excitement = 12}, 0));
    testkit::WriteFile(folder / "b.td4", testkit::MakeTrackDesignFile({.rideType = 3, .lengthMetres = 9}, 1));
    testkit::WriteFile(folder.Path() / sys::PathFromUtf8(park),
                       testkit::MakeTrackDesignFile({.rideType = 5, .intensity = 40}, 2));
    testkit::WriteFile(folder / "sub" / "c.TD4", testkit::MakeTrackDesignFile({.rideType = 7}, 0));
    testkit::WriteFile(folder / "notes.txt", testkit::Bytes{1});
    // The file's full path without its drive, which Windows takes from the current folder.
    const std::string slashPath = sys::Utf8FromPath(fs::path("/") / (folder / "a.TD4").relative_path());

    struct Row {
        std::string typed;              // the arguments as typed at the shell
        std::vector<std::string> names; // what they stand for
        int exitCode;
    };
    const Row rows[] = {
        {"*.TD4", {"a.TD4", "b.td4", park}, kExitOk},
        {"?.td4 \"" + park + "\"", {"a.TD4", "b.td4", park}, kExitOk},
        {"\"\xD0\x9F*\"", {park}, kExitOk},
        {"\"???? ?.TD4\"", {park}, kExitOk}, // "?" is a character, not a byte
        {"sub\\*", {"sub\\c.TD4"}, kExitOk},
        {"*.SV4 a.TD4", {"*.SV4", "a.TD4"}, kExitFileError}, // matching nothing: reported as missing
        {slashPath, {slashPath}, kExitOk},
    };
    const fs::path before = fs::current_path();
    fs::current_path(folder.Path());
    for (const Row& row : rows) {
        for (const std::string format : {"", "--json", "--csv"}) {
            const Output shell = RunThroughShell(program, format + ' ' + row.typed);
            const Output expected = RunInProcess(format, row.names);
            EXPECT_EQ(shell.exitCode, row.exitCode) << row.typed << ' ' << format;
            EXPECT_EQ(shell.out, expected.out) << row.typed << ' ' << format;
            EXPECT_EQ(expected.exitCode, row.exitCode) << row.typed << ' ' << format;
            // CSV rows end in exactly CRLF; the other formats in LF alone.
            std::size_t lineEnds = 0, crlf = 0;
            for (std::size_t i = 0; i < shell.out.size(); ++i) {
                lineEnds += shell.out[i] == '\n';
                crlf += shell.out[i] == '\n' && i > 0 && shell.out[i - 1] == '\r';
            }
            EXPECT_GT(lineEnds, 0u) << row.typed << ' ' << format;
            EXPECT_EQ(crlf, format == "--csv" ? lineEnds : 0u) << row.typed << ' ' << format;
            EXPECT_EQ(shell.out.find("\r\r"), std::string::npos) << row.typed << ' ' << format;
        }
    }
    fs::current_path(before);
}

} // namespace
} // namespace lmp::cli
