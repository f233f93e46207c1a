#pragma once
// Rules of value entry: the editors never let the user type a value. A read-only edit shows it and a
// slider (with a range selector for durations and fades) changes it. These are the pure rules; the
// widget strip that applies them lives in editors/valueslider.h.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace lumeq {

enum class EntryMode : int {
    Level = 1,     // percent; slider from the minimum level (image byte 2) to 100
    Duration = 2,  // seconds, displayTime; slider 0..60 times the range's step
    Fade = 3,      // milliseconds, displayTime2; slider 0..60 times the range's step
    TimeOfDay = 4, // displayTime4; slider 20..236 = signed 5-minute count + 128 (15:00 .. 09:00)
};

constexpr int kRangeCount = 4;
constexpr std::array<int, kRangeCount> kRangeSteps = {1, 10, 60, 900};
constexpr int kRangeSliderMax = 60;
constexpr int kTimeOfDayMin = 20;
constexpr int kTimeOfDayMax = 236;
constexpr int kNoRange = -1;

// The four items of the range selector for Duration or Fade ("-> 00:01:00", "-> 00,060", ...); four empty
// texts for the modes without a range selector.
const std::array<std::string_view, kRangeCount>& rangeItems(EntryMode mode);

// Limits and position of the slider, and the selected range (kNoRange where the selector is hidden).
struct SliderState {
    int minimum = 0;
    int maximum = 0;
    int position = 0;
    int range = kNoRange;
    friend bool operator==(const SliderState&, const SliderState&) = default;
};

// Activation of a level edit: `level` is the edit's number, nullopt when it holds none (such as "-").
// Slider minLevel..100, position = level (100 without one) clamped into the limits. A minimum level
// outside 0..100 (a damaged image) is taken as the nearest of the two.
SliderState levelSlider(std::optional<int> level, int minLevel);
// Activation of a time edit: `timeOfDayCode` as getTime3 reads it (0..255, two's complement count;
// other numbers are taken modulo 256). Position = count + 128 clamped to 20..236, so 0x80 (no time)
// opens at 20.
SliderState timeOfDaySlider(int timeOfDayCode);
// initSlider: the range and position for a duration or fade value. Range 0 below 60 (negative values
// included), 1 for 60..599, 2 for 600..3599, 3 from 3600 up; position = value / step clamped to 0..60.
int rangeForValue(int value);
SliderState initSlider(int value);

// The slider rule: what the active edit shows for a slider position. Level: the position as a number.
// Duration/Fade: displayTime/displayTime2 of position times the range's step, the position taken within
// 0..60; nullopt while no range (or no valid range index) is selected. Time of day: displayTime4 of
// (position - 128) modulo 256.
std::optional<std::string> sliderText(EntryMode mode, int position, int range);

// The range rule (comboChange): the value adjusted to the new range (0: at most 60; 1: at most 600,
// else rounded to 10s, halves up; 2: at most 3600, else rounded to 60s; 3: rounded to 900s with no
// upper limit) and the slider position of the adjusted value (value / step, clamped to 0..60). When the
// position differs from the slider's, the slider rule then rewrites the edit from it. A negative value
// is taken as 0. A range index outside 0..3 (such as -1 from an emptied selector) keeps the value and
// gives the position initSlider would.
struct RangeChange {
    int value = 0;
    int position = 0;
    friend bool operator==(const RangeChange&, const RangeChange&) = default;
};
RangeChange comboChange(int value, int newRange);

// The slider tag: entry mode in bits 0-3; the dimming-engine editors put the step number above it.
constexpr int sliderTag(EntryMode mode, int step = 0) {
    return step * 16 + static_cast<int>(mode);
}
constexpr int tagMode(int tag) {
    return tag & 0x0F;
}
constexpr int tagStep(int tag) {
    return tag >> 4;
}

} // namespace lumeq
