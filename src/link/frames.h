#pragma once
// Everything that crosses the USB cable, byte for byte: the requests the program writes to the stick and
// the answers it reads back, as pure functions.
//
// Module frames (module mode) are 8-byte requests starting AA 55; the module answers with reports starting
// C0. Stick frames (stick mode) start CA C5; the stick answers with reports starting B2. Two-byte numbers
// are low byte first. All CRCs are the program's CRC-16 (model/crc16.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/memorymap.h"

namespace lumeq {

using Bytes = std::vector<std::uint8_t>;

// ---- Module memory as the program uses it ----

constexpr std::size_t kModuleFrameSize = 8; // every module request is 8 bytes

// Module address of slot M1..M4 (0x0000, 0x4000, 0x8000, 0xC000); 0 for a slot number outside 1..4.
std::uint16_t slotAddress(int slot);
// Module address of firmware block b: 128 * (4 + b), modulo 64 KiB.
std::uint16_t firmwareBlockAddress(std::size_t block);

// ---- Module frames ----

Bytes readBlockFrame(std::uint16_t address);  // AA 55 F2 10 lo hi 00 00
Bytes writeBlockFrame(std::uint16_t address); // AA 55 F1 10 lo hi 00 00
Bytes eraseAllFrame();                        // AA 55 FC 00 55 AA 00 00
// The 16 data reports that follow a write block request: bytes 0..7, 8..15, ..., 120..127 of the block.
std::vector<Bytes> blockDataReports(const Block& block);

// ---- Module answers ----

enum class ModuleAnswerKind {
    Other,             // anything else: a data report while a block is being received
    BlockHeader,       // C0 44 x x n: n data bytes follow in n / 8 data reports
    WriteConfirmation, // C0 33 a0 a1 s: the block at a0 + 256 * a1 was written when s is 1
    StickAnswer,       // B2 50 or B2 51: the stick answers by itself (stick mode)
};

struct ModuleAnswer {
    ModuleAnswerKind kind = ModuleAnswerKind::Other;
    std::uint8_t dataLength = 0; // BlockHeader: byte 4
    std::uint16_t address = 0;   // WriteConfirmation: bytes 2 and 3
    std::uint8_t status = 0;     // WriteConfirmation: byte 4
};

// Reads the first bytes of an input report. A report too short to hold the fields of its kind is Other.
ModuleAnswer classifyModuleAnswer(std::span<const std::uint8_t> report);

// ---- Stick frames ----

enum StickCommand : std::uint8_t {
    kStickReadMemory = 0x02,
    kStickWriteMemory = 0x04,
    kStickWriteEe = 0x05,
    kStickFirmwarePart = 0x08,
    kStickReset = 0x0E,
};

constexpr std::size_t kStickMemoryReadCount = 26;  // bytes per read memory frame
constexpr std::size_t kStickMemoryWriteCount = 25; // bytes per write memory frame
constexpr std::size_t kStickEeWriteCount = 12;     // bytes per write EE frame
constexpr std::size_t kFirmwareRecordSize = 72;    // a firmware record goes out in three parts
constexpr std::size_t kFirmwarePartSize = 26;      // data bytes of parts 1 and 2
constexpr std::size_t kFirmwareLastPartSize = 20;  // data bytes of part 3, followed by 6 zero bytes

// A stick frame: its bytes from CA C5 on, and the text "Send: " logs for it (empty: not logged).
struct StickFrame {
    Bytes bytes;
    std::string logText;
};

// Count of a read memory frame: 26, or 256 - address where address + 26 would reach 256 or more.
std::uint8_t stickReadCount(std::uint8_t address);
// CA C5 02 address count. Log "Read Memory 0x" and the address.
StickFrame stickReadMemoryFrame(std::uint8_t address);
// CA C5 04 crc-lo crc-hi address 25, memory[address..address+24], 00: 33 bytes. The CRC covers address,
// count and data. Log "Write Memory 0x" and the address. Bytes past the end of `memory` go out as 0xFF.
StickFrame stickWriteMemoryFrame(std::span<const std::uint8_t> memory, std::uint8_t address);
// CA C5 05 crc-lo crc-hi address 12, memory[address..address+11]: 19 bytes. Log "Write Memory 0x", the
// address, " write EE". Bytes past the end of `memory` go out as 0xFF.
StickFrame stickWriteEeFrame(std::span<const std::uint8_t> memory, std::uint8_t address);
// CA C5 08 crc-lo crc-hi phase, then 26 bytes of `firmware` from `offset` on (phases 1 and 2) or 20 bytes
// and 6 zero bytes (phase 3): 32 bytes. The CRC covers the data bytes only. Not logged. Bytes past the end
// of `firmware` go out as 0xFF (the firmware buffer is filled with 0xFF). `taken` is how far the firmware
// address advances. A phase outside 1..3 gives no frame (empty bytes, taken 0).
struct FirmwareFrame {
    StickFrame frame;
    std::size_t taken = 0;
};
FirmwareFrame stickFirmwareFrame(std::span<const std::uint8_t> firmware, std::size_t offset, int phase);
// CA C5 0E. Log "Reset!".
StickFrame stickResetFrame();

// The report buffer a frame is sent from: at least `reportLength` bytes, the frame at its start, every
// later byte as the buffer held it before (the program never clears it between frames).
void placeFrame(Bytes& buffer, std::span<const std::uint8_t> frame, std::size_t reportLength);

// ---- Stick answers ----

enum StickAnswerCode : std::uint8_t {
    kStickBackToWaiting = 0x51,
    kStickReadData = 0x52,
    kStickMemoryWritten = 0x54,
    kStickMemoryRefused = 0x55,
    kStickEeWritten = 0x56,
    kStickEeRefused = 0x57,
    kStickFirmwarePartAccepted = 0x58,
    kStickFirmwareRefused = 0x59,
    kStickFirmwareRecordDone = 0x5A,
    kStickFirmwareRecordRefused = 0x5B,
    kStickIdentification = 0x5F,
};

constexpr std::uint8_t kStickAnswerMark = 0xB2;

// True for a code of the answer table (0x51, 0x52, 0x54..0x5B, 0x5F).
bool isKnownStickAnswer(std::uint8_t code);

// B2 52 crc-lo crc-hi address count data...: `count` bytes for the memory from `address` on. crcHolds
// tells whether the CRC over address, count and data matches. No value when the report is not a read data
// answer or is too short to hold the count it announces.
struct StickMemoryData {
    std::uint8_t address = 0;
    std::uint8_t count = 0;
    Bytes data;
    bool crcHolds = false;
};
std::optional<StickMemoryData> parseStickMemoryData(std::span<const std::uint8_t> report);

// B2 5F: bytes 2..5 device number, byte 6 unused, byte 7 firmware version N (1.N; 0xFF: none reported).
struct StickIdentification {
    std::array<std::uint8_t, 4> deviceNumber{};
    std::uint8_t unused = 0;
    std::uint8_t firmwareVersion = 0xFF;
};
std::optional<StickIdentification> parseStickIdentification(std::span<const std::uint8_t> report);

// ---- Debug log lines ----

std::string sendLogLine(const std::string& logText);  // "Send: " and the text
std::string unknownAnswerLogLine(std::uint8_t code);  // "RET: " and the code, e.g. "RET: 53"
std::string foreignReportLogLine(std::uint8_t first); // "?: " and byte 0, e.g. "?: 07"
// The line a stick-mode report produces at the frame level: "?: XX" when it does not start with B2,
// "RET: XX" when its code is not in the answer table; nothing otherwise (or for an empty report).
std::optional<std::string> stickAnswerLogLine(std::span<const std::uint8_t> report);

// Two upper-case hexadecimal digits.
std::string hexByte(std::uint8_t value);

} // namespace lumeq
