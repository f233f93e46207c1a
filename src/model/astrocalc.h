#pragma once
// The two calculators behind the ISD editor: the ISD offset from longitude and time zone, and the length
// of the night for a latitude, a date and a twilight angle (for automatic daylight saving). Pure
// functions; the panels and lumeq-cli show their results.

#include <optional>
#include <string>

namespace lumeq::astrocalc {

// ---- ISD offset ----

constexpr int kMinUtcOffset = -11;
constexpr int kMaxUtcOffset = 12;
constexpr double kMaxLongitude = 180.0;
// The offset slider: position = offset count (2-minute steps) + 128, within 0..255.
constexpr int kOffsetPositionZero = 128;
constexpr int kOffsetPositionMax = 255;
// Daylight saving moves the offset by 60 minutes, 30 positions of the slider.
constexpr int kDstPositions = 30;

// How far the middle of the night lies from midnight on the clock, in minutes: (longitude - 15 * utc) * 4,
// longitude in degrees east (west negative), utc the time zone in hours. The module keeps the offset in
// 2-minute steps: a longitude between two half degrees gives the nearest step (halves away from zero);
// on half degrees, the steps of the window's slider, the result is exact.
int isdOffsetMinutes(double longitudeDegrees, int utcHours);
// An offset the image can take from the calculator: above -256 and below 254 minutes.
bool isdOffsetInRange(int minutes);
// The slider position of an offset in range (minutes / 2 + 128).
int offsetPosition(int minutes);
// Minutes of a slider position ((position - 128) * 2).
int offsetPositionMinutes(int position);
// Daylight saving switched on moves the offset slider 30 positions down (60 minutes earlier), switched off
// 30 up; the position stops at 0 and 255.
int offsetPositionAfterDst(int position, bool dstOn);

// ---- Length of the night ----

constexpr int kFirstYear = 2000;
constexpr int kLastYear = 9999;
constexpr double kMaxLatitude = 62.0; // south and north
constexpr double kMinTwilight = -6.0; // civil twilight
constexpr double kMaxTwilight = 0.0;  // the horizon
constexpr double kDefaultTwilight = -3.0;

struct Date {
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..31
};

enum class NightError {
    None,
    InvalidDate,        // no such day in the calendar, or a year beyond 9999
    BeforeYear2000,     // the calculation starts in 2000
    LatitudeOutOfRange, // beyond 62 degrees south or north
    TwilightOutOfRange, // not within -6..0 degrees
    NoNight,            // the sun does not sink to the twilight angle on that day
    NoDay,              // the sun does not rise to the twilight angle on that day
};

struct NightLength {
    NightError error = NightError::None;
    int minutes = 0; // whole hours * 60 + rounded minutes, while error is None

    bool ok() const { return error == NightError::None; }
};

bool validDate(const Date& date);
// Julian day number of a Gregorian date (Fliegel and Van Flandern, truncating integer division):
// 1 January 2000 gives 2451545.
long julianDay(const Date& date);

// The time during which the centre of the sun is below the twilight angle (degrees, negative below the
// horizon), at a latitude in degrees (north positive) on a date. Hours are truncated, the minutes of the
// rest rounded half to even, and 60 minutes carry into the hours.
NightLength nightLength(double latitudeDegrees, const Date& date, double twilightDegrees);
// The declination of the sun on a date, in degrees (about +23.4 in late June, -23.4 in late December).
double sunDeclination(const Date& date);
// The same night for a declination of the sun (degrees), without the calculator's limits on latitude and
// twilight: NoNight where the sun stays above the twilight angle all day, NoDay where it stays below it
// (the poles included; never a NaN).
NightLength nightLengthForDeclination(double latitudeDegrees, double declinationDegrees, double twilightDegrees);
// "HH:MM" of a number of minutes (both fields padded to two digits).
std::string nightLengthText(int minutes);
// The night length that automatic daylight saving takes over: the minutes rounded down to a multiple of 5.
int nightLengthForDst(int minutes);

} // namespace lumeq::astrocalc
