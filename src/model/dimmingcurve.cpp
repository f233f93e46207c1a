#include "model/dimmingcurve.h"

#include "model/settings.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

namespace lumeq {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), asciiLower);
    return text;
}

bool hasCurveExtension(const std::filesystem::path& name) {
    return lowerAscii(name.extension().string()) == ".dc";
}

std::string_view trimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Splits the text into lines; a line break after the last line does not start another one.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    if (text.empty())
        return lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::optional<int> readLevel(std::string_view line) {
    line = trimBlanks(line);
    int value = 0;
    const char* first = line.data();
    const char* last = line.data() + line.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (line.empty() || error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

int levelOf(std::uint8_t value) {
    return LevelByte{value}.boundedLevel();
}

template <typename Map> bool mapLevels(Image& image, const std::vector<int>& curve, Map map) {
    if (image.size() < kConfigSize || output::isDali(output::type(image)) || !isValidCurve(curve))
        return false;
    for (const std::size_t field : curveLevelFields(image))
        image[field] = map(image[field], curve);
    return true;
}

} // namespace

CurveListing listCurveFiles(const std::filesystem::path& folder) {
    CurveListing listing;
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return listing;
    listing.folderFound = true;

    std::filesystem::directory_iterator entries(folder, error);
    if (error)
        return listing;
    for (const std::filesystem::directory_entry& entry : entries) {
        const std::filesystem::path name = entry.path().filename();
        if (!hasCurveExtension(name) || !entry.is_regular_file(error) || error)
            continue;
        const std::uintmax_t size = entry.file_size(error);
        if (error || size < kCurveMinFileSize)
            continue;
        listing.names.push_back(name);
    }
    std::sort(listing.names.begin(), listing.names.end(),
              [](const std::filesystem::path& a, const std::filesystem::path& b) {
                  const std::string la = lowerAscii(a.string());
                  const std::string lb = lowerAscii(b.string());
                  return la != lb ? la < lb : a.string() < b.string();
              });
    return listing;
}

CurveParse parseCurve(std::string_view text) {
    CurveParse result;
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    const std::vector<std::string_view> lines = splitLines(text);
    if (lines.size() != static_cast<std::size_t>(kCurvePoints)) {
        result.error = CurveError::PointCount;
        return result;
    }
    for (int i = 0; i < kCurvePoints; ++i) {
        const std::optional<int> level = readLevel(lines[static_cast<std::size_t>(i)]);
        if (!level || *level < 0 || *level > kCurveMaxLevel) {
            result.error = CurveError::WrongData;
            result.badLine = i;
            return result;
        }
        result.points[static_cast<std::size_t>(i)] = *level;
    }
    return result;
}

CurveParse readCurveFile(const std::filesystem::path& file) {
    CurveParse unreadable;
    unreadable.error = CurveError::Unreadable;

    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return unreadable;
    std::string text(kCurveMaxFileSize + 1, '\0');
    stream.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (stream.bad())
        return unreadable;
    const auto length = static_cast<std::size_t>(stream.gcount());
    if (length > kCurveMaxFileSize)
        return unreadable;
    text.resize(length);
    return parseCurve(text);
}

std::string_view curveErrorText(CurveError error) {
    switch (error) {
    case CurveError::None:
        return {};
    case CurveError::PointCount:
        return "Error: Nr. of points is not 101!";
    case CurveError::WrongData:
        return "Error: Wrong Data!";
    case CurveError::Unreadable:
        return "Error: File cannot be read!";
    }
    return {};
}

bool isValidCurve(const std::vector<int>& curve) {
    return curve.size() == static_cast<std::size_t>(kCurvePoints) &&
           std::all_of(curve.begin(), curve.end(), [](int point) { return point >= 0 && point <= kCurveMaxLevel; });
}

std::vector<std::size_t> curveLevelFields(const Image& image) {
    return correctedLevelBytes(image);
}

std::uint8_t correctLevel(std::uint8_t value, const std::vector<int>& curve) {
    const int output = curve[static_cast<std::size_t>(levelOf(value))];
    return LevelByte::make(output, LevelByte{value}.relayOff()).value;
}

std::uint8_t invCorrectLevel(std::uint8_t value, const std::vector<int>& curve) {
    const int wanted = levelOf(value);
    int best = 0;
    int bestDistance = kCurveMaxLevel + 1;
    // From the top down, so that among equal outputs (or equal distances) the highest input wins.
    for (int input = kCurvePoints - 1; input >= 0; --input) {
        const int distance = std::abs(curve[static_cast<std::size_t>(input)] - wanted);
        if (distance < bestDistance) {
            best = input;
            bestDistance = distance;
            if (distance == 0)
                break;
        }
    }
    return LevelByte::make(best, LevelByte{value}.relayOff()).value;
}

bool correctDC(Image& image, const std::vector<int>& curve) {
    return mapLevels(image, curve, correctLevel);
}

bool invCorrectDC(Image& image, const std::vector<int>& curve) {
    return mapLevels(image, curve, invCorrectLevel);
}

bool correctForModule(Image& image, const CurveState& curves) {
    return correctDC(image, curves.dimmingCurve);
}

bool uncorrectFromModule(Image& image, CurveState& curves) {
    if (!curves.curveChosen() || curves.levelsUncorrected || !invCorrectDC(image, curves.dimmingCurve))
        return false;
    curves.levelsUncorrected = true;
    return true;
}

} // namespace lumeq
