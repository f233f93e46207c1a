#include "model/timecode.h"

namespace lumeq {

namespace {

constexpr int kScaleSteps[4] = {1, 10, 60, 900};

// A number of at least two digits ("7" -> "07"); more digits stay as they are.
std::string twoDigits(long long value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? "0" + text : text;
}

std::string threeDigits(long long value) {
    std::string text = std::to_string(value);
    return text.size() < 3 ? std::string(3 - text.size(), '0') + text : text;
}

// HH:MM:SS of a non-negative number of seconds.
std::string clockText(long long seconds) {
    return twoDigits(seconds / 3600) + ":" + twoDigits(seconds % 3600 / 60) + ":" + twoDigits(seconds % 60);
}

// "-" for a negative value; the magnitude in 64 bits, so the most negative int has one as well.
std::string signOf(long long value) {
    return value < 0 ? "-" : "";
}
long long magnitude(long long value) {
    return value < 0 ? -value : value;
}

// The decimal number in bytes [first, first + count) of the text (first counted from 0). Digits only: a
// sign, a blank or any other byte makes the field unreadable. The caller checks the text's length.
std::optional<int> field(std::string_view text, std::size_t first, std::size_t count) {
    int value = 0;
    for (char c : text.substr(first, count)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// Hours, minutes and seconds of an 8-byte "HH:MM:SS" duration, in seconds.
std::optional<int> durationSeconds(std::string_view text) {
    const auto hours = field(text, 0, 2);
    const auto minutes = field(text, 3, 2);
    const auto seconds = field(text, 6, 2);
    if (!hours || !minutes || !seconds) {
        return std::nullopt;
    }
    return *hours * 3600 + *minutes * 60 + *seconds;
}

} // namespace

int DecodeTime(std::uint8_t code) {
    return (code & 0x3F) * kScaleSteps[code >> 6];
}

std::uint8_t convertTime(int value) {
    if (value <= 0) {
        return 0x00; // durations are never negative; a negative value is taken as 0
    }
    if (value < 64) {
        return static_cast<std::uint8_t>(value);
    }
    if (value <= 630) {
        return static_cast<std::uint8_t>(64 + value / 10);
    }
    if (value <= 3780) {
        return static_cast<std::uint8_t>(128 + value / 60);
    }
    if (value >= 57600) {
        return 0xFF; // beyond the largest code (56700): the largest code rather than a wrapped byte
    }
    return static_cast<std::uint8_t>(192 + value / 900);
}

std::string displayTime(int seconds) {
    if (seconds == 0) {
        return "0";
    }
    return signOf(seconds) + clockText(magnitude(seconds));
}

std::string displayTimeHM(int seconds) {
    if (seconds == 0) {
        return "0";
    }
    const long long s = magnitude(seconds);
    return signOf(seconds) + twoDigits(s / 3600) + ":" + twoDigits(s % 3600 / 60);
}

std::string displayTime2(int millis) {
    if (millis == 0) {
        return "0";
    }
    const long long m = magnitude(millis);
    return signOf(millis) + twoDigits(m / 1000) + "," + threeDigits(m % 1000);
}

std::string displayTime3(int minutes) {
    if (minutes == 0) {
        return "0";
    }
    return signOf(minutes) + clockText(magnitude(minutes) * 60);
}

std::string displayTime4(std::uint8_t code) {
    if (code == 0x80) {
        return "00:00:00"; // no time set
    }
    const int minutes = code < 0x80 ? code * 5 : (code - 256) * 5 + 1440;
    return twoDigits(minutes / 60) + ":" + twoDigits(minutes % 60) + ":00";
}

std::optional<int> getTime(std::string_view text) {
    if (text.size() != 8) {
        return 0;
    }
    return durationSeconds(text);
}

std::optional<int> getTimeHM(std::string_view text) {
    if (text.size() != 5) {
        return 0;
    }
    const auto hours = field(text, 0, 2);
    const auto minutes = field(text, 3, 2);
    if (!hours || !minutes) {
        return std::nullopt;
    }
    return *hours * 60 + *minutes;
}

std::optional<int> getTime2(std::string_view text) {
    if (text.size() < 6) {
        return 0;
    }
    const auto seconds = field(text, 0, 2);
    const auto millis = field(text, 3, 3);
    if (!seconds || !millis) {
        return std::nullopt;
    }
    return *seconds * 1000 + *millis;
}

std::optional<int> getTime3(std::string_view text) {
    if (text.size() != 8) {
        return 0x80;
    }
    const auto hours = field(text, 0, 2);
    const auto minutes = field(text, 3, 2);
    if (!hours || !minutes) {
        return std::nullopt;
    }
    int m = *hours * 60 + *minutes;
    if (m > 720) {
        m -= 1440; // afternoon and evening count back from midnight
    }
    const int count = m / 5; // toward zero
    return (count % 256 + 256) % 256;
}

std::optional<int> getTime4(std::string_view text) {
    if (text.size() < 8) {
        return 128;
    }
    const bool signedText = text.size() == 9; // "-HH:MM:SS": the first character is the sign
    const auto seconds = durationSeconds(signedText ? text.substr(1) : text);
    if (!seconds) {
        return std::nullopt;
    }
    const int count = *seconds / 120;
    return signedText ? 128 - count : 128 + count;
}

std::string conversionErrorMessage(std::string_view text) {
    std::string message = "'";
    message.append(text);
    message.append("' is not a valid time.");
    return message;
}

} // namespace lumeq
