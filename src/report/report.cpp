#include "report/report.h"

#include "files/inifile.h"
#include "model/layout.h"
#include "model/timecode.h"
#include "report/logo.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace lumeq {

namespace {

constexpr const char* kFont = "Arial";
constexpr double kFontSize = 12;
constexpr double kLineWidth = 0.2;
constexpr const char* kLogoName = "image1";

constexpr int kLastRow = 28;        // the lowest row of a page
constexpr int kSecondPageRow = 1;   // the first row under the second page's header
constexpr int kThermalMoveRow = 25; // thermal management below this row goes to a second page

// Top of the rule 16 points above the baseline of row r.
constexpr int ruleY(int r) {
    return 766 - 25 * r;
}

std::string number(int value) {
    return std::to_string(value);
}

// The UTF-8 text without its last character: one whole UTF-8 sequence, or one byte where the end is
// not a well-formed sequence (such a byte prints as one '?').
std::string withoutLastCharacter(const std::string& text) {
    if (text.empty())
        return text;
    for (std::size_t n = std::min<std::size_t>(4, text.size()); n > 1; --n) {
        const std::string_view tail = std::string_view(text).substr(text.size() - n);
        if (static_cast<unsigned char>(tail.front()) >= 0xC0 && toWindows1252(tail).size() == 1)
            return text.substr(0, text.size() - n);
    }
    return text.substr(0, text.size() - 1);
}

void drawPageHeader(PdfWriter& writer, const HeaderLines& header, bool firstPage) {
    writer.drawBitmap(kLogoName, 50, 780, kLogoWidth, kLogoHeight);
    writer.selectFont(kFont, kFontSize, PdfFontStyle::Bold);
    if (!header.line1.empty())
        writer.text(200, 795, header.line1);
    writer.selectFont(kFont, kFontSize, PdfFontStyle::Regular);
    if (!header.line2.empty())
        writer.text(200, 780, header.line2);
    drawLine(writer, 50, 770, 500);
    if (firstPage)
        drawLine(writer, 50, 771, 500);
}

// Writes the content of the report row by row, starting in row 0 of the first page.
class ReportContent {
public:
    ReportContent(PdfWriter& writer, const Image& image, const HeaderLines& header)
        : writer_(writer), image_(image), header_(header) {}

    void projectBlock(const ReportProject& project, const std::string& dateText) {
        if (project.name.empty())
            return;
        label(50, "Project Name: ");
        label(450, "Date: ");
        value(160, limitText(writer_, project.name, 290));
        value(480, dateText);
        ++r_;
        label(50, "Luminaire : ");
        label(300, "Driver : ");
        value(160, limitText(writer_, project.luminaire, 130));
        value(350, limitText(writer_, project.driver, 200));
        ++r_;
        drawLine(writer_, 50, ruleY(r_), 500);
        drawLine(writer_, 50, ruleY(r_) + 1, 500);
    }

    void output() {
        label(50, "Output: ");
        const bool dali = bit(img::Flags, img::FlagDali);
        const bool linearOrPwm = bit(img::Flags, img::FlagLinearOrPwm);
        value(160, dali ? (linearOrPwm ? "DALI linear" : "DALI logarithmic") : (linearOrPwm ? "PWM" : "Analog 1-10V"));
        value(300, std::string("Relay zero-cross switching: ") + onOff(bit(img::Relay, img::RelayZeroCross)));
        ++r_;
        value(160, "Min. level= " + number(b(img::MinLevel)) + "%");
        if (bit(img::Options, img::OptStorePol))
            value(300, "Store POL");
        sectionEnd();
    }

    void remoteControl() {
        label(50, "Remote Control:");
        const int mode = b(img::Options) & img::RemoteModeMask;
        std::string left;
        std::string right;
        if (bit(img::Flags, img::FlagRemoteMains)) {
            right = "Input= Mains";
            left = mode == 0x10 ? "Midnight" : mode == 0x30 ? "Midnight Protect" : "";
        } else if (bit(img::Flags, img::FlagRemoteLst)) {
            right = "Input= LSt";
            left = mode == 0x10 ? "Midnight" : mode == 0x20 ? "Remote DIM" : "";
        } else {
            left = "OFF";
        }
        value(160, left);
        value(300, right);
        sectionEnd();
    }

    void powerOn() {
        label(50, "Power On:");
        const int delay = b(img::PowerOnDelay);
        value(160, "Delay= " + (delay == 0xFF ? std::string("Random") : displayTime(DecodeTime(delay))));
        const int fade = b(img::PowerOnFade);
        value(280, "Fade= " + (fade == 0 ? std::string("OFF") : displayTime2(DecodeTime(fade)) + " s/%"));
        value(400, "Level= " + number(b(img::PowerOnLevel)) + " %");
        sectionEnd();
    }

    void blockingTime() {
        label(50, "Blocking time: ");
        const int units = b(img::BlockTime);
        value(160, units == 0 ? std::string("OFF") : displayTime(units * 5));
        sectionEnd();
    }

    void mff() {
        label(50, "MFF: ");
        const int burnIn = b(img::MffBurnIn);
        const std::string burnInText = burnIn == 0 ? std::string("OFF") : number(burnIn) + " h";
        const int lifetime = b(img::MffLifetime);
        if (lifetime == 0) {
            value(160, "OFF");
            value(280, "Burn-In= " + burnInText);
        } else {
            value(160, "Lifetime= " + number(lifetime * 500) + " h");
            value(280, "Start= " + number(b(img::MffStart)) + "%");
            value(400, "Stop= " + number(b(img::MffStop)) + "%");
            ++r_;
            value(160, "L1= " + number(b(img::MffL1)) + "%");
            value(280, "L2= " + number(b(img::MffL2)) + "%");
            value(400, "L3= " + number(b(img::MffL3)) + "%");
            ++r_;
            value(160, "Burn-In= " + burnInText);
        }
        sectionEnd();
    }

    void isd() {
        label(50, "ISD:");
        if (!bit(img::Flags, img::FlagAstro)) {
            value(160, "OFF");
            sectionEnd();
            return;
        }
        const int offsetSteps = static_cast<std::int8_t>(b(img::IsdOffset));
        value(160, "Offset: " + displayTime3(offsetSteps * 2));
        value(280,
              std::string("DST= ") + (bit(img::Options, img::OptDstOff) ? "OFF (Winter Time)" : "ON (Summer Time)"));
        ++r_;
        const int startNight = b(img::DstStartNight);
        const int endNight = b(img::DstEndNight);
        if (isNightLength(startNight) && isNightLength(endNight)) {
            value(160, "Auto DST: ON");
            value(280, "DST Start: " + displayTimeHM(startNight * 300));
            value(400, "DST Stop: " + displayTimeHM(endNight * 300));
        } else {
            value(160, "Auto DST: OFF");
        }
        stepTable(
            {"Time", "Fade", "Level", "Relay"}, img::Engine1, [](std::uint8_t time) { return displayTime4(time); },
            false);
        sectionEnd();
    }

    void lst() {
        label(50, "LSt:");
        if (!bit(img::Flags, img::FlagLst)) {
            value(160, "OFF");
            return;
        }
        value(160,
              std::string("Input polarity: ") + (bit(img::Flags, img::FlagLstHighLow) ? "High->Low" : "Low->High"));
        const int hold = b(img::HoldTime);
        value(400, "Hold time: " + (hold == 0 ? std::string("OFF") : displayTime(DecodeTime(hold))));
        stepTable(
            {"Delay", "Fade", "Level", "Relay"}, img::Engine2,
            [](std::uint8_t delay) { return displayTime(DecodeTime(delay)); }, true);
    }

    // Between the control input and thermal management: thermal management needs up to three rows,
    // so it goes to a second page when the first one is nearly full.
    void beforeThermal() {
        if (!secondPage_ && r_ > kThermalMoveRow) {
            startSecondPage();
            r_ = 0;
        } else if (!secondPage_) {
            sectionEnd();
        } else if (r_ == kSecondPageRow) {
            r_ = 0; // the step table filled the first page exactly: start right under the header
        }
    }

    void thermal() {
        label(50, "T-management:");
        if (!bit(img::Flags, img::FlagThermal)) {
            value(160, "OFF");
            return;
        }
        const int t1 = b(img::ThermT1);
        if (t1 == 0)
            return;
        const int l1 = b(img::ThermL1);
        value(160, "T1= " + number(t1) + "°C");
        value(280, "Level= " + number(l1 & 0x7F) + (TestBit(l1, img::LevelRelayOff) ? "%         Relay OFF" : "%"));
        const int t2 = b(img::ThermT2);
        if (t2 == 0)
            return;
        ++r_;
        value(160, "T2= " + number(t2) + "°C");
        value(280, "Level= " + number(b(img::ThermL2) & 0x7F) + "%");
        const int t3 = b(img::ThermT3);
        if (t3 == 0)
            return;
        ++r_;
        value(160, "T3= " + number(t3) + "°C");
        value(280, "Level= " + number(b(img::ThermL3) & 0x7F) + "%");
    }

private:
    using TimeText = std::function<std::string(std::uint8_t)>;

    int b(std::size_t offset) const { return image_[offset]; }
    bool bit(std::size_t offset, unsigned number) const { return TestBit(image_[offset], number); }
    static const char* onOff(bool on) { return on ? "ON" : "OFF"; }
    static bool isNightLength(int units) { return units >= 60 && units <= 216; }

    // A bold label in the current row; the font returns to regular.
    void label(int x, const std::string& text) {
        writer_.selectFont(kFont, kFontSize, PdfFontStyle::Bold);
        writer_.text(x, reportRowY(r_), text);
        writer_.selectFont(kFont, kFontSize, PdfFontStyle::Regular);
    }

    // A value in regular type in the current row; an empty value writes nothing.
    void value(int x, const std::string& text) {
        if (!text.empty())
            writer_.text(x, reportRowY(r_), text);
    }

    void sectionEnd() {
        ++r_;
        drawLine(writer_, 50, ruleY(r_), 500);
    }

    void startSecondPage() {
        writer_.text(300, 25, "Page 1");
        writer_.addPage();
        writer_.text(300, 25, "Page 2");
        drawPageHeader(writer_, header_, false);
        secondPage_ = true;
    }

    std::uint8_t stepByte(std::size_t table, std::size_t step, std::size_t field) const {
        return image_[table + img::StepSize * step + field];
    }
    bool stepUsed(std::size_t table, std::size_t step) const {
        return step < img::StepCount && stepByte(table, step, img::StepLevel) != img::EmptyStep;
    }

    // The rule over the headings, the headings in the next row and the rule under them; returns the
    // table's top. r ends on the row of the first step.
    int tableHead(const std::array<const char*, 4>& headings) {
        ++r_;
        const int top = ruleY(r_);
        drawLine(writer_, 160, top, 360);
        writer_.selectFont(kFont, kFontSize, PdfFontStyle::Bold);
        constexpr std::array<int, 4> kColumns = {170, 290, 410, 480};
        for (std::size_t i = 0; i < headings.size(); ++i)
            writer_.text(kColumns[i], reportRowY(r_), headings[i]);
        writer_.selectFont(kFont, kFontSize, PdfFontStyle::Regular);
        ++r_;
        drawLine(writer_, 160, ruleY(r_), 360);
        return top;
    }

    void stepRow(std::size_t table, std::size_t step, const TimeText& timeText) {
        const std::uint8_t level = stepByte(table, step, img::StepLevel);
        value(480, TestBit(level, img::LevelRelayOff) ? " OFF" : " ON");
        value(410, number(level & 0x7F));
        value(290, displayTime2(DecodeTime(stepByte(table, step, img::StepFade))));
        value(170, timeText(stepByte(table, step, img::StepTime)));
    }

    // One step table. The control input's table may reach the end of the first page: it is closed
    // there and goes on under repeated headings on the second page.
    void stepTable(const std::array<const char*, 4>& headings, std::size_t table, const TimeText& timeText,
                   bool mayBreak) {
        int top = tableHead(headings);
        for (std::size_t step = 0; stepUsed(table, step); ++step) {
            stepRow(table, step, timeText);
            ++r_;
            if (mayBreak && r_ == kLastRow + 1) {
                drawCol(writer_, top, r_);
                startSecondPage();
                r_ = kSecondPageRow;
                if (!stepUsed(table, step + 1))
                    return;
                r_ = kSecondPageRow - 1; // the headings go into the first row under the header
                top = tableHead(headings);
                for (std::size_t next = step + 1; stepUsed(table, next); ++next) {
                    stepRow(table, next, timeText);
                    ++r_;
                }
                drawCol(writer_, top, r_);
                sectionEnd();
                return;
            }
        }
        drawCol(writer_, top, r_);
    }

    PdfWriter& writer_;
    const Image& image_;
    const HeaderLines& header_;
    int r_ = 0;
    bool secondPage_ = false;
};

} // namespace

HeaderLines readHeaderLines(const std::string& programDir) {
    return readHeaderFile(
        QDir(QString::fromStdString(programDir)).filePath(QString::fromLatin1(kPdfIniName)).toStdString());
}

HeaderLines readHeaderFile(const std::string& iniPath) {
    const IniFile ini = IniFile::load(QString::fromStdString(iniPath));
    HeaderLines lines;
    const QString section = QStringLiteral("Header");
    lines.line1 = ini.value(section, QStringLiteral("Line1"), QString::fromStdString(lines.line1)).toStdString();
    lines.line2 = ini.value(section, QStringLiteral("Line2"), QString::fromStdString(lines.line2)).toStdString();
    return lines;
}

std::time_t reportTime() {
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        const std::string_view text(epoch);
        long long seconds = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (error == std::errc() && end == text.data() + text.size() && !text.empty() && text.front() != '-')
            return static_cast<std::time_t>(seconds);
    }
    return std::time(nullptr);
}

std::string reportDateText(std::time_t time) {
    const QDate date = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(time)).date();
    return QLocale().toString(date, QLocale::ShortFormat).toStdString();
}

std::string reportFilePath(const std::string& chosen) {
    std::filesystem::path path(std::u8string(reinterpret_cast<const char8_t*>(chosen.data()), chosen.size()));
    path.replace_extension(".pdf");
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

void drawLine(PdfWriter& writer, int x, int y, int length) {
    writer.line(x, y, x + length, y);
}

void drawVLine(PdfWriter& writer, int x, int y, int length) {
    writer.line(x, y, x, y - length);
}

void drawCol(PdfWriter& writer, int top, int r) {
    const int bottom = ruleY(r);
    drawLine(writer, 160, bottom, 360);
    for (const int x : {160, 280, 400, 470, 520})
        drawVLine(writer, x, top, top - bottom);
}

std::string limitText(PdfWriter& writer, const std::string& text, double width) {
    std::string result = text;
    while (!result.empty() && writer.textWidth(result) > width)
        result = withoutLastCharacter(result);
    return result;
}

std::string writeReport(PdfWriter& writer, const Image& image, const ReportProject& project, const HeaderLines& header,
                        const std::string& dateText, const PdfDateTime& created) {
    if (image.size() < kConfigSize)
        return "The configuration holds " + std::to_string(image.size()) + " bytes; a report needs " +
               std::to_string(kConfigSize) + ".";

    writer.createDocument("", "Arvento", created);
    writer.addPage();
    writer.selectFont(kFont, kFontSize, PdfFontStyle::Regular);
    writer.setTextLeading(kFontSize);
    writer.setLineWidth(kLineWidth);
    writer.registerBitmap(kLogoName, reportLogo());
    drawPageHeader(writer, header, true);

    ReportContent content(writer, image, header);
    content.projectBlock(project, dateText);
    content.output();
    content.remoteControl();
    content.powerOn();
    content.blockingTime();
    content.mff();
    content.isd();
    content.lst();
    content.beforeThermal();
    content.thermal();
    return {};
}

} // namespace lumeq
