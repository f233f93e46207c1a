#pragma once
// CRC-16/UMTS (also known as CRC-16/BUYPASS): polynomial 0x8005, initial value 0, no reflection,
// no final XOR. Check value 0xFEE8 for "123456789". The one CRC of the program: configuration files,
// firmware containers, slot records and stick frames all use it.

#include <cstdint>
#include <span>

namespace lumeq {

// CRC of the data, continuing from `register_`: 0 for a fresh CRC, or the CRC of the bytes that come
// before `data`, so that crc16(b, crc16(a)) == crc16(a followed by b). The register here holds a
// finished CRC; to start from a shift register seeded with a byte, use crc16ShiftIn below.
std::uint16_t crc16(std::span<const std::uint8_t> data, std::uint16_t register_ = 0);

// The same CRC in its bit-by-bit form: each byte is shifted into a 16-bit shift register from its most
// significant bit, and 0x8005 is XORed in whenever a 1 leaves bit 15; finishing shifts two zero bytes in,
// and the register then holds the CRC: crc16Finish(crc16ShiftIn(data)) == crc16(data).
// crc16ShiftIn(b, crc16ShiftIn(a)) == crc16ShiftIn(a followed by b). A shift register seeded with a byte
// instead of 0 equals shifting that byte in first: crc16Finish(crc16ShiftIn(data, address)) is the CRC of
// the address byte followed by the data.
std::uint16_t crc16ShiftIn(std::span<const std::uint8_t> data, std::uint16_t shiftRegister = 0);
std::uint16_t crc16Finish(std::uint16_t shiftRegister);

} // namespace lumeq
