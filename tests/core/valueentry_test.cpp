#include "model/timecode.h"
#include "model/valueentry.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace lumeq;

namespace {

// ---- Activation -------------------------------------------------------------------------------------

struct LevelCase {
    const char* name;
    std::optional<int> level;
    int minLevel;
    SliderState expected;
};

void PrintTo(const LevelCase& c, std::ostream* os) {
    *os << c.name;
}

class LevelSliderTest : public testing::TestWithParam<LevelCase> {};

TEST_P(LevelSliderTest, LimitsAndPosition) {
    const LevelCase& c = GetParam();
    EXPECT_EQ(levelSlider(c.level, c.minLevel), c.expected);
}

INSTANTIATE_TEST_SUITE_P(ValueEntry, LevelSliderTest,
                         testing::Values(LevelCase{"LevelAboveMinimum", 50, 10, {10, 100, 50, kNoRange}},
                                         LevelCase{"NoNumberOpensAt100", std::nullopt, 0, {0, 100, 100, kNoRange}},
                                         LevelCase{"NoNumberWithMinimum", std::nullopt, 30, {30, 100, 100, kNoRange}},
                                         LevelCase{"BelowMinimumIsRaised", 5, 20, {20, 100, 20, kNoRange}},
                                         LevelCase{"AtMinimum", 20, 20, {20, 100, 20, kNoRange}},
                                         LevelCase{"AboveHundredIsLowered", 150, 0, {0, 100, 100, kNoRange}},
                                         LevelCase{"MinimumOfHundred", 40, 100, {100, 100, 100, kNoRange}},
                                         LevelCase{"DamagedMinimumAbove100", 40, 200, {100, 100, 100, kNoRange}},
                                         LevelCase{"NegativeMinimum", -3, -10, {0, 100, 0, kNoRange}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TimeOfDayCase {
    const char* name;
    std::string_view text; // the time edit, read with getTime3 as activation does
    int position;
};

void PrintTo(const TimeOfDayCase& c, std::ostream* os) {
    *os << c.name;
}

class TimeOfDaySliderTest : public testing::TestWithParam<TimeOfDayCase> {};

TEST_P(TimeOfDaySliderTest, PositionFromEditText) {
    const TimeOfDayCase& c = GetParam();
    const std::optional<int> code = getTime3(c.text);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(timeOfDaySlider(*code), (SliderState{kTimeOfDayMin, kTimeOfDayMax, c.position, kNoRange}));
}

INSTANTIATE_TEST_SUITE_P(ValueEntry, TimeOfDaySliderTest,
                         testing::Values(TimeOfDayCase{"Midnight", "00:00:00", 128},
                                         TimeOfDayCase{"TenPm", "22:00:00", 104},
                                         TimeOfDayCase{"NineAm", "09:00:00", 236},
                                         TimeOfDayCase{"ThreePm", "15:00:00", 20},
                                         TimeOfDayCase{"FiveToMidnight", "23:55:00", 127},
                                         TimeOfDayCase{"NoonBeforeSliderStart", "12:00:00", 20},
                                         TimeOfDayCase{"TenAmAfterSliderEnd", "10:00:00", 236},
                                         TimeOfDayCase{"MissingTimeOpensAtStart", "-", 20}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ValueEntry, TimeOfDaySliderTakesCodesModulo256) {
    EXPECT_EQ(timeOfDaySlider(232 + 256).position, 104);
    EXPECT_EQ(timeOfDaySlider(232 - 512).position, 104);
    EXPECT_EQ(timeOfDaySlider(INT_MIN).position, timeOfDaySlider(0).position);
    EXPECT_EQ(timeOfDaySlider(INT_MAX).position, timeOfDaySlider(255).position);
}

struct InitCase {
    const char* name;
    int value;
    int range;
    int position;
};

void PrintTo(const InitCase& c, std::ostream* os) {
    *os << c.name;
}

class InitSliderTest : public testing::TestWithParam<InitCase> {};

TEST_P(InitSliderTest, RangeAndPosition) {
    const InitCase& c = GetParam();
    EXPECT_EQ(rangeForValue(c.value), c.range);
    EXPECT_EQ(initSlider(c.value), (SliderState{0, kRangeSliderMax, c.position, c.range}));
}

INSTANTIATE_TEST_SUITE_P(ValueEntry, InitSliderTest,
                         testing::Values(InitCase{"Zero", 0, 0, 0}, InitCase{"Below60", 59, 0, 59},
                                         InitCase{"Exactly60", 60, 1, 6}, InitCase{"Below600", 599, 1, 59},
                                         InitCase{"Exactly600", 600, 2, 10}, InitCase{"Below3600", 3599, 2, 59},
                                         InitCase{"Exactly3600", 3600, 3, 4}, InitCase{"Top", 54000, 3, 60},
                                         InitCase{"LargestCodeClampedTo60", 56700, 3, 60},
                                         InitCase{"Huge", INT_MAX, 3, 60}, InitCase{"Negative", -5, 0, 0},
                                         InitCase{"MostNegative", INT_MIN, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Slider rule ------------------------------------------------------------------------------------

struct SliderTextCase {
    const char* name;
    EntryMode mode;
    int position;
    int range;
    std::optional<std::string> text;
};

void PrintTo(const SliderTextCase& c, std::ostream* os) {
    *os << c.name;
}

class SliderTextTest : public testing::TestWithParam<SliderTextCase> {};

TEST_P(SliderTextTest, EditText) {
    const SliderTextCase& c = GetParam();
    EXPECT_EQ(sliderText(c.mode, c.position, c.range), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    ValueEntry, SliderTextTest,
    testing::Values(SliderTextCase{"LevelNumber", EntryMode::Level, 37, kNoRange, "37"},
                    SliderTextCase{"LevelZero", EntryMode::Level, 0, kNoRange, "0"},
                    SliderTextCase{"LevelHundred", EntryMode::Level, 100, kNoRange, "100"},
                    SliderTextCase{"DurationZero", EntryMode::Duration, 0, 2, "0"},
                    SliderTextCase{"DurationRange0Top", EntryMode::Duration, 60, 0, "00:01:00"},
                    SliderTextCase{"DurationRange1", EntryMode::Duration, 46, 1, "00:07:40"},
                    SliderTextCase{"DurationRange2Top", EntryMode::Duration, 60, 2, "01:00:00"},
                    SliderTextCase{"DurationRange3Top", EntryMode::Duration, 60, 3, "15:00:00"},
                    SliderTextCase{"DurationNoRange", EntryMode::Duration, 30, kNoRange, std::nullopt},
                    SliderTextCase{"DurationBadRange", EntryMode::Duration, 30, 4, std::nullopt},
                    SliderTextCase{"DurationPastEndTakenAt60", EntryMode::Duration, 61, 3, "15:00:00"},
                    SliderTextCase{"DurationNegativeTakenAt0", EntryMode::Duration, -1, 3, "0"},
                    SliderTextCase{"DurationHugePosition", EntryMode::Duration, INT_MAX, 3, "15:00:00"},
                    SliderTextCase{"FadeRange0One", EntryMode::Fade, 1, 0, "00,001"},
                    SliderTextCase{"FadeRange0Top", EntryMode::Fade, 60, 0, "00,060"},
                    SliderTextCase{"FadeRange1", EntryMode::Fade, 13, 1, "00,130"},
                    SliderTextCase{"FadeRange2Top", EntryMode::Fade, 60, 2, "03,600"},
                    SliderTextCase{"FadeRange3Top", EntryMode::Fade, 60, 3, "54,000"},
                    SliderTextCase{"FadeNoRange", EntryMode::Fade, 10, kNoRange, std::nullopt},
                    SliderTextCase{"TimeOfDayStart", EntryMode::TimeOfDay, 20, kNoRange, "15:00:00"},
                    SliderTextCase{"TimeOfDayBeforeMidnight", EntryMode::TimeOfDay, 127, kNoRange, "23:55:00"},
                    SliderTextCase{"TimeOfDayMidnight", EntryMode::TimeOfDay, 128, kNoRange, "00:00:00"},
                    SliderTextCase{"TimeOfDayEnd", EntryMode::TimeOfDay, 236, kNoRange, "09:00:00"},
                    SliderTextCase{"TimeOfDayTenPm", EntryMode::TimeOfDay, 104, kNoRange, "22:00:00"},
                    SliderTextCase{"TimeOfDayWrapsAbove255", EntryMode::TimeOfDay, 256 + 104, kNoRange, "22:00:00"},
                    SliderTextCase{"TimeOfDayWrapsBelow0", EntryMode::TimeOfDay, 104 - 256, kNoRange, "22:00:00"},
                    SliderTextCase{"TimeOfDayMostNegative", EntryMode::TimeOfDay, INT_MIN, kNoRange, "00:00:00"},
                    SliderTextCase{"UnknownMode", static_cast<EntryMode>(9), 10, 0, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ValueEntry, RangeItemsShowTheValueAtPosition60) {
    for (int range = 0; range < kRangeCount; ++range) {
        SCOPED_TRACE(range);
        EXPECT_EQ(rangeItems(EntryMode::Duration)[range], "-> " + *sliderText(EntryMode::Duration, 60, range));
        EXPECT_EQ(rangeItems(EntryMode::Fade)[range], "-> " + *sliderText(EntryMode::Fade, 60, range));
    }
    EXPECT_EQ(rangeItems(EntryMode::Duration)[3], "-> 15:00:00");
    EXPECT_EQ(rangeItems(EntryMode::Fade)[0], "-> 00,060");
    for (std::string_view item : rangeItems(EntryMode::Level)) {
        EXPECT_TRUE(item.empty());
    }
}

// Every value the slider can produce is read back from its text and stored in a time code without loss.
TEST(ValueEntry, EverySliderValueSurvivesTextAndTimeCode) {
    for (EntryMode mode : {EntryMode::Duration, EntryMode::Fade}) {
        for (int range = 0; range < kRangeCount; ++range) {
            for (int position = 0; position <= kRangeSliderMax; ++position) {
                SCOPED_TRACE(testing::Message()
                             << "mode " << static_cast<int>(mode) << " range " << range << " position " << position);
                const std::string text = *sliderText(mode, position, range);
                const std::optional<int> value = mode == EntryMode::Duration ? getTime(text) : getTime2(text);
                ASSERT_TRUE(value.has_value());
                EXPECT_EQ(*value, position * kRangeSteps[range]);
                EXPECT_EQ(DecodeTime(convertTime(*value)), *value);
                // Opening the edit again lands on a position that shows the same text.
                const SliderState reopened = initSlider(*value);
                EXPECT_EQ(sliderText(mode, reopened.position, reopened.range), text);
            }
        }
    }
}

TEST(ValueEntry, EveryTimeOfDayPositionOpensWhereItWasLeft) {
    for (int position = kTimeOfDayMin; position <= kTimeOfDayMax; ++position) {
        SCOPED_TRACE(position);
        const std::string text = *sliderText(EntryMode::TimeOfDay, position, kNoRange);
        const std::optional<int> code = getTime3(text);
        ASSERT_TRUE(code.has_value());
        EXPECT_EQ(timeOfDaySlider(*code).position, position);
    }
}

// ---- Range rule -------------------------------------------------------------------------------------

struct RangeChangeCase {
    const char* name;
    int value;
    int newRange;
    RangeChange expected;
};

void PrintTo(const RangeChangeCase& c, std::ostream* os) {
    *os << c.name;
}

class ComboChangeTest : public testing::TestWithParam<RangeChangeCase> {};

TEST_P(ComboChangeTest, ValueAndPosition) {
    const RangeChangeCase& c = GetParam();
    EXPECT_EQ(comboChange(c.value, c.newRange), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ValueEntry, ComboChangeTest,
    testing::Values(
        RangeChangeCase{"Range0KeepsSmall", 45, 0, {45, 45}}, RangeChangeCase{"Range0CapsAt60", 455, 0, {60, 60}},
        RangeChangeCase{"Range1RoundsUp", 455, 1, {460, 46}}, RangeChangeCase{"Range1RoundsDown", 454, 1, {450, 45}},
        RangeChangeCase{"Range1Exactly600", 600, 1, {600, 60}},
        RangeChangeCase{"Range1CapsAbove600", 601, 1, {600, 60}},
        RangeChangeCase{"Range1HalfOfFirstStep", 5, 1, {10, 1}}, RangeChangeCase{"Range1BelowHalfStep", 4, 1, {0, 0}},
        RangeChangeCase{"Range1Fade125", 125, 1, {130, 13}}, RangeChangeCase{"Range2RoundsUp", 455, 2, {480, 8}},
        RangeChangeCase{"Range2RoundsDown", 449, 2, {420, 7}},
        RangeChangeCase{"Range2Exactly3600", 3600, 2, {3600, 60}},
        RangeChangeCase{"Range2CapsFifteenHours", 54000, 2, {3600, 60}},
        RangeChangeCase{"Range3RoundsUp", 455, 3, {900, 1}}, RangeChangeCase{"Range3RoundsDown", 449, 3, {0, 0}},
        RangeChangeCase{"Range3Top", 54000, 3, {54000, 60}},
        RangeChangeCase{"Range3KeepsLargestCode", 56700, 3, {56700, 60}},
        RangeChangeCase{"Range3HugeValueStaysInInt", INT_MAX, 3, {INT_MAX / 900 * 900, 60}},
        RangeChangeCase{"NegativeTakenAsZero", -30, 2, {0, 0}},
        RangeChangeCase{"MostNegativeTakenAsZero", INT_MIN, 3, {0, 0}},
        RangeChangeCase{"EmptiedSelectorKeepsValue", 455, -1, {455, 45}},
        RangeChangeCase{"UnknownRangeKeepsValue", 3600, 4, {3600, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

// The value strip as the editors drive it: the edit text and the slider position it keeps between
// actions. Activation and a range choice move the slider; only a move runs the slider rule, which
// rewrites the edit from the position.
class DurationStrip : public testing::Test {
protected:
    void activate(EntryMode entryMode, std::string_view text) {
        mode = entryMode;
        editText = std::string(text);
        const std::optional<int> value = read(editText);
        ASSERT_TRUE(value.has_value());
        const SliderState state = initSlider(*value);
        range = state.range;
        moveSlider(state.position);
    }

    void chooseRange(int newRange) {
        const std::optional<int> value = read(editText);
        ASSERT_TRUE(value.has_value());
        const RangeChange change = comboChange(*value, newRange);
        range = newRange;
        editText = mode == EntryMode::Duration ? displayTime(change.value) : displayTime2(change.value);
        moveSlider(change.position);
    }

    void moveSlider(int newPosition) {
        if (newPosition != position) {
            position = newPosition;
            editText = sliderText(mode, position, range).value_or(editText);
        }
    }

    std::optional<int> read(std::string_view text) const {
        return mode == EntryMode::Duration ? getTime(text) : getTime2(text);
    }

    EntryMode mode = EntryMode::Duration;
    int position = 0;
    int range = kNoRange;
    std::string editText;
};

TEST_F(DurationStrip, RangeChangesOfSevenMinutesThirtyFive) {
    struct Case {
        int range;
        const char* text;
        int position;
    };
    for (const Case& c : {Case{1, "00:07:40", 46}, Case{2, "00:08:00", 8}, Case{0, "00:01:00", 60}}) {
        SCOPED_TRACE(c.range);
        position = 45; // the slider already stood where 455 s opens, so the edit still shows 00:07:35
        activate(EntryMode::Duration, "00:07:35");
        ASSERT_EQ(editText, "00:07:35");
        chooseRange(c.range);
        EXPECT_EQ(editText, c.text);
        EXPECT_EQ(position, c.position);
    }
}

TEST_F(DurationStrip, ActivationMovingTheSliderDropsTheRemainder) {
    activate(EntryMode::Duration, "00:07:35");
    EXPECT_EQ(range, 1);
    EXPECT_EQ(position, 45);
    EXPECT_EQ(editText, "00:07:30");
}

TEST_F(DurationStrip, FadeRoundsToTheNewStep) {
    position = 12;
    activate(EntryMode::Fade, "00,125");
    chooseRange(1);
    EXPECT_EQ(editText, "00,130");
    EXPECT_EQ(position, 13);
}

TEST_F(DurationStrip, FifteenHoursToRange2EndsAtOneHour) {
    activate(EntryMode::Duration, "15:00:00");
    EXPECT_EQ(position, 60);
    chooseRange(2);
    EXPECT_EQ(editText, "01:00:00");
    EXPECT_EQ(position, 60);
}

TEST_F(DurationStrip, LargestCodeStaysOnShowWhileTheSliderStandsAt60) {
    const std::string stored = displayTime(DecodeTime(0xFF));
    position = 60;
    activate(EntryMode::Duration, stored);
    EXPECT_EQ(editText, "15:45:00");
    chooseRange(3);
    EXPECT_EQ(editText, "15:45:00");
    EXPECT_EQ(position, 60);
    EXPECT_EQ(convertTime(*getTime(editText)), 0xFF);

    position = 0; // from anywhere else, the slider rule writes 60 times the step
    activate(EntryMode::Duration, stored);
    EXPECT_EQ(editText, "15:00:00");
}

TEST_F(DurationStrip, ZeroOpensInRange0) {
    activate(EntryMode::Duration, "0");
    EXPECT_EQ(range, 0);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(editText, "0");
    chooseRange(3);
    EXPECT_EQ(editText, "0");
}

// ---- Slider tag -------------------------------------------------------------------------------------

TEST(ValueEntry, SliderTagCarriesModeAndStep) {
    for (EntryMode mode : {EntryMode::Level, EntryMode::Duration, EntryMode::Fade, EntryMode::TimeOfDay}) {
        for (int step = 0; step <= 10; ++step) {
            const int tag = sliderTag(mode, step);
            EXPECT_EQ(tagMode(tag), static_cast<int>(mode));
            EXPECT_EQ(tagStep(tag), step);
        }
    }
    EXPECT_EQ(sliderTag(EntryMode::TimeOfDay, 3), 52);
    EXPECT_EQ(sliderTag(EntryMode::Duration), 2);
}

} // namespace
