// Dimming-curve files (*.dc): parsed as the output editor reads them, written back as text, and applied
// to the level fields of a configuration and back.

#include "fuzztarget.h"

#include "model/dimmingcurve.h"
#include "model/settings.h"

#include <algorithm>
#include <string>

using namespace lumeq;

LUMEQ_FUZZ_TARGET(dimmingcurve) {
    const CurveParse parsed = parseCurve(fuzz::asText(input));

    FUZZ_CHECK(parsed.points.size() == static_cast<std::size_t>(kCurvePoints));
    FUZZ_CHECK(parsed.error != CurveError::Unreadable);
    const auto zero = [](int point) { return point == 0; };
    switch (parsed.error) {
    case CurveError::None:
        FUZZ_CHECK(isValidCurve(parsed.points) && parsed.badLine == -1);
        break;
    case CurveError::WrongData:
        FUZZ_CHECK(parsed.badLine >= 0 && parsed.badLine < kCurvePoints);
        FUZZ_CHECK(std::all_of(parsed.points.begin() + parsed.badLine, parsed.points.end(), zero));
        FUZZ_CHECK(std::all_of(parsed.points.begin(), parsed.points.begin() + parsed.badLine,
                               [](int point) { return point >= 0 && point <= kCurveMaxLevel; }));
        return;
    case CurveError::PointCount:
    case CurveError::Unreadable:
        FUZZ_CHECK(parsed.badLine == -1 && std::all_of(parsed.points.begin(), parsed.points.end(), zero));
        return;
    }
    const std::vector<int>& curve = parsed.points;

    // Written back one number a line (LF, or CR LF with a byte-order mark and a last line break), the
    // curve reads the same.
    std::string lf;
    std::string crlf = "\xEF\xBB\xBF";
    for (int i = 0; i < kCurvePoints; ++i) {
        const std::string number = std::to_string(curve[static_cast<std::size_t>(i)]);
        lf += (i > 0 ? "\n" : "") + number;
        crlf += number + "\r\n";
    }
    FUZZ_CHECK(parseCurve(lf).ok() && parseCurve(lf).points == curve);
    FUZZ_CHECK(parseCurve(crlf).ok() && parseCurve(crlf).points == curve);

    // Every level byte: bit 7 kept, a level of at most 100, and the inverse finds an input the curve maps
    // back to the same output.
    for (int value = 0; value < 256; ++value) {
        const auto byte = static_cast<std::uint8_t>(value);
        const std::uint8_t corrected = correctLevel(byte, curve);
        FUZZ_CHECK((corrected & 0x80) == (byte & 0x80) && (corrected & 0x7F) <= kCurveMaxLevel);
        const std::uint8_t back = invCorrectLevel(corrected, curve);
        FUZZ_CHECK((back & 0x80) == (byte & 0x80) && (back & 0x7F) <= kCurveMaxLevel);
        FUZZ_CHECK(correctLevel(back, curve) == corrected);
    }

    // A configuration through the curve, back through its inverse and through the curve again ends where
    // the first correction did; the same fields are levels all the way, and nothing else changes.
    Image image(kDefaultImage.begin(), kDefaultImage.end());
    output::setType(image, OutputType::Analog1to10V);
    const std::vector<std::size_t> fields = curveLevelFields(image);
    Image corrected = image;
    FUZZ_CHECK(correctDC(corrected, curve));
    FUZZ_CHECK(curveLevelFields(corrected) == fields);
    for (std::size_t i = 0; i < image.size(); ++i)
        FUZZ_CHECK(image[i] == corrected[i] || std::find(fields.begin(), fields.end(), i) != fields.end());
    Image again = corrected;
    FUZZ_CHECK(invCorrectDC(again, curve));
    FUZZ_CHECK(curveLevelFields(again) == fields);
    FUZZ_CHECK(correctDC(again, curve));
    FUZZ_CHECK(again == corrected);

    // A DALI output is never corrected.
    Image dali = image;
    output::setType(dali, OutputType::DaliLinear);
    const Image daliBefore = dali;
    FUZZ_CHECK(!correctDC(dali, curve) && !invCorrectDC(dali, curve) && dali == daliBefore);
}
