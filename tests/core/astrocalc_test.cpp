#include "model/astrocalc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace lumeq::astrocalc;

namespace lumeq::astrocalc {

void PrintTo(NightError error, std::ostream* os) {
    const char* names[] = {"None",    "InvalidDate", "BeforeYear2000", "LatitudeOutOfRange", "TwilightOutOfRange",
                           "NoNight", "NoDay"};
    *os << names[static_cast<int>(error)];
}

} // namespace lumeq::astrocalc

namespace {

// ---- ISD offset ---------------------------------------------------------------------------------------------

struct OffsetCase {
    const char* name;
    double longitude; // degrees, east positive
    int utc;
    int minutes;
    bool inRange;
};

class IsdOffsetTest : public testing::TestWithParam<OffsetCase> {};

TEST_P(IsdOffsetTest, FromLongitudeAndTimeZone) {
    const OffsetCase& c = GetParam();
    const int minutes = isdOffsetMinutes(c.longitude, c.utc);
    EXPECT_EQ(minutes, c.minutes);
    EXPECT_EQ(isdOffsetInRange(minutes), c.inRange);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsdOffsetTest,
    testing::Values(OffsetCase{"E9_UTCplus1", 9.0, 1, -24, true}, OffsetCase{"W180_UTCminus11", -180.0, -11, -60, true},
                    OffsetCase{"E180_UTCminus11", 180.0, -11, 1380, false},
                    OffsetCase{"Greenwich_UTC", 0.0, 0, 0, true}, OffsetCase{"E7_5_UTC", 7.5, 0, 30, true},
                    OffsetCase{"W0_5_UTC", -0.5, 0, -2, true},
                    // The ends: -256 and 254 are one step too far, -254 and 252 the last offsets taken.
                    OffsetCase{"E60_UTCplus8", 60.0, 8, -240, true}, OffsetCase{"E56_UTCplus8", 56.0, 8, -256, false},
                    OffsetCase{"E56_5_UTCplus8", 56.5, 8, -254, true}, OffsetCase{"E63_UTC", 63.0, 0, 252, true},
                    OffsetCase{"E63_5_UTC", 63.5, 0, 254, false},
                    // Between half degrees: the nearest 2-minute step, halves away from zero.
                    OffsetCase{"E7_3_UTC", 7.3, 0, 30, true}, OffsetCase{"E7_25_UTC", 7.25, 0, 30, true},
                    OffsetCase{"W7_25_UTC", -7.25, 0, -30, true}, OffsetCase{"E7_2_UTC", 7.2, 0, 28, true},
                    // Beyond the map the longitude and the zone are taken at their ends.
                    OffsetCase{"E200_UTCplus20", 200.0, 20, 0, true},
                    OffsetCase{"NaN_UTC", std::numeric_limits<double>::quiet_NaN(), 0, 0, true}),
    [](const testing::TestParamInfo<OffsetCase>& info) { return std::string(info.param.name); });

TEST(IsdOffsetSlider, PositionsAndDaylightSaving) {
    EXPECT_EQ(offsetPosition(-24), 116);
    EXPECT_EQ(offsetPosition(0), 128);
    EXPECT_EQ(offsetPosition(-254), 1);
    EXPECT_EQ(offsetPosition(252), 254);
    EXPECT_EQ(offsetPositionMinutes(116), -24);
    EXPECT_EQ(offsetPositionMinutes(0), -256);
    EXPECT_EQ(offsetPositionMinutes(255), 254);

    struct Case {
        int position;
        bool dstOn;
        int expected;
    };
    const Case cases[] = {
        {128, true, 98},   {98, false, 128},  // "0" <-> -01:00:00
        {116, true, 86},                      // -00:24:00 -> -01:24:00
        {20, true, 0},     {0, true, 0},      // stops at 0
        {240, false, 255}, {255, false, 255}, // stops at 255
        {30, true, 0},     {225, false, 255},
    };
    for (const Case& c : cases)
        EXPECT_EQ(offsetPositionAfterDst(c.position, c.dstOn), c.expected) << c.position << (c.dstOn ? " on" : " off");
}

// ---- Calendar -----------------------------------------------------------------------------------------------

TEST(AstroCalendar, JulianDayNumbers) {
    EXPECT_EQ(julianDay({2000, 1, 1}), 2451545);
    EXPECT_EQ(julianDay({1999, 12, 31}), 2451544);
    EXPECT_EQ(julianDay({2000, 3, 1}), 2451605); // 2000 is a leap year: 31 + 29 days later
    EXPECT_EQ(julianDay({2014, 3, 10}), 2456727);
    EXPECT_EQ(julianDay({2100, 3, 1}), 2488129); // 2100 is not
    EXPECT_EQ(julianDay({2100, 3, 1}) - julianDay({2100, 2, 28}), 1);
}

TEST(AstroCalendar, ValidDates) {
    EXPECT_TRUE(validDate({2014, 3, 10}));
    EXPECT_TRUE(validDate({2000, 2, 29}));
    EXPECT_TRUE(validDate({2024, 2, 29}));
    EXPECT_TRUE(validDate({9999, 12, 31}));
    EXPECT_FALSE(validDate({2023, 2, 29}));
    EXPECT_FALSE(validDate({2100, 2, 29}));
    EXPECT_FALSE(validDate({2014, 4, 31}));
    EXPECT_FALSE(validDate({2014, 13, 1}));
    EXPECT_FALSE(validDate({2014, 0, 1}));
    EXPECT_FALSE(validDate({2014, 1, 0}));
    EXPECT_FALSE(validDate({10000, 1, 1}));
    EXPECT_FALSE(validDate({0, 1, 1}));
}

// ---- Length of the night ------------------------------------------------------------------------------------

struct NightCase {
    const char* name;
    double latitude;
    Date date;
    double twilight;
    NightError error;
    const char* text; // when error is None
};

class NightLengthTest : public testing::TestWithParam<NightCase> {};

TEST_P(NightLengthTest, Calculated) {
    const NightCase& c = GetParam();
    const NightLength night = nightLength(c.latitude, c.date, c.twilight);
    EXPECT_EQ(night.error, c.error);
    if (c.error == NightError::None) {
        EXPECT_EQ(nightLengthText(night.minutes), c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NightLengthTest,
    testing::Values(NightCase{"N50_minus3_10Mar2014", 50, {2014, 3, 10}, -3, NightError::None, "12:01"},
                    NightCase{"N50_minus3_30Mar2014", 50, {2014, 3, 30}, -3, NightError::None, "10:46"},
                    NightCase{"N50_minus3_26Oct2014", 50, {2014, 10, 26}, -3, NightError::None, "13:23"},
                    NightCase{"N50_horizon_21Jun2014", 50, {2014, 6, 21}, 0, NightError::None, "07:51"},
                    NightCase{"N50_horizon_21Dec2014", 50, {2014, 12, 21}, 0, NightError::None, "16:09"},
                    NightCase{"Equator_horizon_21Mar2014", 0, {2014, 3, 21}, 0, NightError::None, "12:00"},
                    NightCase{"N50_minus6_30Mar2014", 50, {2014, 3, 30}, -6, NightError::None, "10:07"},
                    NightCase{"S50_horizon_21Jun2014", -50, {2014, 6, 21}, 0, NightError::None, "16:09"},
                    NightCase{"N62_minus3_21Jun2014", 62, {2014, 6, 21}, -3, NightError::None, "02:44"},
                    NightCase{"N62_horizon_21Dec2014", 62, {2014, 12, 21}, 0, NightError::None, "19:17"},
                    NightCase{"First_day_2000", 50, {2000, 1, 1}, -3, NightError::None, "15:18"},
                    // The sun stays above the twilight angle all night: the arccos argument lies below -1.
                    NightCase{"N62_minus6_21Jun2014", 62, {2014, 6, 21}, -6, NightError::NoNight, ""},
                    NightCase{"S62_minus6_21Dec2014", -62, {2014, 12, 21}, -6, NightError::NoNight, ""},
                    NightCase{"Year1999", 50, {1999, 12, 31}, -3, NightError::BeforeYear2000, ""},
                    NightCase{"No_30_February", 50, {2014, 2, 30}, -3, NightError::InvalidDate, ""},
                    NightCase{"Year10000", 50, {10000, 1, 1}, -3, NightError::InvalidDate, ""},
                    NightCase{"N62_5", 62.5, {2014, 3, 10}, -3, NightError::LatitudeOutOfRange, ""},
                    NightCase{"S90", -90, {2014, 3, 10}, -3, NightError::LatitudeOutOfRange, ""},
                    NightCase{"Latitude_NaN", std::nan(""), {2014, 3, 10}, -3, NightError::LatitudeOutOfRange, ""},
                    NightCase{"Twilight_minus6_5", 50, {2014, 3, 10}, -6.5, NightError::TwilightOutOfRange, ""},
                    NightCase{"Twilight_plus0_5", 50, {2014, 3, 10}, 0.5, NightError::TwilightOutOfRange, ""},
                    NightCase{"Twilight_infinite",
                              50,
                              {2014, 3, 10},
                              -std::numeric_limits<double>::infinity(),
                              NightError::TwilightOutOfRange,
                              ""}),
    [](const testing::TestParamInfo<NightCase>& info) { return std::string(info.param.name); });

// Within the calculator's ranges the night is never missing in winter and never longer than a day; at every
// latitude, date and angle the result is a number or an error, never a NaN turned into a time.
TEST(NightLengthSweep, EveryHalfDegreeGivesATimeOrNoNight) {
    for (int halfDegrees = -124; halfDegrees <= 124; halfDegrees += 4) {
        for (int twilight = -12; twilight <= 0; twilight += 3) {
            for (int month = 1; month <= 12; ++month) {
                const NightLength night = nightLength(halfDegrees / 2.0, {2014, month, 21}, twilight / 2.0);
                ASSERT_TRUE(night.error == NightError::None || night.error == NightError::NoNight)
                    << halfDegrees << " " << twilight << " " << month;
                if (night.ok()) {
                    EXPECT_GE(night.minutes, 0);
                    EXPECT_LT(night.minutes, 24 * 60);
                }
            }
        }
    }
}

TEST(NightLengthSun, DeclinationAndPolarDaysAndNights) {
    EXPECT_NEAR(sunDeclination({2014, 6, 21}), 23.43, 0.02);
    EXPECT_NEAR(sunDeclination({2014, 12, 21}), -23.43, 0.02);
    EXPECT_NEAR(sunDeclination({2014, 3, 20}), 0.0, 0.3);

    struct Case {
        double latitude;
        double declination;
        double twilight;
        NightError error;
        int minutes;
    };
    const Case cases[] = {
        {80, 23.4, 0, NightError::NoNight, 0}, // midnight sun
        {80, -23.4, 0, NightError::NoDay, 0},  // polar night: the arccos argument lies above +1
        {-80, 23.4, -6, NightError::NoDay, 0},
        {90, 10, 0, NightError::NoNight, 0}, // the poles
        {90, -10, 0, NightError::NoDay, 0},
        {std::nan(""), 0, 0, NightError::NoNight, 0}, // no number: an error, never a time made of a NaN
        {0, 0, 0, NightError::None, 12 * 60},
        {66, 23.44, 0, NightError::None, 105}, // a short night just south of the polar circle
    };
    for (const Case& c : cases) {
        const NightLength night = nightLengthForDeclination(c.latitude, c.declination, c.twilight);
        EXPECT_EQ(night.error, c.error) << c.latitude << " " << c.declination;
        if (c.error == NightError::None) {
            EXPECT_EQ(night.minutes, c.minutes) << c.latitude << " " << c.declination;
        }
    }
}

TEST(NightLengthText, PaddedAndCarried) {
    EXPECT_EQ(nightLengthText(0), "00:00");
    EXPECT_EQ(nightLengthText(5), "00:05");
    EXPECT_EQ(nightLengthText(646), "10:46");
    EXPECT_EQ(nightLengthText(24 * 60), "24:00");
    EXPECT_EQ(nightLengthForDst(646), 645);
    EXPECT_EQ(nightLengthForDst(645), 645);
    EXPECT_EQ(nightLengthForDst(4), 0);
}

} // namespace
