// lumeq-cli: the headless face of Lumeq Config for scripts and batch work.
// Exit codes: 0 success, 1 bad input (a file or device that is not right), 2 usage error.

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
} // namespace

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
    std::fprintf(stderr, "lumeq-cli: %s\n", message.c_str());
}

void printHelp(const char* usage, const char* help) {
    const std::string_view text(help);
    std::printf("%s\n%s%s", usage, help, text.empty() || text.back() != '\n' ? "\n" : "");
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

} // namespace lumeq::cli

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
    if (!lumeq::cli::commands().empty()) {
        std::fputs("\nCommands:\n", out);
        for (const auto& command : lumeq::cli::commands())
            std::fprintf(out, "  %-40s %s\n", command.synopsis, command.summary);
    }
    std::fputs("\nExit status: 0 success, 1 bad input, 2 usage error. Messages go to stderr.\n", out);
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace lumeq::cli;
    // The options before the command; everything from the command on is the command's.
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("show help"));
    const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")}, QStringLiteral("show version"));
    parser.addOption(help);
    parser.addOption(version);
    QStringList arguments{QStringLiteral("lumeq-cli")};
    for (int i = 1; i < argc; ++i)
        arguments.append(lumeq::decodeNative(argv[i]));
    if (!parser.parse(arguments)) {
        error(parser.errorText().toStdString() + " (see lumeq-cli --help)");
        return UsageError;
    }
    const QStringList rest = parser.positionalArguments();
    if (parser.isSet(help) || (!rest.isEmpty() && rest.front() == QLatin1String("help"))) {
        printUsage(stdout);
        return Success;
    }
    if (parser.isSet(version)) {
        std::printf("lumeq-cli %s\n", LUMEQ_VERSION_TEXT);
        return Success;
    }
    if (rest.isEmpty()) {
        printUsage(stderr);
        return UsageError;
    }
    const std::string first = lumeq::encodeNative(rest.front());
    std::vector<std::string> args;
    for (qsizetype i = 1; i < rest.size(); ++i)
        args.push_back(lumeq::encodeNative(rest[i]));
    for (const auto& command : commands()) {
        if (first == command.name)
            return command.run(args);
    }
    error("unknown command '" + printable(first) + "' (see lumeq-cli --help)");
    return UsageError;
}
