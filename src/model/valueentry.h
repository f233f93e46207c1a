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

// The four items of the range selector for Duration or Fade ("-> 00:01:00", "-> 00,060", ...).
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
SliderState levelSlider(std::optional<int> level, int minLevel);
// Activation of a time edit: `timeOfDayCode` as getTime3 reads it (0..255, two's complement count).
SliderState timeOfDaySlider(int timeOfDayCode);
// initSlider: the range and position for a duration or fade value.
int rangeForValue(int value);
SliderState initSlider(int value);

// The slider rule: what the active edit shows for a slider position. nullopt while a duration or
// fade has no range selected.
std::optional<std::string> sliderText(EntryMode mode, int position, int range);

// The range rule (comboChange): the value adjusted to the new range and the slider position for it
// (clamped to 0..60).
struct RangeChange {
    int value = 0;
    int position = 0;
    friend bool operator==(const RangeChange&, const RangeChange&) = default;
};
RangeChange comboChange(int value, int newRange);

// The slider tag: entry mode in bits 0-3; the dimming-engine editors put the step number above it.
constexpr int sliderTag(EntryMode mode, int step = 0) { return step * 16 + static_cast<int>(mode); }
constexpr int tagMode(int tag) { return tag & 0x0F; }
constexpr int tagStep(int tag) { return tag >> 4; }

} // namespace lumeq
