#include "files/programmedlog.h"

#include "model/crc16.h"
#include "model/hex.h"
#include "model/image.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lumeq {

namespace {

constexpr char kSeparator = '\t';
constexpr const char* kFailedPrefix = "failed";
constexpr const char* kInterruptedPrefix = "interrupted";

std::string escapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (byte < 0x20 || byte == 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\x%02X", byte);
                out += escape;
            } else {
                out.push_back(c);
            }
        }
    }
    return out;
}

// The field's text, or nothing when an escape is not one the writer makes.
std::optional<std::string> unescapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i >= text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\':
            out.push_back('\\');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 'x': {
            if (i + 2 >= text.size())
                return std::nullopt;
            const int high = hexDigit(text[i + 1]);
            const int low = hexDigit(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(kSeparator, start);
        fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return fields;
        start = end + 1;
    }
}

QDateTime parseUtcTime(std::string_view text) {
    // Exactly the form the writer uses: 2024-05-03T14:02:11Z.
    if (text.size() != 20 || text.back() != 'Z')
        return {};
    QDateTime time = QDateTime::fromString(QString::fromLatin1(text.data(), qsizetype(text.size())), Qt::ISODate);
    return time.isValid() ? time.toUTC() : QDateTime();
}

std::string systemError(int error) {
    return std::strerror(error);
}

// Writes all of `text` with one write() where the kernel takes it whole (a line of the log is far below
// PIPE_BUF); only a short write, which an O_APPEND file on a local disk does not do, needs a second call.
bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

QDateTime programmedNow() {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return now.addMSecs(-now.time().msec());
}

std::string programmedTimeText(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")).toStdString();
}

std::string programmedModeText(ProgrammedMode mode) {
    return mode == ProgrammedMode::Module ? "module" : "stick";
}

std::string programmedCrcText(const ProgrammedRecord& record) {
    if (!record.crc)
        return {};
    return hexText(*record.crc, 4);
}

std::string programmedOutcomeText(const ProgrammedRecord& record) {
    switch (record.outcome) {
    case ProgrammedOutcome::Ok:
        return "ok";
    case ProgrammedOutcome::Failed:
        return std::string(kFailedPrefix) + ": " + record.reason;
    case ProgrammedOutcome::Interrupted:
        return std::string(kInterruptedPrefix) + ": " + record.reason;
    }
    return {};
}

std::array<std::string, kProgrammedFieldCount> programmedFields(const ProgrammedRecord& record) {
    return {programmedTimeText(record.time),
            programmedModeText(record.mode),
            record.slot > 0 ? std::to_string(record.slot) : std::string(),
            record.name,
            programmedCrcText(record),
            record.curve,
            record.firmware,
            record.readBack,
            programmedOutcomeText(record)};
}

std::string formatProgrammedRecord(const ProgrammedRecord& record) {
    const std::array<std::string, kProgrammedFieldCount> fields = programmedFields(record);
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line.push_back(kSeparator);
        line += escapeField(fields[i]);
    }
    line.push_back('\n');
    return line;
}

std::optional<ProgrammedRecord> parseProgrammedRecord(std::string_view line) {
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    const std::vector<std::string_view> raw = splitFields(line);
    if (raw.size() != kProgrammedFieldCount)
        return std::nullopt;
    std::array<std::string, kProgrammedFieldCount> fields;
    for (std::size_t i = 0; i < kProgrammedFieldCount; ++i) {
        std::optional<std::string> field = unescapeField(raw[i]);
        if (!field)
            return std::nullopt;
        fields[i] = std::move(*field);
    }
    ProgrammedRecord record;
    record.time = parseUtcTime(fields[0]);
    if (!record.time.isValid())
        return std::nullopt;
    if (fields[1] == "module")
        record.mode = ProgrammedMode::Module;
    else if (fields[1] == "stick")
        record.mode = ProgrammedMode::Stick;
    else
        return std::nullopt;
    if (!fields[2].empty()) {
        if (fields[2].size() != 1 || fields[2][0] < '1' || fields[2][0] > '4')
            return std::nullopt;
        record.slot = fields[2][0] - '0';
    }
    record.name = fields[3];
    if (!fields[4].empty()) {
        if (fields[4].size() != 4)
            return std::nullopt;
        unsigned crc = 0;
        for (char c : fields[4]) {
            const int digit = hexDigit(c);
            if (digit < 0)
                return std::nullopt;
            crc = crc * 16 + static_cast<unsigned>(digit);
        }
        record.crc = static_cast<std::uint16_t>(crc);
    }
    record.curve = fields[5];
    record.firmware = fields[6];
    record.readBack = fields[7];
    const std::string& outcome = fields[8];
    const auto withReason = [&outcome](const char* prefix) -> std::optional<std::string> {
        const std::string head = std::string(prefix) + ": ";
        if (outcome.compare(0, head.size(), head) != 0)
            return std::nullopt;
        return outcome.substr(head.size());
    };
    if (outcome == "ok") {
        record.outcome = ProgrammedOutcome::Ok;
    } else if (auto reason = withReason(kFailedPrefix)) {
        record.outcome = ProgrammedOutcome::Failed;
        record.reason = *reason;
    } else if (auto reason = withReason(kInterruptedPrefix)) {
        record.outcome = ProgrammedOutcome::Interrupted;
        record.reason = *reason;
    } else {
        return std::nullopt;
    }
    return record;
}

ProgrammedLog parseProgrammedLog(std::string_view text) {
    ProgrammedLog log;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            // A line without its end: the write that made it never finished.
            ++log.skippedLines;
            break;
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty())
            continue; // the fresh line an append starts after a cut one
        if (std::optional<ProgrammedRecord> record = parseProgrammedRecord(line))
            log.records.push_back(std::move(*record));
        else
            ++log.skippedLines;
    }
    return log;
}

ProgrammedLogRead readProgrammedLog(const QString& path) {
    ProgrammedLogRead result;
    QFile file(path);
    if (!file.exists()) {
        result.ok = true; // nothing written yet
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = "cannot read the log " + path.toStdString() + ": " + file.errorString().toStdString();
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = "cannot read the log " + path.toStdString() + ": " + file.errorString().toStdString();
        return result;
    }
    result.ok = true;
    result.log = parseProgrammedLog(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return result;
}

std::optional<ProgrammedRecord> lastProgrammedRecord(const QString& path) {
    // A record is a line of a few hundred bytes; the tail holds several.
    constexpr qint64 kTail = 16 * 1024;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 start = std::max<qint64>(0, file.size() - kTail);
    if (!file.seek(start))
        return std::nullopt;
    QByteArray tail = file.readAll();
    if (start > 0) {
        // The first line of the tail may be cut: it starts after the first line end.
        const qsizetype firstEnd = tail.indexOf('\n');
        tail = firstEnd < 0 ? QByteArray() : tail.mid(firstEnd + 1);
    }
    ProgrammedLog log = parseProgrammedLog(std::string_view(tail.constData(), static_cast<std::size_t>(tail.size())));
    if (log.records.empty())
        return std::nullopt;
    return std::move(log.records.back());
}

ProgrammedLogAppend appendProgrammedRecord(const QString& path, const ProgrammedRecord& record) {
    ProgrammedLogAppend result;
    const std::string where = "the log " + path.toStdString();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        result.error = "cannot create the folder of " + where;
        return result;
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        result.error = "cannot open " + where + ": " + systemError(errno);
        return result;
    }
    std::string line = formatProgrammedRecord(record);
    // A line cut short by a crash gets its end first, so that this record stands on a line of its own (the
    // file is open for reading too, for this one byte).
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        char last = '\n';
        if (::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n')
            line.insert(line.begin(), '\n');
    }
    bool ok = writeAll(fd, line);
    int error = ok ? 0 : errno;
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        result.error = "cannot write " + where + ": " + systemError(error);
        return result;
    }
    result.ok = true;
    return result;
}

QString programmedLogPath() {
    const QString overridden = qEnvironmentVariable("LUMEQ_LOG_FILE");
    if (!overridden.isEmpty())
        return overridden;
    // The generic data folder, so that the window and lumeq-cli (which sets no application name) share it.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/lumeq-config/programmed.log");
}

std::optional<QDateTime> parseSince(std::string_view text) {
    const QString value = QString::fromUtf8(text.data(), qsizetype(text.size()));
    if (text.size() == 10) {
        const QDate date = QDate::fromString(value, Qt::ISODate);
        if (!date.isValid())
            return std::nullopt;
        return QDateTime(date, QTime(0, 0), QTimeZone::utc());
    }
    if (text.size() < 16 || text[10] != 'T')
        return std::nullopt;
    QDateTime time = QDateTime::fromString(value, Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    // Without an offset the time is read as UTC, like the log's own times.
    if (time.timeSpec() == Qt::LocalTime)
        time = QDateTime(time.date(), time.time(), QTimeZone::utc());
    return time.toUTC();
}

std::vector<ProgrammedRecord> recordsSince(const std::vector<ProgrammedRecord>& records, const QDateTime& since) {
    std::vector<ProgrammedRecord> out;
    std::copy_if(records.begin(), records.end(), std::back_inserter(out),
                 [&since](const ProgrammedRecord& record) { return record.time >= since; });
    return out;
}

} // namespace lumeq
