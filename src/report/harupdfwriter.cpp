#include "report/harupdfwriter.h"

#include <hpdf.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>

namespace lumeq {

namespace {

constexpr HPDF_REAL kPageWidth = 595;
constexpr HPDF_REAL kPageHeight = 842;

std::string hex4(unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%04X", value);
    return buffer;
}

// What a libharu error code means, in words a user can act on where possible.
std::string describeLibraryError(HPDF_STATUS code, HPDF_STATUS detail) {
    std::string what;
    switch (code) {
    case HPDF_FAILD_TO_ALLOC_MEM:
        what = "out of memory";
        break;
    case HPDF_FILE_IO_ERROR:
    case HPDF_FILE_OPEN_ERROR:
        what = code == HPDF_FILE_OPEN_ERROR ? "cannot open file" : "cannot write file";
        if (detail != 0)
            what += std::string(": ") + std::strerror(static_cast<int>(detail));
        break;
    case HPDF_ZLIB_ERROR:
        what = "compression failed";
        break;
    case HPDF_PAGE_FONT_NOT_FOUND:
        what = "no font selected";
        break;
    case HPDF_INVALID_FONT_NAME:
    case HPDF_INVALID_ENCODING_NAME:
        what = "font not available";
        break;
    case HPDF_INVALID_IMAGE:
    case HPDF_INVALID_COLOR_SPACE:
    case HPDF_INVALID_BIT_PER_COMPONENT:
        what = "invalid picture";
        break;
    case HPDF_INVALID_DATE_TIME:
        what = "invalid date";
        break;
    case HPDF_PAGE_INVALID_FONT_SIZE:
    case HPDF_PAGE_OUT_OF_RANGE:
    case HPDF_REAL_OUT_OF_RANGE:
    case HPDF_INVALID_PARAMETER:
        what = "value out of range";
        break;
    case HPDF_INVALID_DOCUMENT:
        what = "the document is in an error state";
        break;
    default:
        what = "error";
        break;
    }
    return "PDF library: " + what + " (code " + hex4(code) + ", detail " + std::to_string(detail) + ")";
}

} // namespace

struct HaruPdfWriter::State {
    HPDF_Doc doc = nullptr;
    HPDF_Page page = nullptr;
    HPDF_Font font = nullptr;
    HPDF_REAL fontSize = 0;
    std::optional<HPDF_REAL> leading;
    std::optional<HPDF_REAL> lineWidth;
    std::map<std::string, HPDF_Image> bitmaps;

    std::string firstError;   // first failure while building the document
    std::string libraryError; // the last error libharu reported
    bool libraryFailed = false;

    ~State() { reset(); }

    void reset() {
        if (doc)
            HPDF_Free(doc);
        doc = nullptr;
        page = nullptr;
        font = nullptr;
        fontSize = 0;
        leading.reset();
        lineWidth.reset();
        bitmaps.clear();
        firstError.clear();
        libraryError.clear();
        libraryFailed = false;
    }

    void fail(const std::string& message) {
        if (firstError.empty())
            firstError = message;
    }

    // Runs one libharu call sequence and records what it reported. libharu keeps its error state
    // until reset, which would refuse every later call; the document carries on instead and save()
    // reports the recorded failure.
    template <typename Calls> void run(const char* operation, Calls calls) {
        libraryFailed = false;
        calls();
        if (libraryFailed) {
            fail(std::string(operation) + ": " + libraryError);
            HPDF_ResetError(doc);
            libraryFailed = false;
        }
    }

    bool needPage(const char* operation) {
        if (page)
            return true;
        fail(std::string(operation) + ": no page");
        return false;
    }

    static void HPDF_STDCALL onError(HPDF_STATUS code, HPDF_STATUS detail, void* user) noexcept {
        auto* state = static_cast<State*>(user);
        try {
            state->libraryError = describeLibraryError(code, detail);
        } catch (...) {
            state->libraryError.clear(); // out of memory while describing the error: keep the flag
        }
        state->libraryFailed = true;
    }
};

HaruPdfWriter::HaruPdfWriter() : d_(std::make_unique<State>()) {}

HaruPdfWriter::~HaruPdfWriter() = default;

std::string HaruPdfWriter::error() const {
    return d_->firstError;
}

void HaruPdfWriter::createDocument(const std::string& author, const std::string& creator, const PdfDateTime& created) {
    d_->reset();
    d_->doc = HPDF_New(&State::onError, d_.get());
    if (!d_->doc) {
        d_->fail("create document: out of memory");
        return;
    }
    d_->run("create document", [&] {
        HPDF_SetCompressionMode(d_->doc, HPDF_COMP_ALL);
        HPDF_SetInfoAttr(d_->doc, HPDF_INFO_AUTHOR, toWindows1252(author).c_str());
        HPDF_SetInfoAttr(d_->doc, HPDF_INFO_CREATOR, toWindows1252(creator).c_str());
        HPDF_Date date{};
        date.year = created.year;
        date.month = created.month;
        date.day = created.day;
        date.hour = created.hour;
        date.minutes = created.minute;
        date.seconds = created.second;
        const int offset = created.utcOffsetMinutes < 0 ? -created.utcOffsetMinutes : created.utcOffsetMinutes;
        date.ind = created.utcOffsetMinutes == 0 ? 'Z' : (created.utcOffsetMinutes < 0 ? '-' : '+');
        date.off_hour = offset / 60;
        date.off_minutes = offset % 60;
        HPDF_SetInfoDateAttr(d_->doc, HPDF_INFO_CREATION_DATE, date);
    });
}

void HaruPdfWriter::addPage() {
    if (!d_->doc) {
        d_->fail("add page: no document");
        return;
    }
    d_->run("add page", [&] {
        HPDF_Page page = HPDF_AddPage(d_->doc);
        if (!page)
            return;
        d_->page = page;
        HPDF_Page_SetWidth(page, kPageWidth);
        HPDF_Page_SetHeight(page, kPageHeight);
        // A PDF page starts in the default graphics state; carry the document's settings over.
        if (d_->font)
            HPDF_Page_SetFontAndSize(page, d_->font, d_->fontSize);
        if (d_->leading)
            HPDF_Page_SetTextLeading(page, *d_->leading);
        if (d_->lineWidth)
            HPDF_Page_SetLineWidth(page, *d_->lineWidth);
    });
}

void HaruPdfWriter::selectFont(const std::string& name, double size, PdfFontStyle style) {
    if (!d_->doc) {
        d_->fail("select font: no document");
        return;
    }
    const bool bold = style == PdfFontStyle::Bold;
    const char* face = nullptr;
    if (name == "Arial" || name == "Helvetica")
        face = bold ? "Helvetica-Bold" : "Helvetica";
    if (!face) {
        d_->fail("select font: font \"" + name + "\" is not available");
        return;
    }
    d_->run("select font", [&] {
        HPDF_Font font = HPDF_GetFont(d_->doc, face, "WinAnsiEncoding");
        if (!font)
            return;
        const auto fontSize = static_cast<HPDF_REAL>(size);
        if (d_->page && HPDF_Page_SetFontAndSize(d_->page, font, fontSize) != HPDF_OK)
            return; // the font in effect stays
        d_->font = font;
        d_->fontSize = fontSize;
    });
}

void HaruPdfWriter::setTextLeading(double leading) {
    if (!d_->needPage("set text leading"))
        return;
    d_->leading = static_cast<HPDF_REAL>(leading);
    d_->run("set text leading", [&] { HPDF_Page_SetTextLeading(d_->page, *d_->leading); });
}

void HaruPdfWriter::setLineWidth(double width) {
    if (!d_->needPage("set line width"))
        return;
    d_->lineWidth = static_cast<HPDF_REAL>(width);
    d_->run("set line width", [&] { HPDF_Page_SetLineWidth(d_->page, *d_->lineWidth); });
}

void HaruPdfWriter::text(double x, double y, const std::string& utf8) {
    if (!d_->needPage("write text"))
        return;
    if (!d_->font) {
        d_->fail("write text: no font selected");
        return;
    }
    const std::string encoded = toWindows1252(utf8);
    d_->run("write text", [&] {
        if (HPDF_Page_BeginText(d_->page) != HPDF_OK)
            return;
        HPDF_Page_TextOut(d_->page, static_cast<HPDF_REAL>(x), static_cast<HPDF_REAL>(y), encoded.c_str());
        HPDF_Page_EndText(d_->page);
    });
}

double HaruPdfWriter::textWidth(const std::string& utf8) {
    if (!d_->font)
        return 0;
    const std::string encoded = toWindows1252(utf8);
    double width = 0;
    d_->run("measure text", [&] {
        const HPDF_TextWidth measured = HPDF_Font_TextWidth(
            d_->font, reinterpret_cast<const HPDF_BYTE*>(encoded.data()), static_cast<HPDF_UINT>(encoded.size()));
        width = measured.width * static_cast<double>(d_->fontSize) / 1000.0;
    });
    return width;
}

void HaruPdfWriter::registerBitmap(const std::string& name, const PdfBitmap& bitmap) {
    if (!d_->doc) {
        d_->fail("register picture: no document");
        return;
    }
    if (d_->bitmaps.count(name) != 0) {
        d_->fail("register picture: \"" + name + "\" is registered already");
        return;
    }
    if (!bitmap.isValid()) {
        d_->fail("register picture: \"" + name + "\" is not a complete RGB picture");
        return;
    }
    d_->run("register picture", [&] {
        HPDF_Image image = HPDF_LoadRawImageFromMem(d_->doc, bitmap.rgb.data(), static_cast<HPDF_UINT>(bitmap.width),
                                                    static_cast<HPDF_UINT>(bitmap.height), HPDF_CS_DEVICE_RGB, 8);
        if (image)
            d_->bitmaps.emplace(name, image);
    });
}

void HaruPdfWriter::drawBitmap(const std::string& name, double x, double y, double w, double h) {
    if (!d_->needPage("draw picture"))
        return;
    const auto found = d_->bitmaps.find(name);
    if (found == d_->bitmaps.end()) {
        d_->fail("draw picture: \"" + name + "\" is not registered");
        return;
    }
    d_->run("draw picture", [&] {
        HPDF_Page_DrawImage(d_->page, found->second, static_cast<HPDF_REAL>(x), static_cast<HPDF_REAL>(y),
                            static_cast<HPDF_REAL>(w), static_cast<HPDF_REAL>(h));
    });
}

void HaruPdfWriter::line(double x1, double y1, double x2, double y2) {
    if (!d_->needPage("draw line"))
        return;
    d_->run("draw line", [&] {
        HPDF_Page_MoveTo(d_->page, static_cast<HPDF_REAL>(x1), static_cast<HPDF_REAL>(y1));
        HPDF_Page_LineTo(d_->page, static_cast<HPDF_REAL>(x2), static_cast<HPDF_REAL>(y2));
        HPDF_Page_Stroke(d_->page);
    });
}

std::vector<std::uint8_t> HaruPdfWriter::bytes(std::string* error) {
    const auto failed = [&](const std::string& message) {
        if (error)
            *error = message;
        return std::vector<std::uint8_t>{};
    };
    if (!d_->doc)
        return failed("No PDF document was created.");
    if (!d_->firstError.empty())
        return failed("The PDF document is incomplete: " + d_->firstError);
    if (!d_->page)
        return failed("The PDF document has no page.");

    std::vector<std::uint8_t> content;
    d_->libraryFailed = false;
    // Rewind before reading: a repeated save refills the stream but leaves its read position in the
    // buffers of the previous one.
    if (HPDF_SaveToStream(d_->doc) == HPDF_OK && HPDF_ResetStream(d_->doc) == HPDF_OK) {
        const HPDF_UINT32 size = HPDF_GetStreamSize(d_->doc);
        content.resize(size);
        HPDF_UINT32 read = size;
        if (size == 0 || HPDF_ReadFromStream(d_->doc, content.data(), &read) != HPDF_OK || read != size)
            d_->libraryFailed = true;
    } else {
        d_->libraryFailed = true;
    }
    if (d_->libraryFailed) {
        const std::string reason = d_->libraryError.empty() ? "PDF library error" : d_->libraryError;
        HPDF_ResetError(d_->doc);
        d_->libraryFailed = false;
        return failed("The PDF document cannot be written: " + reason);
    }
    return content;
}

std::string HaruPdfWriter::save(const std::string& path) {
    std::string error;
    const std::vector<std::uint8_t> content = bytes(&error);
    if (content.empty())
        return error;

    namespace fs = std::filesystem;
    const fs::path target(std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
    fs::path temporary = target;
    temporary += ".part";
    const std::string shown = "\"" + path + "\"";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return "Cannot create the file " + shown + ": " + std::strerror(errno);
        out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            const std::string reason = std::strerror(errno);
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return "Cannot write the file " + shown + ": " + reason;
        }
    }
    std::error_code renamed;
    fs::rename(temporary, target, renamed);
    if (renamed) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return "Cannot save the file " + shown + ": " + renamed.message();
    }
    return {};
}

} // namespace lumeq
