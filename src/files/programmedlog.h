#pragma once
// The log of programmed modules: one record for every write to a module or a stick, from the window or the
// command line, so that an installer can tell later which module got which configuration.
//
// The file holds one record per line, the fields separated by tabs:
//
//   time  mode  slot  name  crc  curve  firmware  read-back  outcome
//   2024-05-03T14:02:11Z  module  2  North  8A1C  linear.dc  1.50  identical  ok
//
// time is when the write began (ISO 8601, UTC); mode "module" or "stick"; slot 1..4 or empty (stick);
// crc the CRC-16 of configuration bytes 0..95 as they were written (the CRC a configuration file of them
// carries), empty for a firmware update alone; curve the dimming curve's file name or empty; firmware
// the version written ("1.50") or empty; read-back what reading back found ("identical", "differs: ...")
// or empty when nothing was read back; outcome "ok", "failed: REASON" or "interrupted: REASON".
// A backslash, tab, carriage return, line feed or other control character inside a field is written as
// \\, \t, \r, \n or \xNN, so a record never spans two lines.
//
// Appending is crash-safe: each record is one complete line handed to the kernel by a single write() on a
// file opened with O_APPEND, then fsync'd. A crash can at worst leave a last line cut short; readers skip
// any line that is not a whole record, and the next append starts on a fresh line.

#include "model/image.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumeq {

enum class ProgrammedMode { Module, Stick };
enum class ProgrammedOutcome { Ok, Failed, Interrupted };

struct ProgrammedRecord {
    QDateTime time; // UTC, whole seconds
    ProgrammedMode mode = ProgrammedMode::Module;
    int slot = 0;                     // 1..4; 0 = no slot (stick mode)
    std::string name;                 // the info text written (UTF-8)
    std::optional<std::uint16_t> crc; // of the configuration written; none for a firmware update alone
    std::string curve;                // the dimming curve's file name; empty = none
    std::string firmware;             // the firmware version written ("1.50"); empty = none
    std::string readBack;             // what the read-back found; empty = nothing was read back
    ProgrammedOutcome outcome = ProgrammedOutcome::Ok;
    std::string reason; // why it failed or was interrupted

    bool operator==(const ProgrammedRecord&) const = default;
};

// Now, in UTC and whole seconds, as a record keeps its time.
QDateTime programmedNow();

// The texts of the fields as the log and `lumeq-cli log` show them.
std::string programmedTimeText(const QDateTime& time); // "2024-05-03T14:02:11Z"
std::string programmedModeText(ProgrammedMode mode);   // "module", "stick"
std::string programmedCrcText(const ProgrammedRecord& record);
std::string programmedOutcomeText(const ProgrammedRecord& record); // "ok", "failed: REASON", ...

// Every field of a record as text, in the log's order: time, mode, slot, name, CRC, curve, firmware,
// read-back, outcome.
constexpr std::size_t kProgrammedFieldCount = 9;
std::array<std::string, kProgrammedFieldCount> programmedFields(const ProgrammedRecord& record);

// One record as a line of the log, ending in '\n'.
std::string formatProgrammedRecord(const ProgrammedRecord& record);
// A line of the log (with or without its '\n'); nothing when it is not a whole record.
std::optional<ProgrammedRecord> parseProgrammedRecord(std::string_view line);

struct ProgrammedLog {
    std::vector<ProgrammedRecord> records; // in the order of the file
    std::size_t skippedLines = 0;          // lines that are not a whole record (a cut last line)
};
// The records of a log's text. A last line without its '\n' is a record cut short and is skipped.
ProgrammedLog parseProgrammedLog(std::string_view text);

struct ProgrammedLogRead {
    bool ok = false; // false: the file exists but cannot be read (a missing file is an empty log)
    std::string error;
    ProgrammedLog log;
};
ProgrammedLogRead readProgrammedLog(const QString& path);
// The last whole record of the log, reading only the end of the file (a long log costs nothing more).
// Nothing when the log is missing, unreadable or holds no whole record there.
std::optional<ProgrammedRecord> lastProgrammedRecord(const QString& path);

struct ProgrammedLogAppend {
    bool ok = false;
    std::string error; // names the file and the reason when !ok
};
// Appends one record (creating the file and its folder when needed).
ProgrammedLogAppend appendProgrammedRecord(const QString& path, const ProgrammedRecord& record);

// Where the log is: $LUMEQ_LOG_FILE when set, else programmed.log in the folder "lumeq-config" of the
// user's data directory ($XDG_DATA_HOME, usually ~/.local/share), shared by the window and lumeq-cli.
QString programmedLogPath();

// "--since": a date (YYYY-MM-DD, from its midnight UTC) or a time (YYYY-MM-DDTHH:MM[:SS][Z|±HH:MM]; UTC
// when no offset is given). Nothing when the text is neither.
std::optional<QDateTime> parseSince(std::string_view text);
// The records written at `since` or later.
std::vector<ProgrammedRecord> recordsSince(const std::vector<ProgrammedRecord>& records, const QDateTime& since);

} // namespace lumeq
