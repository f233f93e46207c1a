#include "report/report.h"

#include "files/inifile.h"
#include "files/lookup.h"
#include "model/settings.h"
#include "model/timecode.h"
#include "report/logo.h"

#include <QDateTime>
#include <QFile>
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

    void outputSection() {
        label(50, "Output: ");
        value(160, std::string(output::typeName(output::type(image_))));
        value(300, std::string("Relay zero-cross switching: ") + onOff(relay::zeroCross(image_)));
        ++r_;
        value(160, "Min. level= " + number(output::minLevel(image_)) + "%");
        if (output::storePol(image_))
            value(300, "Store POL");
        sectionEnd();
    }

    void remoteControl() {
        label(50, "Remote Control:");
        const RemoteMode mode = remote::mode(image_);
        std::string left;
        std::string right;
        switch (remote::input(image_)) {
        case RemoteInput::Mains:
            right = "Input= Mains";
            left = mode == RemoteMode::MidNight          ? "Midnight"
                   : mode == RemoteMode::MidNightProtect ? "Midnight Protect"
                                                         : "";
            break;
        case RemoteInput::Lst:
            right = "Input= LSt";
            left = mode == RemoteMode::MidNight ? "Midnight" : mode == RemoteMode::RemoteDim ? "Remote DIM" : "";
            break;
        case RemoteInput::Off:
            left = "OFF";
            break;
        }
        value(160, left);
        value(300, right);
        sectionEnd();
    }

    void powerOnSection() {
        label(50, "Power On:");
        value(160, "Delay= " + (powerOn::randomDelay(image_) ? std::string("Random")
                                                             : displayTime(powerOn::delaySeconds(image_))));
        value(280, "Fade= " + (powerOn::fadeOn(image_) ? displayTime2(powerOn::fadeMillis(image_)) + " s/%"
                                                       : std::string("OFF")));
        value(400, "Level= " + number(powerOn::level(image_)) + " %");
        sectionEnd();
    }

    void blockingTimeSection() {
        label(50, "Blocking time: ");
        value(160, blocking::on(image_) ? displayTime(blocking::seconds(image_)) : std::string("OFF"));
        sectionEnd();
    }

    void mffSection() {
        label(50, "MFF: ");
        const int burnIn = mff::burnInHours(image_);
        const std::string burnInText = burnIn == 0 ? std::string("OFF") : number(burnIn) + " h";
        if (!mff::on(image_)) {
            value(160, "OFF");
            value(280, "Burn-In= " + burnInText);
        } else {
            const mff::Levels levels = mff::levels(image_);
            value(160, "Lifetime= " + number(mff::lifetimeHours(image_)) + " h");
            value(280, "Start= " + number(levels.start) + "%");
            value(400, "Stop= " + number(levels.stop) + "%");
            ++r_;
            value(160, "L1= " + number(levels.l1) + "%");
            value(280, "L2= " + number(levels.l2) + "%");
            value(400, "L3= " + number(levels.l3) + "%");
            ++r_;
            value(160, "Burn-In= " + burnInText);
        }
        sectionEnd();
    }

    void isdSection() {
        label(50, "ISD:");
        if (!astro::on(image_)) {
            value(160, "OFF");
            sectionEnd();
            return;
        }
        value(160, "Offset: " + displayTime3(astro::offsetMinutes(image_)));
        value(280, std::string("DST= ") + (astro::dstOn(image_) ? "ON (Summer Time)" : "OFF (Winter Time)"));
        ++r_;
        if (astro::autoDst(image_)) {
            const int secondsPerUnit = astro::kNightMinutesPerUnit * 60;
            value(160, "Auto DST: ON");
            value(280, "DST Start: " + displayTimeHM(astro::dstStartNight(image_) * secondsPerUnit));
            value(400, "DST Stop: " + displayTimeHM(astro::dstEndNight(image_) * secondsPerUnit));
        } else {
            value(160, "Auto DST: OFF");
        }
        stepTable(
            {"Time", "Fade", "Level", "Relay"}, Engine::One, [](const Step& step) { return displayTime4(step.time); },
            false);
        sectionEnd();
    }

    void lstSection() {
        label(50, "LSt:");
        if (!controlInput::on(image_)) {
            value(160, "OFF");
            return;
        }
        value(160, "Input polarity: " + std::string(controlInput::polarityName(controlInput::polarity(image_))));
        value(400, "Hold time: " + (controlInput::holdOn(image_) ? displayTime(controlInput::holdSeconds(image_))
                                                                 : std::string("OFF")));
        stepTable(
            {"Delay", "Fade", "Level", "Relay"}, Engine::Two,
            [](const Step& step) { return displayTime(step.delaySeconds()); }, true);
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

    void thermalSection() {
        label(50, "T-management:");
        if (!thermal::enabled(image_)) {
            value(160, "OFF");
            return;
        }
        const std::vector<thermal::Pair> pairs = thermal::pairsInUse(image_);
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            if (i > 0)
                ++r_;
            const bool relayOff = i == 0 && thermal::relayOffAtT1(image_);
            value(160, "T" + number(static_cast<int>(i) + 1) + "= " + number(pairs[i].celsius) + "°C");
            value(280, "Level= " + number(pairs[i].level) + (relayOff ? "%         Relay OFF" : "%"));
        }
    }

private:
    using TimeText = std::function<std::string(const Step&)>;

    static const char* onOff(bool on) { return on ? "ON" : "OFF"; }

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

    bool stepUsed(Engine engine, int step) const {
        return step < kStepCount && !steps::step(image_, engine, step).empty();
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

    void stepRow(Engine engine, int k, const TimeText& timeText) {
        const Step step = steps::step(image_, engine, k);
        value(480, step.level.relayOff() ? " OFF" : " ON");
        value(410, number(step.level.level()));
        value(290, displayTime2(step.fadeMillis()));
        value(170, timeText(step));
    }

    // One step table. The control input's table may reach the end of the first page: it is closed
    // there and goes on under repeated headings on the second page.
    void stepTable(const std::array<const char*, 4>& headings, Engine table, const TimeText& timeText, bool mayBreak) {
        int top = tableHead(headings);
        for (int step = 0; stepUsed(table, step); ++step) {
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
                for (int next = step + 1; stepUsed(table, next); ++next) {
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
    const LookupRoots roots = lookupRoots(QString::fromStdString(programDir));
    return readHeaderFile(
        QFile::encodeName(lookupPath(roots, QString::fromLatin1(kPdfIniName), EntryKind::File)).toStdString());
}

HeaderLines readHeaderFile(const std::string& iniPath) {
    const IniFile ini = IniFile::loadNative(iniPath);
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
    content.outputSection();
    content.remoteControl();
    content.powerOnSection();
    content.blockingTimeSection();
    content.mffSection();
    content.isdSection();
    content.lstSection();
    content.beforeThermal();
    content.thermalSection();
    return {};
}

} // namespace lumeq
