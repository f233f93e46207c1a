#include "report/logo.h"

#include <array>
#include <string_view>

namespace lumeq {

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

constexpr Rgb kBackground{255, 255, 255};
constexpr Rgb kTeal{0, 128, 128};
constexpr Rgb kHousing{47, 79, 79};
constexpr Rgb kLamp{255, 200, 0};
constexpr Rgb kGlow{255, 243, 190};

// Letters of a blocky 5 × 9 pixel font: rows 0..6 stand on the baseline, rows 7..8 hang below it.
using Glyph = std::array<std::string_view, 9>;
constexpr Glyph kL = {"#....", "#....", "#....", "#....", "#....", "#....", "#####", ".....", "....."};
constexpr Glyph kU = {".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#", ".....", "....."};
constexpr Glyph kM = {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#", ".....", "....."};
constexpr Glyph kE = {".....", ".....", ".###.", "#...#", "#####", "#....", ".####", ".....", "....."};
constexpr Glyph kQ = {".....", ".....", ".####", "#...#", "#...#", "#...#", ".####", "....#", "....#"};
constexpr std::array<const Glyph*, 5> kWord = {&kL, &kU, &kM, &kE, &kQ};

constexpr int kScale = 2;     // screen pixels per font pixel
constexpr int kWordLeft = 44; // first column of the word
constexpr int kWordTop = 3;   // top row of the capital L
constexpr int kLetterAdvance = 6 * kScale;

class Canvas {
public:
    Canvas() : bitmap_{kLogoWidth, kLogoHeight, {}} {
        bitmap_.rgb.resize(static_cast<std::size_t>(kLogoWidth) * kLogoHeight * 3);
        fill(0, 0, kLogoWidth, kLogoHeight, kBackground);
    }

    void set(int x, int y, Rgb colour) {
        if (x < 0 || y < 0 || x >= kLogoWidth || y >= kLogoHeight)
            return;
        const std::size_t at = (static_cast<std::size_t>(y) * kLogoWidth + x) * 3;
        bitmap_.rgb[at] = colour.r;
        bitmap_.rgb[at + 1] = colour.g;
        bitmap_.rgb[at + 2] = colour.b;
    }

    // The rectangle of columns x..x+w-1 and rows y..y+h-1 (row 0 at the top).
    void fill(int x, int y, int w, int h, Rgb colour) {
        for (int row = y; row < y + h; ++row)
            for (int column = x; column < x + w; ++column)
                set(column, row, colour);
    }

    PdfBitmap take() { return std::move(bitmap_); }

private:
    PdfBitmap bitmap_;
};

void drawMast(Canvas& canvas) {
    // Light falling from the head, widening towards the ground.
    for (int row = 8; row < kLogoHeight; ++row) {
        const int spread = (row - 8) / 2;
        canvas.fill(23 - spread, row, 8 + 2 * spread, 1, kGlow);
    }
    canvas.fill(6, 21, 11, 3, kTeal); // foot
    canvas.fill(10, 3, 3, 18, kTeal); // pole
    canvas.fill(11, 2, 13, 2, kTeal); // arm
    canvas.fill(21, 3, 12, 4, kHousing);
    canvas.fill(22, 7, 10, 1, kLamp); // the lit lens
}

void drawWord(Canvas& canvas) {
    for (std::size_t letter = 0; letter < kWord.size(); ++letter) {
        const Glyph& glyph = *kWord[letter];
        const int left = kWordLeft + static_cast<int>(letter) * kLetterAdvance;
        for (std::size_t row = 0; row < glyph.size(); ++row)
            for (std::size_t column = 0; column < glyph[row].size(); ++column)
                if (glyph[row][column] == '#')
                    canvas.fill(left + static_cast<int>(column) * kScale, kWordTop + static_cast<int>(row) * kScale,
                                kScale, kScale, kTeal);
    }
}

} // namespace

PdfBitmap reportLogo() {
    Canvas canvas;
    drawMast(canvas);
    drawWord(canvas);
    return canvas.take();
}

} // namespace lumeq
