#include "model/valueentry.h"

#include "model/timecode.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace lumeq {

namespace {

constexpr int kLevelMax = 100;

constexpr std::array<std::string_view, kRangeCount> kDurationItems = {"-> 00:01:00", "-> 00:10:00", "-> 01:00:00",
                                                                      "-> 15:00:00"};
constexpr std::array<std::string_view, kRangeCount> kFadeItems = {"-> 00,060", "-> 00,600", "-> 03,600", "-> 54,000"};
constexpr std::array<std::string_view, kRangeCount> kNoItems = {};

bool validRange(int range) {
    return range >= 0 && range < kRangeCount;
}

// Value v rounded to a multiple of the step, halves up; computed in 64 bits and kept within int.
int roundToStep(int value, int step) {
    const long long rounded = (static_cast<long long>(value) + step / 2) / step * step;
    return static_cast<int>(std::min<long long>(rounded, INT_MAX / step * step));
}

} // namespace

const std::array<std::string_view, kRangeCount>& rangeItems(EntryMode mode) {
    switch (mode) {
    case EntryMode::Duration:
        return kDurationItems;
    case EntryMode::Fade:
        return kFadeItems;
    default:
        return kNoItems;
    }
}

SliderState levelSlider(std::optional<int> level, int minLevel) {
    const int minimum = std::clamp(minLevel, 0, kLevelMax);
    return {minimum, kLevelMax, std::clamp(level.value_or(kLevelMax), minimum, kLevelMax), kNoRange};
}

SliderState timeOfDaySlider(int timeOfDayCode) {
    const int code = (timeOfDayCode % 256 + 256) % 256;
    const int count = code < 128 ? code : code - 256;
    return {kTimeOfDayMin, kTimeOfDayMax, std::clamp(count + 128, kTimeOfDayMin, kTimeOfDayMax), kNoRange};
}

int rangeForValue(int value) {
    if (value < 60) {
        return 0;
    }
    if (value < 600) {
        return 1;
    }
    if (value < 3600) {
        return 2;
    }
    return 3;
}

SliderState initSlider(int value) {
    const int range = rangeForValue(value);
    return {0, kRangeSliderMax, std::clamp(value / kRangeSteps[range], 0, kRangeSliderMax), range};
}

std::optional<std::string> sliderText(EntryMode mode, int position, int range) {
    switch (mode) {
    case EntryMode::Level:
        return std::to_string(position);
    case EntryMode::Duration:
    case EntryMode::Fade: {
        if (!validRange(range)) {
            return std::nullopt;
        }
        const int value = std::clamp(position, 0, kRangeSliderMax) * kRangeSteps[range];
        return mode == EntryMode::Duration ? displayTime(value) : displayTime2(value);
    }
    case EntryMode::TimeOfDay:
        // (position - 128) mod 256, written so that no position can overflow.
        return displayTime4(static_cast<std::uint8_t>((position % 256 + 256 + 128) % 256));
    }
    return std::nullopt;
}

RangeChange comboChange(int value, int newRange) {
    const int v = std::max(value, 0);
    if (!validRange(newRange)) {
        return {v, initSlider(v).position};
    }
    int adjusted = 0;
    switch (newRange) {
    case 0:
        adjusted = std::min(v, 60);
        break;
    case 1:
        adjusted = v > 600 ? 600 : roundToStep(v, 10);
        break;
    case 2:
        adjusted = v > 3600 ? 3600 : roundToStep(v, 60);
        break;
    default:
        adjusted = roundToStep(v, 900);
        break;
    }
    return {adjusted, std::clamp(adjusted / kRangeSteps[newRange], 0, kRangeSliderMax)};
}

} // namespace lumeq
