#include "model/dimmingcurve.h"
#include "model/image.h"
#include "model/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <set>
#include <string>

using namespace lumeq;
namespace fs = std::filesystem;

namespace {

std::vector<int> identityCurve() {
    std::vector<int> curve(kCurvePoints);
    std::iota(curve.begin(), curve.end(), 0);
    return curve;
}

// Output 100 - input: every level moves, so a field that is mapped shows it.
std::vector<int> reverseCurve() {
    std::vector<int> curve = identityCurve();
    std::reverse(curve.begin(), curve.end());
    return curve;
}

// Flat above 50: the outputs 50 come from the inputs 50..100.
std::vector<int> plateauCurve() {
    std::vector<int> curve = identityCurve();
    for (int& point : curve)
        point = std::min(point, 50);
    return curve;
}

// Only even outputs, each from two inputs: 0,0,2,2,4,4,...,98,98,100.
std::vector<int> evenCurve() {
    std::vector<int> curve(kCurvePoints);
    for (int i = 0; i < kCurvePoints; ++i)
        curve[static_cast<std::size_t>(i)] = i / 2 * 2;
    return curve;
}

// A low-end lift: 0, then 11 rising to 100, with jumps and a few repeated outputs.
std::vector<int> liftCurve() {
    std::vector<int> curve(kCurvePoints);
    for (int i = 1; i < kCurvePoints; ++i)
        curve[static_cast<std::size_t>(i)] = 10 + (9 * i + 5) / 10;
    return curve;
}

std::string curveText(const std::vector<std::string>& lines, const std::string& lineBreak, bool trailingBreak) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size() || trailingBreak)
            text += lineBreak;
    }
    return text;
}

std::vector<std::string> identityLines(int count = kCurvePoints) {
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back(std::to_string(std::min(i, 100)));
    return lines;
}

// ---- Listing the curve folder ---------------------------------------------------------------------------

class CurveFolderTest : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() /
                  (std::string("lumeq_curves_") + info->name() + "_" + std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    void writeFile(const std::string& name, std::size_t size) {
        std::ofstream(folder_ / name, std::ios::binary) << std::string(size, '7');
    }
    std::vector<std::string> listed() {
        const CurveListing listing = listCurveFiles(folder_);
        EXPECT_TRUE(listing.folderFound);
        std::vector<std::string> names;
        for (const fs::path& name : listing.names)
            names.push_back(name.string());
        return names;
    }

    fs::path folder_;
};

TEST_F(CurveFolderTest, OnlyCurveFilesLargerThan100BytesSortedByName) {
    writeFile("b.dc", 300);
    writeFile("A.dc", 101);      // just large enough
    writeFile("small.dc", 100);  // too small
    writeFile("empty.dc", 0);    // too small
    writeFile("UPPER.DC", 300);  // the extension in capitals
    writeFile("notes.txt", 300); // no curve file
    writeFile("curve.dc.bak", 300);
    writeFile("a.dcx", 300);
    fs::create_directory(folder_ / "folder.dc"); // a directory named like a curve
    writeFile("folder.dc/inner.dc", 300);        // files of subfolders are not listed

    EXPECT_EQ(listed(), (std::vector<std::string>{"A.dc", "b.dc", "UPPER.DC"}));
}

TEST_F(CurveFolderTest, OrderDoesNotDependOnCreation) {
    for (const char* name : {"zeta.dc", "Alpha.dc", "beta.dc", "alpha.dc", "10.dc", "2.dc"})
        writeFile(name, 200);
    EXPECT_EQ(listed(), (std::vector<std::string>{"10.dc", "2.dc", "Alpha.dc", "alpha.dc", "beta.dc", "zeta.dc"}));
}

TEST_F(CurveFolderTest, EmptyFolderIsFoundWithoutCurves) {
    EXPECT_TRUE(listed().empty());
}

TEST_F(CurveFolderTest, MissingFolderOrAFileInItsPlace) {
    const CurveListing missing = listCurveFiles(folder_ / "DimmingCurve");
    EXPECT_FALSE(missing.folderFound);
    EXPECT_TRUE(missing.names.empty());

    writeFile("DimmingCurve", 300);
    EXPECT_FALSE(listCurveFiles(folder_ / "DimmingCurve").folderFound);
}

TEST_F(CurveFolderTest, ReadingAFile) {
    std::ofstream(folder_ / "ok.dc", std::ios::binary) << curveText(identityLines(), "\r\n", true);
    const CurveParse parsed = readCurveFile(folder_ / "ok.dc");
    EXPECT_TRUE(parsed.ok());
    EXPECT_EQ(parsed.points, identityCurve());

    const CurveParse missing = readCurveFile(folder_ / "gone.dc");
    EXPECT_EQ(missing.error, CurveError::Unreadable);
    EXPECT_EQ(missing.points, std::vector<int>(kCurvePoints, 0));

    // A huge file is refused without reading it whole.
    std::ofstream(folder_ / "huge.dc", std::ios::binary) << std::string(kCurveMaxFileSize + 1, '\n');
    EXPECT_EQ(readCurveFile(folder_ / "huge.dc").error, CurveError::Unreadable);
}

// The curves that ship with the program are usable: 101 rising points ending at 100.
TEST(ShippedCurves, AllParseAndRise) {
    const fs::path folder = LUMEQ_SHIPPED_CURVES;
    const CurveListing listing = listCurveFiles(folder);
    ASSERT_TRUE(listing.folderFound) << folder;
    ASSERT_GE(listing.names.size(), 2u);
    bool identityFound = false;
    for (const fs::path& name : listing.names) {
        SCOPED_TRACE(name.string());
        const CurveParse parsed = readCurveFile(folder / name);
        ASSERT_TRUE(parsed.ok());
        EXPECT_EQ(parsed.points.front(), 0);
        EXPECT_EQ(parsed.points.back(), 100);
        EXPECT_TRUE(std::is_sorted(parsed.points.begin(), parsed.points.end()));
        if (name == "Identity.dc") {
            identityFound = true;
            EXPECT_EQ(parsed.points, identityCurve());
        }
    }
    EXPECT_TRUE(identityFound);
}

// ---- Parsing a curve text -------------------------------------------------------------------------------

struct ParseCase {
    const char* name;
    std::string text;
    CurveError error;
    int badLine; // WrongData: the points before it are kept
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<std::string> withLine(int line, const std::string& text) {
    std::vector<std::string> lines = identityLines();
    lines[static_cast<std::size_t>(line)] = text;
    return lines;
}

class ParseCurveTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseCurveTest, PointsAndError) {
    const ParseCase& c = GetParam();
    const CurveParse parsed = parseCurve(c.text);
    EXPECT_EQ(parsed.error, c.error);
    ASSERT_EQ(parsed.points.size(), static_cast<std::size_t>(kCurvePoints));
    switch (c.error) {
    case CurveError::None:
        EXPECT_EQ(parsed.points, identityCurve());
        break;
    case CurveError::WrongData:
        EXPECT_EQ(parsed.badLine, c.badLine);
        for (int i = 0; i < kCurvePoints; ++i)
            EXPECT_EQ(parsed.points[static_cast<std::size_t>(i)], i < c.badLine ? i : 0) << "point " << i;
        break;
    default:
        EXPECT_EQ(parsed.points, std::vector<int>(kCurvePoints, 0));
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    DimmingCurve, ParseCurveTest,
    testing::Values(
        ParseCase{"TrailingLineBreak", curveText(identityLines(), "\n", true), CurveError::None, -1},
        ParseCase{"NoTrailingLineBreak", curveText(identityLines(), "\n", false), CurveError::None, -1},
        ParseCase{"CrLf", curveText(identityLines(), "\r\n", true), CurveError::None, -1},
        ParseCase{"CrLfNoTrailingBreak", curveText(identityLines(), "\r\n", false), CurveError::None, -1},
        ParseCase{"BlanksAroundNumbers", curveText(withLine(7, " \t7  "), "\n", true), CurveError::None, -1},
        ParseCase{"ByteOrderMark", "\xEF\xBB\xBF" + curveText(identityLines(), "\r\n", true), CurveError::None, -1},
        ParseCase{"HundredLines", curveText(identityLines(100), "\n", true), CurveError::PointCount, -1},
        ParseCase{"HundredTwoLines", curveText(identityLines(102), "\n", true), CurveError::PointCount, -1},
        ParseCase{"TwoLineBreaksAtTheEnd", curveText(identityLines(), "\n", true) + "\n", CurveError::PointCount, -1},
        ParseCase{"EmptyText", "", CurveError::PointCount, -1},
        ParseCase{"ValueAbove100", curveText(withLine(5, "101"), "\n", true), CurveError::WrongData, 5},
        ParseCase{"NegativeValue", curveText(withLine(50, "-1"), "\n", true), CurveError::WrongData, 50},
        ParseCase{"WordOnFirstLine", curveText(withLine(0, "zero"), "\n", true), CurveError::WrongData, 0},
        ParseCase{"NumberWithText", curveText(withLine(99, "99%"), "\r\n", true), CurveError::WrongData, 99},
        ParseCase{"DecimalPoint", curveText(withLine(20, "20.0"), "\n", true), CurveError::WrongData, 20},
        ParseCase{"EmptyLine", curveText(withLine(100, ""), "\n", true), CurveError::WrongData, 100},
        ParseCase{"HugeNumber", curveText(withLine(3, "99999999999999999999"), "\n", true), CurveError::WrongData, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DimmingCurve, ErrorTexts) {
    EXPECT_EQ(curveErrorText(CurveError::None), "");
    EXPECT_EQ(curveErrorText(CurveError::PointCount), "Error: Nr. of points is not 101!");
    EXPECT_EQ(curveErrorText(CurveError::WrongData), "Error: Wrong Data!");
    EXPECT_FALSE(curveErrorText(CurveError::Unreadable).empty());
}

// ---- Correction of the image ------------------------------------------------------------------------------

// An image with a distinct level (1..100, some with bit 7) in every level field and distinct values
// elsewhere, so that a change of any byte shows.
Image fullImage() {
    Image image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i % 90 + 3);
    image[img::Flags] = 0x0C; // 1-10V
    for (const std::size_t engine : {img::Engine2, img::Engine1}) {
        for (std::size_t step = 0; step < img::StepCount; ++step)
            image[engine + step * img::StepSize + img::StepLevel] = static_cast<std::uint8_t>(10 + step * 7);
    }
    image[img::Engine2 + img::StepLevel] |= 0x80; // relay off in a step
    image[img::MffStart] = 20;
    image[img::MffStop] = 90;
    image[img::ThermT1] = 70;
    image[img::ThermL1] = 0x80 | 40; // relay off at T1
    image[img::ThermT2] = 60;
    image[img::ThermL2] = 55;
    image[img::ThermT3] = 50;
    image[img::ThermL3] = 65;
    return image;
}

std::set<std::size_t> allLevelFields() {
    std::set<std::size_t> fields = {2, 3, 69, 73, 90, 92, 94};
    for (std::size_t k = 0; k < 10; ++k) {
        fields.insert(10 + 3 * k);
        fields.insert(40 + 3 * k);
    }
    return fields;
}

struct FieldCase {
    const char* name;
    void (*prepare)(Image&);
    std::set<std::size_t> skipped; // level fields the correction must leave alone in this image
};

void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << c.name;
}

class CorrectionFieldTest : public testing::TestWithParam<FieldCase> {};

// Exactly the level fields move (through the reverse curve, every level changes); every other byte stays.
TEST_P(CorrectionFieldTest, MapsExactlyTheLevelFields) {
    const FieldCase& c = GetParam();
    Image image = fullImage();
    c.prepare(image);
    const Image before = image;
    std::set<std::size_t> mapped = allLevelFields();
    for (const std::size_t skip : c.skipped)
        mapped.erase(skip);

    ASSERT_TRUE(correctDC(image, reverseCurve()));
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (mapped.count(i) != 0) {
            const int level = std::min(before[i] & 0x7F, 100);
            EXPECT_EQ(image[i], (before[i] & 0x80) + 100 - level) << "byte " << i;
        } else {
            EXPECT_EQ(image[i], before[i]) << "byte " << i;
        }
    }

    // The inverse brings every level back: the reverse curve is its own inverse.
    ASSERT_TRUE(invCorrectDC(image, reverseCurve()));
    EXPECT_EQ(image, before);
}

INSTANTIATE_TEST_SUITE_P(
    DimmingCurve, CorrectionFieldTest,
    testing::Values(FieldCase{"EveryFieldInUse", [](Image&) {}, {}},
                    FieldCase{"EmptySteps",
                              [](Image& image) {
                                  image[13] = 0xFF; // engine 2 step 1 and the last step
                                  image[37] = 0xFF;
                                  image[40] = 0xFF; // engine 1 first step
                              },
                              {13, 37, 40}},
                    FieldCase{"MffStartUnset", [](Image& image) { image[img::MffStart] = 0xFF; }, {69, 73}},
                    FieldCase{"ThermalThresholdsZero",
                              [](Image& image) {
                                  image[img::ThermT1] = 0;
                                  image[img::ThermT3] = 0;
                              },
                              {90, 94}},
                    FieldCase{
                        "DefaultImage",
                        [](Image& image) { image = defaultImage(); },
                        // The default image uses one step of engine 2, two of engine 1, no MFF and no thermal table.
                        {13, 16, 19, 22, 25, 28, 31, 34, 37, 46, 49, 52, 55, 58, 61, 64, 67, 69, 73, 90, 92, 94}},
                    FieldCase{"StickModeImage", [](Image& image) { image.resize(kStickMemorySize, 0x33); }, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DimmingCurve, IdentityLeavesEveryLevelUnchanged) {
    for (const Image& start : {fullImage(), defaultImage()}) {
        Image image = start;
        EXPECT_TRUE(correctDC(image, identityCurve()));
        EXPECT_EQ(image, start);
        EXPECT_TRUE(invCorrectDC(image, identityCurve()));
        EXPECT_EQ(image, start);
    }
}

TEST(DimmingCurve, DaliIsNeverCorrected) {
    for (const std::uint8_t flags : {0x01, 0x03, 0xFF}) {
        Image image = fullImage();
        image[img::Flags] = flags;
        const Image before = image;
        EXPECT_FALSE(correctDC(image, reverseCurve()));
        EXPECT_FALSE(invCorrectDC(image, reverseCurve()));
        EXPECT_EQ(image, before);
    }
}

TEST(DimmingCurve, UnusableCurveOrImageChangesNothing) {
    std::vector<int> outOfRange = identityCurve();
    outOfRange[30] = 101;
    std::vector<int> negative = identityCurve();
    negative[0] = -1;
    const std::vector<std::vector<int>> curves = {
        {}, std::vector<int>(100, 50), std::vector<int>(102, 50), outOfRange, negative};
    for (const std::vector<int>& curve : curves) {
        Image image = fullImage();
        const Image before = image;
        EXPECT_FALSE(correctDC(image, curve));
        EXPECT_FALSE(invCorrectDC(image, curve));
        EXPECT_EQ(image, before);
    }
    Image shortImage(kConfigSize - 1, 50);
    EXPECT_FALSE(correctDC(shortImage, identityCurve()));
    EXPECT_FALSE(invCorrectDC(shortImage, identityCurve()));
    EXPECT_TRUE(curveLevelFields(shortImage).empty());
}

// ---- One level byte --------------------------------------------------------------------------------------

struct LevelCase {
    const char* name;
    std::vector<int> (*curve)();
    std::uint8_t value;
    std::uint8_t corrected;
    std::uint8_t inverse;
};

void PrintTo(const LevelCase& c, std::ostream* os) {
    *os << c.name;
}

class LevelByteTest : public testing::TestWithParam<LevelCase> {};

TEST_P(LevelByteTest, BothDirections) {
    const LevelCase& c = GetParam();
    EXPECT_EQ(correctLevel(c.value, c.curve()), c.corrected);
    EXPECT_EQ(invCorrectLevel(c.value, c.curve()), c.inverse);
}

INSTANTIATE_TEST_SUITE_P(DimmingCurve, LevelByteTest,
                         testing::Values(LevelCase{"PlainLevel", reverseCurve, 30, 70, 70},
                                         LevelCase{"Bit7KeptBothWays", reverseCurve, 0x80 | 30, 0x80 | 70, 0x80 | 70},
                                         LevelCase{"Bit7WithZero", reverseCurve, 0x80, 0x80 | 100, 0x80 | 100},
                                         LevelCase{"Above100TakenAs100", reverseCurve, 0x7F, 0, 0},
                                         LevelCase{"Above100WithBit7", reverseCurve, 0x80 | 101, 0x80, 0x80},
                                         LevelCase{"Exactly100", liftCurve, 100, 100, 100},
                                         LevelCase{"InverseTakesHighestInputOfPlateau", plateauCurve, 50, 50, 100},
                                         LevelCase{"InverseBelowPlateau", plateauCurve, 49, 49, 49},
                                         LevelCase{"InverseOfPairTakesUpperInput", evenCurve, 4, 4, 5},
                                         LevelCase{"NeverProducedTieTakesHighest", evenCurve, 5, 4, 7},
                                         LevelCase{"NeverProducedTieWithBit7", evenCurve, 0x80 | 3, 0x80 | 2, 0x80 | 5},
                                         LevelCase{"NeverProducedNearestBelow", liftCurve, 5, 15, 0},
                                         LevelCase{"NeverProducedNearestAbove", liftCurve, 8, 17, 1},
                                         LevelCase{"NeverProducedAbovePlateauTop", plateauCurve, 80, 50, 100}),
                         [](const auto& info) { return std::string(info.param.name); });

// Reading back what was written: the inverse of a corrected level is the highest input with the same
// output, so correcting it again writes the same byte.
TEST(DimmingCurve, InverseOfCorrectedLevelWritesTheSameAgain) {
    for (const auto makeCurve : {liftCurve, evenCurve, plateauCurve}) {
        const std::vector<int> curve = makeCurve();
        for (int level = 0; level <= 100; ++level) {
            for (const int flag : {0, 0x80}) {
                const auto value = static_cast<std::uint8_t>(flag | level);
                const std::uint8_t written = correctLevel(value, curve);
                const std::uint8_t readBack = invCorrectLevel(written, curve);
                EXPECT_EQ(correctLevel(readBack, curve), written) << "level " << level;
                EXPECT_EQ(readBack & 0x80, flag);
                EXPECT_GE(readBack & 0x7F, level);
            }
        }
    }
}

} // namespace
