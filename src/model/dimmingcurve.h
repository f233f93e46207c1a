#pragma once
// Dimming curves: a curve maps every wanted level (input, 0..100 %) to the level sent to the module
// (output, 0..100 %). Curves are text files with one output level per line, 101 lines for the inputs 0
// to 100, kept in a folder next to the program. Writing a configuration passes every level field of the
// image through the curve (correctDC); reading one back passes the stored levels through its inverse
// (invCorrectDC).

#include "model/image.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace lumeq {

constexpr int kCurvePoints = 101;                      // inputs 0..100 %
constexpr int kCurveMaxLevel = 100;                    // the highest output level a point may hold
constexpr std::uintmax_t kCurveMinFileSize = 101;      // smaller files are not listed
constexpr std::uintmax_t kCurveMaxFileSize = 1u << 20; // larger files are not read

// Curve files of a folder: regular files named *.dc (in any letter case) of at least kCurveMinFileSize
// bytes, sorted by name (letter case ignored, then exact), so that an index stays the same between runs.
struct CurveListing {
    bool folderFound = false;
    std::vector<std::filesystem::path> names; // file names with extension, without the folder
};
CurveListing listCurveFiles(const std::filesystem::path& folder);

enum class CurveError {
    None,
    PointCount, // the text does not have exactly 101 lines
    WrongData,  // a line is no whole number, or lies outside 0..100
    Unreadable, // the file cannot be opened or is far too large for a curve
};

struct CurveParse {
    // Always 101 points. With WrongData the points before the bad line hold their values, the bad line
    // and every later one 0; with the other errors all are 0.
    std::vector<int> points = std::vector<int>(kCurvePoints, 0);
    CurveError error = CurveError::None;
    int badLine = -1; // WrongData: the 0-based line that could not be taken

    bool ok() const { return error == CurveError::None; }
};

// Reads a curve text: 101 lines (a line break after the last value does not count; CR LF and LF both end
// a line; blanks around a number and a UTF-8 byte-order mark are ignored), each a whole number 0..100.
// Reading stops at the first bad line.
CurveParse parseCurve(std::string_view text);
// The same for a file.
CurveParse readCurveFile(const std::filesystem::path& file);

// The text the curve chart shows for an error ("" for None).
std::string_view curveErrorText(CurveError error);

// A curve that can be applied: 101 points, each 0..100.
bool isValidCurve(const std::vector<int>& curve);

// Offsets of the level fields of the image the correction maps, in this order: minimum level and
// power-on level; the step levels of dimming engine 2, then of dimming engine 1 (steps in use only,
// 0xFF marks an empty step); MFF start and stop level while the start level is not 0xFF; the thermal
// levels whose threshold is not 0. An image shorter than the configuration has none.
std::vector<std::size_t> curveLevelFields(const Image& image);

// Level byte through the curve: bit 7 kept, the low seven bits (taken as 100 when larger) replaced by
// the curve's output.
std::uint8_t correctLevel(std::uint8_t value, const std::vector<int>& curve);
// Level byte through the inverse: bit 7 kept; the level becomes the highest input whose output is the
// stored level, or, for a level the curve never produces, the input whose output is nearest to it
// (the highest of those on a tie).
std::uint8_t invCorrectLevel(std::uint8_t value, const std::vector<int>& curve);

// Both map every level field of the image in place and return true; they do nothing and return false
// for a DALI output (byte 0 bit 0), an invalid curve (isValidCurve) or an image shorter than the
// configuration.
bool correctDC(Image& image, const std::vector<int>& curve);
bool invCorrectDC(Image& image, const std::vector<int>& curve);

// The program's dimming-curve choice: set in the output editor's curve chooser, used when a module is
// written and when a slot is taken.
struct CurveState {
    bool curveFilesFound = false;  // at least one curve file was listed at start-up
    bool correctionOn = false;     // the correction box (cbDC) is ticked
    int curveIndex = -1;           // list index of the chosen curve, -1 = none
    std::vector<int> dimmingCurve; // the loaded curve: 101 points, or empty
    // The working image holds wanted levels (the inverse correction was applied to it, or it came from a
    // file, the defaults or an empty slot): the inverse correction must not be applied to it again.
    bool levelsUncorrected = false;

    bool curveChosen() const { return correctionOn && curveIndex != -1; }
};

// Writing a module: the image's levels through the chosen curve (nothing without a loaded curve).
bool correctForModule(Image& image, const CurveState& curves);
// Taking a slot, or choosing a curve for a slot taken before: the stored levels back through the inverse,
// while a curve is chosen and the image does not hold wanted levels yet. Marks the image as holding wanted
// levels when it converted them.
bool uncorrectFromModule(Image& image, CurveState& curves);

} // namespace lumeq
