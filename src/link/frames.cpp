#include "link/frames.h"

#include "model/crc16.h"
#include "model/hex.h"

#include <algorithm>
#include <cstdio>

namespace lumeq {

namespace {

constexpr std::uint8_t kModuleMark0 = 0xAA;
constexpr std::uint8_t kModuleMark1 = 0x55;
constexpr std::uint8_t kModuleReadBlock = 0xF2;
constexpr std::uint8_t kModuleWriteBlock = 0xF1;
constexpr std::uint8_t kModuleEraseAll = 0xFC;
constexpr std::uint8_t kBlockCommandLength = 0x10;

constexpr std::uint8_t kModuleAnswerMark = 0xC0;
constexpr std::uint8_t kBlockHeaderCode = 0x44;
constexpr std::uint8_t kConfirmationCode = 0x33;
constexpr std::uint8_t kStickAloneCode0 = 0x50;
constexpr std::uint8_t kStickAloneCode1 = 0x51;

constexpr std::uint8_t kStickMark0 = 0xCA;
constexpr std::uint8_t kStickMark1 = 0xC5;
constexpr std::size_t kStickMemorySize = 256;

std::uint8_t low(std::uint16_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
std::uint8_t high(std::uint16_t value) {
    return static_cast<std::uint8_t>(value >> 8);
}

Bytes blockFrame(std::uint8_t command, std::uint16_t address) {
    return {kModuleMark0, kModuleMark1, command, kBlockCommandLength, low(address), high(address), 0x00, 0x00};
}

// `count` bytes of `source` from `offset` on; bytes past its end are 0xFF.
Bytes bytesFrom(std::span<const std::uint8_t> source, std::size_t offset, std::size_t count) {
    Bytes out(count, 0xFF);
    for (std::size_t i = 0; i < count; ++i) {
        if (offset + i < source.size())
            out[i] = source[offset + i];
    }
    return out;
}

// CA C5 code crc-lo crc-hi address count data: the write frames of the device memory.
StickFrame memoryWriteFrame(std::uint8_t code, std::span<const std::uint8_t> memory, std::uint8_t address,
                            std::size_t count, std::string logText) {
    Bytes covered = {address, static_cast<std::uint8_t>(count)};
    const Bytes data = bytesFrom(memory, address, count);
    covered.insert(covered.end(), data.begin(), data.end());
    const std::uint16_t crc = crc16(covered);
    StickFrame frame;
    frame.bytes.reserve(5 + covered.size());
    for (const std::uint8_t byte : {kStickMark0, kStickMark1, code, low(crc), high(crc)})
        frame.bytes.push_back(byte);
    for (const std::uint8_t byte : covered)
        frame.bytes.push_back(byte);
    frame.logText = std::move(logText);
    return frame;
}

} // namespace

std::uint16_t slotAddress(int slot) {
    if (slot < 1 || slot > kSlotCount)
        return 0;
    return static_cast<std::uint16_t>((slot - 1) * 0x4000);
}

std::uint16_t firmwareBlockAddress(std::size_t block) {
    return static_cast<std::uint16_t>(kBlockSize * (kFirstFirmwareBlock + block));
}

Bytes readBlockFrame(std::uint16_t address) {
    return blockFrame(kModuleReadBlock, address);
}

Bytes writeBlockFrame(std::uint16_t address) {
    return blockFrame(kModuleWriteBlock, address);
}

Bytes eraseAllFrame() {
    return {kModuleMark0, kModuleMark1, kModuleEraseAll, 0x00, 0x55, 0xAA, 0x00, 0x00};
}

std::vector<Bytes> blockDataReports(const Block& block) {
    std::vector<Bytes> reports;
    reports.reserve(kBlockReports);
    for (std::size_t offset = 0; offset < kBlockSize; offset += kDataReportSize)
        reports.emplace_back(block.begin() + offset, block.begin() + offset + kDataReportSize);
    return reports;
}

ModuleAnswer classifyModuleAnswer(std::span<const std::uint8_t> report) {
    ModuleAnswer answer;
    if (report.size() < 2)
        return answer;
    if (report[0] == kModuleAnswerMark && report[1] == kBlockHeaderCode && report.size() >= 5) {
        answer.kind = ModuleAnswerKind::BlockHeader;
        answer.dataLength = report[4];
    } else if (report[0] == kModuleAnswerMark && report[1] == kConfirmationCode && report.size() >= 5) {
        answer.kind = ModuleAnswerKind::WriteConfirmation;
        answer.address = static_cast<std::uint16_t>(report[2] | report[3] << 8);
        answer.status = report[4];
    } else if (report[0] == kStickAnswerMark && (report[1] == kStickAloneCode0 || report[1] == kStickAloneCode1)) {
        answer.kind = ModuleAnswerKind::StickAnswer;
    }
    return answer;
}

std::uint8_t stickReadCount(std::uint8_t address) {
    if (address + kStickMemoryReadCount >= kStickMemorySize)
        return static_cast<std::uint8_t>(kStickMemorySize - address);
    return kStickMemoryReadCount;
}

StickFrame stickReadMemoryFrame(std::uint8_t address) {
    return {{kStickMark0, kStickMark1, kStickReadMemory, address, stickReadCount(address)},
            "Read Memory 0x" + hexByte(address)};
}

StickFrame stickWriteMemoryFrame(std::span<const std::uint8_t> memory, std::uint8_t address) {
    StickFrame frame = memoryWriteFrame(kStickWriteMemory, memory, address, kStickMemoryWriteCount,
                                        "Write Memory 0x" + hexByte(address));
    frame.bytes.push_back(0x00);
    return frame;
}

StickFrame stickWriteEeFrame(std::span<const std::uint8_t> memory, std::uint8_t address) {
    return memoryWriteFrame(kStickWriteEe, memory, address, kStickEeWriteCount,
                            "Write Memory 0x" + hexByte(address) + " write EE");
}

FirmwareFrame stickFirmwareFrame(std::span<const std::uint8_t> firmware, std::size_t offset, int phase) {
    FirmwareFrame result;
    if (phase < 1 || phase > 3)
        return result;
    const std::size_t count = phase == 3 ? kFirmwareLastPartSize : kFirmwarePartSize;
    const Bytes data = bytesFrom(firmware, offset, count);
    const std::uint16_t crc = crc16(data);
    Bytes& bytes = result.frame.bytes;
    bytes = {kStickMark0, kStickMark1, kStickFirmwarePart, low(crc), high(crc), static_cast<std::uint8_t>(phase)};
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.resize(6 + kFirmwarePartSize, 0x00);
    result.taken = count;
    return result;
}

StickFrame stickResetFrame() {
    return {{kStickMark0, kStickMark1, kStickReset}, "Reset!"};
}

void placeFrame(Bytes& buffer, std::span<const std::uint8_t> frame, std::size_t reportLength) {
    if (buffer.size() < std::max(reportLength, frame.size()))
        buffer.resize(std::max(reportLength, frame.size()), 0x00);
    std::copy(frame.begin(), frame.end(), buffer.begin());
}

bool isKnownStickAnswer(std::uint8_t code) {
    return code == kStickBackToWaiting || code == kStickReadData ||
           (code >= kStickMemoryWritten && code <= kStickFirmwareRecordRefused) || code == kStickIdentification;
}

std::optional<StickMemoryData> parseStickMemoryData(std::span<const std::uint8_t> report) {
    constexpr std::size_t kDataStart = 6;
    if (report.size() < kDataStart || report[0] != kStickAnswerMark || report[1] != kStickReadData)
        return std::nullopt;
    StickMemoryData answer;
    answer.address = report[4];
    answer.count = report[5];
    if (report.size() < kDataStart + answer.count)
        return std::nullopt;
    answer.data.assign(report.begin() + kDataStart, report.begin() + kDataStart + answer.count);
    const std::uint16_t crc = crc16(report.subspan(4, 2 + answer.count));
    answer.crcHolds = crc == static_cast<std::uint16_t>(report[2] | report[3] << 8);
    return answer;
}

std::optional<StickIdentification> parseStickIdentification(std::span<const std::uint8_t> report) {
    if (report.size() < 8 || report[0] != kStickAnswerMark || report[1] != kStickIdentification)
        return std::nullopt;
    StickIdentification id;
    std::copy_n(report.begin() + 2, 4, id.deviceNumber.begin());
    id.unused = report[6];
    id.firmwareVersion = report[7];
    return id;
}

std::string hexByte(std::uint8_t value) {
    return hexText(value, 2);
}

std::string sendLogLine(const std::string& logText) {
    return "Send: " + logText;
}

std::string unknownAnswerLogLine(std::uint8_t code) {
    return "RET: " + hexByte(code);
}

std::string foreignReportLogLine(std::uint8_t first) {
    return "?: " + hexByte(first);
}

std::optional<std::string> stickAnswerLogLine(std::span<const std::uint8_t> report) {
    if (report.empty())
        return std::nullopt;
    if (report[0] != kStickAnswerMark)
        return foreignReportLogLine(report[0]);
    const std::uint8_t code = report.size() > 1 ? report[1] : 0x00;
    if (!isKnownStickAnswer(code))
        return unknownAnswerLogLine(code);
    return std::nullopt;
}

} // namespace lumeq
