#include "files/programmedlog.h"

#include "files/configfile.h"
#include "model/image.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <string>
#include <vector>

using namespace lumeq;

namespace {

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

ProgrammedRecord moduleRecord() {
    ProgrammedRecord r;
    r.time = utc(2024, 5, 3, 14, 2, 11);
    r.mode = ProgrammedMode::Module;
    r.slot = 2;
    r.name = "North";
    r.crc = 0x8A1C;
    r.curve = "linear.dc";
    r.firmware = "1.50";
    r.readBack = "identical";
    return r;
}

std::string fileText(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll().toStdString();
}

void writeText(const QString& path, const std::string& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), qint64(text.size()));
}

} // namespace

TEST(ProgrammedLog, ALineHoldsTheFieldsInTheirOrder) {
    EXPECT_EQ(formatProgrammedRecord(moduleRecord()),
              "2024-05-03T14:02:11Z\tmodule\t2\tNorth\t8A1C\tlinear.dc\t1.50\tidentical\tok\n");
    ProgrammedRecord stick;
    stick.time = utc(2024, 1, 2);
    stick.mode = ProgrammedMode::Stick;
    stick.firmware = "1.73";
    stick.outcome = ProgrammedOutcome::Interrupted;
    stick.reason = "the stick was unplugged";
    EXPECT_EQ(formatProgrammedRecord(stick),
              "2024-01-02T00:00:00Z\tstick\t\t\t\t\t1.73\t\tinterrupted: the stick was unplugged\n");
}

struct RoundTripCase {
    const char* name;
    ProgrammedRecord record;
};

class ProgrammedLogRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(ProgrammedLogRoundTrip, ParsesBackWhatWasWritten) {
    const ProgrammedRecord& record = GetParam().record;
    const std::string line = formatProgrammedRecord(record);
    // One record, one line, whatever the fields hold.
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    const std::optional<ProgrammedRecord> back = parseProgrammedRecord(line);
    ASSERT_TRUE(back) << line;
    EXPECT_EQ(*back, record) << line;
}

ProgrammedRecord with(void (*change)(ProgrammedRecord&)) {
    ProgrammedRecord r = moduleRecord();
    change(r);
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgrammedLogRoundTrip,
    testing::Values(RoundTripCase{"Module", moduleRecord()},
                    RoundTripCase{"StickWithoutSlotCrcOrCurve", with([](ProgrammedRecord& r) {
                                      r.mode = ProgrammedMode::Stick;
                                      r.slot = 0;
                                      r.crc.reset();
                                      r.curve.clear();
                                      r.readBack.clear();
                                  })},
                    RoundTripCase{"CommasQuotesAndSeparators", with([](ProgrammedRecord& r) {
                                      r.name = "Str. 12, \"Nord\"\tA\\B";
                                      r.curve = "my curve, v2.dc";
                                  })},
                    RoundTripCase{"LineEndsAndControlCharacters", with([](ProgrammedRecord& r) {
                                      r.name = "two\nlines\r\x01\x7F";
                                      r.readBack = "differs: byte 3\nreads back as 00";
                                  })},
                    RoundTripCase{"Utf8Name", with([](ProgrammedRecord& r) { r.name = "Straße Süd"; })},
                    RoundTripCase{"Failed", with([](ProgrammedRecord& r) {
                                      r.outcome = ProgrammedOutcome::Failed;
                                      r.reason =
                                          "Firmware Write Error!CF (the module refused the block at address 4000)";
                                      r.readBack.clear();
                                  })},
                    RoundTripCase{"InterruptedWithColonInReason", with([](ProgrammedRecord& r) {
                                      r.outcome = ProgrammedOutcome::Interrupted;
                                      r.reason = "closed: before the answer";
                                  })},
                    RoundTripCase{"CrcZero", with([](ProgrammedRecord& r) { r.crc = 0; })}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

TEST(ProgrammedLog, LinesThatAreNotWholeRecordsAreRefused) {
    const std::string good = "2024-05-03T14:02:11Z\tmodule\t2\tNorth\t8A1C\t\t\t\tok";
    ASSERT_TRUE(parseProgrammedRecord(good));
    const std::vector<std::string> bad = {
        "",
        "2024-05-03T14:02:11Z\tmodule\t2\tNorth",                     // cut short
        good + "\textra",                                             // a field too many
        "2024-05-03 14:02:11\tmodule\t2\tNorth\t8A1C\t\t\t\tok",      // not the time form
        "2024-05-03T14:02:11Z\tmodul\t2\tNorth\t8A1C\t\t\t\tok",      // no such mode
        "2024-05-03T14:02:11Z\tmodule\t5\tNorth\t8A1C\t\t\t\tok",     // no such slot
        "2024-05-03T14:02:11Z\tmodule\t2\tNorth\t8A1\t\t\t\tok",      // CRC of three digits
        "2024-05-03T14:02:11Z\tmodule\t2\tNorth\t8A1G\t\t\t\tok",     // CRC not hex
        "2024-05-03T14:02:11Z\tmodule\t2\tNor\\qth\t8A1C\t\t\t\tok",  // an escape the writer never makes
        "2024-05-03T14:02:11Z\tmodule\t2\tNorth\\\t8A1C\t\t\t\tok",   // a lone backslash at the field end
        "2024-05-03T14:02:11Z\tmodule\t2\tNorth\\x4\t8A1C\t\t\t\tok", // \x with one digit
        "2024-05-03T14:02:11Z\tmodule\t2\tNorth\t8A1C\t\t\t\tdone",   // no such outcome
        "2024-05-03T14:02:11Z\tmodule\t2\tNorth\t8A1C\t\t\t\tfailed", // failed without a reason
    };
    for (const std::string& line : bad)
        EXPECT_FALSE(parseProgrammedRecord(line)) << line;
}

TEST(ProgrammedLog, ACutLastLineIsSkipped) {
    const std::string first = formatProgrammedRecord(moduleRecord());
    ProgrammedRecord second = moduleRecord();
    second.slot = 3;
    const std::string line = formatProgrammedRecord(second);
    // Every cut of the second line (a crash in the middle of its write) leaves the first record alone.
    for (std::size_t cut = 0; cut < line.size(); ++cut) {
        const ProgrammedLog log = parseProgrammedLog(first + line.substr(0, cut));
        ASSERT_EQ(log.records.size(), 1u) << cut;
        EXPECT_EQ(log.records[0], moduleRecord());
        EXPECT_EQ(log.skippedLines, cut == 0 ? 0u : 1u) << cut;
    }
    const ProgrammedLog whole = parseProgrammedLog(first + line);
    EXPECT_EQ(whole.records.size(), 2u);
    EXPECT_EQ(whole.skippedLines, 0u);
}

TEST(ProgrammedLog, AppendCreatesTheFolderAndAddsOneLineEach) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data/lumeq-config/programmed.log"));
    ProgrammedRecord second = moduleRecord();
    second.outcome = ProgrammedOutcome::Failed;
    second.reason = "no answer";
    ASSERT_TRUE(appendProgrammedRecord(path, moduleRecord()).ok);
    ASSERT_TRUE(appendProgrammedRecord(path, second).ok);
    EXPECT_EQ(fileText(path), formatProgrammedRecord(moduleRecord()) + formatProgrammedRecord(second));
    const ProgrammedLogRead read = readProgrammedLog(path);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.log.records, (std::vector<ProgrammedRecord>{moduleRecord(), second}));
}

TEST(ProgrammedLog, AnAppendAfterACutLineStartsAFreshLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("programmed.log"));
    const std::string first = formatProgrammedRecord(moduleRecord());
    writeText(path, first + first.substr(0, 17)); // a crash left half a line
    ASSERT_TRUE(appendProgrammedRecord(path, moduleRecord()).ok);
    const ProgrammedLogRead read = readProgrammedLog(path);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.log.records.size(), 2u);
    EXPECT_EQ(read.log.skippedLines, 1u);
}

// The last record is found from the end of the file alone: in a log far longer than the part read, after a
// cut last line, and not at all in a missing log.
TEST(ProgrammedLog, TheLastRecordFromTheEndOfTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("programmed.log"));
    EXPECT_FALSE(lastProgrammedRecord(path).has_value());
    std::string text;
    ProgrammedRecord record = moduleRecord();
    for (int i = 0; i < 2000; ++i) {
        record.name = "Lamp " + std::to_string(i);
        text += formatProgrammedRecord(record);
    }
    writeText(path, text);
    ASSERT_GT(text.size(), 64u * 1024u);
    const std::optional<ProgrammedRecord> last = lastProgrammedRecord(path);
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->name, "Lamp 1999");
    writeText(path, text + formatProgrammedRecord(moduleRecord()).substr(0, 30)); // a crash cut the last line
    EXPECT_EQ(lastProgrammedRecord(path)->name, "Lamp 1999");
}

TEST(ProgrammedLog, MissingFileIsAnEmptyLogAndAnUnwritablePlaceIsSaid) {
    QTemporaryDir dir;
    const ProgrammedLogRead read = readProgrammedLog(dir.filePath(QStringLiteral("none.log")));
    EXPECT_TRUE(read.ok);
    EXPECT_TRUE(read.log.records.empty());

    // A folder where the file should be: reading and appending both fail with the path in the message.
    const QString folder = dir.filePath(QStringLiteral("folder.log"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const ProgrammedLogRead unreadable = readProgrammedLog(folder);
    EXPECT_FALSE(unreadable.ok);
    const ProgrammedLogAppend appended = appendProgrammedRecord(folder, moduleRecord());
    EXPECT_FALSE(appended.ok);
    EXPECT_NE(appended.error.find("folder.log"), std::string::npos) << appended.error;
}

TEST(ProgrammedLog, TheEnvironmentNamesTheLog) {
    const QByteArray before = qgetenv("LUMEQ_LOG_FILE");
    qputenv("LUMEQ_LOG_FILE", "/tmp/somewhere/else.log");
    EXPECT_EQ(programmedLogPath(), QStringLiteral("/tmp/somewhere/else.log"));
    qunsetenv("LUMEQ_LOG_FILE");
    EXPECT_TRUE(programmedLogPath().endsWith(QStringLiteral("/lumeq-config/programmed.log")));
    if (!before.isNull())
        qputenv("LUMEQ_LOG_FILE", before);
}

TEST(ProgrammedLog, SinceTakesADateOrATime) {
    struct Case {
        const char* text;
        std::optional<QDateTime> expected;
    };
    const std::vector<Case> cases = {
        {"2024-05-03", utc(2024, 5, 3)},
        {"2024-05-03T14:02", utc(2024, 5, 3, 14, 2)},
        {"2024-05-03T14:02:11", utc(2024, 5, 3, 14, 2, 11)},
        {"2024-05-03T14:02:11Z", utc(2024, 5, 3, 14, 2, 11)},
        {"2024-05-03T16:02:11+02:00", utc(2024, 5, 3, 14, 2, 11)},
        {"2024-02-30", std::nullopt},
        {"03.05.2024", std::nullopt},
        {"2024-05-03 14:02", std::nullopt},
        {"yesterday", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<QDateTime> got = parseSince(c.text);
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.text;
        if (got) {
            EXPECT_EQ(*got, *c.expected) << c.text << ": " << got->toString(Qt::ISODate).toStdString();
        }
    }
}

TEST(ProgrammedLog, SinceKeepsTheRecordsFromThatMomentOn) {
    std::vector<ProgrammedRecord> records;
    for (const QDateTime& time : {utc(2024, 5, 2, 23, 59, 59), utc(2024, 5, 3), utc(2024, 5, 4, 8)}) {
        records.push_back(moduleRecord());
        records.back().time = time;
    }
    EXPECT_EQ(recordsSince(records, utc(2024, 5, 3)).size(), 2u);
    EXPECT_EQ(recordsSince(records, utc(2024, 5, 3)).front().time, utc(2024, 5, 3));
    EXPECT_EQ(recordsSince(records, utc(2024, 5, 5)).size(), 0u);
    EXPECT_EQ(recordsSince(records, utc(2000, 1, 1)).size(), 3u);
}

TEST(ProgrammedLog, TheCrcIsTheOneAConfigurationFileCarries) {
    const ConfigFile file =
        parseConfigFile(fileText(QStringLiteral(LUMEQ_TEST_DATA_DIR "/dali_astro_mff_thermal.qcf")));
    ASSERT_TRUE(file.crcHolds());
    EXPECT_EQ(configurationCrc(file.image), file.storedCrc);
    // Only bytes 0..95 count.
    Image image = file.image;
    image[100] ^= 0x55;
    EXPECT_EQ(configurationCrc(image), file.storedCrc);
    image[95] ^= 0x55;
    EXPECT_NE(configurationCrc(image), file.storedCrc);
}
