#pragma once
// The module's memory as the program uses it: 128-byte blocks, the control block, the four memory slots
// and the firmware area. Shared by the stick link (frames, reading, writing) and the firmware container.

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumeq {

constexpr std::size_t kBlockSize = 128;    // one read or write moves a block of 128 bytes
constexpr std::size_t kDataReportSize = 8; // carried in 16 data reports of 8 bytes
constexpr std::size_t kBlockReports = kBlockSize / kDataReportSize;
constexpr std::uint16_t kControlBlockAddress = 0xFF80;
constexpr int kSlotCount = 4;                    // memory slots M1..M4
constexpr std::uint16_t kFirstFirmwareBlock = 4; // firmware block b lies at 128 * (4 + b)
// The firmware image the program carries and a firmware container fills: 12288 bytes (96 container lines
// of 128), blocks 0..95 at module addresses 0x0200..0x31FF. No firmware is longer; the block after its
// last one would be 0x3200, well below slot M2 (0x4000).
constexpr std::size_t kFirmwareImageSize = 12288;

using Block = std::array<std::uint8_t, kBlockSize>;

} // namespace lumeq
