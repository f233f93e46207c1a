#pragma once
// One-byte encodings of durations, fade speeds, clock times and offsets, and their texts.
//
// Time code: bits 7-6 select a step of 1, 10, 60 or 900 units, bits 5-0 a count of 0..63. The unit is
// the field's: seconds for delays and hold times, milliseconds for fade speeds (shown as s/%).
// Time-of-day code: a signed count of 5-minute steps from midnight; 0x80 marks a missing time.
// Offset count: a signed count of 2-minute steps.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumeq {

int DecodeTime(std::uint8_t code);    // value in the field's unit
std::uint8_t convertTime(int value);  // finest scale that reaches the value; remainder dropped

std::string displayTime(int seconds);      // "0" or HH:MM:SS
std::string displayTimeHM(int seconds);    // "0" or HH:MM
std::string displayTime2(int millis);      // "0" or SS,mmm
std::string displayTime3(int minutes);     // "0" or [-]HH:MM:SS
std::string displayTime4(std::uint8_t code); // HH:MM:00 clock text of a time-of-day code

// Readers. Fields are taken by character position; a field that is not a decimal number gives
// std::nullopt, and the caller shows conversionErrorMessage(text) and changes nothing.
std::optional<int> getTime(std::string_view text);   // seconds
std::optional<int> getTimeHM(std::string_view text); // minutes
std::optional<int> getTime2(std::string_view text);  // milliseconds
std::optional<int> getTime3(std::string_view text);  // time-of-day code (0..255)
std::optional<int> getTime4(std::string_view text);  // offset count plus 128

// The message shown when a time text cannot be read.
std::string conversionErrorMessage(std::string_view text);

} // namespace lumeq
