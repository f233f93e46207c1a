#include "link/hiddescriptor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

using lumeq::HidReportLengths;
using lumeq::parseReportDescriptor;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Items = std::vector<Bytes>;

Bytes join(const Items& items) {
    Bytes bytes;
    for (const Bytes& item : items)
        bytes.insert(bytes.end(), item.begin(), item.end());
    return bytes;
}

// A vendor-defined device with one input and one output report of `length` bytes and no report IDs,
// as a simple HID programming stick declares itself.
Items plainInOut(std::uint8_t length) {
    return {{0x06, 0x00, 0xFF}, {0x09, 0x01},   {0xA1, 0x01}, {0x15, 0x00}, {0x26, 0xFF, 0x00},
            {0x75, 0x08},       {0x95, length}, {0x09, 0x01}, {0x81, 0x02}, {0x95, length},
            {0x09, 0x02},       {0x91, 0x02},   {0xC0}};
}

// Two input, two output and one feature report, each with its report ID.
Items withReportIds() {
    // clang-format off
    return {{0x06, 0x00, 0xFF}, {0x09, 0x01}, {0xA1, 0x01}, {0x75, 0x08},
            {0x85, 0x01},       {0x95, 0x08}, {0x81, 0x02}, // input 1: 8 bytes
            {0x85, 0x02},       {0x95, 0x20}, {0x81, 0x02}, // input 2: 32 bytes
            {0x85, 0x03},       {0x95, 0x10}, {0x91, 0x02}, // output 3: 16 bytes
            {0x85, 0x04},       {0x95, 0x3F}, {0x91, 0x02}, // output 4: 63 bytes
            {0x85, 0x05},       {0x95, 0x04}, {0xB1, 0x02}, // feature 5: 4 bytes
            {0xC0}};
    // clang-format on
}

HidReportLengths lengths(int input, int output, int feature, bool reportIds = false, std::uint8_t outputId = 0,
                         std::uint8_t featureId = 0) {
    HidReportLengths result;
    result.valid = true;
    result.input = input;
    result.output = output;
    result.feature = feature;
    result.reportIds = reportIds;
    result.outputReportId = outputId;
    result.featureReportId = featureId;
    return result;
}

struct DescriptorCase {
    std::string name;
    Bytes descriptor;
    HidReportLengths expected;
};

void PrintTo(const DescriptorCase& c, std::ostream* os) {
    *os << c.name;
}

class HidDescriptorTable : public testing::TestWithParam<DescriptorCase> {};

TEST_P(HidDescriptorTable, ParsesReportLengths) {
    const DescriptorCase& c = GetParam();
    // An exact-size heap copy: any read past the end is caught by AddressSanitizer.
    const Bytes descriptor = c.descriptor;
    EXPECT_EQ(parseReportDescriptor(descriptor), c.expected);
}

const HidReportLengths kInvalid;

INSTANTIATE_TEST_SUITE_P(
    HidDescriptor, HidDescriptorTable,
    testing::Values(
        DescriptorCase{"EightByteInOut", join(plainInOut(8)), lengths(8, 8, 0)},
        DescriptorCase{"SixtyFourByteInOut", join(plainInOut(64)), lengths(64, 64, 0)},
        DescriptorCase{"ReportIdsTakeLargestReport", join(withReportIds()), lengths(32, 63, 4, true, 4, 5)},
        // 3 bits + 5 bits of padding make one byte; 12 single bits round up to two bytes.
        DescriptorCase{"BitFieldsRoundUp",
                       {0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x75, 0x05, 0x95, 0x01, 0x81, 0x03, 0x75, 0x01, 0x95, 0x0C,
                        0x91, 0x02},
                       lengths(1, 2, 0)},
        DescriptorCase{"PopRestoresPushedGlobals",
                       {0x75, 0x08, 0x95, 0x10, 0xA4, 0x95, 0x02, 0x81, 0x02, 0xB4, 0x91, 0x02},
                       lengths(2, 16, 0)},
        DescriptorCase{
            "LongItemSkipped", {0xFE, 0x02, 0x10, 0x81, 0x02, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02}, lengths(4, 0, 0)},
        DescriptorCase{
            "FourByteReportCount", {0x75, 0x08, 0x97, 0x00, 0x01, 0x00, 0x00, 0x81, 0x02}, lengths(256, 0, 0)},
        DescriptorCase{
            "ItemsSumWithinOneReport", {0x75, 0x08, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x02}, lengths(8, 0, 0)},
        DescriptorCase{"Empty", {}, kInvalid}, DescriptorCase{"NoMainItem", {0x75, 0x08, 0x95, 0x40}, kInvalid},
        DescriptorCase{"TruncatedShortItem", {0x75, 0x08, 0x95}, kInvalid},
        DescriptorCase{"TruncatedFourByteItem", {0x75, 0x08, 0x97, 0x40, 0x00, 0x81, 0x02}, kInvalid},
        DescriptorCase{
            "TruncatedLongItem", {0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0xFE, 0x05, 0x10, 0x01, 0x02}, kInvalid},
        DescriptorCase{"LongItemWithoutHeader", {0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0xFE, 0x05}, kInvalid},
        DescriptorCase{"PopWithoutPush", {0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0xB4}, kInvalid},
        DescriptorCase{"PushTooDeep", Bytes(17, 0xA4), kInvalid},
        DescriptorCase{"ReportIdZero", {0x85, 0x00, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02}, kInvalid},
        DescriptorCase{"ReportIdAbove255", {0x86, 0x00, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02}, kInvalid},
        DescriptorCase{
            "HugeSizeTimesCount", {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02}, kInvalid},
        DescriptorCase{"ReportJustOverTheLimit",
                       {0x75, 0x08, 0x96, 0x01, 0x40, 0x81, 0x02}, // 16385 bytes
                       kInvalid},
        DescriptorCase{"ReportAtTheLimit", {0x75, 0x08, 0x96, 0x00, 0x40, 0x81, 0x02}, lengths(16384, 0, 0)}),
    [](const testing::TestParamInfo<DescriptorCase>& info) { return info.param.name; });

TEST(HidDescriptor, EveryCutThroughAnItemIsInvalid) {
    const Items items = withReportIds();
    const Bytes whole = join(items);
    std::vector<bool> boundary(whole.size() + 1, false);
    std::size_t end = 0;
    for (const Bytes& item : items)
        boundary[end += item.size()] = true;

    for (std::size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE("prefix of " + std::to_string(size) + " bytes");
        const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        const HidReportLengths parsed = parseReportDescriptor(prefix);
        if (!boundary[size]) {
            EXPECT_FALSE(parsed.valid);
        }
        EXPECT_LE(parsed.input, 32);
        EXPECT_LE(parsed.output, 63);
    }
    EXPECT_TRUE(parseReportDescriptor(whole).valid);
}

TEST(HidDescriptor, RandomBytesStayWithinLimits) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 2000; ++round) {
        Bytes junk(random() % 64);
        for (auto& byte : junk)
            byte = static_cast<std::uint8_t>(random());
        const HidReportLengths parsed = parseReportDescriptor(junk);
        if (parsed.valid) {
            EXPECT_LE(parsed.input, lumeq::kMaxHidReportLength);
            EXPECT_LE(parsed.output, lumeq::kMaxHidReportLength);
            EXPECT_LE(parsed.feature, lumeq::kMaxHidReportLength);
        } else {
            EXPECT_EQ(parsed, kInvalid);
        }
    }
}

TEST(HidDescriptor, FallbacksFillWhatTheDescriptorDoesNotTell) {
    struct Case {
        const char* name;
        HidReportLengths parsed;
        HidReportLengths used;
    };
    HidReportLengths fallback;
    fallback.input = 64;
    fallback.output = 64;
    const Case cases[] = {
        {"invalid descriptor", kInvalid, fallback},
        {"complete descriptor kept", lengths(8, 8, 2), lengths(8, 8, 2)},
        {"input only", lengths(8, 0, 0), lengths(8, 64, 0)},
        {"output only, report IDs kept", lengths(0, 33, 0, true, 7), lengths(64, 33, 0, true, 7)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(lumeq::withFallbacks(c.parsed), c.used);
    }
}

TEST(HidDescriptor, SysfsPathOnlyForHidrawNodes) {
    const std::pair<const char*, const char*> cases[] = {
        {"/dev/hidraw3", "/sys/class/hidraw/hidraw3/device/report_descriptor"},
        {"/dev/hidraw12", "/sys/class/hidraw/hidraw12/device/report_descriptor"},
        {"/dev/hidraw", ""},
        {"/dev/hidraw1/../../etc", ""},
        {"1-2:1.0", ""},
        {"0001:0005:00", ""},
        {"", ""},
    };
    for (const auto& [devicePath, sysfsPath] : cases)
        EXPECT_EQ(lumeq::hidrawDescriptorPath(devicePath), sysfsPath) << devicePath;
}

} // namespace
