#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "tools/MemoryCheck.h"

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    CLI::App app("Describes a very large or very expanding saved game and prints the time and the peak\n"
                 "resident memory it took. Modes:\n"
                 "  sparse           SIZE bytes of zeros (no disk space used) that match no edition\n"
                 "  sparse-matching  the same with a trailer that makes it an original-edition saved game\n"
                 "  expanding        a small park whose records decode to about SIZE bytes",
                 "lmp-memcheck");
    std::string mode;
    std::uint64_t size = std::uint64_t{2} << 30;
    long limitMiB = 0;
    app.add_option("MODE", mode, "sparse, sparse-matching or expanding")
        ->required()
        ->check(CLI::IsMember({"sparse", "sparse-matching", "expanding"}));
    app.add_option("--size", size, "File size (sparse) or decoded size (expanding), bytes; default 2 GiB");
    app.add_option("--limit-mib", limitMiB, "Exit 1 when the peak resident memory exceeds this many MiB");
    CLI11_PARSE(app, argc, argv);

    fs::path folder;
    try {
        std::string pattern = (fs::temp_directory_path() / "lmp-memcheck-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::cerr << "lmp-memcheck: cannot create a temporary folder\n";
            return 1;
        }
        folder = pattern;
        const fs::path file = folder / "x.SV4";
        if (mode == "expanding") {
            lmp::tools::MakeExpandingSavedGame(file, size);
        } else {
            lmp::tools::MakeSparseFile(file, size, mode == "sparse-matching");
        }
        const lmp::tools::Measurement measured = lmp::tools::MeasureDescribe(file);
        const auto fileSize = fs::file_size(file);
        fs::remove_all(folder);

        std::cout << "mode: " << mode << ", file x.SV4 of " << fileSize << " bytes\n";
        for (const std::string& line : measured.lines) {
            std::cout << "  | " << line << '\n';
        }
        std::cout << std::fixed << std::setprecision(2) << "time: " << measured.seconds << " s\n"
                  << "peak resident memory: " << static_cast<double>(measured.peakAfterKiB) / 1024.0
                  << " MiB (before describing: " << static_cast<double>(measured.peakBeforeKiB) / 1024.0
                  << " MiB)\n";
        if (limitMiB > 0 && measured.peakAfterKiB > limitMiB * 1024) {
            std::cerr << "lmp-memcheck: peak resident memory above " << limitMiB << " MiB\n";
            return 1;
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "lmp-memcheck: " << error.what() << '\n';
        if (!folder.empty()) {
            std::error_code ignored;
            fs::remove_all(folder, ignored);
        }
        return 1;
    }
}
