#include <exception>
#include <iostream>

#include "cli/Lmpinfo.h"
#include "cli/platform/Terminal.h"

int main(int argc, char** argv)
{
    try {
        return lmp::cli::Main(argc, argv, std::cout, std::cerr,
                              {lmp::cli::StandardOutputIsTerminal(), lmp::cli::StandardErrorIsTerminal()});
    } catch (const std::exception& error) {
        std::cerr << "lmpinfo: " << error.what() << '\n';
        return lmp::cli::kExitFileError;
    }
}
