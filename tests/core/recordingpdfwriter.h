#pragma once
// A PDF writer that records what is drawn, page by page, so tests can compare every text, line and
// picture with its position. Text widths use the advance widths of Helvetica and Helvetica-Bold (the
// faces that stand for Arial) for the Windows-1252 code page, so cutting texts to a width is exact.
// Misuse (drawing without a page, an unknown font, a picture drawn before it is registered) is
// collected in `problems` instead of being ignored.

#include "report/pdfwriter.h"

#include <array>
#include <map>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace lumeq::test {

struct RecordedText {
    int page; // 1-based
    double x;
    double y;
    bool bold;
    std::string text;

    auto key() const { return std::tie(page, y, x, bold, text); }
    bool operator==(const RecordedText& other) const { return key() == other.key(); }
};

struct RecordedLine {
    int page;
    double x1;
    double y1;
    double x2;
    double y2;

    auto key() const { return std::tie(page, y1, x1, y2, x2); }
    bool operator==(const RecordedLine& other) const { return key() == other.key(); }
};

struct RecordedBitmap {
    int page;
    std::string name;
    double x;
    double y;
    double w;
    double h;

    bool operator==(const RecordedBitmap&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const RecordedText& t) {
    return out << "{page " << t.page << ", (" << t.x << ", " << t.y << "), " << (t.bold ? "bold" : "regular") << ", \""
               << t.text << "\"}";
}
inline std::ostream& operator<<(std::ostream& out, const RecordedLine& l) {
    return out << "{page " << l.page << ", (" << l.x1 << ", " << l.y1 << ")-(" << l.x2 << ", " << l.y2 << ")}";
}
inline std::ostream& operator<<(std::ostream& out, const RecordedBitmap& b) {
    return out << "{page " << b.page << ", " << b.name << " at (" << b.x << ", " << b.y << ") " << b.w << "x" << b.h
               << "}";
}

// Advance widths in 1/1000 em of the codes 0x20..0xFF, as the standard Helvetica AFM metrics give
// them for WinAnsiEncoding (codes the code page leaves unassigned have the width of a space).
inline constexpr std::array<int, 224> kHelveticaWidths = {
    278,  278, 355, 556, 556, 889,  667,  191,  333, 333,  389, 584, 278,  333, 278, 278, //
    556,  556, 556, 556, 556, 556,  556,  556,  556, 556,  278, 278, 584,  584, 584, 556, //
    1015, 667, 667, 722, 722, 667,  611,  778,  722, 278,  500, 667, 556,  833, 722, 778, //
    667,  778, 722, 667, 611, 722,  667,  944,  667, 667,  611, 278, 278,  278, 469, 556, //
    333,  556, 556, 500, 556, 556,  278,  556,  556, 222,  222, 500, 222,  833, 556, 556, //
    556,  556, 333, 500, 278, 556,  500,  722,  500, 500,  500, 334, 260,  334, 584, 278, //
    556,  278, 222, 556, 333, 1000, 556,  556,  333, 1000, 667, 333, 1000, 278, 611, 278, //
    278,  222, 222, 333, 333, 350,  556,  1000, 333, 1000, 500, 333, 944,  278, 500, 667, //
    278,  333, 556, 556, 556, 556,  260,  556,  333, 737,  370, 556, 584,  278, 737, 333, //
    400,  584, 333, 333, 333, 556,  537,  278,  333, 333,  365, 556, 834,  834, 834, 611, //
    667,  667, 667, 667, 667, 667,  1000, 722,  667, 667,  667, 667, 278,  278, 278, 278, //
    722,  722, 778, 778, 778, 778,  778,  584,  778, 722,  722, 722, 722,  667, 667, 611, //
    556,  556, 556, 556, 556, 556,  889,  500,  556, 556,  556, 556, 278,  278, 278, 278, //
    556,  556, 556, 556, 556, 556,  556,  584,  611, 556,  556, 556, 556,  500, 556, 500};

inline constexpr std::array<int, 224> kHelveticaBoldWidths = {
    278, 333, 474, 556, 556, 889,  722,  238,  333, 333,  389, 584, 278,  333, 278, 278, //
    556, 556, 556, 556, 556, 556,  556,  556,  556, 556,  333, 333, 584,  584, 584, 611, //
    975, 722, 722, 722, 722, 667,  611,  778,  722, 278,  556, 722, 611,  833, 722, 778, //
    667, 778, 722, 667, 611, 722,  667,  944,  667, 667,  611, 333, 278,  333, 584, 556, //
    333, 556, 611, 556, 611, 556,  333,  611,  611, 278,  278, 556, 278,  889, 611, 611, //
    611, 611, 389, 556, 333, 611,  556,  778,  556, 556,  500, 389, 280,  389, 584, 278, //
    556, 278, 278, 556, 500, 1000, 556,  556,  333, 1000, 667, 333, 1000, 278, 611, 278, //
    278, 278, 278, 500, 500, 350,  556,  1000, 333, 1000, 556, 333, 944,  278, 500, 667, //
    278, 333, 556, 556, 556, 556,  280,  556,  333, 737,  370, 556, 584,  278, 737, 333, //
    400, 584, 333, 333, 333, 611,  556,  278,  333, 333,  365, 556, 834,  834, 834, 611, //
    722, 722, 722, 722, 722, 722,  1000, 722,  667, 667,  667, 667, 278,  278, 278, 278, //
    722, 722, 778, 778, 778, 778,  778,  584,  778, 722,  722, 722, 722,  667, 667, 611, //
    556, 556, 556, 556, 556, 556,  889,  556,  556, 556,  556, 556, 278,  278, 278, 278, //
    611, 611, 611, 611, 611, 611,  611,  584,  611, 611,  611, 611, 611,  556, 611, 556};

// Width in points of a UTF-8 text in Helvetica (or Helvetica-Bold) at the given size.
inline double helveticaWidth(const std::string& utf8, bool bold, double size) {
    const auto& widths = bold ? kHelveticaBoldWidths : kHelveticaWidths;
    int units = 0;
    for (const char c : toWindows1252(utf8)) {
        const auto code = static_cast<unsigned char>(c);
        units += code >= 0x20 ? widths[code - 0x20] : 0;
    }
    return units * size / 1000.0;
}

class RecordingPdfWriter : public PdfWriter {
public:
    // What the document was created with.
    int documentsCreated = 0;
    std::string author;
    std::string creator;
    PdfDateTime created;

    int pages = 0;
    std::vector<std::pair<std::string, double>> fontsSelected; // every (name, size) selected
    std::vector<double> leadings;
    std::vector<double> lineWidths;
    std::map<std::string, PdfBitmap> registered;
    std::vector<std::string> registrations; // names in the order registered, repeats included

    std::vector<RecordedText> texts;
    std::vector<RecordedLine> lines;
    std::vector<RecordedBitmap> bitmaps;
    std::vector<std::string> problems;
    std::vector<std::string> savedTo;

    void createDocument(const std::string& a, const std::string& c, const PdfDateTime& when) override {
        ++documentsCreated;
        author = a;
        creator = c;
        created = when;
    }
    void addPage() override {
        if (documentsCreated == 0)
            problems.push_back("page added without a document");
        ++pages;
    }
    void selectFont(const std::string& name, double size, PdfFontStyle style) override {
        fontsSelected.emplace_back(name, size);
        if (name != "Arial")
            problems.push_back("font " + name);
        hasFont_ = true;
        bold_ = style == PdfFontStyle::Bold;
        size_ = size;
    }
    void setTextLeading(double leading) override {
        needPage("leading");
        leadings.push_back(leading);
    }
    void setLineWidth(double width) override {
        needPage("line width");
        lineWidths.push_back(width);
    }
    void text(double x, double y, const std::string& utf8) override {
        needPage("text " + utf8);
        if (!hasFont_)
            problems.push_back("text without a font: " + utf8);
        texts.push_back({pages, x, y, bold_, utf8});
    }
    double textWidth(const std::string& utf8) override {
        if (!hasFont_)
            problems.push_back("width without a font: " + utf8);
        return helveticaWidth(utf8, bold_, size_);
    }
    void registerBitmap(const std::string& name, const PdfBitmap& bitmap) override {
        registrations.push_back(name);
        registered[name] = bitmap;
    }
    void drawBitmap(const std::string& name, double x, double y, double w, double h) override {
        needPage("bitmap " + name);
        if (registered.count(name) == 0)
            problems.push_back("bitmap " + name + " drawn before it was registered");
        bitmaps.push_back({pages, name, x, y, w, h});
    }
    void line(double x1, double y1, double x2, double y2) override {
        needPage("line");
        lines.push_back({pages, x1, y1, x2, y2});
    }
    std::string save(const std::string& path) override {
        savedTo.push_back(path);
        return {};
    }

    // The font a following text would be written in.
    bool bold() const { return bold_; }

private:
    void needPage(const std::string& what) {
        if (pages == 0)
            problems.push_back(what + " before the first page");
    }

    bool hasFont_ = false;
    bool bold_ = false;
    double size_ = 0;
};

} // namespace lumeq::test
