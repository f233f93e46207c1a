// lumeq-cli log [--since DATE] [--csv|--json]: the log of programmed modules and sticks.

#include "cli/command.h"
#include "cli/commandline.h"
#include "files/programmedlog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace lumeq::cli {

namespace {

constexpr const char* kUsage = "usage: lumeq-cli log [--since DATE] [--csv|--json]";

constexpr std::size_t kColumns = kProgrammedFieldCount;
constexpr std::array<const char*, kColumns> kHeadings = {"Time",  "Mode",     "Slot",      "Name",   "CRC",
                                                         "Curve", "Firmware", "Read-back", "Outcome"};
constexpr std::array<const char*, kColumns> kKeys = {"time",  "mode",     "slot",     "name",   "crc",
                                                     "curve", "firmware", "readBack", "outcome"};

// Columns are as wide as their longest text, counted in characters (names may hold umlauts).
std::size_t displayWidth(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

void printTable(const std::vector<ProgrammedRecord>& records) {
    std::vector<std::array<std::string, kColumns>> rows;
    rows.push_back({});
    for (std::size_t c = 0; c < kColumns; ++c)
        rows.back()[c] = kHeadings[c];
    for (const ProgrammedRecord& record : records) {
        rows.push_back(programmedFields(record));
        for (std::string& field : rows.back())
            field = printable(field.empty() ? std::string("-") : field);
    }
    std::array<std::size_t, kColumns> widths{};
    for (const auto& row : rows)
        for (std::size_t c = 0; c < kColumns; ++c)
            widths[c] = std::max(widths[c], displayWidth(row[c]));
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < kColumns; ++c) {
            line += row[c];
            if (c + 1 < kColumns)
                line += std::string(widths[c] - displayWidth(row[c]) + 2, ' ');
        }
        std::fprintf(out(), "%s\n", line.c_str());
    }
}

// A field of RFC 4180 CSV: quoted when it holds a comma, a quote or a line end, quotes doubled.
std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    return out + "\"";
}

void printCsv(const std::vector<ProgrammedRecord>& records) {
    const auto line = [](const auto& cells) {
        std::string text;
        for (std::size_t c = 0; c < kColumns; ++c)
            text += (c == 0 ? "" : ",") + csvField(cells[c]);
        text += "\r\n";
        std::fputs(text.c_str(), out());
    };
    std::array<std::string, kColumns> heading;
    for (std::size_t c = 0; c < kColumns; ++c)
        heading[c] = kKeys[c];
    line(heading);
    for (const ProgrammedRecord& record : records)
        line(programmedFields(record));
}

void printJson(const std::vector<ProgrammedRecord>& records) {
    QJsonArray array;
    for (const ProgrammedRecord& record : records) {
        const auto text = [](const std::string& value) {
            return value.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(value));
        };
        QJsonObject object{
            {QStringLiteral("time"), text(programmedTimeText(record.time))},
            {QStringLiteral("mode"), text(programmedModeText(record.mode))},
            {QStringLiteral("slot"), record.slot > 0 ? QJsonValue(record.slot) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("name"), QString::fromStdString(record.name)},
            {QStringLiteral("crc"), text(programmedCrcText(record))},
            {QStringLiteral("curve"), text(record.curve)},
            {QStringLiteral("firmware"), text(record.firmware)},
            {QStringLiteral("readBack"), text(record.readBack)},
            {QStringLiteral("outcome"), record.outcome == ProgrammedOutcome::Ok       ? QStringLiteral("ok")
                                        : record.outcome == ProgrammedOutcome::Failed ? QStringLiteral("failed")
                                                                                      : QStringLiteral("interrupted")},
            {QStringLiteral("reason"), text(record.reason)},
        };
        array.append(object);
    }
    std::fputs(QJsonDocument(array).toJson(QJsonDocument::Indented).constData(), out());
}

int runLog(const std::vector<std::string>& args) {
    enum class Format { Table, Csv, Json } format = Format::Table;
    std::optional<QDateTime> since;
    std::string sinceText;
    const std::string help =
        "Shows every write to a module or a stick that the window or lumeq-cli made: time (UTC),\n"
        "mode, slot, name, configuration CRC, dimming curve, firmware written, what the read-back\n"
        "found and the outcome (ok, failed or interrupted, with the reason).\n"
        "--since DATE shows the records from that date (YYYY-MM-DD) or time\n"
        "(YYYY-MM-DDTHH:MM[:SS], UTC unless it carries an offset) on. --csv and --json print the\n"
        "records for scripts.\n"
        "The log: " +
        programmedLogPath().toStdString() + " (LUMEQ_LOG_FILE names another file).\n";
    CommandLine line(kUsage, help);
    line.flag({QStringLiteral("csv")}, QStringLiteral("print CSV"))
        .flag({QStringLiteral("json")}, QStringLiteral("print JSON"))
        .value({QStringLiteral("since")}, QStringLiteral("DATE"), QStringLiteral("records from DATE on"));
    if (const auto done = line.parse(args, 0, 0))
        return *done;
    if (line.isSet(QStringLiteral("csv")) && line.isSet(QStringLiteral("json")))
        return line.usageError("--csv and --json exclude each other");
    if (line.isSet(QStringLiteral("csv")))
        format = Format::Csv;
    else if (line.isSet(QStringLiteral("json")))
        format = Format::Json;
    if (const auto text = line.value(QStringLiteral("since"))) {
        sinceText = *text;
        since = parseSince(sinceText);
        if (!since) {
            error("--since takes a date YYYY-MM-DD or a time YYYY-MM-DDTHH:MM[:SS], not '" + printable(sinceText) +
                  "'");
            return UsageError;
        }
    }
    const QString path = programmedLogPath();
    const ProgrammedLogRead read = readProgrammedLog(path);
    if (!read.ok) {
        error(read.error);
        return BadInput;
    }
    if (read.log.skippedLines > 0)
        error("note: " + std::to_string(read.log.skippedLines) + " line" + (read.log.skippedLines == 1 ? "" : "s") +
              " of the log " + (read.log.skippedLines == 1 ? "is" : "are") +
              " not a whole record (a write cut short) and skipped");
    const std::vector<ProgrammedRecord> records = since ? recordsSince(read.log.records, *since) : read.log.records;
    switch (format) {
    case Format::Csv:
        printCsv(records);
        break;
    case Format::Json:
        printJson(records);
        break;
    case Format::Table:
        if (records.empty())
            std::fprintf(out(), "no records%s in the log %s\n", since ? (" since " + sinceText).c_str() : "",
                        quoted(path.toStdString()).c_str());
        else
            printTable(records);
        break;
    }
    return Success;
}

} // namespace

void recordProgramming(const ProgrammedRecord& record) {
    const ProgrammedLogAppend appended = appendProgrammedRecord(programmedLogPath(), record);
    if (!appended.ok)
        error("warning: this write is not in the log of programmed modules: " + appended.error);
}

LUMEQ_CLI_COMMAND("log", "log [--since DATE] [--csv|--json]", "show the log of programmed modules and sticks", &runLog)

} // namespace lumeq::cli
