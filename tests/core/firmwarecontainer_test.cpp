#include "files/firmwarecontainer.h"
#include "link/firmwarestate.h"
#include "model/crc16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using lumeq::FirmwareContainer;
using lumeq::FirmwareContainerError;
using lumeq::FirmwareMode;
using lumeq::FirmwareState;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes firmwareBytes(std::size_t length, std::uint8_t seed = 1) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 31 + seed);
    return bytes;
}

std::string hex(unsigned value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        text.push_back(kDigits[(value >> shift) & 0xF]);
    return text;
}

// A container of `lines` data lines carrying `carried`, with the header fields as given.
std::string container(const Bytes& carried, unsigned length, unsigned version, std::optional<unsigned> crc = {},
                      const char* lineEnd = "\r\n") {
    std::string text = "FWX" + hex(length, 4) + hex(version, 2) + hex(crc.value_or(lumeq::crc16(carried)), 4) + lineEnd;
    for (std::size_t i = 0; i < carried.size(); ++i) {
        text += hex(carried[i], 2);
        if (i % 128 == 127 || i + 1 == carried.size())
            text += lineEnd;
    }
    return text;
}

TEST(FirmwareContainer, ValidContainerFillsTheBufferAndLeavesFF) {
    const Bytes firmware = firmwareBytes(300);
    const std::string text = lumeq::formatFirmwareContainer(firmware, 0x52);
    EXPECT_EQ(text.substr(0, 15), "FWX012C52" +
                                      hex(lumeq::crc16([&] {
                                              Bytes carried = firmware;
                                              carried.resize(384, 0xFF);
                                              return carried;
                                          }()),
                                          4) +
                                      "\r\n");
    const FirmwareContainer parsed = lumeq::parseFirmwareContainer(text);
    EXPECT_EQ(parsed.error, FirmwareContainerError::None);
    EXPECT_TRUE(parsed.signatureHolds);
    EXPECT_EQ(parsed.length, 300);
    EXPECT_EQ(parsed.version, 0x52);
    EXPECT_EQ(lumeq::firmwareVersionText(parsed.version), "Version 1.82");
    EXPECT_EQ(parsed.dataLines, 3u);
    ASSERT_EQ(parsed.image.size(), 12288u);
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), parsed.image.begin()));
    EXPECT_TRUE(std::all_of(parsed.image.begin() + 300, parsed.image.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(FirmwareContainer, Cases) {
    const Bytes lines49 = firmwareBytes(49 * 128);
    const Bytes lines96 = firmwareBytes(96 * 128);
    const Bytes lines97 = firmwareBytes(97 * 128);
    std::string lowerCase = container(lines49, 6200, 0x3A);
    for (char& c : lowerCase)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    lowerCase.replace(0, 3, "FWX");
    const struct {
        const char* name;
        std::string text;
        FirmwareContainerError error;
    } cases[] = {
        {"49 lines, more bytes than the length, CRC over all of them", container(lines49, 6200, 80),
         FirmwareContainerError::None},
        {"lower-case digits", lowerCase, FirmwareContainerError::None},
        {"LF line ends", container(lines49, 6200, 80, {}, "\n"), FirmwareContainerError::None},
        {"CRC over the length only does not hold",
         container(lines49, 6200, 80, lumeq::crc16(Bytes(lines49.begin(), lines49.begin() + 6200))),
         FirmwareContainerError::CrcMismatch},
        {"96 lines fill the buffer", container(lines96, 12287, 80), FirmwareContainerError::None},
        {"97 lines are more than the buffer holds", container(lines97, 12287, 80),
         FirmwareContainerError::TooManyLines},
        {"length 0x3000", container(lines49, 0x3000, 80), FirmwareContainerError::TooLong},
        {"length 0xFFFF", container(lines49, 0xFFFF, 80), FirmwareContainerError::TooLong},
        {"length 0", container(lines49, 0, 80), FirmwareContainerError::NoFirmware},
        {"header only", "FWX183850ABCD\r\n", FirmwareContainerError::NoDataLines},
        {"empty", "", FirmwareContainerError::NoDataLines},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FirmwareContainer parsed = lumeq::parseFirmwareContainer(c.text);
        EXPECT_EQ(parsed.error, c.error);
        EXPECT_EQ(parsed.image.size(), 12288u);
        EXPECT_EQ(parsed.usable(), c.error == FirmwareContainerError::None);
        if (c.error == FirmwareContainerError::None) {
            EXPECT_FALSE(lumeq::firmwareContainerProblem(parsed).empty() && !parsed.usable());
            EXPECT_TRUE(lumeq::firmwareContainerProblem(parsed).empty());
        } else {
            EXPECT_FALSE(lumeq::firmwareContainerProblem(parsed).empty());
        }
    }
    // 96 lines: the last byte of the buffer is the last byte of the 96th line; a 97th line is never stored.
    EXPECT_EQ(lumeq::parseFirmwareContainer(container(lines96, 12287, 80)).image.back(), lines96.back());
    const FirmwareContainer tooMany = lumeq::parseFirmwareContainer(container(lines97, 12287, 80));
    EXPECT_EQ(tooMany.dataLines, 97u);
    EXPECT_TRUE(std::equal(tooMany.image.begin(), tooMany.image.end(), lines97.begin()));
}

TEST(FirmwareContainer, HexFieldsReadUpToTheFirstNonDigit) {
    // Length "01G0" reads 0x01, version "5" then a blank reads 5, and a short data line reads its missing pairs
    // as 0 and a pair "7Z" as 7.
    Bytes carried(128, 0x00);
    carried[0] = 0xAB;
    carried[1] = 0x07;
    const std::string text = "FWX01G05 " + hex(lumeq::crc16(carried), 4) + "\r\nAB7Z\r\n";
    const FirmwareContainer parsed = lumeq::parseFirmwareContainer(text);
    EXPECT_EQ(parsed.length, 1);
    EXPECT_EQ(parsed.version, 5);
    EXPECT_EQ(parsed.error, FirmwareContainerError::None);
    EXPECT_EQ(parsed.image[0], 0xAB);
    EXPECT_EQ(parsed.image[1], 0x07);
    EXPECT_EQ(parsed.image[2], 0x00);
    EXPECT_EQ(parsed.image[128], 0xFF);
}

TEST(FirmwareContainer, FileSignatureIsCheckedForFilesOnly) {
    std::string text = container(firmwareBytes(128), 128, 9);
    text.replace(0, 3, "XYZ");
    EXPECT_EQ(lumeq::parseFirmwareContainer(text).error, FirmwareContainerError::None); // built in: only the CRC counts
    EXPECT_EQ(lumeq::checkFirmwareFile(text).error, FirmwareContainerError::NotFirmware);
}

FirmwareContainer parsed(std::size_t length, std::uint8_t version, bool crcHolds = true) {
    const Bytes carried = firmwareBytes((length + 127) / 128 * 128, version);
    return lumeq::parseFirmwareContainer(
        container(carried, static_cast<unsigned>(length), version,
                  crcHolds ? std::nullopt : std::optional<unsigned>(lumeq::crc16(carried) ^ 1u)));
}

TEST(FirmwareState, BuiltInVersionDecision) {
    const struct {
        const char* name;
        FirmwareMode mode;
        int moduleVersion;
        std::uint8_t builtIn;
        bool crcHolds;
        std::optional<std::string> hint;
        bool pending;
    } cases[] = {
        {"module, equal version: no update", FirmwareMode::Module, 80, 80, true, "Version 1.80", false},
        {"module, older built in: update", FirmwareMode::Module, 81, 80, true, "Version 1.80 (Update!)", true},
        {"module, newer built in: update", FirmwareMode::Module, 7, 80, true, "Version 1.80 (Update!)", true},
        {"module without descriptor, built in 0: no update", FirmwareMode::Module, 0, 0, true, "Version 1.0", false},
        {"module without descriptor, built in 1: update", FirmwareMode::Module, 0, 1, true, "Version 1.1 (Update!)",
         true},
        {"module, CRC fails: nothing", FirmwareMode::Module, 7, 80, false, std::nullopt, false},
        {"stick: the version only", FirmwareMode::Stick, 0, 80, true, "Version 1.80", false},
        {"stick, CRC fails: nothing", FirmwareMode::Stick, 0, 80, false, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareState state;
        state.moduleFwVersion = c.moduleVersion;
        const auto icon = lumeq::takeBuiltInFirmware(state, parsed(6200, c.builtIn, c.crcHolds), c.mode);
        EXPECT_EQ(icon ? std::optional<std::string>(icon->hint) : std::nullopt, c.hint);
        EXPECT_EQ(state.fwUpdatePending, c.pending);
        // The version is taken from the header even when the image is not.
        EXPECT_EQ(state.embeddedFwVersion, std::optional<std::uint8_t>(c.builtIn));
        EXPECT_EQ(state.embeddedImage, c.crcHolds);
        EXPECT_EQ(state.hasImage(), c.crcHolds);
        if (c.crcHolds) {
            EXPECT_EQ(state.fwLength, 6200u);
        }
        if (c.crcHolds && c.mode == FirmwareMode::Module) {
            EXPECT_EQ(state.fwVersion, c.builtIn);
        }
    }
}

TEST(FirmwareState, FirmwareFile) {
    FirmwareState state;
    ASSERT_TRUE(lumeq::takeFirmwareFile(state, parsed(1000, 60), FirmwareMode::Module).accepted);
    const Bytes accepted = state.fwImage;
    EXPECT_EQ(state.fwLength, 1000u);
    EXPECT_EQ(state.fwVersion, 60);
    EXPECT_TRUE(state.fwUpdatePending);

    // Refused files leave the accepted image as it was.
    Bytes lines97 = firmwareBytes(97 * 128);
    for (const FirmwareContainer& refused :
         {parsed(2000, 61, false), lumeq::parseFirmwareContainer(container(firmwareBytes(128), 0x3000, 62)),
          lumeq::parseFirmwareContainer(container(lines97, 12000, 63))}) {
        const lumeq::FirmwareFileResult result = lumeq::takeFirmwareFile(state, refused, FirmwareMode::Module);
        EXPECT_FALSE(result.accepted);
        EXPECT_FALSE(result.icon);
        EXPECT_EQ(state.fwLength, 1000u);
        EXPECT_EQ(state.fwVersion, 60);
        EXPECT_EQ(state.fwImage, accepted);
    }

    const struct {
        FirmwareMode mode;
        bool icon;
    } modes[] = {{FirmwareMode::Module, true}, {FirmwareMode::Stick, true}, {FirmwareMode::Demo, false}};
    for (const auto& m : modes) {
        FirmwareState fresh;
        const lumeq::FirmwareFileResult result = lumeq::takeFirmwareFile(fresh, parsed(700, 66), m.mode);
        EXPECT_TRUE(result.accepted);
        EXPECT_TRUE(fresh.fwUpdatePending);
        EXPECT_EQ(fresh.fwLength, 700u);
        EXPECT_EQ(result.icon.has_value(), m.icon);
        if (result.icon) {
            EXPECT_EQ(result.icon->hint, "Version 1.66");
        }
    }
}

} // namespace
