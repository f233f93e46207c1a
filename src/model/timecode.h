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

int DecodeTime(std::uint8_t code); // value in the field's unit, 0..56700
// The finest scale that reaches the value; a remainder below that scale's step is dropped (631 -> 0x8A,
// which is 600). A value of 0 or less gives 0x00; a value from 57600 up, which no code reaches, gives
// 0xFF (56700).
std::uint8_t convertTime(int value);

// Texts. A value of 0 is "0" in every duration form. Numbers of one digit get a leading "0"; larger
// numbers keep all their digits (360000 s is "100:00:00"). The duration and fade forms put "-" before
// the text of a negative value, which the time codes never produce.
std::string displayTime(int seconds);        // "0" or HH:MM:SS
std::string displayTimeHM(int seconds);      // "0" or HH:MM (seconds dropped)
std::string displayTime2(int millis);        // "0" or SS,mmm
std::string displayTime3(int minutes);       // "0" or [-]HH:MM:SS
std::string displayTime4(std::uint8_t code); // HH:MM:00 clock text of a time-of-day code; 0x80 gives 00:00:00

// Readers of the texts above. The text is taken as bytes and its fields by byte position; the bytes
// between the fields may be anything. A text of another length than the form's gives the value noted
// below without looking at it. A field that is not made of ASCII digits alone (a sign, a blank, a
// non-ASCII byte) gives std::nullopt, and the caller shows conversionErrorMessage(text) and changes
// nothing.
std::optional<int> getTime(std::string_view text);   // seconds of HH:MM:SS; other lengths 0
std::optional<int> getTimeHM(std::string_view text); // minutes of HH:MM; other lengths 0
std::optional<int> getTime2(std::string_view text);  // milliseconds of SS,mmm (more bytes ignored); shorter 0
// Time-of-day code (0..255) of HH:MM:SS, seconds ignored; other lengths 128 (0x80, no time).
std::optional<int> getTime3(std::string_view text);
// Offset count plus 128 of [-]HH:MM:SS: 9 bytes count back (the first byte is dropped whatever it is),
// 8 or 10 and more count forward from the first 8 bytes, fewer than 8 give 128. Texts beyond
// -04:16:00 .. 04:14:00 give numbers outside 0..255, which the caller limits.
std::optional<int> getTime4(std::string_view text);

// The message shown when a time text cannot be read.
std::string conversionErrorMessage(std::string_view text);

} // namespace lumeq
