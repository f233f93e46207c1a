#include "model/crc16.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

using namespace lumeq;

namespace {

std::vector<std::uint8_t> bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A few messages of different shapes, shared by the property tests below.
class Crc16 : public testing::Test {
protected:
    Crc16() {
        std::vector<std::uint8_t> noise(300);
        std::uint32_t state = 12345;
        for (auto& byte : noise) {
            state = state * 1103515245u + 12345u;
            byte = static_cast<std::uint8_t>(state >> 16);
        }
        messages = {bytes("123456789"),
                    {0x00},
                    {0xFF, 0xFF, 0xFF},
                    {0x80},
                    bytes("Lumeq"),
                    std::vector<std::uint8_t>(96, 0),
                    noise};
    }

    std::vector<std::vector<std::uint8_t>> messages;
};

TEST_F(Crc16, CheckValueInBothForms) {
    const auto check = bytes("123456789");
    EXPECT_EQ(crc16(check), 0xFEE8);
    EXPECT_EQ(crc16Finish(crc16ShiftIn(check)), 0xFEE8);
}

TEST_F(Crc16, EmptyAndZeroDataGiveZero) {
    EXPECT_EQ(crc16({}), 0x0000);
    EXPECT_EQ(crc16Finish(0), 0x0000);
    EXPECT_EQ(crc16(std::vector<std::uint8_t>(96, 0)), 0x0000);
}

TEST_F(Crc16, EmptyDataLeavesTheRegister) {
    EXPECT_EQ(crc16({}, 0x1234), 0x1234);
    EXPECT_EQ(crc16ShiftIn({}, 0x1234), 0x1234);
}

// A single 1 bit followed by the sixteen appended zero bits is the polynomial itself.
TEST_F(Crc16, OneBitGivesThePolynomial) {
    EXPECT_EQ(crc16(std::vector<std::uint8_t>{0x01}), 0x8005);
    EXPECT_EQ(crc16Finish(crc16ShiftIn(std::vector<std::uint8_t>{0x01})), 0x8005);
}

TEST_F(Crc16, DirectAndShiftFormsAgree) {
    for (const auto& message : messages) {
        SCOPED_TRACE(message.size());
        EXPECT_EQ(crc16(message), crc16Finish(crc16ShiftIn(message)));
    }
}

// The message followed by its CRC, high byte first, divides by the polynomial.
TEST_F(Crc16, MessageWithItsCrcLeavesZero) {
    for (const auto& message : messages) {
        SCOPED_TRACE(message.size());
        const std::uint16_t crc = crc16(message);
        EXPECT_EQ(crc16(concat(message, {static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)})), 0);
    }
}

TEST_F(Crc16, ContinuesFromThePreviousCrcAtEverySplit) {
    for (const auto& message : messages) {
        for (std::size_t split = 0; split <= message.size(); ++split) {
            const std::span<const std::uint8_t> whole(message);
            const auto head = whole.first(split);
            const auto tail = whole.subspan(split);
            ASSERT_EQ(crc16(tail, crc16(head)), crc16(whole)) << "size " << message.size() << " split " << split;
            ASSERT_EQ(crc16ShiftIn(tail, crc16ShiftIn(head)), crc16ShiftIn(whole))
                << "size " << message.size() << " split " << split;
        }
    }
}

// Slot records and stick frames seed the shift register with the address byte.
TEST_F(Crc16, SeededShiftRegisterEqualsShiftingTheByteInFirst) {
    for (std::uint8_t address : {0x00, 0x01, 0x0C, 0x54, 0x80, 0xFF}) {
        for (const auto& message : messages) {
            SCOPED_TRACE(testing::Message() << "address " << int(address) << " size " << message.size());
            const auto withAddress = concat({address}, message);
            EXPECT_EQ(crc16Finish(crc16ShiftIn(message, address)), crc16(withAddress));
            EXPECT_EQ(crc16(message, crc16(std::vector<std::uint8_t>{address})), crc16(withAddress));
        }
    }
}

// A CRC is not a shift register: the two seeds mean different things, and mixing them up is caught.
TEST_F(Crc16, FinishedCrcIsNotAShiftRegisterSeed) {
    const auto check = bytes("123456789");
    EXPECT_NE(crc16(check, 0x0C), crc16(concat({0x0C}, check)));
}

TEST_F(Crc16, EveryBitOfTheMessageCounts) {
    const auto check = bytes("123456789");
    for (std::size_t i = 0; i < check.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            auto changed = check;
            changed[i] ^= static_cast<std::uint8_t>(1u << bit);
            EXPECT_NE(crc16(changed), 0xFEE8) << "byte " << i << " bit " << bit;
        }
    }
}

} // namespace
