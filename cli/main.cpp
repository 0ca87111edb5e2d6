#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Lmpinfo.h"
#include "cli/Messages.h"
#include "sys/Allocator.h"
#include "sys/CommandLine.h"
#include "sys/Console.h"
#include "sys/Terminal.h"

int main(int argc, char** argv)
{
    lmp::sys::KeepLargeBuffersForReuse();
    lmp::sys::KeepThreadStacksSmall();
    const lmp::cli::Terminals terminals{lmp::sys::StandardOutputIsTerminal(),
                                        lmp::sys::StandardErrorIsTerminal()};
    // To a file or a pipe the lines go out in blocks of 64 KiB, and whenever lmpinfo waits; a terminal
    // keeps its line buffering, and gets each file's lines at once.
    if (!terminals.out)
        std::setvbuf(stdout, nullptr, _IOFBF, std::size_t{64} << 10);
    try {
        lmp::sys::PrepareStandardStreams();
        const std::vector<std::string> arguments = lmp::sys::CommandLineArguments(argc, argv);
        std::vector<const char*> pointers;
        for (const std::string& argument : arguments)
            pointers.push_back(argument.c_str());
        return lmp::cli::Main(static_cast<int>(pointers.size()), pointers.data(), std::cout, std::cerr,
                              terminals);
    } catch (const std::exception& error) {
        std::cerr << lmp::cli::FormatStderrMessage(error.what()) << '\n';
        return lmp::cli::kExitFileError;
    }
}
