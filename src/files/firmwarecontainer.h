#pragma once
// Firmware containers (*.qfw and the two built into the program): module firmware as hexadecimal text.
//
//   line 1     "FWX", the firmware length (4 hex digits), the version N of firmware 1.N (2 hex digits) and
//              the CRC (4 hex digits): 13 characters
//   line 2..   128 firmware bytes each, 256 hex digits; line n carries bytes 128(n-1)..128n-1. The last
//              line is filled up to 128 bytes, so the lines may carry more bytes than the length says.
//
// Lines end in CR LF, LF or CR alone. A hex field is read up to its first non-hex character (0 if it starts
// with one), either case; a short data line reads its missing pairs as 0. The CRC (CRC-16/UMTS, start 0)
// covers every byte parsed from every data line, the filling of the last line included. The bytes are
// enciphered for the device: the program passes them on and never looks into them.
//
// The image buffer holds kFirmwareImageSize (12288) bytes, 96 lines; it is filled with 0xFF first, so every
// byte no line reaches is 0xFF. A container with more lines is refused whole and never writes past it.

#include "model/memorymap.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumeq {

constexpr std::size_t kFirmwareLineBytes = 128;
constexpr std::size_t kFirmwareMaxDataLines = kFirmwareImageSize / kFirmwareLineBytes; // 96
// A firmware file whose length field reaches this is refused: its firmware could not fit the buffer.
constexpr std::size_t kFirmwareLengthLimit = kFirmwareImageSize;

enum class FirmwareContainerError {
    None,         // the CRC over the data lines holds
    CrcMismatch,  // the CRC does not hold
    TooManyLines, // more than 96 data lines: more than the image buffer holds
    TooLong,      // the length field says 0x3000 or more
    NoFirmware,   // the length field says 0: there is nothing to write
    NotFirmware,  // the first line does not start with "FWX"
    NoDataLines,  // 0 or 1 lines
};

struct FirmwareContainer {
    FirmwareContainerError error = FirmwareContainerError::NoDataLines;
    bool signatureHolds = false;   // the first line starts with "FWX"
    std::uint16_t length = 0;      // header characters 4..7: the number of firmware bytes
    std::uint8_t version = 0;      // header characters 8..9: N of version 1.N
    std::uint16_t storedCrc = 0;   // header characters 10..13
    std::uint16_t computedCrc = 0; // over every byte of every data line (up to the 96th)
    std::size_t dataLines = 0;     // data lines in the text
    // The image buffer: kFirmwareImageSize bytes, 0xFF where no data line reached. Lines beyond the 96th are
    // counted, never stored.
    std::vector<std::uint8_t> image = std::vector<std::uint8_t>(kFirmwareImageSize, 0xFF);

    bool crcHolds() const { return storedCrc == computedCrc; }
    // Usable as a firmware image: the CRC holds, the lines fit the buffer and the length fits too.
    bool usable() const { return error == FirmwareContainerError::None; }
};

// Reads a container's text. The signature is noted but not required here: the built-in containers are
// taken whatever their signature says, and the file branch of Load has tested it already. The error is,
// in this order of precedence: NoDataLines, TooManyLines, TooLong, CrcMismatch, None (NotFirmware only
// from checkFirmwareFile). Never reads outside `text` nor writes past the buffer.
FirmwareContainer parseFirmwareContainer(std::string_view text);

// A firmware file as `lumeq-cli fw check` and the Load button see it: as parseFirmwareContainer, and
// NotFirmware when the first line does not start with "FWX".
FirmwareContainer checkFirmwareFile(std::string_view text);

// One line about a container that cannot be used (for the command line); empty for None.
std::string firmwareContainerProblem(const FirmwareContainer& container);

// "Version 1." and N in decimal: the firmware version as the program shows it.
std::string firmwareVersionText(std::uint8_t version);

// The text of a container for the given firmware bytes (at most kFirmwareImageSize of them): header and as
// many 128-byte lines as the bytes need, the last one filled with 0xFF, lines ending in CR LF, digits in
// upper case. For tools and tests; the program itself never writes containers.
std::string formatFirmwareContainer(const std::vector<std::uint8_t>& firmware, std::uint8_t version);

// ---- The containers built into the program ----

struct BuiltInFirmware {
    std::string text;
    // A container the test build generates: valid, but made-up bytes. It is offered only to the simulated
    // stick, never to a real device.
    bool testContainer = false;
};

// The built-in container: the 60 Hz variant when `sixtyHz`, else the standard firmware. Nothing when the
// build carries none (the containers are build inputs: LUMEQ_FIRMWARE_50HZ / LUMEQ_FIRMWARE_60HZ).
std::optional<BuiltInFirmware> builtInFirmware(bool sixtyHz);

} // namespace lumeq
