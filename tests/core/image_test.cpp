#include "model/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace lumeq;

namespace {

// ---- Bit operations ---------------------------------------------------------------------------------

struct BitCase {
    const char* name;
    std::uint8_t value;
    unsigned bit;
    std::uint8_t set;
    std::uint8_t cleared;
    bool test;
};

void PrintTo(const BitCase& c, std::ostream* os) {
    *os << c.name;
}

class BitOperationTest : public testing::TestWithParam<BitCase> {};

TEST_P(BitOperationTest, SetClearTest) {
    const BitCase& c = GetParam();
    EXPECT_EQ(SetBit(c.value, c.bit), c.set);
    EXPECT_EQ(ClearBit(c.value, c.bit), c.cleared);
    EXPECT_EQ(TestBit(c.value, c.bit), c.test);
}

INSTANTIATE_TEST_SUITE_P(Image, BitOperationTest,
                         testing::Values(BitCase{"SetTopBit", 0x45, 7, 0xC5, 0x45, false},
                                         BitCase{"ClearLowestBit", 0x01, 0, 0x01, 0x00, true},
                                         BitCase{"TestLowestBitClear", 0xFE, 0, 0xFF, 0xFE, false},
                                         BitCase{"SetBitAlreadySet", 0x0C, 2, 0x0C, 0x08, true},
                                         BitCase{"MiddleBitOfZero", 0x00, 4, 0x10, 0x00, false},
                                         BitCase{"AllSetTopBit", 0xFF, 7, 0xFF, 0x7F, true},
                                         BitCase{"BitEightLeavesByte", 0x45, 8, 0x45, 0x45, false},
                                         BitCase{"BitEightOfFullByte", 0xFF, 8, 0xFF, 0xFF, false},
                                         BitCase{"BitThirtyOneLeavesByte", 0xA5, 31, 0xA5, 0xA5, false},
                                         BitCase{"HugeBitNumber", 0xFF, 1000, 0xFF, 0xFF, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Image, TestBitReadsHigherBitsOfA32BitValue) {
    EXPECT_TRUE(TestBit(0x100u, 8));
    EXPECT_FALSE(TestBit(0x100u, 9));
    EXPECT_TRUE(TestBit(0x80000000u, 31));
    EXPECT_FALSE(TestBit(0xFFFFFFFFu, 32));
}

TEST(Image, EveryBitSetsAndClearsAlone) {
    for (unsigned bit = 0; bit < 8; ++bit) {
        const std::uint8_t set = SetBit(0x00, bit);
        EXPECT_EQ(set, 1u << bit);
        EXPECT_TRUE(TestBit(set, bit));
        EXPECT_EQ(ClearBit(0xFF, bit), static_cast<std::uint8_t>(~(1u << bit)));
        EXPECT_FALSE(TestBit(ClearBit(0xFF, bit), bit));
    }
}

// ---- Default image ----------------------------------------------------------------------------------
// What the default image means, read through the codecs, is checked in settings_test.cpp.

TEST(DefaultImage, IsAFreshCopyOfTheTable) {
    Image image = defaultImage();
    ASSERT_EQ(image.size(), kImageSize);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), kDefaultImage.begin()));
    image[0] = 0xFF;
    EXPECT_EQ(defaultImage()[0], 0x0C);
}

} // namespace
