#pragma once
// The configuration image: 128 bytes that set everything a Lumeq module does.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumeq {

constexpr std::size_t kImageSize = 128;       // the working image in module and demo mode
constexpr std::size_t kConfigSize = 96;       // bytes 0..95: what modules and files carry
constexpr std::size_t kStickMemorySize = 256; // the image holds the stick's memory in stick mode

using Image = std::vector<std::uint8_t>;

// The image of a fresh configuration (demo mode, empty slot, Default).
extern const std::array<std::uint8_t, kImageSize> kDefaultImage;

Image defaultImage();

// The CRC-16 of the configuration, bytes 0..95 (bytes the image lacks count as 0xFF): the CRC a
// configuration file carries, and the one the log of programmed modules records.
std::uint16_t configurationCrc(std::span<const std::uint8_t> image);

// Bit helpers: value first, bit number second, bit 0 least significant; the result is returned.
// TestBit reads a 32-bit value; SetBit/ClearBit leave the byte unchanged for bit numbers of 8 or more.
constexpr bool TestBit(std::uint32_t value, unsigned bit) {
    return bit < 32 && ((value >> bit) & 1u) != 0;
}
constexpr std::uint8_t SetBit(std::uint8_t value, unsigned bit) {
    return bit < 8 ? static_cast<std::uint8_t>(value | (1u << bit)) : value;
}
constexpr std::uint8_t ClearBit(std::uint8_t value, unsigned bit) {
    return bit < 8 ? static_cast<std::uint8_t>(value & ~(1u << bit)) : value;
}

} // namespace lumeq
