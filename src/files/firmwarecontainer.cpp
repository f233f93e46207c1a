#include "files/firmwarecontainer.h"

#include "model/crc16.h"
#include "model/hex.h"

#include <QFile>

#include <algorithm>
#include <array>

namespace lumeq {

namespace {

constexpr std::string_view kSignature = "FWX";
constexpr std::size_t kLengthAt = 3; // characters 4..7, counted from 1
constexpr std::size_t kLengthDigits = 4;
constexpr std::size_t kVersionAt = 7; // characters 8..9
constexpr std::size_t kVersionDigits = 2;
constexpr std::size_t kCrcAt = 9; // characters 10..13
constexpr std::size_t kCrcDigits = 4;
constexpr std::string_view kLineEnd = "\r\n";

// The next line of a text: CR LF, LF and CR alone end a line; a line end at the very end of the text does
// not start another (empty) line.
std::optional<std::string_view> nextLine(std::string_view text, std::size_t& pos) {
    if (pos >= text.size())
        return std::nullopt;
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n')
        ++end;
    const std::string_view line = text.substr(pos, end - pos);
    pos = end;
    if (pos < text.size()) {
        const bool cr = text[pos] == '\r';
        ++pos;
        if (cr && pos < text.size() && text[pos] == '\n')
            ++pos;
    }
    return line;
}

// The hex number in characters [first, first + count) of the line, as far as they exist, read up to the
// first character that is not a hex digit; 0 when there is none. count is at most 4.
std::uint16_t hexField(std::string_view line, std::size_t first, std::size_t count) {
    if (first >= line.size())
        return 0;
    unsigned value = 0;
    for (const char c : line.substr(first, count)) {
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<std::string> resourceText(const char* path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

FirmwareContainer parseFirmwareContainer(std::string_view text) {
    FirmwareContainer container;
    std::size_t pos = 0;
    const auto header = nextLine(text, pos);
    auto line = nextLine(text, pos);
    if (!header || !line) {
        container.error = FirmwareContainerError::NoDataLines;
        return container;
    }
    container.signatureHolds = header->substr(0, kSignature.size()) == kSignature;
    container.length = hexField(*header, kLengthAt, kLengthDigits);
    container.version = static_cast<std::uint8_t>(hexField(*header, kVersionAt, kVersionDigits));
    container.storedCrc = hexField(*header, kCrcAt, kCrcDigits);

    std::uint16_t crc = 0;
    for (; line; line = nextLine(text, pos)) {
        if (container.dataLines < kFirmwareMaxDataLines) {
            std::array<std::uint8_t, kFirmwareLineBytes> values{};
            for (std::size_t j = 0; j < kFirmwareLineBytes; ++j)
                values[j] = static_cast<std::uint8_t>(hexField(*line, 2 * j, 2));
            crc = crc16(values, crc);
            std::copy(values.begin(), values.end(),
                      container.image.begin() + static_cast<std::ptrdiff_t>(container.dataLines * kFirmwareLineBytes));
        }
        ++container.dataLines;
    }
    container.computedCrc = crc;
    if (container.dataLines > kFirmwareMaxDataLines)
        container.error = FirmwareContainerError::TooManyLines;
    else if (container.length >= kFirmwareLengthLimit)
        container.error = FirmwareContainerError::TooLong;
    else if (container.length == 0)
        container.error = FirmwareContainerError::NoFirmware;
    else if (!container.crcHolds())
        container.error = FirmwareContainerError::CrcMismatch;
    else
        container.error = FirmwareContainerError::None;
    return container;
}

FirmwareContainer checkFirmwareFile(std::string_view text) {
    FirmwareContainer container = parseFirmwareContainer(text);
    if (!container.signatureHolds && container.error != FirmwareContainerError::NoDataLines)
        container.error = FirmwareContainerError::NotFirmware;
    return container;
}

std::string firmwareContainerProblem(const FirmwareContainer& container) {
    switch (container.error) {
    case FirmwareContainerError::None:
        return {};
    case FirmwareContainerError::CrcMismatch: {
        std::string text = "the CRC does not hold (stored ";
        appendHex(text, container.storedCrc, 4);
        text += ", computed ";
        appendHex(text, container.computedCrc, 4);
        return text + ")";
    }
    case FirmwareContainerError::TooManyLines:
        return std::to_string(container.dataLines) + " data lines, more than the " +
               std::to_string(kFirmwareMaxDataLines) + " the firmware image holds";
    case FirmwareContainerError::TooLong:
        return "the length field says " + std::to_string(container.length) +
               " bytes; a firmware must be shorter than " + std::to_string(kFirmwareLengthLimit) + " bytes";
    case FirmwareContainerError::NoFirmware:
        return "the length field says 0 bytes: the container holds no firmware";
    case FirmwareContainerError::NotFirmware:
        return "not a firmware container (its first line does not start with FWX)";
    case FirmwareContainerError::NoDataLines:
        return "no data lines (empty or cut short)";
    }
    return {};
}

std::string firmwareVersionText(std::uint8_t version) {
    return "Version 1." + std::to_string(version);
}

std::string formatFirmwareContainer(const std::vector<std::uint8_t>& firmware, std::uint8_t version) {
    const std::size_t length = std::min(firmware.size(), kFirmwareImageSize);
    const std::size_t lines = std::max<std::size_t>(1, (length + kFirmwareLineBytes - 1) / kFirmwareLineBytes);
    std::vector<std::uint8_t> carried(lines * kFirmwareLineBytes, 0xFF);
    std::copy_n(firmware.begin(), length, carried.begin());

    std::string out(kSignature);
    appendHex(out, static_cast<unsigned>(length), 4);
    appendHex(out, version, 2);
    appendHex(out, crc16(carried), 4);
    out += kLineEnd;
    for (std::size_t i = 0; i < carried.size(); ++i) {
        appendHex(out, carried[i], 2);
        if (i % kFirmwareLineBytes == kFirmwareLineBytes - 1)
            out += kLineEnd;
    }
    return out;
}

std::optional<BuiltInFirmware> builtInFirmware(bool sixtyHz) {
    // Real containers are built in as :/firmware/50.qfw and 60.qfw; the test build's generated ones under
    // :/firmware/test/.
    if (auto text = resourceText(sixtyHz ? ":/firmware/60.qfw" : ":/firmware/50.qfw"))
        return BuiltInFirmware{std::move(*text), false};
    if (auto text = resourceText(sixtyHz ? ":/firmware/test/60.qfw" : ":/firmware/test/50.qfw"))
        return BuiltInFirmware{std::move(*text), true};
    return std::nullopt;
}

} // namespace lumeq
