#pragma once
// CRC-16/UMTS (also known as CRC-16/BUYPASS): polynomial 0x8005, initial value 0, no reflection,
// no final XOR. Check value 0xFEE8 for "123456789". The one CRC of the program: configuration files,
// firmware containers, slot records and stick frames all use it.

#include <cstdint>
#include <span>

namespace lumeq {

// CRC of the data, continuing from `register_` (0 for a fresh CRC). Seeding the register with a byte
// equals shifting that byte in first.
std::uint16_t crc16(std::span<const std::uint8_t> data, std::uint16_t register_ = 0);

} // namespace lumeq
