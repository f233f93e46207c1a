// lumeq-cli diff A.qcf B.qcf [--json] [--no-load-check]: the settings in which two configuration files
// differ, in the words of `show`.

#include "cli/command.h"
#include "cli/commandline.h"
#include "files/configdiff.h"
#include "files/configfile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace lumeq::cli {

namespace {

constexpr const char* kUsage = "usage: lumeq-cli diff A.qcf B.qcf [--json] [--no-load-check]";

// A file loaded as `show` loads it, or nothing after its message.
std::optional<ConfigFile> load(const std::string& name, bool noLoadCheck) {
    std::optional<ConfigFile> file = readConfiguration(name, noLoadCheck);
    if (!file)
        return std::nullopt;
    if (file->oldFormat)
        error(name + ": " + std::string(kOldFormatMessage));
    if (!file->crcHolds())
        error(name + ": " + std::string(kFileCorruptedMessage) + " Compared anyway (--no-load-check).");
    return file;
}

int diff(const std::vector<std::string>& args) {
    CommandLine line(kUsage,
                     "Shows every setting in which two configuration files differ, as `show` words it:\n"
                     "the setting, its value in A and its value in B. --json prints an array of\n"
                     "{\"setting\", \"key\", \"a\", \"b\"}. --no-load-check compares files whose CRC does not hold.\n"
                     "Exit status: 0 the settings are equal, 1 they differ (or a file cannot be read),\n"
                     "2 usage error.\n");
    line.flag({QStringLiteral("json")}, QStringLiteral("print JSON"))
        .flag({QStringLiteral("no-load-check")}, QStringLiteral("compare files whose CRC does not hold"));
    if (const auto done = line.parse(args, 2, 2))
        return *done;
    const bool asJson = line.isSet(QStringLiteral("json"));
    const bool noLoadCheck = line.isSet(QStringLiteral("no-load-check"));
    const std::vector<std::string>& files = line.positional();
    const std::optional<ConfigFile> a = load(files[0], noLoadCheck);
    const std::optional<ConfigFile> b = a ? load(files[1], noLoadCheck) : std::nullopt;
    if (!a || !b)
        return BadInput;

    // The info text is the configuration's name (a module slot's name): a difference there counts too.
    std::vector<SettingDifference> differences;
    if (a->info != b->info)
        differences.push_back({"Info text", "info", a->info, b->info});
    const ConfigurationDiff compared = diffConfigurations(a->image, b->image);
    differences.insert(differences.end(), compared.settings.begin(), compared.settings.end());

    const std::string nameA = QFile::decodeName(files[0].c_str()).toStdString();
    const std::string nameB = QFile::decodeName(files[1].c_str()).toStdString();
    if (asJson) {
        QJsonArray array;
        for (const SettingDifference& d : differences) {
            array.append(QJsonObject{{QStringLiteral("setting"), QString::fromStdString(d.setting)},
                                     {QStringLiteral("key"), QString::fromStdString(d.key)},
                                     {QStringLiteral("a"), QString::fromStdString(d.a)},
                                     {QStringLiteral("b"), QString::fromStdString(d.b)}});
        }
        std::fputs(QJsonDocument(array).toJson(QJsonDocument::Indented).constData(), out());
    } else if (differences.empty()) {
        std::fprintf(out(), "%s and %s: the settings are equal\n", quoted(nameA).c_str(), quoted(nameB).c_str());
    } else {
        std::fprintf(out(), "--- %s\n+++ %s\n", quoted(nameA).c_str(), quoted(nameB).c_str());
        std::size_t width = 0;
        for (const SettingDifference& d : differences)
            width = std::max(width, d.setting.size());
        for (const SettingDifference& d : differences) {
            const bool info = d.key == "info";
            std::fprintf(out(), "%-*s  %s  ->  %s\n", static_cast<int>(width + 1), (d.setting + ":").c_str(),
                        info ? quoted(d.a).c_str() : d.a.c_str(), info ? quoted(d.b).c_str() : d.b.c_str());
        }
        std::fprintf(out(), "%zu setting%s differ%s\n", differences.size(), differences.size() == 1 ? "" : "s",
                    differences.size() == 1 ? "s" : "");
    }
    if (differences.empty() && !compared.otherBytes.empty()) {
        std::string offsets;
        for (std::size_t offset : compared.otherBytes)
            offsets += (offsets.empty() ? "" : ", ") + std::to_string(offset);
        // Not a setting, but not nothing either: said on err() so that --json stays a clean array.
        error("note: the files still differ in configuration bytes no setting shows (" + offsets + ")");
    }
    return differences.empty() ? Success : BadInput;
}

} // namespace

LUMEQ_CLI_COMMAND("diff", "diff A.qcf B.qcf [--json]", "show the settings in which two configuration files differ",
                  &diff)

} // namespace lumeq::cli
