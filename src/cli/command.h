#pragma once
// Commands of lumeq-cli. Each command lives in its own cmd_*.cpp and registers itself with
// LUMEQ_CLI_COMMAND; main() dispatches on the first argument.

#include "files/configfile.h"

#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace lumeq {
struct ProgrammedRecord;
}

namespace lumeq::cli {

enum ExitCode : int { Success = 0, BadInput = 1, UsageError = 2 };

struct Command {
    const char* name;
    const char* synopsis;                             // one line for --help: "check FILE"
    const char* summary;                              // what it does, one line
    int (*run)(const std::vector<std::string>& args); // arguments after the command name
};

const std::vector<Command>& commands();
bool registerCommand(const Command& command);

// Where the commands write: standard output and standard error, or the streams runCommandLine was given.
std::FILE* out();
std::FILE* err();

// The whole command line after the program's name (`lumeq-cli check x.qcf` gives {"check", "x.qcf"}), each
// argument byte for byte as the file system has it; its output goes to `output`, its messages to `errors`.
// Returns the exit code. What main() runs, and what tests run in process.
int runCommandLine(const std::vector<std::string>& arguments, std::FILE* output, std::FILE* errors);

// Prints "lumeq-cli: <message>" to err().
void error(const std::string& message);

// Runs the subcommand named by args[0] ("module read ...") with the arguments after it.
struct Subcommand {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
};
// "--help" or "-h" in place of a subcommand prints the usage and the help.
int runSubcommand(const std::vector<std::string>& args, std::initializer_list<Subcommand> subcommands,
                  const char* command, const char* usage, const char* help);

// Prints the usage line(s) and the help text below them to out().
void printHelp(const char* usage, const char* help);

// The text with control characters written as \xNN, so that an odd name cannot upset a terminal.
std::string printable(const std::string& text);
// A text between quotes, control characters written as \xNN so they cannot upset a terminal.
std::string quoted(const std::string& text);
// Four upper-case hexadecimal digits.
std::string hex4(unsigned value);

// The configuration file `name` as the commands take it: read and parsed, or refused with a message when it
// cannot be read, is not a configuration, or its CRC fails (unless noLoadCheck).
std::optional<ConfigFile> readConfiguration(const std::string& name, bool noLoadCheck);

// Adds a write to the log of programmed modules (see lumeq-cli log); says so on stderr when it cannot.
void recordProgramming(const ProgrammedRecord& record);

} // namespace lumeq::cli

#define LUMEQ_CLI_CONCAT_(a, b) a##b
#define LUMEQ_CLI_CONCAT(a, b) LUMEQ_CLI_CONCAT_(a, b)
#define LUMEQ_CLI_COMMAND(...)                                                                                         \
    namespace {                                                                                                        \
    [[maybe_unused]] const bool                                                                                        \
        LUMEQ_CLI_CONCAT(registered_, __LINE__) = ::lumeq::cli::registerCommand(::lumeq::cli::Command{__VA_ARGS__});   \
    }
