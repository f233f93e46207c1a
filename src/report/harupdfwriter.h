#pragma once
// The PDF writer of the program, built on libharu.
//
// Pages are A4 portrait, 595 × 842 points. The font "Arial" is printed as the standard PDF face
// Helvetica (Helvetica-Bold for bold), which has Arial's widths and needs no font file; "Helvetica"
// may be named directly. Texts are printed in WinAnsiEncoding (Windows-1252). Streams are compressed.
// The output depends only on what was drawn and on the given creation date: the same calls give the
// same bytes.
//
// libharu reports errors through a callback; this writer records them as text and never throws.

#include "report/pdfwriter.h"

#include <memory>

namespace lumeq {

class HaruPdfWriter : public PdfWriter {
public:
    HaruPdfWriter();
    ~HaruPdfWriter() override;
    HaruPdfWriter(const HaruPdfWriter&) = delete;
    HaruPdfWriter& operator=(const HaruPdfWriter&) = delete;

    void createDocument(const std::string& author, const std::string& creator, const PdfDateTime& created) override;
    void addPage() override;
    void selectFont(const std::string& name, double size, PdfFontStyle style) override;
    void setTextLeading(double leading) override;
    void setLineWidth(double width) override;
    void text(double x, double y, const std::string& utf8) override;
    double textWidth(const std::string& utf8) override;
    void registerBitmap(const std::string& name, const PdfBitmap& bitmap) override;
    void drawBitmap(const std::string& name, double x, double y, double w, double h) override;
    void line(double x1, double y1, double x2, double y2) override;
    // Writes a temporary file beside the target and renames it, so a failed save leaves an existing
    // file as it was.
    [[nodiscard]] std::string save(const std::string& path) override;

    // The whole document as it would be saved, or an empty vector with the reason in *error.
    std::vector<std::uint8_t> bytes(std::string* error = nullptr);

    // The first failure recorded since the document was created; empty while all went well.
    std::string error() const;

private:
    struct State;
    std::unique_ptr<State> d_;
};

} // namespace lumeq
