// lumeq-cli: the headless face of Lumeq Config for scripts and batch work.
// Exit codes: 0 success, 1 bad input (a file or device that is not right), 2 usage error.

#include "cli/command.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    // The arguments as the file system gives them, byte for byte.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return lumeq::cli::runCommandLine(arguments, stdout, stderr);
}
