#include "report/report.h"

#include "model/image.h"
#include "model/layout.h"
#include "recordingpdfwriter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace lumeq;
using lumeq::test::RecordedBitmap;
using lumeq::test::RecordedLine;
using lumeq::test::RecordedText;
using lumeq::test::RecordingPdfWriter;

namespace {

// ---- Expected drawing, in rows --------------------------------------------------------------------

RecordedText bold(int x, int row, const std::string& text, int page = 1) {
    return {page, double(x), double(reportRowY(row)), true, text};
}
RecordedText regular(int x, int row, const std::string& text, int page = 1) {
    return {page, double(x), double(reportRowY(row)), false, text};
}
RecordedLine line(int x1, int y1, int x2, int y2, int page = 1) {
    return {page, double(x1), double(y1), double(x2), double(y2)};
}
// The rule that ends a section before row r (16 points above its baseline).
RecordedLine sectionRule(int r, int page = 1) {
    return line(50, 766 - 25 * r, 550, 766 - 25 * r, page);
}
// The rules of a step table whose headings stand in row h.
std::vector<RecordedLine> tableHeadRules(int h, int page = 1) {
    return {line(160, 766 - 25 * h, 520, 766 - 25 * h, page), line(160, 741 - 25 * h, 520, 741 - 25 * h, page)};
}
// The frame closing a step table from y = top down to the rule before row r.
std::vector<RecordedLine> tableFrame(int top, int r, int page = 1) {
    const int bottom = 766 - 25 * r;
    std::vector<RecordedLine> lines = {line(160, bottom, 520, bottom, page)};
    for (const int x : {160, 280, 400, 470, 520})
        lines.push_back(line(x, top, x, bottom, page));
    return lines;
}
std::vector<RecordedText> headings(int row, bool delay, int page = 1) {
    return {bold(170, row, delay ? "Delay" : "Time", page), bold(290, row, "Fade", page), bold(410, row, "Level", page),
            bold(480, row, "Relay", page)};
}
std::vector<RecordedText> stepRow(int row, const char* time, const char* fade, const char* level, const char* relay,
                                  int page = 1) {
    return {regular(170, row, time, page), regular(290, row, fade, page), regular(410, row, level, page),
            regular(480, row, relay, page)};
}
std::vector<RecordedText> pageHeaderTexts(int page, const HeaderLines& header = {}) {
    return {{page, 200, 795, true, header.line1}, {page, 200, 780, false, header.line2}};
}

template <typename T> void append(std::vector<T>& to, const std::vector<T>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

template <typename T> std::vector<T> sorted(std::vector<T> items) {
    std::sort(items.begin(), items.end(), [](const T& a, const T& b) { return a.key() < b.key(); });
    return items;
}

void setStep(Image& image, std::size_t table, std::size_t step, std::uint8_t time, std::uint8_t fade,
             std::uint8_t level) {
    const std::size_t at = table + img::StepSize * step;
    image[at + img::StepTime] = time;
    image[at + img::StepFade] = fade;
    image[at + img::StepLevel] = level;
}

// Ten clock-time steps from 15:00 in half hours, levels 100 down to 10; the last one switches the relay off.
void fillEngine1(Image& image) {
    for (std::size_t k = 0; k < img::StepCount; ++k)
        setStep(image, img::Engine1, k, static_cast<std::uint8_t>(148 + 6 * k), 0,
                static_cast<std::uint8_t>((100 - 10 * k) | (k == 9 ? 0x80 : 0)));
}

// The first n delay steps: delay k + 1 seconds, fade k ms per %, level 10 (k + 1) %; a tenth step switches
// the relay off. The steps after them are empty.
void fillEngine2(Image& image, std::size_t n) {
    for (std::size_t k = 0; k < img::StepCount; ++k) {
        if (k < n)
            setStep(image, img::Engine2, k, static_cast<std::uint8_t>(k + 1), static_cast<std::uint8_t>(k),
                    static_cast<std::uint8_t>((10 * (k + 1)) | (k == 9 ? 0x80 : 0)));
        else
            setStep(image, img::Engine2, k, 0, 0, img::EmptyStep);
    }
}

void setThermal(Image& image, std::uint8_t t1, std::uint8_t l1, std::uint8_t t2, std::uint8_t l2, std::uint8_t t3,
                std::uint8_t l3) {
    image[img::Flags] = SetBit(image[img::Flags], img::FlagThermal);
    image[img::ThermT1] = t1;
    image[img::ThermL1] = l1;
    image[img::ThermT2] = t2;
    image[img::ThermL2] = l2;
    image[img::ThermT3] = t3;
    image[img::ThermL3] = l3;
}

void setMff(Image& image) {
    image[img::MffLifetime] = 200;
    image[img::MffStart] = 60;
    image[img::MffL1] = 70;
    image[img::MffL2] = 80;
    image[img::MffL3] = 90;
    image[img::MffStop] = 100;
    image[img::MffBurnIn] = 100;
}

const PdfDateTime kCreated{2024, 3, 7, 9, 30, 15, 60};
const char* const kDate = "07.03.2024";

class ReportTest : public ::testing::Test {
protected:
    void write() {
        ASSERT_EQ(writeReport(writer, image, project, header, kDate, kCreated), "");
        EXPECT_EQ(writer.problems, std::vector<std::string>{});
    }

    std::vector<RecordedText> textsOn(int page, int firstRow = 0, int lastRow = 28) const {
        std::vector<RecordedText> found;
        for (const RecordedText& t : writer.texts)
            if (t.page == page && t.y <= reportRowY(firstRow) && t.y >= reportRowY(lastRow))
                found.push_back(t);
        return sorted(found);
    }
    // Lines whose upper end is at or below y = top.
    std::vector<RecordedLine> linesOn(int page, int top = 842) const {
        std::vector<RecordedLine> found;
        for (const RecordedLine& l : writer.lines)
            if (l.page == page && std::max(l.y1, l.y2) <= top)
                found.push_back(l);
        return sorted(found);
    }
    std::optional<RecordedText> textAt(int page, int x, int row) const {
        for (const RecordedText& t : writer.texts)
            if (t.page == page && t.x == x && t.y == reportRowY(row))
                return t;
        return std::nullopt;
    }
    std::optional<RecordedText> find(const std::string& text) const {
        for (const RecordedText& t : writer.texts)
            if (t.text == text)
                return t;
        return std::nullopt;
    }

    Image image = defaultImage();
    ReportProject project;
    HeaderLines header;
    RecordingPdfWriter writer;
};

// ---- Whole reports ---------------------------------------------------------------------------------

TEST_F(ReportTest, DefaultImageWithoutProjectNameFillsOnePage) {
    project.luminaire = "Mastleuchte";
    project.driver = "LED 40 W"; // without a project name neither is printed
    write();

    EXPECT_EQ(writer.documentsCreated, 1);
    EXPECT_EQ(writer.author, "");
    EXPECT_EQ(writer.creator, "Arvento");
    EXPECT_EQ(writer.created, kCreated);
    EXPECT_EQ(writer.pages, 1);
    EXPECT_EQ(writer.leadings, std::vector<double>{12});
    EXPECT_EQ(writer.lineWidths, std::vector<double>{0.2});
    for (const auto& [name, size] : writer.fontsSelected) {
        EXPECT_EQ(name, "Arial");
        EXPECT_EQ(size, 12);
    }
    EXPECT_EQ(writer.registrations, std::vector<std::string>{"image1"});
    EXPECT_EQ(writer.registered["image1"].width, 136);
    EXPECT_EQ(writer.registered["image1"].height, 24);
    EXPECT_TRUE(writer.registered["image1"].isValid());
    EXPECT_EQ(writer.bitmaps, (std::vector<RecordedBitmap>{{1, "image1", 50, 780, 136, 24}}));

    std::vector<RecordedText> texts = pageHeaderTexts(1);
    append(texts,
           {bold(50, 0, "Output: "), regular(160, 0, "Analog 1-10V"), regular(300, 0, "Relay zero-cross switching: ON"),
            regular(160, 1, "Min. level= 0%"), bold(50, 2, "Remote Control:"), regular(160, 2, "OFF"),
            bold(50, 3, "Power On:"), regular(160, 3, "Delay= Random"), regular(280, 3, "Fade= OFF"),
            regular(400, 3, "Level= 100 %"), bold(50, 4, "Blocking time: "), regular(160, 4, "OFF"),
            bold(50, 5, "MFF: "), regular(160, 5, "OFF"), regular(280, 5, "Burn-In= OFF"), bold(50, 6, "ISD:"),
            regular(160, 6, "Offset: 0"), regular(280, 6, "DST= OFF (Winter Time)"), regular(160, 7, "Auto DST: OFF")});
    append(texts, headings(8, false));
    append(texts, stepRow(9, "22:00:00", "0", "50", " ON"));
    append(texts, stepRow(10, "05:00:00", "0", "100", " ON"));
    append(texts,
           {bold(50, 12, "LSt:"), regular(160, 12, "Input polarity: Low->High"), regular(400, 12, "Hold time: OFF")});
    append(texts, headings(13, true));
    append(texts, stepRow(14, "0", "0", "50", " ON"));
    append(texts, {bold(50, 16, "T-management:"), regular(160, 16, "OFF")});
    EXPECT_EQ(sorted(writer.texts), sorted(texts));

    std::vector<RecordedLine> lines = {line(50, 770, 550, 770), line(50, 771, 550, 771)};
    for (const int r : {2, 3, 4, 5, 6, 12, 16})
        lines.push_back(sectionRule(r));
    append(lines, tableHeadRules(8));
    append(lines, tableFrame(566, 11));
    append(lines, tableHeadRules(13));
    append(lines, tableFrame(441, 15));
    EXPECT_EQ(sorted(writer.lines), sorted(lines));
}

TEST_F(ReportTest, ProjectBlockCutsTextsToTheirWidths) {
    // Helvetica 12 pt: W is 11.328 points (25 fit in 290), M 9.996 (13 in 130), Ä 8.004 (24 in 200).
    project.name = std::string(50, 'W');
    project.luminaire = std::string(25, 'M');
    for (int i = 0; i < 25; ++i)
        project.driver += "Ä";
    write();

    std::string driver;
    for (int i = 0; i < 24; ++i)
        driver += "Ä";
    EXPECT_EQ(textsOn(1, 0, 1), sorted<RecordedText>({bold(50, 0, "Project Name: "), bold(450, 0, "Date: "),
                                                      regular(160, 0, std::string(25, 'W')), regular(480, 0, kDate),
                                                      bold(50, 1, "Luminaire : "), bold(300, 1, "Driver : "),
                                                      regular(160, 1, std::string(13, 'M')), regular(350, 1, driver)}));
    std::vector<RecordedLine> upper;
    for (const RecordedLine& l : linesOn(1, 760))
        if (std::min(l.y1, l.y2) >= 660)
            upper.push_back(l);
    EXPECT_EQ(upper, sorted<RecordedLine>({line(50, 716, 550, 716), line(50, 717, 550, 717), sectionRule(4)}));
    // The rest of the report moves down two rows.
    EXPECT_EQ(textAt(1, 50, 2), bold(50, 2, "Output: "));
    EXPECT_EQ(textAt(1, 50, 18), bold(50, 18, "T-management:"));
    EXPECT_EQ(writer.pages, 1);
}

TEST_F(ReportTest, EmptyStepTablePrintsOnlyHeadingsAndFrame) {
    image[img::Engine1FirstLevel] = img::EmptyStep; // the astro flag stays set
    write();

    std::vector<RecordedText> texts = {bold(50, 6, "ISD:"), regular(160, 6, "Offset: 0"),
                                       regular(280, 6, "DST= OFF (Winter Time)"), regular(160, 7, "Auto DST: OFF")};
    append(texts, headings(8, false));
    EXPECT_EQ(textsOn(1, 6, 9), sorted(texts));

    std::vector<RecordedLine> lines = tableHeadRules(8);
    append(lines, tableFrame(566, 9)); // the closing rule lies on the rule under the headings
    lines.push_back(sectionRule(10));
    std::vector<RecordedLine> isdLines;
    for (const RecordedLine& l : linesOn(1, 566))
        if (std::min(l.y1, l.y2) >= 516)
            isdLines.push_back(l);
    EXPECT_EQ(isdLines, sorted(lines));
    EXPECT_EQ(textAt(1, 50, 10), bold(50, 10, "LSt:"));
}

TEST_F(ReportTest, FullTablesBreakInsideLstTableAndContinueOnSecondPage) {
    project = {"Ortsdurchfahrt Nord", "Mastleuchte", "LED 40 W"};
    image[img::Flags] = 0x8C; // 1-10V, astro, LSt, thermal
    setMff(image);
    fillEngine1(image);
    fillEngine2(image, 10);
    setThermal(image, 75, 0x80 | 50, 65, 70, 55, 90);
    write();

    ASSERT_EQ(writer.pages, 2);
    // First page: project block (rows 0-1), output 2-3, remote 4, power 5, blocking 6, MFF 7-9,
    // ISD 10-11 with its table in rows 12-22, LSt in row 24 and its table from row 25 to the page end.
    EXPECT_EQ(textAt(1, 160, 7), regular(160, 7, "Lifetime= 100000 h"));
    EXPECT_EQ(textAt(1, 160, 9), regular(160, 9, "Burn-In= 100 h"));
    EXPECT_EQ(textAt(1, 170, 13), regular(170, 13, "15:00:00"));
    EXPECT_EQ(textAt(1, 170, 22), regular(170, 22, "19:30:00"));
    EXPECT_EQ(textAt(1, 480, 22), regular(480, 22, " OFF"));

    std::vector<RecordedText> page1 = {bold(50, 24, "LSt:"), regular(160, 24, "Input polarity: Low->High"),
                                       regular(400, 24, "Hold time: OFF")};
    append(page1, headings(25, true));
    append(page1, stepRow(26, "00:00:01", "0", "10", " ON"));
    append(page1, stepRow(27, "00:00:02", "00,001", "20", " ON"));
    append(page1, stepRow(28, "00:00:03", "00,002", "30", " ON"));
    EXPECT_EQ(textsOn(1, 23, 28), sorted(page1));
    EXPECT_EQ(find("Page 1"), (RecordedText{1, 300, 25, false, "Page 1"}));

    std::vector<RecordedLine> page1Lines = {sectionRule(24)};
    append(page1Lines, tableHeadRules(25));
    append(page1Lines, tableFrame(141, 29));
    EXPECT_EQ(linesOn(1, 166), sorted(page1Lines));

    std::vector<RecordedText> page2 = pageHeaderTexts(2);
    page2.push_back({2, 300, 25, false, "Page 2"});
    append(page2, headings(1, true, 2));
    append(page2, stepRow(2, "00:00:04", "00,003", "40", " ON", 2));
    append(page2, stepRow(3, "00:00:05", "00,004", "50", " ON", 2));
    append(page2, stepRow(4, "00:00:06", "00,005", "60", " ON", 2));
    append(page2, stepRow(5, "00:00:07", "00,006", "70", " ON", 2));
    append(page2, stepRow(6, "00:00:08", "00,007", "80", " ON", 2));
    append(page2, stepRow(7, "00:00:09", "00,008", "90", " ON", 2));
    append(page2, stepRow(8, "00:00:10", "00,009", "100", " OFF", 2));
    append(page2,
           {bold(50, 10, "T-management:", 2), regular(160, 10, "T1= 75°C", 2),
            regular(280, 10, "Level= 50%         Relay OFF", 2), regular(160, 11, "T2= 65°C", 2),
            regular(280, 11, "Level= 70%", 2), regular(160, 12, "T3= 55°C", 2), regular(280, 12, "Level= 90%", 2)});
    std::vector<RecordedText> onPage2;
    std::copy_if(writer.texts.begin(), writer.texts.end(), std::back_inserter(onPage2),
                 [](const RecordedText& t) { return t.page == 2; });
    EXPECT_EQ(sorted(onPage2), sorted(page2));

    std::vector<RecordedLine> page2Lines = {line(50, 770, 550, 770, 2)};
    append(page2Lines, tableHeadRules(1, 2));
    append(page2Lines, tableFrame(741, 9, 2));
    page2Lines.push_back(sectionRule(10, 2));
    EXPECT_EQ(linesOn(2), sorted(page2Lines));
    EXPECT_EQ(writer.bitmaps,
              (std::vector<RecordedBitmap>{{1, "image1", 50, 780, 136, 24}, {2, "image1", 50, 780, 136, 24}}));
    EXPECT_EQ(writer.registrations, std::vector<std::string>{"image1"});
}

// ---- Where the end of the report goes -------------------------------------------------------------

struct PageBreakCase {
    const char* name;
    bool project;
    bool lst;
    std::size_t lstSteps;
    int pages;
    int thermalPage;
    int thermalRow;
    int lstRowsOnPage2; // step rows of the control input's table on the second page
};
void PrintTo(const PageBreakCase& c, std::ostream* out) {
    *out << c.name;
}

class ReportPageBreakTest : public ReportTest, public ::testing::WithParamInterface<PageBreakCase> {};

TEST_P(ReportPageBreakTest, ThermalManagementAndPageLabels) {
    const PageBreakCase& c = GetParam();
    if (c.project)
        project.name = "Hafenstraße";
    image[img::Flags] = c.lst ? 0x8C : 0x84;
    setMff(image);
    fillEngine1(image);
    fillEngine2(image, c.lstSteps);
    setThermal(image, 80, 100, 70, 50, 60, 20);
    write();

    EXPECT_EQ(writer.pages, c.pages);
    const auto thermal = find("T-management:");
    ASSERT_TRUE(thermal);
    EXPECT_EQ(thermal->page, c.thermalPage);
    EXPECT_EQ(thermal->y, reportRowY(c.thermalRow));
    // All three thresholds follow on the same page, inside its rows.
    const auto t3 = find("T3= 60°C");
    ASSERT_TRUE(t3);
    EXPECT_EQ(t3->page, c.thermalPage);
    EXPECT_EQ(t3->y, reportRowY(c.thermalRow + 2));

    const auto page1 = find("Page 1");
    const auto page2 = find("Page 2");
    EXPECT_EQ(page1.has_value(), c.pages == 2);
    EXPECT_EQ(page2.has_value(), c.pages == 2);
    if (page1 && page2) {
        EXPECT_EQ(*page1, (RecordedText{1, 300, 25, false, "Page 1"}));
        EXPECT_EQ(*page2, (RecordedText{2, 300, 25, false, "Page 2"}));
    }
    for (const RecordedText& t : writer.texts) {
        if (t.text != "Page 1" && t.text != "Page 2") {
            EXPECT_GE(t.y, reportRowY(28)) << t;
        }
    }

    int stepRowsOnPage2 = 0;
    for (const RecordedText& t : writer.texts)
        if (t.page == 2 && t.x == 170 && !t.bold)
            ++stepRowsOnPage2;
    EXPECT_EQ(stepRowsOnPage2, c.lstRowsOnPage2);
    EXPECT_EQ(textAt(2, 170, 1).has_value(), c.lstRowsOnPage2 > 0) << "repeated headings";
}

// Without the project block the control input starts in row 22 with its steps from row 24; with it,
// two rows later.
INSTANTIATE_TEST_SUITE_P(
    Report, ReportPageBreakTest,
    ::testing::Values(PageBreakCase{"TableEndsAtRow25StaysOnFirstPage", false, true, 1, 1, 1, 26, 0},
                      PageBreakCase{"TableEndsAtRow26MovesThermalAlone", false, true, 2, 2, 2, 0, 0},
                      PageBreakCase{"TableEndsAtRow28MovesThermalAlone", false, true, 4, 2, 2, 0, 0},
                      PageBreakCase{"TableFillsFirstPageExactly", false, true, 5, 2, 2, 0, 0},
                      PageBreakCase{"TableContinuesWithOneStep", false, true, 6, 2, 2, 4, 1},
                      PageBreakCase{"ProjectBlockAndOneStepMovesThermal", true, true, 1, 2, 2, 0, 0},
                      PageBreakCase{"ProjectBlockAndLstOffStaysOnFirstPage", true, false, 10, 1, 1, 25, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Texts of the values ---------------------------------------------------------------------------

struct Patch {
    std::size_t offset;
    std::uint8_t value;
};

struct ExpectedValue {
    int x;
    int row;
    const char* text; // nullptr: nothing is written there
};

struct ValueCase {
    const char* name;
    std::vector<Patch> patches;
    std::vector<ExpectedValue> expected;
};
void PrintTo(const ValueCase& c, std::ostream* out) {
    *out << c.name;
}

class ReportValueTest : public ReportTest, public ::testing::WithParamInterface<ValueCase> {};

// Rows of the default layout: output 0-1, remote control 2, power-on 3, blocking time 4, MFF 5, ISD 6-7
// with its steps in rows 9-10, LSt 12 with its step in row 14, thermal management 16.
TEST_P(ReportValueTest, PrintedInRegularTypeAtItsPlace) {
    for (const Patch& p : GetParam().patches)
        image[p.offset] = p.value;
    write();
    for (const ExpectedValue& e : GetParam().expected) {
        const auto found = textAt(1, e.x, e.row);
        if (!e.text) {
            EXPECT_FALSE(found) << "at " << e.x << ", row " << e.row << ": " << *found;
            continue;
        }
        EXPECT_EQ(found, regular(e.x, e.row, e.text)) << "at " << e.x << ", row " << e.row;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Report, ReportValueTest,
    ::testing::Values(
        ValueCase{"DaliLinear", {{0, 0x0F}}, {{160, 0, "DALI linear"}}},
        ValueCase{"DaliLogarithmic", {{0, 0x0D}}, {{160, 0, "DALI logarithmic"}}},
        ValueCase{"Pwm", {{0, 0x0E}}, {{160, 0, "PWM"}}},
        ValueCase{"ZeroCrossOff", {{88, 0x00}}, {{300, 0, "Relay zero-cross switching: OFF"}}},
        ValueCase{"MinLevelAndStorePol", {{2, 15}, {68, 0x05}}, {{160, 1, "Min. level= 15%"}, {300, 1, "Store POL"}}},
        ValueCase{"RemoteMainsMidnight", {{0, 0x2C}, {68, 0x11}}, {{160, 2, "Midnight"}, {300, 2, "Input= Mains"}}},
        ValueCase{"RemoteMainsMidnightProtect",
                  {{0, 0x2C}, {68, 0x31}},
                  {{160, 2, "Midnight Protect"}, {300, 2, "Input= Mains"}}},
        ValueCase{
            "RemoteMainsIgnoresRemoteDim", {{0, 0x2C}, {68, 0x21}}, {{160, 2, nullptr}, {300, 2, "Input= Mains"}}},
        ValueCase{"RemoteLstRemoteDim", {{0, 0x4C}, {68, 0x21}}, {{160, 2, "Remote DIM"}, {300, 2, "Input= LSt"}}},
        ValueCase{"RemoteLstMidnight", {{0, 0x4C}, {68, 0x11}}, {{160, 2, "Midnight"}, {300, 2, "Input= LSt"}}},
        ValueCase{
            "RemoteLstIgnoresMidnightProtect", {{0, 0x4C}, {68, 0x31}}, {{160, 2, nullptr}, {300, 2, "Input= LSt"}}},
        ValueCase{"PowerOnDelayFadeLevel",
                  {{4, 0xC6}, {5, 0x3C}, {3, 55}},
                  {{160, 3, "Delay= 01:30:00"}, {280, 3, "Fade= 00,060 s/%"}, {400, 3, "Level= 55 %"}}},
        ValueCase{"PowerOnZeroDelay", {{4, 0x00}}, {{160, 3, "Delay= 0"}}},
        ValueCase{"BlockingOneMinute", {{1, 12}}, {{160, 4, "00:01:00"}}},
        ValueCase{"BlockingLongest", {{1, 255}}, {{160, 4, "00:21:15"}}},
        ValueCase{"MffOffWithBurnIn", {{74, 24}}, {{160, 5, "OFF"}, {280, 5, "Burn-In= 24 h"}}},
        ValueCase{"MffOnTakesThreeRows",
                  {{75, 255}, {69, 20}, {70, 40}, {71, 60}, {72, 80}, {73, 100}},
                  {{160, 5, "Lifetime= 127500 h"},
                   {280, 5, "Start= 20%"},
                   {400, 5, "Stop= 100%"},
                   {160, 6, "L1= 40%"},
                   {280, 6, "L2= 60%"},
                   {400, 6, "L3= 80%"},
                   {160, 7, "Burn-In= OFF"},
                   {160, 8, "Offset: 0"}}},
        ValueCase{"IsdOffsetMinusThirtyMinutes", {{7, 0xF1}}, {{160, 6, "Offset: -00:30:00"}}},
        ValueCase{"IsdOffsetLargest", {{7, 0x7F}}, {{160, 6, "Offset: 04:14:00"}}},
        ValueCase{"IsdOffsetMostNegative", {{7, 0x80}}, {{160, 6, "Offset: -04:16:00"}}},
        ValueCase{"SummerTime", {{68, 0x00}}, {{280, 6, "DST= ON (Summer Time)"}}},
        ValueCase{"AutoDstBothNights",
                  {{86, 60}, {87, 216}},
                  {{160, 7, "Auto DST: ON"}, {280, 7, "DST Start: 05:00"}, {400, 7, "DST Stop: 18:00"}}},
        ValueCase{"AutoDstStartNightTooShort", {{86, 59}, {87, 100}}, {{160, 7, "Auto DST: OFF"}, {280, 7, nullptr}}},
        ValueCase{"AutoDstEndNightTooLong", {{86, 100}, {87, 217}}, {{160, 7, "Auto DST: OFF"}, {400, 7, nullptr}}},
        ValueCase{"IsdOff", {{0, 0x08}}, {{160, 6, "OFF"}, {160, 7, "Input polarity: Low->High"}}},
        ValueCase{"StepRelayOffAndFade",
                  {{39, 0x81}, {40, 0x80 | 50}},
                  {{170, 9, "22:00:00"}, {290, 9, "00,060"}, {410, 9, "50"}, {480, 9, " OFF"}}},
        ValueCase{"LstPolarityAndHoldTime",
                  {{0, 0x1C}, {6, 0x81}},
                  {{160, 12, "Input polarity: High->Low"}, {400, 12, "Hold time: 00:01:00"}}},
        ValueCase{"LstDelay", {{8, 0xC6}}, {{170, 14, "01:30:00"}}},
        ValueCase{"LstOff", {{0, 0x04}}, {{160, 12, "OFF"}, {170, 14, nullptr}, {160, 13, "OFF"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Thermal management -----------------------------------------------------------------------------

struct ThermalCase {
    const char* name;
    bool active;
    std::array<std::uint8_t, 6> table; // T1, L1, T2, L2, T3, L3
    std::vector<ExpectedValue> expected;
};
void PrintTo(const ThermalCase& c, std::ostream* out) {
    *out << c.name;
}

class ReportThermalTest : public ReportTest, public ::testing::WithParamInterface<ThermalCase> {};

TEST_P(ReportThermalTest, RowsFromRow16) {
    const ThermalCase& c = GetParam();
    const auto& t = c.table;
    setThermal(image, t[0], t[1], t[2], t[3], t[4], t[5]);
    if (!c.active)
        image[img::Flags] = ClearBit(image[img::Flags], img::FlagThermal);
    write();

    std::vector<RecordedText> expected = {bold(50, 16, "T-management:")};
    for (const ExpectedValue& e : c.expected)
        expected.push_back(regular(e.x, e.row, e.text));
    EXPECT_EQ(textsOn(1, 16), sorted(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Report, ReportThermalTest,
    ::testing::Values(
        ThermalCase{"Off", false, {80, 50, 0, 0, 0, 0}, {{160, 16, "OFF"}}},
        ThermalCase{"EmptyTablePrintsOnlyTheLabel", true, {0, 50, 0, 0, 0, 0}, {}},
        ThermalCase{"T1", true, {80, 50, 0, 0, 0, 0}, {{160, 16, "T1= 80°C"}, {280, 16, "Level= 50%"}}},
        ThermalCase{"RelayOffAtT1",
                    true,
                    {80, 0x80 | 50, 0, 0, 0, 0},
                    {{160, 16, "T1= 80°C"}, {280, 16, "Level= 50%         Relay OFF"}}},
        ThermalCase{"RelayTextOnlyAtT1",
                    true,
                    {85, 0x80 | 30, 70, 0x80 | 60, 55, 0x80 | 100},
                    {{160, 16, "T1= 85°C"},
                     {280, 16, "Level= 30%         Relay OFF"},
                     {160, 17, "T2= 70°C"},
                     {280, 17, "Level= 60%"},
                     {160, 18, "T3= 55°C"},
                     {280, 18, "Level= 100%"}}},
        ThermalCase{"T3NeedsT2", true, {80, 50, 0, 40, 60, 30}, {{160, 16, "T1= 80°C"}, {280, 16, "Level= 50%"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Frame helpers ---------------------------------------------------------------------------------

TEST_F(ReportTest, ImageTooShortIsRefusedWithoutDrawing) {
    image.resize(kConfigSize - 1);
    EXPECT_NE(writeReport(writer, image, project, header, kDate, kCreated), "");
    EXPECT_EQ(writer.documentsCreated, 0);
    EXPECT_TRUE(writer.texts.empty());
}

TEST_F(ReportTest, StickMemoryImagePrintsItsConfiguration) {
    image.resize(kStickMemorySize, 0xFF);
    write();
    EXPECT_EQ(find("T-management:")->y, reportRowY(16));
}

struct LimitCase {
    const char* name;
    const char* text;
    double width;
    bool bold;
    const char* expected;
};
void PrintTo(const LimitCase& c, std::ostream* out) {
    *out << c.name;
}

class LimitTextTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LimitTextTest, CutsAtTheEnd) {
    const LimitCase& c = GetParam();
    RecordingPdfWriter writer;
    writer.addPage();
    writer.selectFont("Arial", 12, c.bold ? PdfFontStyle::Bold : PdfFontStyle::Regular);
    EXPECT_EQ(limitText(writer, c.text, c.width), c.expected);
}

// Widths at 12 pt: regular l and i 2.664, bold l 3.336, W 11.328, € and u and a and b 6.672, Ä 8.004; a
// broken UTF-8 byte prints as '?', 6.672. Taking one byte off "Ä" would leave a '?' that fits in 14.
INSTANTIATE_TEST_SUITE_P(Report, LimitTextTest,
                         ::testing::Values(LimitCase{"EmptyFitsNothing", "", 0, false, ""},
                                           LimitCase{"FitsUnchanged", "Lumeq", 290, false, "Lumeq"},
                                           LimitCase{"ExactWidthFits", "ii", 5.328, false, "ii"},
                                           LimitCase{"JustTooWide", "ii", 5.327, false, "i"},
                                           LimitCase{"NothingFits", "W", 11, false, ""},
                                           LimitCase{"BoldIsWider", "ll", 6, true, "l"},
                                           LimitCase{"RegularIsNarrower", "ll", 6, false, "ll"},
                                           LimitCase{"ThreeByteCharacterKept", "€u", 10, false, "€"},
                                           LimitCase{"TwoByteCharacterRemovedWhole", "uÄ", 14, false, "u"},
                                           LimitCase{"BrokenByteRemovedAlone", "ab\xC3", 14, false, "ab"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReportDrawing, DrawColClosesTableColumns) {
    RecordingPdfWriter writer;
    writer.addPage();
    drawCol(writer, 566, 11);
    drawLine(writer, 50, 716, 500);
    drawVLine(writer, 300, 700, 25);
    std::vector<RecordedLine> expected = tableFrame(566, 11);
    append(expected, {line(50, 716, 550, 716), line(300, 700, 300, 675)});
    EXPECT_EQ(sorted(writer.lines), sorted(expected));
}

// ---- pdf.ini ---------------------------------------------------------------------------------------

struct HeaderCase {
    const char* name;
    const char* ini; // nullptr: no file
    const char* line1;
    const char* line2;
};
void PrintTo(const HeaderCase& c, std::ostream* out) {
    *out << c.name;
}

class ReportHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ReportHeaderTest, ReadFromProgramDirectory) {
    const HeaderCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    if (c.ini) {
        QFile file(dir.filePath(kPdfIniName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.ini);
    }
    const HeaderLines lines = readHeaderLines(dir.path().toStdString());
    EXPECT_EQ(lines.line1, c.line1);
    EXPECT_EQ(lines.line2, c.line2);

    // The report prints them beside the logo.
    RecordingPdfWriter writer;
    ASSERT_EQ(writeReport(writer, defaultImage(), {}, lines, kDate, kCreated), "");
    std::vector<RecordedText> top;
    for (const RecordedText& t : writer.texts)
        if (t.y > 770)
            top.push_back(t);
    std::vector<RecordedText> expected;
    if (*c.line1)
        expected.push_back({1, 200, 795, true, c.line1});
    if (*c.line2)
        expected.push_back({1, 200, 780, false, c.line2});
    EXPECT_EQ(sorted(top), sorted(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Report, ReportHeaderTest,
    ::testing::Values(HeaderCase{"NoFile", nullptr, "Arvento Lichttechnik GmbH", "Musterweg 12, 12345 Musterstadt"},
                      HeaderCase{"OnlyLine2", "[Header]\r\nLine2=Hafenstraße 3, 20457 Hamburg\r\n",
                                 "Arvento Lichttechnik GmbH", "Hafenstraße 3, 20457 Hamburg"},
                      HeaderCase{"BothInAnyCase", "[header]\nLINE1=Stadtwerke Nord\nline2=Am Markt 1\n",
                                 "Stadtwerke Nord", "Am Markt 1"},
                      HeaderCase{"OtherSection", "[Footer]\nLine1=Elsewhere\n", "Arvento Lichttechnik GmbH",
                                 "Musterweg 12, 12345 Musterstadt"},
                      HeaderCase{"EmptyValueStaysEmpty", "[Header]\nLine1=\n", "", "Musterweg 12, 12345 Musterstadt"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- File name and time ----------------------------------------------------------------------------

TEST(ReportFile, ExtensionBecomesPdf) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plan.txt", "plan.pdf"},     {"plan", "plan.pdf"},
        {"plan.PDF", "plan.pdf"},     {"/tmp/a.b/plan", "/tmp/a.b/plan.pdf"},
        {"Straße.qcf", "Straße.pdf"}, {"plan.v2.txt", "plan.v2.pdf"}};
    for (const auto& [chosen, expected] : cases)
        EXPECT_EQ(reportFilePath(chosen), expected) << chosen;
}

class ReportTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("SOURCE_DATE_EPOCH"))
            saved_ = old;
    }
    void TearDown() override {
        if (saved_)
            setenv("SOURCE_DATE_EPOCH", saved_->c_str(), 1);
        else
            unsetenv("SOURCE_DATE_EPOCH");
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(ReportTimeTest, SourceDateEpochFixesTheMoment) {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    EXPECT_EQ(reportTime(), 1700000000);
    EXPECT_EQ(pdfDateTime(reportTime()), (PdfDateTime{2023, 11, 14, 22, 13, 20, 0}));
}

TEST_F(ReportTimeTest, UnusableSourceDateEpochMeansNow) {
    for (const char* value : {"", "abc", "-5", "12x", "99999999999999999999999"}) {
        setenv("SOURCE_DATE_EPOCH", value, 1);
        const std::time_t before = std::time(nullptr);
        const std::time_t moment = reportTime();
        EXPECT_GE(moment, before) << value;
        EXPECT_LE(moment, std::time(nullptr)) << value;
    }
}

TEST(ReportDate, ShortDateFormatOfTheLocale) {
    const std::time_t noon = 1709812800; // 7 March 2024, 12:00 UTC: the same day in every time zone
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(reportDateText(noon), "07.03.24");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(reportDateText(noon), "3/7/24");
    QLocale::setDefault(QLocale::system());
}

TEST(ReportDate, UtcCalendarOfMoments) {
    EXPECT_EQ(pdfDateTime(0), (PdfDateTime{1970, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(pdfDateTime(951782400), (PdfDateTime{2000, 2, 29, 0, 0, 0, 0}));
    EXPECT_EQ(pdfDateTime(951782399), (PdfDateTime{2000, 2, 28, 23, 59, 59, 0}));
}

} // namespace
