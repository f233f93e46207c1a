#pragma once
// Report sizes taken from a USB HID report descriptor. The stick tells its report lengths only through
// its descriptor; hidapi hands the descriptor over (hid_get_report_descriptor, hidapi 0.14 and later) or
// Linux shows it in sysfs. The parser is pure and bounds-checked: descriptors come from outside.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace lumeq {

// Report lengths used when the descriptor is unknown or tells nothing usable.
constexpr int kFallbackInputReportLength = 64;
constexpr int kFallbackOutputReportLength = 64;
constexpr int kFallbackFeatureReportLength = 0;

// Reports longer than this are refused as nonsense (the largest report buffer of Linux hidraw).
constexpr int kMaxHidReportLength = 16384;

struct HidReportLengths {
    // The descriptor was read to its end, every item was whole, and it declares at least one report.
    bool valid = false;
    // Bytes of the largest report of each kind, the report ID byte not counted; 0 when there is none.
    int input = 0;
    int output = 0;
    int feature = 0;
    // The reports carry a report ID: hidapi then delivers and expects it as the first byte.
    bool reportIds = false;
    // The report ID of the largest output and feature report (0 without report IDs).
    std::uint8_t outputReportId = 0;
    std::uint8_t featureReportId = 0;

    bool operator==(const HidReportLengths&) const = default;
};

// Sums Report Size x Report Count of the Input, Output and Feature main items per report ID (Push and
// Pop of the global items included; long items skipped). A truncated item, a Report ID of 0 or above
// 255, an unbalanced Pop, Push deeper than 16 levels or a report longer than kMaxHidReportLength make
// the result invalid.
HidReportLengths parseReportDescriptor(std::span<const std::uint8_t> descriptor);

// The lengths the program works with: an invalid result gives the fallback lengths; a valid one keeps
// its lengths, except that a missing input or output report takes the fallback length.
HidReportLengths withFallbacks(HidReportLengths parsed);

// The sysfs file that holds the report descriptor of a Linux hidraw node ("/dev/hidraw3" ->
// "/sys/class/hidraw/hidraw3/device/report_descriptor"); empty for any other kind of device path.
std::string hidrawDescriptorPath(std::string_view devicePath);

} // namespace lumeq
