// lumeq-cli show FILE.qcf [--json] [--no-load-check]: every setting of a configuration file in words.

#include "cli/command.h"
#include "cli/commandline.h"
#include "files/configfile.h"
#include "files/configsummary.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace lumeq::cli {

namespace {

constexpr const char* kUsage = "usage: lumeq-cli show FILE.qcf [--json] [--no-load-check]";

void printText(const std::string& name, const ConfigFile& file, const std::vector<SummarySection>& sections) {
    std::fprintf(out(), "File:      %s\n", printable(name).c_str());
    std::fprintf(out(), "Format:    %s\n", file.oldFormat ? "MEM (old format)" : "MMN");
    std::fprintf(out(), "Info text: \"%s\"\n", printable(file.info).c_str());
    const std::string verdict =
        file.crcHolds() ? ", holds" : ", does not hold (computed " + hex4(file.computedCrc) + ")";
    std::fprintf(out(), "CRC:       %s%s\n", hex4(file.storedCrc).c_str(), verdict.c_str());
    for (const auto& section : sections) {
        std::fprintf(out(), "\n%s\n", section.title.c_str());
        std::size_t width = 0;
        for (const auto& item : section.items) {
            width = std::max(width, item.label.size());
        }
        for (const auto& item : section.items) {
            std::fprintf(out(), "  %-*s  %s\n", static_cast<int>(width + 1), (item.label + ":").c_str(), item.value.c_str());
        }
        if (!section.hasTable || section.table.rows.empty()) {
            continue;
        }
        const auto& columns = section.table.columns;
        std::vector<std::size_t> widths(columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) {
            widths[c] = columns[c].label.size();
            for (const auto& row : section.table.rows) {
                widths[c] = std::max(widths[c], c < row.size() ? row[c].size() : 0);
            }
        }
        const auto printRow = [&](auto cell) {
            std::string line = "  ";
            for (std::size_t c = 0; c < columns.size(); ++c) {
                std::string text = cell(c);
                text.resize(std::max(text.size(), widths[c]), ' ');
                line += "  " + text;
            }
            while (!line.empty() && line.back() == ' ') {
                line.pop_back();
            }
            std::fprintf(out(), "%s\n", line.c_str());
        };
        printRow([&](std::size_t c) { return columns[c].label; });
        for (std::size_t r = 0; r < section.table.rows.size(); ++r) {
            const auto& row = section.table.rows[r];
            printRow([&](std::size_t c) { return c < row.size() ? row[c] : std::string(); });
        }
    }
}

void printJson(const std::string& name, const ConfigFile& file, const std::vector<SummarySection>& sections) {
    QJsonObject settings;
    for (const auto& section : sections) {
        QJsonObject items;
        for (const auto& item : section.items)
            items.insert(QString::fromStdString(item.key), QString::fromStdString(item.value));
        if (section.hasTable) {
            const auto& columns = section.table.columns;
            QJsonArray steps;
            for (const auto& row : section.table.rows) {
                QJsonObject step;
                for (std::size_t c = 0; c < columns.size(); ++c)
                    step.insert(QString::fromStdString(columns[c].key),
                                QString::fromStdString(c < row.size() ? row[c] : std::string()));
                steps.append(step);
            }
            items.insert(QStringLiteral("steps"), steps);
        }
        settings.insert(QString::fromStdString(section.key), items);
    }
    const QJsonObject crc{{QStringLiteral("stored"), QString::fromStdString(hex4(file.storedCrc))},
                          {QStringLiteral("computed"), QString::fromStdString(hex4(file.computedCrc))},
                          {QStringLiteral("holds"), file.crcHolds()}};
    const QJsonObject document{{QStringLiteral("file"), QString::fromStdString(name)},
                               {QStringLiteral("format"), QLatin1String(file.oldFormat ? "MEM" : "MMN")},
                               {QStringLiteral("oldFormat"), file.oldFormat},
                               {QStringLiteral("info"), QString::fromStdString(file.info)},
                               {QStringLiteral("crc"), crc},
                               {QStringLiteral("settings"), settings}};
    std::fputs(QJsonDocument(document).toJson(QJsonDocument::Indented).constData(), out());
}

int show(const std::vector<std::string>& args) {
    CommandLine line(kUsage, "Shows every setting of a configuration file; --json prints them as a JSON object,\n"
                             "--no-load-check shows a file whose CRC does not hold.\n");
    line.flag({QStringLiteral("json")}, QStringLiteral("print JSON"))
        .flag({QStringLiteral("no-load-check")}, QStringLiteral("show a file whose CRC does not hold"));
    if (const auto done = line.parse(args, 1, 1))
        return *done;
    const bool asJson = line.isSet(QStringLiteral("json"));
    const bool noLoadCheck = line.isSet(QStringLiteral("no-load-check"));
    const std::vector<std::string>& files = line.positional();
    const std::string& name = files[0];
    const std::optional<ConfigFile> read = readConfiguration(name, noLoadCheck);
    if (!read)
        return BadInput;
    const ConfigFile& file = *read;
    if (file.oldFormat) {
        error(name + ": " + std::string(kOldFormatMessage));
    }
    if (!file.crcHolds()) {
        error(name + ": " + std::string(kFileCorruptedMessage) + " Shown anyway (--no-load-check).");
    }
    // The file's own bytes as the program reads them; the astro data it would clear are not shown.
    const auto sections = describeConfiguration(file.image);
    // Names in JSON are UTF-8; a file name that is not gets replacement characters.
    const std::string displayName = QFile::decodeName(name.c_str()).toStdString();
    if (asJson) {
        printJson(displayName, file, sections);
    } else {
        printText(displayName, file, sections);
    }
    return Success;
}

} // namespace

LUMEQ_CLI_COMMAND("show", "show FILE.qcf [--json] [--no-load-check]",
                  "show every setting of a configuration file, as text or JSON", &show)

} // namespace lumeq::cli
