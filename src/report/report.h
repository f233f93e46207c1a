#pragma once
// The configuration report: an A4 document of one page, or two when the content does not fit on one,
// that prints every function of a configuration image for a lighting project. It is written against
// the PdfWriter interface:
//
//     HaruPdfWriter writer;
//     const std::time_t now = reportTime();
//     std::string error = writeReport(writer, image, project, readHeaderLines(programDir),
//                                     reportDateText(now), pdfDateTime(now));
//     if (error.empty())
//         error = writer.save(reportFilePath(chosenName));
//
// Layout: text is Arial 12 pt, labels bold and values regular. Content goes in rows; row r has its
// baseline at y = 750 - 25 r, and a page holds rows 0 to 28.

#include "model/image.h"
#include "report/pdfwriter.h"

#include <ctime>
#include <string>

namespace lumeq {

// What the user types into the project dialog. Without a name the report has no project block.
struct ReportProject {
    std::string name;      // up to 50 characters, printed up to 290 points wide
    std::string luminaire; // up to 25 characters, printed up to 130 points wide
    std::string driver;    // up to 25 characters, printed up to 200 points wide
};

// The two lines beside the logo at the top of every page.
struct HeaderLines {
    std::string line1 = "Arvento Lichttechnik GmbH";       // bold
    std::string line2 = "Musterweg 12, 12345 Musterstadt"; // regular
};

// The file that sets the header lines (section "Header", keys "Line1" and "Line2").
inline constexpr const char* kPdfIniName = "pdf.ini";

// Reads the header lines from pdf.ini beside the program, else from the one in the user's configuration
// folder or the installation's (files/lookup.h). A missing file or key gives the default line; a key
// that is present but empty gives an empty line.
HeaderLines readHeaderLines(const std::string& programDir);
// The same from a named INI file (section "Header", keys "Line1" and "Line2"), its name exactly as the
// file system has it.
HeaderLines readHeaderFile(const std::string& iniPath);

// The moment a report is made: the time in SOURCE_DATE_EPOCH when that holds a number of seconds
// (reproducible output), otherwise now.
std::time_t reportTime();

// The date printed after "Date: ": the local date of the moment in the system's short date format.
std::string reportDateText(std::time_t time);

// The file a report is saved to: the chosen name with its extension replaced by ".pdf", whatever the
// user typed ("plan.txt" -> "plan.pdf", "plan" -> "plan.pdf").
std::string reportFilePath(const std::string& chosen);

// Drawing helpers of the report (integer points, PDF user space).
void drawLine(PdfWriter& writer, int x, int y, int length);  // (x, y) to (x + length, y)
void drawVLine(PdfWriter& writer, int x, int y, int length); // (x, y) down to (x, y - length)
// Closes a step table whose rows end before row r: a rule under the rows and the column lines at
// x = 160, 280, 400, 470 and 520 from y = top down to it.
void drawCol(PdfWriter& writer, int top, int r);
// The text with characters taken off its end until it is at most width points wide in the current
// font; a text that fits comes back unchanged.
std::string limitText(PdfWriter& writer, const std::string& text, double width);

// Baseline of row r.
constexpr int reportRowY(int r) {
    return 750 - 25 * r;
}

// Builds the whole report into the writer: document information, pages, header, every section. The
// image is read, never changed; it must hold at least the 96 configuration bytes. Returns an empty
// text, or the reason nothing was written. Errors of the writer itself come from its save().
[[nodiscard]] std::string writeReport(PdfWriter& writer, const Image& image, const ReportProject& project,
                                      const HeaderLines& header, const std::string& dateText,
                                      const PdfDateTime& created);

} // namespace lumeq
