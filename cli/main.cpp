#include <exception>
#include <iostream>

#include "cli/Lmpinfo.h"
#include "cli/Messages.h"
#include "sys/Terminal.h"

int main(int argc, char** argv)
{
    try {
        return lmp::cli::Main(argc, argv, std::cout, std::cerr,
                              {lmp::sys::StandardOutputIsTerminal(), lmp::sys::StandardErrorIsTerminal()});
    } catch (const std::exception& error) {
        std::cerr << lmp::cli::FormatStderrMessage(error.what()) << '\n';
        return lmp::cli::kExitFileError;
    }
}
