#include "model/image.h"
#include "model/layout.h"
#include "model/timecode.h"

#include <gtest/gtest.h>

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

class DefaultImage : public testing::Test {
protected:
    std::uint8_t at(std::size_t offset) const { return image.at(offset); }
    bool flag(std::size_t offset, unsigned bit) const { return TestBit(image.at(offset), bit); }

    // Number of steps in use at the front of a step table.
    int stepsInUse(std::size_t table) const {
        int steps = 0;
        while (steps < static_cast<int>(img::StepCount) &&
               at(table + img::StepSize * steps + img::StepLevel) != img::EmptyStep) {
            ++steps;
        }
        return steps;
    }

    Image image = defaultImage();
};

TEST_F(DefaultImage, IsAFreshCopyOfTheTable) {
    ASSERT_EQ(image.size(), kImageSize);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), kDefaultImage.begin()));
    image[0] = 0xFF;
    EXPECT_EQ(defaultImage()[0], 0x0C);
}

TEST_F(DefaultImage, OutputIsAnalogue1To10VWithAstroAndLst) {
    EXPECT_EQ(at(img::Flags), 0x0C);
    EXPECT_FALSE(flag(img::Flags, img::FlagDali));
    EXPECT_FALSE(flag(img::Flags, img::FlagLinearOrPwm)); // not DALI and not PWM: 1-10V
    EXPECT_TRUE(flag(img::Flags, img::FlagAstro));
    EXPECT_TRUE(flag(img::Flags, img::FlagLst));
    EXPECT_FALSE(flag(img::Flags, img::FlagLstHighLow));
    EXPECT_FALSE(flag(img::Flags, img::FlagRemoteMains));
    EXPECT_FALSE(flag(img::Flags, img::FlagRemoteLst));
    EXPECT_FALSE(flag(img::Flags, img::FlagThermal));
}

TEST_F(DefaultImage, PowerOnAtFullLevelAfterRandomDelay) {
    EXPECT_EQ(at(img::MinLevel), 0);
    EXPECT_EQ(at(img::PowerOnLevel), 100);
    EXPECT_EQ(at(img::PowerOnDelay), 0xFF);
    EXPECT_EQ(DecodeTime(at(img::PowerOnFade)), 0);
    EXPECT_EQ(at(img::BlockTime), 0);
    EXPECT_EQ(DecodeTime(at(img::HoldTime)), 0);
    EXPECT_EQ(at(img::IsdOffset), 0);
}

TEST_F(DefaultImage, Engine2HoldsOneStepAtHalfLevel) {
    ASSERT_EQ(stepsInUse(img::Engine2), 1);
    EXPECT_EQ(DecodeTime(at(img::Engine2 + img::StepTime)), 0);
    EXPECT_EQ(DecodeTime(at(img::Engine2 + img::StepFade)), 0);
    EXPECT_EQ(at(img::Engine2FirstLevel), 50);
    EXPECT_FALSE(flag(img::Engine2FirstLevel, img::LevelRelayOff));
}

TEST_F(DefaultImage, Engine1DimsToHalfAtTenPmAndBackAtFiveAm) {
    ASSERT_EQ(stepsInUse(img::Engine1), 2);
    struct Step {
        const char* time;
        int level;
    };
    const Step steps[] = {{"22:00:00", 50}, {"05:00:00", 100}};
    for (std::size_t k = 0; k < 2; ++k) {
        const std::size_t step = img::Engine1 + img::StepSize * k;
        EXPECT_EQ(displayTime4(at(step + img::StepTime)), steps[k].time);
        EXPECT_EQ(DecodeTime(at(step + img::StepFade)), 0);
        EXPECT_EQ(at(step + img::StepLevel), steps[k].level);
        EXPECT_FALSE(flag(step + img::StepLevel, img::LevelRelayOff));
    }
}

// The block diagram drops an engine's switch when its first step is empty; the default keeps both.
TEST_F(DefaultImage, ActiveEnginesHaveAFirstStep) {
    EXPECT_NE(at(img::Engine2FirstLevel), img::EmptyStep);
    EXPECT_NE(at(img::Engine1FirstLevel), img::EmptyStep);
}

TEST_F(DefaultImage, OptionsMffRelayAndThermal) {
    EXPECT_TRUE(flag(img::Options, img::OptDstOff));
    EXPECT_FALSE(flag(img::Options, img::OptDelayedSwitching));
    EXPECT_FALSE(flag(img::Options, img::OptStorePol));
    EXPECT_EQ(at(img::Options) & img::RemoteModeMask, 0x00);
    EXPECT_EQ(at(img::DstStartNight), 0);
    EXPECT_EQ(at(img::DstEndNight), 0);
    EXPECT_EQ(at(img::MffStart), 0xFF);
    EXPECT_EQ(at(img::MffLifetime), 0);
    for (std::size_t i = 0; i < img::AstroDataCount; ++i) {
        EXPECT_EQ(at(img::AstroData + i), 0) << i;
    }
    EXPECT_TRUE(flag(img::Relay, img::RelayZeroCross));
    EXPECT_EQ(at(img::ThermT1), 0);
    EXPECT_EQ(at(img::ThermEnd), 0xFF);
}

} // namespace
