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
    try {
        lmp::sys::PrepareStandardStreams();
        const std::vector<std::string> arguments = lmp::sys::CommandLineArguments(argc, argv);
        std::vector<const char*> pointers;
        for (const std::string& argument : arguments)
            pointers.push_back(argument.c_str());
        return lmp::cli::Main(static_cast<int>(pointers.size()), pointers.data(), std::cout, std::cerr,
                              {lmp::sys::StandardOutputIsTerminal(), lmp::sys::StandardErrorIsTerminal()});
    } catch (const std::exception& error) {
        std::cerr << lmp::cli::FormatStderrMessage(error.what()) << '\n';
        return lmp::cli::kExitFileError;
    }
}
