#include "model/astrocalc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lumeq::astrocalc {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr long kJ2000 = 2451545; // Julian day of 1 January 2000
constexpr double kDaysPerCentury = 36525.0;
constexpr int kMinOffsetMinutes = -256; // the offset count of one byte: -256 .. +254 minutes
constexpr int kMaxOffsetMinutes = 254;

double radians(double degrees) {
    return degrees * kPi / 180.0;
}

// An angle brought into 0..2pi.
double reduce(double x) {
    const double turns = std::nearbyint(x / kTwoPi);
    const double r = x - kTwoPi * turns;
    return r < 0 ? r + kTwoPi : r;
}

// Declination of the sun, in radians, T Julian centuries after 1 January 2000.
double declination(double t) {
    const double m = reduce(kTwoPi * (0.993133 + 99.997361 * t)); // mean anomaly
    const double l =                                              // ecliptic longitude
        reduce(kTwoPi *
               (0.7859453 + m / kTwoPi + (6893.0 * std::sin(m) + 72.0 * std::sin(2.0 * m) + 6191.2 * t) / 1296000.0));
    const double obliquity = radians(23.43929111 + (-46.815 * t - 0.00059 * t * t + 0.001813 * t * t * t) / 3600.0);
    return std::asin(std::sin(obliquity) * std::sin(l));
}

bool leapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

int isdOffsetMinutes(double longitudeDegrees, int utcHours) {
    const double longitude =
        std::isfinite(longitudeDegrees) ? std::clamp(longitudeDegrees, -kMaxLongitude, kMaxLongitude) : 0.0;
    const int utc = std::clamp(utcHours, kMinUtcOffset, kMaxUtcOffset);
    const double minutes = (longitude - 15.0 * utc) * 4.0;
    return static_cast<int>(std::lround(minutes / 2.0)) * 2;
}

bool isdOffsetInRange(int minutes) {
    return minutes > kMinOffsetMinutes && minutes < kMaxOffsetMinutes;
}

int offsetPosition(int minutes) {
    return minutes / 2 + kOffsetPositionZero;
}

int offsetPositionMinutes(int position) {
    return (position - kOffsetPositionZero) * 2;
}

int offsetPositionAfterDst(int position, bool dstOn) {
    return std::clamp(dstOn ? position - kDstPositions : position + kDstPositions, 0, kOffsetPositionMax);
}

bool validDate(const Date& date) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (date.year < 1 || date.year > kLastYear || date.month < 1 || date.month > 12 || date.day < 1)
        return false;
    const int days = kDays[date.month - 1] + (date.month == 2 && leapYear(date.year) ? 1 : 0);
    return date.day <= days;
}

long julianDay(const Date& date) {
    const long day = date.day;
    const long month = date.month;
    const long year = date.year;
    const long a = (month - 14) / 12;
    return day - 32075 + 1461 * (year + 4800 + a) / 4 + 367 * (month - 2 - 12 * a) / 12 -
           3 * ((year + 4900 + a) / 100) / 4;
}

NightLength nightLength(double latitudeDegrees, const Date& date, double twilightDegrees) {
    if (!validDate(date))
        return {NightError::InvalidDate};
    if (date.year < kFirstYear)
        return {NightError::BeforeYear2000};
    if (!std::isfinite(latitudeDegrees) || std::fabs(latitudeDegrees) > kMaxLatitude)
        return {NightError::LatitudeOutOfRange};
    if (!std::isfinite(twilightDegrees) || twilightDegrees < kMinTwilight || twilightDegrees > kMaxTwilight)
        return {NightError::TwilightOutOfRange};

    return nightLengthForDeclination(latitudeDegrees, sunDeclination(date), twilightDegrees);
}

double sunDeclination(const Date& date) {
    const double t = static_cast<double>(julianDay(date) - kJ2000) / kDaysPerCentury;
    return declination(t) * 180.0 / kPi;
}

NightLength nightLengthForDeclination(double latitudeDegrees, double declinationDegrees, double twilightDegrees) {
    const double phi = radians(latitudeDegrees);
    const double delta = radians(declinationDegrees);
    const double h0 = radians(twilightDegrees);
    const double cosHourAngle = (std::sin(h0) - std::sin(phi) * std::sin(delta)) / (std::cos(phi) * std::cos(delta));
    // Towards a pole the quotient grows without bound; where it is not a number at all (a pole with the sun
    // exactly at the twilight angle) it fails the first test and counts as no night.
    if (!(cosHourAngle >= -1.0))
        return {NightError::NoNight};
    if (cosHourAngle > 1.0)
        return {NightError::NoDay};

    const double halfDay = 12.0 / kPi * std::acos(cosHourAngle); // hours
    const double night = (12.0 - halfDay) * 2.0;
    int hours = static_cast<int>(night);
    // Rounded half to even (the default rounding mode); 60 minutes are the next hour.
    int minutes = static_cast<int>(std::nearbyint((night - hours) * 60.0));
    if (minutes >= 60) {
        hours += 1;
        minutes -= 60;
    }
    return {NightError::None, hours * 60 + minutes};
}

std::string nightLengthText(int minutes) {
    const auto two = [](int value) {
        std::string text = std::to_string(value);
        return text.size() < 2 ? "0" + text : text;
    };
    return two(minutes / 60) + ":" + two(minutes % 60);
}

int nightLengthForDst(int minutes) {
    return minutes / 5 * 5;
}

} // namespace lumeq::astrocalc
