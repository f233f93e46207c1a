// The command table of lumeq-cli, what the commands share, and the whole command line: the library that
// the program's main() and the in-process tests run.

#include "cli/command.h"
#include "files/nativename.h"
#include "model/hex.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace lumeq::cli {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> list;
    return list;
}

// Where the command running now writes.
std::FILE* currentOut = stdout;
std::FILE* currentErr = stderr;
} // namespace

std::FILE* out() {
    return currentOut;
}

std::FILE* err() {
    return currentErr;
}

const std::vector<Command>& commands() {
    return registry();
}

bool registerCommand(const Command& command) {
    auto& list = registry();
    list.push_back(command);
    std::sort(list.begin(), list.end(),
              [](const Command& a, const Command& b) { return std::string(a.name) < b.name; });
    return true;
}

void error(const std::string& message) {
    std::fprintf(err(), "lumeq-cli: %s\n", message.c_str());
}

void printHelp(const char* usage, const char* help) {
    const std::string_view text(help);
    std::fprintf(out(), "%s\n%s%s", usage, help, text.empty() || text.back() != '\n' ? "\n" : "");
}

int runSubcommand(const std::vector<std::string>& args, std::initializer_list<Subcommand> subcommands,
                  const char* command, const char* usage, const char* help) {
    if (args.empty()) {
        error(usage);
        return UsageError;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        printHelp(usage, help);
        return Success;
    }
    for (const Subcommand& sub : subcommands) {
        if (args[0] == sub.name)
            return sub.run(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    error("unknown " + std::string(command) + " command '" + args[0] + "'\n" + usage);
    return UsageError;
}

namespace {

// Control characters (and the given extra characters) as \xNN.
std::string escaped(const std::string& text, std::string_view extra) {
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || extra.find(c) != std::string_view::npos) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

std::string printable(const std::string& text) {
    return escaped(text, {});
}

std::string quoted(const std::string& text) {
    return "\"" + escaped(text, "\"\\") + "\"";
}

std::optional<ConfigFile> readConfiguration(const std::string& name, bool noLoadCheck) {
    const FileBytes content = readLoadFileNative(name);
    if (!content.ok) {
        error(content.error);
        return std::nullopt;
    }
    ConfigFile file = parseConfigFile(content.bytes);
    if (!file.crcHolds() && !(file.isConfiguration() && noLoadCheck)) {
        error(name + ": " + configFileProblem(file.error));
        return std::nullopt;
    }
    return file;
}

std::string hex4(unsigned value) {
    return hexText(value, 4);
}

namespace {

void printUsage(std::FILE* out) {
    std::fputs("Usage: lumeq-cli [--help] [--version] COMMAND [ARGS...]\n"
               "\n"
               "Configuration tool for Lumeq lighting control modules, without the window.\n"
               "\n"
               "Options:\n"
               "  -h, --help     show this text and exit\n"
               "  -V, --version  show the program version and exit\n",
               out);
    if (!commands().empty()) {
        std::fputs("\nCommands:\n", out);
        for (const auto& command : commands())
            std::fprintf(out, "  %-40s %s\n", command.synopsis, command.summary);
    }
    std::fputs("\nExit status: 0 success, 1 bad input, 2 usage error. Messages go to stderr.\n", out);
}

// The whole command line; it writes to out() and err().
int dispatch(const std::vector<std::string>& commandLine) {
    // The options before the command; everything from the command on is the command's.
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show help"));
    const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")}, QStringLiteral("show version"));
    parser.addOption(help);
    parser.addOption(version);
    QStringList arguments{QStringLiteral("lumeq-cli")};
    for (const std::string& argument : commandLine)
        arguments.append(decodeNative(argument));
    if (!parser.parse(arguments)) {
        error(parser.errorText().toStdString() + " (see lumeq-cli --help)");
        return UsageError;
    }
    const QStringList rest = parser.positionalArguments();
    if (parser.isSet(help) || (!rest.isEmpty() && rest.front() == QLatin1String("help"))) {
        printUsage(out());
        return Success;
    }
    if (parser.isSet(version)) {
        std::fprintf(out(), "lumeq-cli %s\n", LUMEQ_VERSION_TEXT);
        return Success;
    }
    if (rest.isEmpty()) {
        printUsage(err());
        return UsageError;
    }
    const std::string first = encodeNative(rest.front());
    std::vector<std::string> args;
    for (qsizetype i = 1; i < rest.size(); ++i)
        args.push_back(encodeNative(rest[i]));
    for (const auto& command : commands()) {
        if (first == command.name)
            return command.run(args);
    }
    error("unknown command '" + printable(first) + "' (see lumeq-cli --help)");
    return UsageError;
}

} // namespace

int runCommandLine(const std::vector<std::string>& arguments, std::FILE* output, std::FILE* errors) {
    std::FILE* const outBefore = currentOut;
    std::FILE* const errBefore = currentErr;
    currentOut = output;
    currentErr = errors;
    const int code = dispatch(arguments);
    std::fflush(output);
    std::fflush(errors);
    currentOut = outBefore;
    currentErr = errBefore;
    return code;
}

} // namespace lumeq::cli
