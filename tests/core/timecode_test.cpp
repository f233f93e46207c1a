#include "model/timecode.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace lumeq;

namespace {

// ---- Time codes -------------------------------------------------------------------------------------

struct DecodeCase {
    const char* name;
    std::uint8_t code;
    int value;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeTimeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTimeTest, Value) {
    EXPECT_EQ(DecodeTime(GetParam().code), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(TimeCode, DecodeTimeTest,
                         testing::Values(DecodeCase{"Zero", 0x00, 0}, DecodeCase{"One", 0x01, 1},
                                         DecodeCase{"LargestOfStep1", 0x3F, 63}, DecodeCase{"ZeroOfStep10", 0x40, 0},
                                         DecodeCase{"TenSecondsInStep10", 0x41, 10},
                                         DecodeCase{"LargestOfStep10", 0x7F, 630}, DecodeCase{"ZeroOfStep60", 0x80, 0},
                                         DecodeCase{"OneMinute", 0x81, 60}, DecodeCase{"LargestOfStep60", 0xBF, 3780},
                                         DecodeCase{"ZeroOfStep900", 0xC0, 0}, DecodeCase{"QuarterHour", 0xC1, 900},
                                         DecodeCase{"FifteenHours", 0xFC, 54000},
                                         DecodeCase{"LargestCode", 0xFF, 56700}),
                         [](const auto& info) { return std::string(info.param.name); });

struct EncodeCase {
    const char* name;
    int value;
    std::uint8_t code;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertTimeTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(ConvertTimeTest, Code) {
    EXPECT_EQ(convertTime(GetParam().value), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    TimeCode, ConvertTimeTest,
    testing::Values(EncodeCase{"Zero", 0, 0x00}, EncodeCase{"One", 1, 0x01}, EncodeCase{"Sixty", 60, 0x3C},
                    EncodeCase{"LargestOfStep1", 63, 0x3F}, EncodeCase{"FirstOfStep10", 64, 0x46},
                    EncodeCase{"TenMinutes", 600, 0x7C}, EncodeCase{"LargestOfStep10", 630, 0x7F},
                    EncodeCase{"FirstOfStep60LosesRemainder", 631, 0x8A}, EncodeCase{"OneHour", 3600, 0xBC},
                    EncodeCase{"LargestOfStep60", 3780, 0xBF}, EncodeCase{"FirstOfStep900LosesRemainder", 3781, 0xC4},
                    EncodeCase{"SixtyFourMinutes", 3840, 0xC4}, EncodeCase{"NinetyMinutes", 5400, 0xC6},
                    EncodeCase{"FifteenHours", 54000, 0xFC}, EncodeCase{"LargestCode", 56700, 0xFF},
                    EncodeCase{"BelowNextUnreachableStep", 57599, 0xFF}, EncodeCase{"BeyondLargestCode", 57600, 0xFF},
                    EncodeCase{"Huge", INT_MAX, 0xFF}, EncodeCase{"NegativeIsZero", -1, 0x00},
                    EncodeCase{"MostNegativeIsZero", INT_MIN, 0x00}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimeCode, DecodeThenEncodeKeepsTheValueOfEveryCode) {
    for (int code = 0; code <= 0xFF; ++code) {
        SCOPED_TRACE(code);
        const int value = DecodeTime(static_cast<std::uint8_t>(code));
        EXPECT_EQ(DecodeTime(convertTime(value)), value);
    }
    EXPECT_EQ(convertTime(DecodeTime(0x41)), 0x0A); // same value, finer scale
}

// Encoding takes the finest scale that reaches the value and drops less than one of its steps.
TEST(TimeCode, EncodingDropsLessThanOneStep) {
    for (int value = 0; value <= 56700; ++value) {
        const int decoded = DecodeTime(convertTime(value));
        const int step = value < 64 ? 1 : value <= 630 ? 10 : value <= 3780 ? 60 : 900;
        ASSERT_LE(decoded, value) << value;
        ASSERT_LT(value - decoded, step) << value;
    }
}

// ---- Texts ------------------------------------------------------------------------------------------

struct DisplayCase {
    const char* name;
    std::string (*display)(int);
    int value;
    const char* text;
};

void PrintTo(const DisplayCase& c, std::ostream* os) {
    *os << c.name;
}

class DisplayTest : public testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayTest, Text) {
    EXPECT_EQ(GetParam().display(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(TimeText, DisplayTest,
                         testing::Values(DisplayCase{"Time_Zero", displayTime, 0, "0"},
                                         DisplayCase{"Time_OneSecond", displayTime, 1, "00:00:01"},
                                         DisplayCase{"Time_OneAndAHalfHours", displayTime, 5400, "01:30:00"},
                                         DisplayCase{"Time_LastSecondOfHour", displayTime, 3599, "00:59:59"},
                                         DisplayCase{"Time_LargestCode", displayTime, 56700, "15:45:00"},
                                         DisplayCase{"Time_LastSecondOfDay", displayTime, 86399, "23:59:59"},
                                         DisplayCase{"Time_HundredHours", displayTime, 360000, "100:00:00"},
                                         DisplayCase{"Time_Negative", displayTime, -5400, "-01:30:00"},
                                         DisplayCase{"Time_MostNegative", displayTime, INT_MIN, "-596523:14:08"},
                                         DisplayCase{"TimeHM_Zero", displayTimeHM, 0, "0"},
                                         DisplayCase{"TimeHM_Evening", displayTimeHM, 64800, "18:00"},
                                         DisplayCase{"TimeHM_SecondsDropped", displayTimeHM, 3659, "01:00"},
                                         DisplayCase{"TimeHM_BelowAMinute", displayTimeHM, 59, "00:00"},
                                         DisplayCase{"Time2_Zero", displayTime2, 0, "0"},
                                         DisplayCase{"Time2_OneDigit", displayTime2, 5, "00,005"},
                                         DisplayCase{"Time2_TwoDigits", displayTime2, 60, "00,060"},
                                         DisplayCase{"Time2_ThreeDigits", displayTime2, 999, "00,999"},
                                         DisplayCase{"Time2_OneSecond", displayTime2, 1000, "01,000"},
                                         DisplayCase{"Time2_OneAndAHalf", displayTime2, 1500, "01,500"},
                                         DisplayCase{"Time2_FifteenHoursRange", displayTime2, 54000, "54,000"},
                                         DisplayCase{"Time2_LargestCode", displayTime2, 56700, "56,700"},
                                         DisplayCase{"Time2_Negative", displayTime2, -60, "-00,060"},
                                         DisplayCase{"Time3_Zero", displayTime3, 0, "0"},
                                         DisplayCase{"Time3_Negative", displayTime3, -24, "-00:24:00"},
                                         DisplayCase{"Time3_LargestOffset", displayTime3, 254, "04:14:00"},
                                         DisplayCase{"Time3_SmallestOffset", displayTime3, -256, "-04:16:00"},
                                         DisplayCase{"Time3_MostNegative", displayTime3, INT_MIN, "-35791394:08:00"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ClockCase {
    const char* name;
    std::uint8_t code;
    const char* text;
};

void PrintTo(const ClockCase& c, std::ostream* os) {
    *os << c.name;
}

class DisplayTime4Test : public testing::TestWithParam<ClockCase> {};

TEST_P(DisplayTime4Test, Text) {
    EXPECT_EQ(displayTime4(GetParam().code), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    TimeText, DisplayTime4Test,
    testing::Values(ClockCase{"Midnight", 0x00, "00:00:00"}, ClockCase{"MissingTime", 0x80, "00:00:00"},
                    ClockCase{"FiveMinutes", 1, "00:05:00"}, ClockCase{"OneAm", 12, "01:00:00"},
                    ClockCase{"NineAm", 108, "09:00:00"}, ClockCase{"LargestForward", 127, "10:35:00"},
                    ClockCase{"SmallestBackward", 129, "13:25:00"}, ClockCase{"OutsideEditorRange", 144, "14:40:00"},
                    ClockCase{"ThreePm", 148, "15:00:00"}, ClockCase{"TenPm", 232, "22:00:00"},
                    ClockCase{"FiveToMidnight", 255, "23:55:00"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Readers ----------------------------------------------------------------------------------------

struct ReadCase {
    const char* name;
    std::optional<int> (*read)(std::string_view);
    std::string_view text;
    std::optional<int> value; // nullopt: conversion error
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class ReaderTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReaderTest, Value) {
    EXPECT_EQ(GetParam().read(GetParam().text), GetParam().value);
}

constexpr std::optional<int> kError = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    TimeText, ReaderTest,
    testing::Values(
        ReadCase{"Time_OneAndAHalfHours", getTime, "01:30:00", 5400},
        ReadCase{"Time_LargestCode", getTime, "15:45:00", 56700},
        ReadCase{"Time_LargestFields", getTime, "99:99:99", 362439},
        ReadCase{"Time_AnySeparators", getTime, "01.30x00", 5400}, ReadCase{"Time_Zero", getTime, "0", 0},
        ReadCase{"Time_Empty", getTime, "", 0}, ReadCase{"Time_SevenCharacters", getTime, "1:00:00", 0},
        ReadCase{"Time_NineCharacters", getTime, "001:00:00", 0}, ReadCase{"Time_Letters", getTime, "ab:cd:ef", kError},
        ReadCase{"Time_LetterInSeconds", getTime, "01:00:0x", kError},
        ReadCase{"Time_Sign", getTime, "-1:00:00", kError}, ReadCase{"Time_Plus", getTime, "+1:00:00", kError},
        ReadCase{"Time_Blank", getTime, " 1:00:00", kError},
        ReadCase{"Time_NonAsciiByte", getTime, "\xC3\xA9:00:00", kError},
        ReadCase{"TimeHM_Evening", getTimeHM, "18:00", 1080}, ReadCase{"TimeHM_Minutes", getTimeHM, "05:35", 335},
        ReadCase{"TimeHM_Zero", getTimeHM, "0", 0}, ReadCase{"TimeHM_WithSeconds", getTimeHM, "18:00:00", 0},
        ReadCase{"TimeHM_Letter", getTimeHM, "1a:00", kError},
        ReadCase{"TimeHM_NegativeMinutes", getTimeHM, "00:-5", kError}, ReadCase{"Time2_Sixty", getTime2, "00,060", 60},
        ReadCase{"Time2_OneAndAHalf", getTime2, "01,500", 1500}, ReadCase{"Time2_Top", getTime2, "54,000", 54000},
        ReadCase{"Time2_PointSeparator", getTime2, "01.500", 1500},
        ReadCase{"Time2_LongerTextReadsFirstSix", getTime2, "00,0609", 60}, ReadCase{"Time2_Zero", getTime2, "0", 0},
        ReadCase{"Time2_FiveCharacters", getTime2, "00,06", 0},
        ReadCase{"Time2_LetterInMillis", getTime2, "00,06x", kError},
        ReadCase{"Time2_LetterInSeconds", getTime2, "x0,060", kError},
        ReadCase{"Time3_TenPm", getTime3, "22:00:00", 232}, ReadCase{"Time3_NineAm", getTime3, "09:00:00", 108},
        ReadCase{"Time3_ThreePm", getTime3, "15:00:00", 148}, ReadCase{"Time3_Midnight", getTime3, "00:00:00", 0},
        ReadCase{"Time3_Noon", getTime3, "12:00:00", 144}, ReadCase{"Time3_JustAfterNoon", getTime3, "12:01:00", 113},
        ReadCase{"Time3_TruncatesTowardZero", getTime3, "23:59:00", 0},
        ReadCase{"Time3_MinutesTruncated", getTime3, "00:09:00", 1},
        ReadCase{"Time3_SecondsIgnored", getTime3, "22:00:xx", 232},
        ReadCase{"Time3_LargestFields", getTime3, "99:99:00", 151}, ReadCase{"Time3_Zero", getTime3, "0", 128},
        ReadCase{"Time3_Dash", getTime3, "-", 128}, ReadCase{"Time3_SevenCharacters", getTime3, "2:00:00", 128},
        ReadCase{"Time3_LetterInHours", getTime3, "aa:00:00", kError},
        ReadCase{"Time3_LetterInMinutes", getTime3, "22:0a:00", kError},
        ReadCase{"Time4_MinusOneHour", getTime4, "-01:00:00", 98},
        ReadCase{"Time4_PlusOneHour", getTime4, "01:00:00", 158}, ReadCase{"Time4_Zero", getTime4, "0", 128},
        ReadCase{"Time4_SmallestOffset", getTime4, "-04:16:00", 0},
        ReadCase{"Time4_LargestOffset", getTime4, "04:14:00", 255},
        ReadCase{"Time4_SignCharacterNotLooked", getTime4, "x01:00:00", 98},
        ReadCase{"Time4_CountTruncated", getTime4, "01:01:59", 158},
        ReadCase{"Time4_LessThanOneCount", getTime4, "-00:01:59", 128},
        ReadCase{"Time4_TenCharactersCountForward", getTime4, "01:00:00xx", 158},
        ReadCase{"Time4_SevenCharacters", getTime4, "1:00:00", 128},
        ReadCase{"Time4_LetterAfterSign", getTime4, "-0a:00:00", kError},
        ReadCase{"Time4_Letter", getTime4, "0a:00:00", kError},
        ReadCase{"Time4_SignInside", getTime4, "-01:-0:00", kError}),
    [](const auto& info) { return std::string(info.param.name); });

// Every text the program writes for a code reads back as that code's value.
TEST(TimeText, TextsOfEveryCodeReadBack) {
    for (int code = 0; code <= 0xFF; ++code) {
        SCOPED_TRACE(code);
        const auto byte = static_cast<std::uint8_t>(code);
        const int value = DecodeTime(byte);
        EXPECT_EQ(getTime(displayTime(value)), value);
        EXPECT_EQ(getTime2(displayTime2(value)), value);
        if (byte != 0x80) {
            EXPECT_EQ(getTime3(displayTime4(byte)), code);
        }
    }
}

TEST(TimeText, EveryOffsetReadsBackAsItsSliderPosition) {
    for (int count = -128; count <= 127; ++count) {
        SCOPED_TRACE(count);
        EXPECT_EQ(getTime4(displayTime3(count * 2)), count + 128);
    }
}

TEST(TimeText, NightLengthsReadBack) {
    for (int units = 0; units <= 255; ++units) { // units of 5 minutes
        EXPECT_EQ(getTimeHM(displayTimeHM(units * 300)), units * 5) << units;
    }
}

TEST(TimeText, ConversionErrorNamesTheText) {
    EXPECT_EQ(conversionErrorMessage("ab:cd:ef"), "'ab:cd:ef' is not a valid time.");
    EXPECT_EQ(conversionErrorMessage(""), "'' is not a valid time.");
}

} // namespace
