#include "link/hiddescriptor.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace lumeq {

namespace {

// Item types and tags of the short items that matter for report sizes.
constexpr std::uint8_t kTypeMain = 0;
constexpr std::uint8_t kTypeGlobal = 1;
constexpr std::uint8_t kMainInput = 0x8;
constexpr std::uint8_t kMainOutput = 0x9;
constexpr std::uint8_t kMainFeature = 0xB;
constexpr std::uint8_t kGlobalReportSize = 0x7;
constexpr std::uint8_t kGlobalReportId = 0x8;
constexpr std::uint8_t kGlobalReportCount = 0x9;
constexpr std::uint8_t kGlobalPush = 0xA;
constexpr std::uint8_t kGlobalPop = 0xB;
constexpr std::uint8_t kLongItemPrefix = 0xFE;

constexpr std::size_t kMaxPushDepth = 16;
// Bit counts are held below this bound so that sums never overflow.
constexpr std::uint64_t kTooManyBits = std::uint64_t{kMaxHidReportLength} * 8 + 1;

enum Kind { Input = 0, Output = 1, Feature = 2, KindCount = 3 };

struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

} // namespace

HidReportLengths parseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    const HidReportLengths invalid;
    HidReportLengths result;
    Globals globals;
    std::vector<Globals> pushed;
    // Bits of each kind of report, per report ID.
    std::array<std::array<std::uint64_t, 256>, KindCount> bits{};
    bool anyReport = false;

    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const std::uint8_t prefix = descriptor[pos];
        const std::size_t left = descriptor.size() - pos - 1; // bytes after the prefix
        if (prefix == kLongItemPrefix) {
            if (left < 2 || left - 2 < descriptor[pos + 1])
                return invalid;
            pos += 3 + descriptor[pos + 1];
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (left < size)
            return invalid;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i)
            value |= std::uint32_t{descriptor[pos + 1 + i]} << (8 * i);
        pos += 1 + size;

        const std::uint8_t type = (prefix >> 2) & 3;
        const std::uint8_t tag = prefix >> 4;
        if (type == kTypeMain) {
            int kind = -1;
            if (tag == kMainInput)
                kind = Input;
            else if (tag == kMainOutput)
                kind = Output;
            else if (tag == kMainFeature)
                kind = Feature;
            if (kind < 0)
                continue; // collections
            std::uint64_t& sum = bits[kind][globals.reportId];
            sum += std::uint64_t{globals.reportSize} * globals.reportCount; // at most 2^64 - 2^33 + 1
            if (sum >= kTooManyBits)
                return invalid;
            anyReport = true;
        } else if (type == kTypeGlobal) {
            switch (tag) {
            case kGlobalReportSize:
                globals.reportSize = value;
                break;
            case kGlobalReportCount:
                globals.reportCount = value;
                break;
            case kGlobalReportId:
                if (value == 0 || value > 255)
                    return invalid;
                globals.reportId = static_cast<std::uint8_t>(value);
                result.reportIds = true;
                break;
            case kGlobalPush:
                if (pushed.size() >= kMaxPushDepth)
                    return invalid;
                pushed.push_back(globals);
                break;
            case kGlobalPop:
                if (pushed.empty())
                    return invalid;
                globals = pushed.back();
                pushed.pop_back();
                break;
            default:
                break;
            }
        }
        // Local items and reserved types do not change report sizes.
    }
    if (!anyReport)
        return invalid;

    auto largest = [&](Kind kind, std::uint8_t* id) {
        int length = 0;
        for (std::size_t reportId = 0; reportId < 256; ++reportId) {
            const int bytes = static_cast<int>((bits[kind][reportId] + 7) / 8);
            if (bytes > length) {
                length = bytes;
                if (id != nullptr)
                    *id = static_cast<std::uint8_t>(reportId);
            }
        }
        return length;
    };
    result.input = largest(Input, nullptr);
    result.output = largest(Output, &result.outputReportId);
    result.feature = largest(Feature, &result.featureReportId);
    result.valid = true;
    return result;
}

HidReportLengths withFallbacks(HidReportLengths parsed) {
    if (!parsed.valid) {
        HidReportLengths fallback;
        fallback.input = kFallbackInputReportLength;
        fallback.output = kFallbackOutputReportLength;
        fallback.feature = kFallbackFeatureReportLength;
        return fallback;
    }
    if (parsed.input == 0)
        parsed.input = kFallbackInputReportLength;
    if (parsed.output == 0)
        parsed.output = kFallbackOutputReportLength;
    return parsed;
}

std::string hidrawDescriptorPath(std::string_view devicePath) {
    constexpr std::string_view prefix = "/dev/hidraw";
    if (!devicePath.starts_with(prefix) || devicePath.size() == prefix.size())
        return {};
    const std::string_view number = devicePath.substr(prefix.size());
    if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return "/sys/class/hidraw/hidraw" + std::string(number) + "/device/report_descriptor";
}

} // namespace lumeq
