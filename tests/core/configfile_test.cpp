#include "files/configfile.h"

#include "model/crc16.h"
#include "model/image.h"
#include "model/layout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace lumeq;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::filesystem::path dataDir() {
    if (const char* dir = std::getenv("LUMEQ_TEST_DATA")) {
        return dir;
    }
    return LUMEQ_TEST_DATA_DIR;
}

std::string readFixture(const std::string& name) {
    std::ifstream in(dataDir() / name, std::ios::binary);
    EXPECT_TRUE(in) << "fixture " << name << " missing";
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string hex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (auto b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

std::string hex4(std::uint16_t value) {
    return hex({static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)});
}

Bytes slice(const Bytes& bytes, std::size_t first, std::size_t count) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(first),
            bytes.begin() + static_cast<std::ptrdiff_t>(first + count)};
}

// A file text from its lines, each followed by `eol`.
std::string joinLines(const std::vector<std::string>& lines, const std::string& eol = "\r\n") {
    std::string out;
    for (const auto& line : lines) {
        out += line + eol;
    }
    return out;
}

// A header whose CRC is computed over the values the data lines mean.
std::string header(const Bytes& values, const std::string& info = "", const std::string& signature = "MMN") {
    return signature + hex4(crc16(values)) + info;
}

// An image with every byte different, so that misplaced bytes show.
Bytes patternImage() {
    Bytes image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    return image;
}

// ---- Writing ------------------------------------------------------------------------------------------

TEST(ConfigFileFormat, DefaultImageGivesTheExampleFileByteForByte) {
    EXPECT_EQ(formatConfigFile(defaultImage(), ""), readFixture("default.qcf"));
}

TEST(ConfigFileFormat, WritesSevenUpperCaseLinesWithCrLfAndIgnoresSpareBytes) {
    Bytes image = patternImage();
    const std::string text = formatConfigFile(image, "Info");
    std::fill(image.begin() + kConfigSize, image.end(), 0x00); // spare bytes are not part of the file
    EXPECT_EQ(formatConfigFile(image, "Info"), text);

    std::vector<std::string> lines;
    for (std::size_t i = 0; i < kConfigSize; i += kConfigLineBytes) {
        lines.push_back(hex(slice(image, i, kConfigLineBytes)));
    }
    lines.insert(lines.begin(), header(slice(image, 0, kConfigSize), "Info"));
    EXPECT_EQ(text, joinLines(lines));
}

TEST(ConfigFileFormat, ShortImageIsFilledUpWithFF) {
    const Bytes shortImage = slice(defaultImage(), 0, 20);
    Bytes full(kConfigSize, 0xFF);
    std::copy(shortImage.begin(), shortImage.end(), full.begin());
    EXPECT_EQ(formatConfigFile(shortImage, "x"), formatConfigFile(full, "x"));
}

// ---- Round trip -----------------------------------------------------------------------------------------

struct RoundTripCase {
    const char* name;
    Bytes image;
    std::string info;     // given to the writer (UTF-8)
    std::string fileInfo; // what the header carries (Windows-1252)
    std::string loaded;   // what comes back (UTF-8)
};

class ConfigFileRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(ConfigFileRoundTrip, RestoresBytes0To95AndTheInfoText) {
    const auto& c = GetParam();
    const std::string text = formatConfigFile(c.image, c.info);
    EXPECT_EQ(text.substr(7, text.find('\r') - 7), c.fileInfo);
    const ConfigFile file = parseConfigFile(text);
    ASSERT_EQ(file.error, ConfigFileError::None);
    EXPECT_FALSE(file.oldFormat);
    EXPECT_EQ(file.dataLines, 6u);
    EXPECT_EQ(slice(file.image, 0, kConfigSize), slice(c.image, 0, kConfigSize));
    EXPECT_EQ(slice(file.image, kConfigSize, kImageSize - kConfigSize), Bytes(kImageSize - kConfigSize, 0xFF));
    EXPECT_EQ(file.info, c.loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Config, ConfigFileRoundTrip,
    testing::Values(RoundTripCase{"DefaultImage", defaultImage(), "", "", ""},
                    RoundTripCase{"EveryByteDifferent", patternImage(), "LAB 01", "LAB 01", "LAB 01"},
                    RoundTripCase{"AllZero", Bytes(kImageSize, 0x00), "12345678", "12345678", "12345678"},
                    RoundTripCase{"AllFF", Bytes(kImageSize, 0xFF), " x ", " x ", " x "},
                    RoundTripCase{"InfoCutToEightCharacters", defaultImage(), "123456789", "12345678", "12345678"},
                    RoundTripCase{"InfoInWindows1252", defaultImage(), "Straße €", "Stra\xDF\x65 \x80", "Straße €"},
                    RoundTripCase{"EightUmlautsCountAsEightCharacters", defaultImage(), "ÄÖÜäöüßé",
                                  "\xC4\xD6\xDC\xE4\xF6\xFC\xDF\xE9", "ÄÖÜäöüßé"},
                    RoundTripCase{"LineBreaksInInfoCannotBreakTheHeader", defaultImage(), "a\r\nb\tc", "a??b?c",
                                  "a??b?c"},
                    RoundTripCase{"CharactersOutsideWindows1252", defaultImage(), "日本x", "??x", "??x"},
                    RoundTripCase{"MalformedUtf8", defaultImage(), "a\xFF\xC3", "a??", "a??"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Reading ------------------------------------------------------------------------------------------

struct ParseCase {
    const char* name;
    std::string text;
    ConfigFileError error;
    Bytes expectedStart; // for configurations: the image starts so, and every later byte is 0xFF
    std::string info;
    bool oldFormat = false;
    std::size_t dataLines = 0;
    std::size_t ignoredDataLines = 0;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class ConfigFileParse : public testing::TestWithParam<ParseCase> {};

TEST_P(ConfigFileParse, Reads) {
    const auto& c = GetParam();
    const ConfigFile file = parseConfigFile(c.text);
    EXPECT_EQ(file.error, c.error);
    if (!file.isConfiguration()) {
        return;
    }
    ASSERT_EQ(file.image.size(), kImageSize);
    Bytes expected(kImageSize, 0xFF);
    std::copy(c.expectedStart.begin(), c.expectedStart.end(), expected.begin());
    EXPECT_EQ(hex(file.image), hex(expected));
    EXPECT_EQ(file.info, c.info);
    EXPECT_EQ(file.oldFormat, c.oldFormat);
    EXPECT_EQ(file.dataLines, c.dataLines);
    EXPECT_EQ(file.ignoredDataLines, c.ignoredDataLines);
}

std::vector<std::string> defaultLines() {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < kConfigSize; i += kConfigLineBytes) {
        lines.push_back(hex(slice(defaultImage(), i, kConfigLineBytes)));
    }
    return lines;
}

std::string defaultFile(const std::string& eol, bool lowerCase = false, const std::string& signature = "MMN",
                        const std::string& info = "") {
    auto lines = defaultLines();
    if (lowerCase) {
        for (auto& line : lines) {
            for (auto& ch : line) {
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            }
        }
    }
    lines.insert(lines.begin(), header(slice(defaultImage(), 0, kConfigSize), info, signature));
    return joinLines(lines, eol);
}

const Bytes kDefault96 = slice(defaultImage(), 0, kConfigSize);

// The 16 values of one data line: the given ones, then zeros.
Bytes line16(std::initializer_list<std::uint8_t> values) {
    Bytes line(values);
    line.resize(kConfigLineBytes, 0x00);
    return line;
}

// Ten data lines: the image takes the first eight, the CRC covers all ten.
ParseCase tenDataLines() {
    Bytes values;
    std::vector<std::string> lines;
    for (std::size_t n = 0; n < 10; ++n) {
        const Bytes line(kConfigLineBytes, static_cast<std::uint8_t>(0x10 * n + 1));
        values.insert(values.end(), line.begin(), line.end());
        lines.push_back(hex(line));
    }
    lines.insert(lines.begin(), header(values));
    return {"TenDataLinesFillTheImageAndNoMore",
            joinLines(lines),
            ConfigFileError::None,
            slice(values, 0, kImageSize),
            "",
            false,
            10,
            2};
}

std::vector<ParseCase> parseCases() {
    std::vector<ParseCase> cases = {
        {"EmptyFile", "", ConfigFileError::NoDataLines, {}, ""},
        {"HeaderOnly", "MMN8A1C\r\n", ConfigFileError::NoDataLines, {}, ""},
        {"HeaderWithoutLineEnd", "MMN8A1C", ConfigFileError::NoDataLines, {}, ""},
        {"OneEmptyLine", "\r\n", ConfigFileError::NoDataLines, {}, ""},
        {"SomeOtherText", "[Commands]\r\neraseAll=1\r\n", ConfigFileError::NotConfiguration, {}, ""},
        {"SignatureCut", "MM\r\n00\r\n", ConfigFileError::NotConfiguration, {}, ""},
        {"SignatureInLowerCase", "mmn8A1C\r\n00\r\n", ConfigFileError::NotConfiguration, {}, ""},
        {"ByteOrderMarkBeforeSignature", "\xEF\xBB\xBFMMN8A1C\r\n00\r\n", ConfigFileError::NotConfiguration, {}, ""},
        {"FirmwareContainer", "FWX1880520000\r\n00\r\n", ConfigFileError::Firmware, {}, ""},
        {"CrLf", defaultFile("\r\n"), ConfigFileError::None, kDefault96, "", false, 6},
        {"LfAlone", defaultFile("\n"), ConfigFileError::None, kDefault96, "", false, 6},
        {"CrAlone", defaultFile("\r"), ConfigFileError::None, kDefault96, "", false, 6},
        {"LowerCaseHex", defaultFile("\r\n", true), ConfigFileError::None, kDefault96, "", false, 6},
        {"OldFormatMem", defaultFile("\r\n", false, "MEM"), ConfigFileError::None, kDefault96, "", true, 6},
        {"InfoTailBeyondEightCharactersIgnored", defaultFile("\r\n", false, "MMN", "ABCDEFGHIJK"),
         ConfigFileError::None, kDefault96, "ABCDEFGH", false, 6},
        {"InfoInWindows1252", defaultFile("\r\n", false, "MMN", "\xB0\x43 \x80"), // "°C €"
         ConfigFileError::None, kDefault96, "°C €", false, 6},
        {"TwoDataLinesLeaveTheRestFF",
         joinLines({header(slice(kDefault96, 0, 32)), defaultLines()[0], defaultLines()[1]}), ConfigFileError::None,
         slice(kDefault96, 0, 32), "", false, 2},
        // A short line still gives 16 values; the missing pairs are 0 and enter the CRC as 0.
        {"ShortDataLine", joinLines({header(line16({0x0C})), "0C"}), ConfigFileError::None, line16({0x0C}), "", false,
         1},
        {"OddLengthLineEndsInOneDigitField", joinLines({header(line16({0xAB, 0x0C})), "ABC"}), ConfigFileError::None,
         line16({0xAB, 0x0C}), "", false, 1},
        // A field is read up to its first non-hex character.
        {"NonHexCharacters",
         joinLines({header(line16({0x00, 0x01, 0x00, 0x00, 0x0F, 0x0F, 0xFF})), std::string("G01G  zzF F\xFF") + "FF"}),
         ConfigFileError::None, line16({0x00, 0x01, 0x00, 0x00, 0x0F, 0x0F, 0xFF}), "", false, 1},
        {"LongDataLineReadsOnly32Characters",
         joinLines({header(slice(kDefault96, 0, 16)), defaultLines()[0] + "1234567890"}), ConfigFileError::None,
         slice(kDefault96, 0, 16), "", false, 1},
        {"CrcDigitsInLowerCase",
         joinLines({"MMN8a1c", defaultLines()[0], defaultLines()[1], defaultLines()[2], defaultLines()[3],
                    defaultLines()[4], defaultLines()[5]}),
         ConfigFileError::None, kDefault96, "", false, 6},
        {"ShortCrcField", joinLines({"MMN8A", "00"}), ConfigFileError::Corrupted, Bytes(16, 0), "", false, 1},
        {"OneDigitChanged",
         [] {
             std::string text = defaultFile("\r\n");
             text[9] = '1'; // first data byte 0C becomes 1C
             return text;
         }(),
         ConfigFileError::Corrupted,
         [] {
             Bytes b = kDefault96;
             b[0] = 0x1C;
             return b;
         }(),
         "", false, 6},
        // A blank line at the end is one more data line of zeros, which changes the CRC.
        {"TrailingBlankLineIsADataLine", defaultFile("\r\n") + "\r\n", ConfigFileError::Corrupted,
         [] {
             Bytes b = kDefault96;
             b.resize(112, 0x00);
             return b;
         }(),
         "", false, 7},
        tenDataLines(),
    };
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Config, ConfigFileParse, testing::ValuesIn(parseCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigFileParse, MessagesOfTheProgram) {
    EXPECT_EQ(configFileMessage(ConfigFileError::Corrupted), "File is corrupted!");
    EXPECT_EQ(configFileMessage(ConfigFileError::NotConfiguration), "Not a configuration or firmware file!");
    EXPECT_EQ(configFileMessage(ConfigFileError::TooLarge), "Not a configuration or firmware file!");
    EXPECT_EQ(configFileMessage(ConfigFileError::NoDataLines), "");
    EXPECT_EQ(configFileMessage(ConfigFileError::Firmware), "");
    EXPECT_EQ(std::string(kOldFormatMessage), "Old Format: Please check Parameter!");
    for (auto error : {ConfigFileError::Corrupted, ConfigFileError::NotConfiguration, ConfigFileError::TooLarge,
                       ConfigFileError::NoDataLines, ConfigFileError::Firmware}) {
        EXPECT_FALSE(configFileProblem(error).empty());
    }
}

TEST(ConfigFileParse, HugeFileIsRefusedUnread) {
    std::string text = defaultFile("\r\n");
    text.resize(kLoadFileMaxSize + 1, '0');
    EXPECT_EQ(parseConfigFile(text).error, ConfigFileError::TooLarge);
    text.resize(kLoadFileMaxSize);
    EXPECT_NE(parseConfigFile(text).error, ConfigFileError::TooLarge); // at the limit it is read
}

TEST(ConfigFileParse, ManyLinesOfJunkStayInBounds) {
    std::string text = "MEM\n";
    for (int i = 0; i < 5000; ++i) {
        text += std::string(static_cast<std::size_t>(i % 40), static_cast<char>(i % 256)) + (i % 3 ? "\r" : "\n");
    }
    const ConfigFile file = parseConfigFile(text);
    EXPECT_TRUE(file.isConfiguration());
    EXPECT_EQ(file.image.size(), kImageSize);
    EXPECT_EQ(file.dataLines, kConfigMaxDataLines + file.ignoredDataLines);
}

// ---- The load rule ----------------------------------------------------------------------------------

// An image whose astro data bytes are set, saved with a good CRC or with one digit changed.
Bytes sourceImage() {
    Bytes image = patternImage();
    for (std::size_t i = 0; i < img::AstroDataCount; ++i) {
        image[img::AstroData + i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    return image;
}

std::string sourceFile(bool corrupted) {
    std::string text = formatConfigFile(sourceImage(), "Src");
    if (corrupted) {
        text[12] = text[12] == '0' ? '1' : '0';
    }
    return text;
}

struct LoadCase {
    const char* name;
    bool corrupted;
    LoadOptions options;
    bool accepted;
};

class ConfigFileLoad : public testing::TestWithParam<LoadCase> {};

TEST_P(ConfigFileLoad, ReplacesTheImageOrChangesNothing) {
    const auto& c = GetParam();
    const ConfigFile file = parseConfigFile(sourceFile(c.corrupted));
    ASSERT_EQ(file.error, c.corrupted ? ConfigFileError::Corrupted : ConfigFileError::None);
    for (std::size_t size : {kImageSize, kStickMemorySize}) {
        const Image current(size, 0x5A);
        const auto loaded = applyConfigFile(current, file, c.options);
        ASSERT_EQ(loaded.has_value(), c.accepted) << "image of " << size;
        if (!loaded) {
            continue;
        }
        ASSERT_EQ(loaded->size(), size);
        Bytes expected = file.image; // the file's bytes, 0xFF from 96 on
        if (!c.options.copyAstro) {
            std::fill_n(expected.begin() + img::AstroData, img::AstroDataCount, 0);
        }
        expected.resize(size, 0x5A); // stick memory beyond the image stays
        EXPECT_EQ(hex(*loaded), hex(expected)) << "image of " << size;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Config, ConfigFileLoad,
    testing::Values(LoadCase{"GoodFileClearsAstroData", false, {false, false}, true},
                    LoadCase{"GoodFileWithCopyAstroKeepsTheFilesAstroData", false, {false, true}, true},
                    LoadCase{"CorruptedFileIsRefused", true, {false, false}, false},
                    LoadCase{"CorruptedFileIsRefusedWithCopyAstroToo", true, {false, true}, false},
                    LoadCase{"CorruptedFileLoadsWithNoLoadCheck", true, {true, false}, true},
                    LoadCase{"CorruptedFileLoadsWithNoLoadCheckAndCopyAstro", true, {true, true}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigFileLoad, WhatIsNoConfigurationIsRefusedEvenWithNoLoadCheck) {
    const Image current = defaultImage();
    for (const std::string text : {"", "MMN8A1C\r\n", "hello\r\nworld\r\n", "FWX1880520000\r\n00\r\n"}) {
        EXPECT_FALSE(applyConfigFile(current, parseConfigFile(text), {true, true})) << text;
    }
    ConfigFile tooLarge;
    tooLarge.error = ConfigFileError::TooLarge;
    EXPECT_FALSE(applyConfigFile(current, tooLarge, {true, true}));
}

TEST(ConfigFileLoad, ShortFileLeavesFFBeyondItsLastDataLine) {
    const ConfigFile file = parseConfigFile(joinLines({header(slice(kDefault96, 0, 16), "S"), defaultLines()[0]}));
    const auto loaded = applyConfigFile(Image(kImageSize, 0x00), file, {});
    ASSERT_TRUE(loaded);
    EXPECT_EQ(slice(*loaded, 0, 16), slice(kDefault96, 0, 16));
    Bytes rest(kImageSize - 16, 0xFF);
    std::fill_n(rest.begin() + (img::AstroData - 16), img::AstroDataCount, 0);
    EXPECT_EQ(hex(slice(*loaded, 16, kImageSize - 16)), hex(rest));
    EXPECT_EQ(file.info, "S");
}

// ---- Files on disk ------------------------------------------------------------------------------------

std::string fileText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "<unreadable>";
    }
    return file.readAll().toStdString();
}

void writeText(const QString& path, const std::string& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

class ConfigFileDisk : public testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot); }

    QTemporaryDir dir;
    const std::string good = readFixture("default.qcf");
};

TEST_F(ConfigFileDisk, SaveWritesTheFileAndReadLoadFileReadsItBack) {
    const QString target = path("saved.qcf");
    writeText(target, "an older, longer file that the save replaces completely\r\n");
    const SaveResult saved = saveConfigFile(target, sourceImage(), "Src");
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(fileText(target), formatConfigFile(sourceImage(), "Src"));
    EXPECT_EQ(entries(), QStringList{"saved.qcf"}); // no temporary file left behind

    const FileBytes read = readLoadFile(target);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(parseConfigFile(read.bytes).error, ConfigFileError::None);
}

struct FailingTarget {
    const char* name;
    QString (*make)(const QString& dir); // prepares the location, returns the path to save to
};

class ConfigFileSaveFailure : public ConfigFileDisk, public testing::WithParamInterface<FailingTarget> {};

TEST_P(ConfigFileSaveFailure, ReportsTheFailureAndWritesNothing) {
    const QString target = GetParam().make(dir.path());
    const QStringList before = entries();
    const SaveResult saved = saveConfigFile(target, defaultImage(), "");
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.error.find(target.toStdString()), std::string::npos) << saved.error;
    EXPECT_EQ(entries(), before);
    EXPECT_EQ(fileText(dir.filePath("good.qcf")), readFixture("default.qcf")) << "the good file was touched";
}

INSTANTIATE_TEST_SUITE_P(Config, ConfigFileSaveFailure,
                         testing::Values(FailingTarget{"DirectoryDoesNotExist",
                                                       [](const QString& dir) {
                                                           writeText(dir + "/good.qcf", readFixture("default.qcf"));
                                                           return dir + "/missing/new.qcf";
                                                       }},
                                         FailingTarget{"ParentIsARegularFile",
                                                       [](const QString& dir) {
                                                           writeText(dir + "/good.qcf", readFixture("default.qcf"));
                                                           return dir + "/good.qcf/new.qcf";
                                                       }},
                                         FailingTarget{"TargetIsADirectory",
                                                       [](const QString& dir) {
                                                           writeText(dir + "/good.qcf", readFixture("default.qcf"));
                                                           QDir(dir).mkdir("folder.qcf");
                                                           return dir + "/folder.qcf";
                                                       }}),
                         [](const auto& info) { return std::string(info.param.name); });

// The disk fills up half-way through the write: the good file that was there must survive whole.
TEST_F(ConfigFileDisk, WriteFailingHalfWayLeavesTheGoodFileInPlace) {
    const QString target = path("good.qcf");
    writeText(target, good);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 100; // the file needs 215 bytes
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const SaveResult saved = saveConfigFile(target, sourceImage(), "Src");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.error.empty());
    EXPECT_EQ(fileText(target), good);
    EXPECT_EQ(entries(), QStringList{"good.qcf"});
}

TEST_F(ConfigFileDisk, SaveIntoReadOnlyDirectoryFails) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only directories";
    }
    const QString target = path("good.qcf");
    writeText(target, good);
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const SaveResult saved = saveConfigFile(target, sourceImage(), "Src");
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(fileText(target), good);
}

TEST_F(ConfigFileDisk, ReadLoadFileReportsWhatCannotBeRead) {
    const FileBytes missing = readLoadFile(path("missing.qcf"));
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("missing.qcf"), std::string::npos) << missing.error;

    EXPECT_FALSE(readLoadFile(dir.path()).ok);

    const QString huge = path("huge.qcf");
    writeText(huge, good + std::string(2 * kLoadFileMaxSize, '0'));
    const FileBytes read = readLoadFile(huge);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.bytes.size(), kLoadFileMaxSize + 1);
    EXPECT_EQ(parseConfigFile(read.bytes).error, ConfigFileError::TooLarge);
}

} // namespace
