#pragma once
// The picture at the top left of every report page: a street-light mast with a lit head beside the
// word "Lumeq", 136 × 24 pixels, drawn in code so the program needs no picture file.

#include "report/pdfwriter.h"

namespace lumeq {

constexpr int kLogoWidth = 136;
constexpr int kLogoHeight = 24;

PdfBitmap reportLogo();

} // namespace lumeq
