#include <exception>
#include <iostream>

#include "tools/SampleFolder.h"

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '\0') {
        std::cerr
            << "usage: lmp-samples DIR\n"
               "Writes a folder of invented Lumora Parks files (track designs, track images, saved games,\n"
               "scenarios of every edition, and a few other files) into DIR, which must be new, empty or\n"
               "an earlier sample folder.\n";
        return 2;
    }
    try {
        const std::size_t count = lmp::tools::WriteSampleFolder(argv[1]);
        std::cout << "Wrote " << count << " sample files to " << argv[1] << '\n';
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "lmp-samples: " << error.what() << '\n';
        return 1;
    }
}
