// lumeq-cli show FILE.qcf [--json] [--no-load-check]: every setting of a configuration file in words.

#include "cli/command.h"
#include "files/configfile.h"
#include "files/configsummary.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace lumeq::cli {

namespace {

constexpr const char* kUsage = "usage: lumeq-cli show FILE.qcf [--json] [--no-load-check]";

// A JSON string literal of UTF-8 text.
std::string json(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", byte);
            out += escape;
        } else {
            out.push_back(c);
        }
    }
    return out + "\"";
}

void printText(const std::string& name, const ConfigFile& file, const std::vector<SummarySection>& sections) {
    std::printf("File:      %s\n", printable(name).c_str());
    std::printf("Format:    %s\n", file.oldFormat ? "MEM (old format)" : "MMN");
    std::printf("Info text: \"%s\"\n", printable(file.info).c_str());
    const std::string verdict =
        file.crcHolds() ? ", holds" : ", does not hold (computed " + hex4(file.computedCrc) + ")";
    std::printf("CRC:       %s%s\n", hex4(file.storedCrc).c_str(), verdict.c_str());
    for (const auto& section : sections) {
        std::printf("\n%s\n", section.title.c_str());
        std::size_t width = 0;
        for (const auto& item : section.items) {
            width = std::max(width, item.label.size());
        }
        for (const auto& item : section.items) {
            std::printf("  %-*s  %s\n", static_cast<int>(width + 1), (item.label + ":").c_str(), item.value.c_str());
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
            std::printf("%s\n", line.c_str());
        };
        printRow([&](std::size_t c) { return columns[c].label; });
        for (std::size_t r = 0; r < section.table.rows.size(); ++r) {
            const auto& row = section.table.rows[r];
            printRow([&](std::size_t c) { return c < row.size() ? row[c] : std::string(); });
        }
    }
}

void printJson(const std::string& name, const ConfigFile& file, const std::vector<SummarySection>& sections) {
    std::string out = "{\n";
    out += "  \"file\": " + json(name) + ",\n";
    out += "  \"format\": " + json(file.oldFormat ? "MEM" : "MMN") + ",\n";
    out += std::string("  \"oldFormat\": ") + (file.oldFormat ? "true" : "false") + ",\n";
    out += "  \"info\": " + json(file.info) + ",\n";
    out += "  \"crc\": {\"stored\": " + json(hex4(file.storedCrc)) + ", \"computed\": " + json(hex4(file.computedCrc)) +
           ", \"holds\": " + (file.crcHolds() ? "true" : "false") + "},\n";
    out += "  \"settings\": {";
    for (std::size_t s = 0; s < sections.size(); ++s) {
        const auto& section = sections[s];
        out += s == 0 ? "\n" : ",\n";
        out += "    " + json(section.key) + ": {";
        for (std::size_t i = 0; i < section.items.size(); ++i) {
            out += i == 0 ? "\n" : ",\n";
            out += "      " + json(section.items[i].key) + ": " + json(section.items[i].value);
        }
        if (section.hasTable) {
            out += section.items.empty() ? "\n" : ",\n";
            out += "      \"steps\": [";
            const auto& columns = section.table.columns;
            for (std::size_t r = 0; r < section.table.rows.size(); ++r) {
                const auto& row = section.table.rows[r];
                out += r == 0 ? "\n        {" : ",\n        {";
                for (std::size_t c = 0; c < columns.size(); ++c) {
                    out += (c == 0 ? "" : ", ") + json(columns[c].key) + ": " +
                           json(c < row.size() ? row[c] : std::string());
                }
                out += "}";
            }
            out += section.table.rows.empty() ? "]" : "\n      ]";
        }
        out += "\n    }";
    }
    out += "\n  }\n}\n";
    std::fputs(out.c_str(), stdout);
}

int show(const std::vector<std::string>& args) {
    bool asJson = false;
    bool noLoadCheck = false;
    std::vector<std::string> files;
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::printf("%s\nShows every setting of a configuration file; --json prints them as a JSON object,\n"
                        "--no-load-check shows a file whose CRC does not hold.\n",
                        kUsage);
            return Success;
        }
        if (arg == "--json") {
            asJson = true;
        } else if (arg == "--no-load-check") {
            noLoadCheck = true;
        } else if (arg.empty() || arg[0] == '-') {
            error(kUsage);
            return UsageError;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1) {
        error(kUsage);
        return UsageError;
    }
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
