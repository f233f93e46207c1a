// The stick's HID report descriptor (from hidapi or sysfs): the report lengths the program works with,
// and the sysfs path of a hidraw device (the input as a device path).

#include "fuzztarget.h"

#include "link/hiddescriptor.h"

#include <vector>

using namespace lumeq;

LUMEQ_FUZZ_TARGET(hiddescriptor) {
    const HidReportLengths parsed = parseReportDescriptor(input);
    if (!parsed.valid) {
        FUZZ_CHECK(parsed == HidReportLengths{});
    } else {
        for (const int length : {parsed.input, parsed.output, parsed.feature})
            FUZZ_CHECK(length >= 0 && length <= kMaxHidReportLength);
        if (!parsed.reportIds)
            FUZZ_CHECK(parsed.outputReportId == 0 && parsed.featureReportId == 0);
        if (parsed.output == 0)
            FUZZ_CHECK(parsed.outputReportId == 0);
        if (parsed.feature == 0)
            FUZZ_CHECK(parsed.featureReportId == 0);
    }

    // The lengths the program uses: always an input and an output report of a sensible size.
    const HidReportLengths used = withFallbacks(parsed);
    FUZZ_CHECK(used.input > 0 && used.input <= kMaxHidReportLength);
    FUZZ_CHECK(used.output > 0 && used.output <= kMaxHidReportLength);
    FUZZ_CHECK(used.feature >= 0 && used.feature <= kMaxHidReportLength);
    if (!parsed.valid)
        FUZZ_CHECK(used.input == kFallbackInputReportLength && used.output == kFallbackOutputReportLength &&
                   used.feature == kFallbackFeatureReportLength);

    // Push and Pop in front change nothing; an End Collection after a whole descriptor neither.
    std::vector<std::uint8_t> pushPop = {0xA4, 0xB4};
    pushPop.insert(pushPop.end(), input.begin(), input.end());
    FUZZ_CHECK(parseReportDescriptor(pushPop) == parsed);
    if (parsed.valid) {
        std::vector<std::uint8_t> closed(input.begin(), input.end());
        closed.push_back(0xC0);
        FUZZ_CHECK(parseReportDescriptor(closed) == parsed);
    }

    // The input as a device path: a sysfs path only for /dev/hidrawN.
    const std::string path = hidrawDescriptorPath(fuzz::asText(input));
    if (!path.empty()) {
        FUZZ_CHECK(path.starts_with("/sys/class/hidraw/hidraw") && path.ends_with("/device/report_descriptor"));
        FUZZ_CHECK(fuzz::asText(input).starts_with("/dev/hidraw"));
        FUZZ_CHECK(path.find("..") == std::string::npos && path.find('\0') == std::string::npos);
    }
}
