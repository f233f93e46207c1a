#pragma once
// The few operations the configuration report needs from a PDF writer. The report is written against
// this interface only; HaruPdfWriter produces the file, a recording writer makes the report testable.
//
// Coordinates are PDF user space: points, origin at the bottom left of the page, y growing upwards; a
// text position is the start of its baseline. Texts cross the interface as UTF-8; a writer prints them
// in Windows-1252 (toWindows1252 below), so characters outside that code page come out as '?'.
//
// The current font, the text leading and the line width are document state: once set they stay in
// effect on pages added later, until they are set again.
//
// Writers never throw. A failed operation is recorded and does nothing; save() reports the first
// recorded failure, or its own.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace lumeq {

// A calendar date and time with its offset from UTC (0 for UTC).
struct PdfDateTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0; // 0..59
    int second = 0; // 0..59
    int utcOffsetMinutes = 0;

    bool operator==(const PdfDateTime&) const = default;
};

// The UTC date and time of a moment.
PdfDateTime pdfDateTime(std::time_t time);

// An RGB picture, 8 bits per channel, rows from the top, width × height × 3 bytes.
struct PdfBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    bool isValid() const {
        return width > 0 && height > 0 && rgb.size() == static_cast<std::size_t>(width) * height * 3;
    }
};

enum class PdfFontStyle { Regular, Bold };

class PdfWriter {
public:
    virtual ~PdfWriter() = default;

    // Starts a new, empty document (A4 portrait pages of 595 × 842 points) with its information entries.
    virtual void createDocument(const std::string& author, const std::string& creator, const PdfDateTime& created) = 0;
    // Adds a page after the last one and makes it the page the drawing operations below work on.
    virtual void addPage() = 0;

    virtual void selectFont(const std::string& name, double size, PdfFontStyle style) = 0;
    virtual void setTextLeading(double leading) = 0;
    virtual void setLineWidth(double width) = 0;

    // Writes a text with its baseline starting at (x, y) in the current font.
    virtual void text(double x, double y, const std::string& utf8) = 0;
    // Width in points of a text in the current font, as text() would print it; 0 without a font.
    virtual double textWidth(const std::string& utf8) = 0;

    // Registers a picture once under a name; drawBitmap draws it, scaled to w × h, with its lower left
    // corner at (x, y), on any page.
    virtual void registerBitmap(const std::string& name, const PdfBitmap& bitmap) = 0;
    virtual void drawBitmap(const std::string& name, double x, double y, double w, double h) = 0;

    // Strokes a straight line in the current line width.
    virtual void line(double x1, double y1, double x2, double y2) = 0;

    // Writes the document to a file (UTF-8 path), replacing an existing one. Returns an empty text on
    // success, otherwise the writer's description of what went wrong. A failed save may be repeated,
    // for example under another name.
    [[nodiscard]] virtual std::string save(const std::string& path) = 0;
};

// The Windows-1252 bytes of a UTF-8 text. Each character that code page lacks, each control character
// and each byte of malformed UTF-8 becomes one '?'.
std::string toWindows1252(std::string_view utf8);

} // namespace lumeq
