#include "model/crc16.h"

#include <array>

namespace lumeq {

namespace {

constexpr std::uint16_t kPolynomial = 0x8005;

// One byte into the shift register, most significant bit first.
std::uint16_t shiftByte(std::uint16_t shiftRegister, std::uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) {
        const bool carry = (shiftRegister & 0x8000u) != 0;
        shiftRegister = static_cast<std::uint16_t>((shiftRegister << 1) | ((byte >> bit) & 1u));
        if (carry) {
            shiftRegister ^= kPolynomial;
        }
    }
    return shiftRegister;
}

// The register after eight shifts of a byte that entered at its top (the bitwise direct form, once per
// possible top byte).
constexpr std::array<std::uint16_t, 256> makeByteTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned top = 0; top < 256; ++top) {
        auto crc = static_cast<std::uint16_t>(top << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000u) != 0 ? static_cast<std::uint16_t>((crc << 1) ^ kPolynomial)
                                       : static_cast<std::uint16_t>(crc << 1);
        table[top] = crc;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kByteTable = makeByteTable();

} // namespace

std::uint16_t crc16(std::span<const std::uint8_t> data, std::uint16_t register_) {
    // Direct form: each byte enters at the top of the register, so no zero bytes need to follow, and the
    // register holds the finished CRC after every byte. A byte at a time through the table.
    std::uint16_t crc = register_;
    for (std::uint8_t byte : data)
        crc = static_cast<std::uint16_t>((crc << 8) ^ kByteTable[((crc >> 8) ^ byte) & 0xFFu]);
    return crc;
}

std::uint16_t crc16ShiftIn(std::span<const std::uint8_t> data, std::uint16_t shiftRegister) {
    for (std::uint8_t byte : data) {
        shiftRegister = shiftByte(shiftRegister, byte);
    }
    return shiftRegister;
}

std::uint16_t crc16Finish(std::uint16_t shiftRegister) {
    return shiftByte(shiftByte(shiftRegister, 0), 0);
}

} // namespace lumeq
