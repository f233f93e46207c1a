#include "files/configsummary.h"

#include "model/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace lumeq;

namespace {

std::optional<std::string> valueOf(const std::vector<SummarySection>& sections, const std::string& section,
                                   const std::string& key) {
    for (const auto& s : sections) {
        if (s.key != section) {
            continue;
        }
        for (const auto& item : s.items) {
            if (item.key == key) {
                return item.value;
            }
        }
    }
    return std::nullopt;
}

const SummarySection* sectionOf(const std::vector<SummarySection>& sections, const std::string& key) {
    for (const auto& s : sections) {
        if (s.key == key) {
            return &s;
        }
    }
    return nullptr;
}

struct SummaryCase {
    const char* name;
    std::vector<std::pair<std::size_t, std::uint8_t>> changes; // applied to the default image
    const char* section;
    const char* key;
    const char* value; // nullptr: the item is not shown
};

class ConfigSummaryItem : public testing::TestWithParam<SummaryCase> {};

TEST_P(ConfigSummaryItem, Reads) {
    const auto& c = GetParam();
    Image image = defaultImage();
    for (const auto& [offset, value] : c.changes) {
        image[offset] = value;
    }
    const auto value = valueOf(describeConfiguration(image), c.section, c.key);
    if (c.value == nullptr) {
        EXPECT_FALSE(value) << *value;
    } else {
        ASSERT_TRUE(value);
        EXPECT_EQ(*value, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Config, ConfigSummaryItem,
    testing::Values(
        SummaryCase{"DefaultIsAnalog", {}, "output", "type", "Analog 1-10V"},
        SummaryCase{"Pwm", {{0, 0x0E}}, "output", "type", "PWM"},
        SummaryCase{"DaliLogarithmic", {{0, 0x0D}}, "output", "type", "DALI logarithmic"},
        SummaryCase{"DaliLinear", {{0, 0x0F}}, "output", "type", "DALI linear"},
        SummaryCase{"StorePolOnlyWithDali", {{68, 0x05}}, "output", "storePol", nullptr},
        SummaryCase{"StorePolWithDali", {{0, 0x0D}, {68, 0x05}}, "output", "storePol", "ON"},
        SummaryCase{"MinimumLevel", {{2, 25}}, "output", "minimumLevel", "25 %"},
        SummaryCase{"RandomDelay", {}, "powerOn", "delay", "Random"},
        SummaryCase{"DelayOf90Minutes", {{4, 0xC6}}, "powerOn", "delay", "01:30:00"},
        SummaryCase{"NoDelay", {{4, 0x00}}, "powerOn", "delay", "0"},
        SummaryCase{"NoFade", {}, "powerOn", "fade", "OFF"},
        SummaryCase{"Fade60Milliseconds", {{5, 0x3C}}, "powerOn", "fade", "00,060 s/%"},
        SummaryCase{"PowerOnLevel", {}, "powerOn", "level", "100 %"},
        SummaryCase{"DpcDoo", {{68, 0x03}}, "powerOn", "dpcDoo", "ON"},
        SummaryCase{"BlockingTimeOff", {}, "blockingTime", "blockingTime", "OFF"},
        SummaryCase{"BlockingTimeInFiveSecondUnits", {{1, 255}}, "blockingTime", "blockingTime", "00:21:15"},
        SummaryCase{"HoldTimeOff", {}, "controlInput", "holdTime", "OFF"},
        SummaryCase{"HoldTime", {{6, 0x8A}}, "controlInput", "holdTime", "00:10:00"},
        SummaryCase{"LstOn", {}, "controlInput", "lstInput", "ON"},
        SummaryCase{"LstOnWithoutStepsRunsOff",
                    {{10, 0xFF}},
                    "controlInput",
                    "lstInput",
                    "OFF (dimming engine 2 has no steps)"},
        SummaryCase{"LstOff", {{0, 0x04}}, "controlInput", "lstInput", "OFF"},
        SummaryCase{"PolarityHighLow", {{0, 0x1C}}, "controlInput", "polarity", "High->Low"},
        SummaryCase{"IsdOffsetMinus30Minutes", {{7, 0xF1}}, "astro", "isdOffset", "-00:30:00"},
        SummaryCase{"IsdOffsetLargest", {{7, 0x7F}}, "astro", "isdOffset", "04:14:00"},
        SummaryCase{
            "AstroWithoutStepsRunsOff", {{40, 0xFF}}, "astro", "astroClock", "OFF (dimming engine 1 has no steps)"},
        SummaryCase{"DstOff", {}, "astro", "dst", "OFF (Winter Time)"},
        SummaryCase{"DstOn", {{68, 0x00}}, "astro", "dst", "ON (Summer Time)"},
        SummaryCase{"AutoDstOff", {}, "astro", "autoDst", "OFF"},
        SummaryCase{"AutoDstOn", {{86, 60}, {87, 216}}, "astro", "autoDst", "ON"},
        SummaryCase{"NightAtDstStart", {{86, 60}, {87, 216}}, "astro", "dstStartNight", "05:00"},
        SummaryCase{"NightAtDstEnd", {{86, 60}, {87, 216}}, "astro", "dstEndNight", "18:00"},
        SummaryCase{"NoNightsWithoutAutoDst", {}, "astro", "dstStartNight", nullptr},
        SummaryCase{"RemoteOff", {}, "remote", "input", "OFF"},
        SummaryCase{"RemoteMainsMidnightProtect", {{0, 0x2C}, {68, 0x31}}, "remote", "mode", "Midnight Protect"},
        SummaryCase{"RemoteMainsHasNoRemoteDim", {{0, 0x2C}, {68, 0x21}}, "remote", "mode", "none"},
        SummaryCase{"RemoteLstInput", {{0, 0x4C}, {68, 0x21}}, "remote", "input", "LSt"},
        SummaryCase{"RemoteLstRemoteDim", {{0, 0x4C}, {68, 0x21}}, "remote", "mode", "Remote DIM"},
        SummaryCase{"RemoteLstMidnight", {{0, 0x4C}, {68, 0x11}}, "remote", "mode", "Midnight"},
        SummaryCase{"MffOff", {}, "mff", "lifetime", "OFF"},
        SummaryCase{"MffLevelsHiddenWhileOff", {}, "mff", "startLevel", nullptr},
        SummaryCase{"MffLifetime", {{75, 255}}, "mff", "lifetime", "127500 h"},
        SummaryCase{"MffStartLevel", {{75, 1}, {69, 70}}, "mff", "startLevel", "70 %"},
        SummaryCase{"MffLevelAtHalfLifetime", {{75, 1}, {71, 80}}, "mff", "level2", "80 %"},
        SummaryCase{"BurnIn", {{74, 24}}, "mff", "burnIn", "24 h"},
        SummaryCase{"ResetOperatingHours", {{68, 0x09}}, "mff", "resetHours", "yes"},
        SummaryCase{"ThermalOff", {}, "thermal", "thermal", "OFF"},
        SummaryCase{"ThermalTableEmpty", {{0, 0x8C}}, "thermal", "thresholds", "none"},
        SummaryCase{"T1", {{89, 85}, {90, 0xA8}}, "thermal", "t1", "85 \u00B0C"},
        SummaryCase{"LevelAtT1WithoutRelayFlag", {{89, 85}, {90, 0xA8}}, "thermal", "levelT1", "40 %"},
        SummaryCase{"RelayOffAtT1", {{89, 85}, {90, 0xA8}}, "thermal", "relayT1", "OFF"},
        SummaryCase{"RelayOnAtT1", {{89, 85}, {90, 0x28}}, "thermal", "relayT1", "ON"},
        SummaryCase{"T2NotInUse", {{89, 85}}, "thermal", "t2", nullptr},
        SummaryCase{"T3", {{89, 85}, {91, 70}, {93, 60}, {94, 0x90}}, "thermal", "levelT3", "16 %"},
        SummaryCase{"ZeroCrossOn", {}, "relay", "zeroCross", "ON"},
        SummaryCase{"ZeroCrossOff", {{88, 0x00}}, "relay", "zeroCross", "OFF"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigSummary, StepTablesListOnlyTheStepsInUse) {
    Image image = defaultImage();
    // Dimming engine 1: a third step at 23:00, 30 %, relay off, fade 00,010 s/%.
    image[44] = 0xF4; // -12 steps of 5 minutes before midnight
    image[45] = 0x0A;
    image[46] = 0x80 | 30;
    const auto sections = describeConfiguration(image);

    const auto* engine1 = sectionOf(sections, "astro");
    ASSERT_TRUE(engine1 && engine1->hasTable);
    const std::vector<std::vector<std::string>> rows1 = {
        {"22:00:00", "0", "50", "ON"}, {"05:00:00", "0", "100", "ON"}, {"23:00:00", "00,010", "30", "OFF"}};
    EXPECT_EQ(engine1->table.rows, rows1);
    EXPECT_EQ(engine1->table.columns.front().key, "time");

    const auto* engine2 = sectionOf(sections, "controlInput");
    ASSERT_TRUE(engine2 && engine2->hasTable);
    const std::vector<std::vector<std::string>> rows2 = {{"0", "0", "50", "ON"}};
    EXPECT_EQ(engine2->table.rows, rows2);
    EXPECT_EQ(engine2->table.columns.front().key, "delay");

    // An empty first step ends the table at once, whatever follows.
    image[10] = 0xFF;
    image[13] = 0x20;
    EXPECT_TRUE(sectionOf(describeConfiguration(image), "controlInput")->table.rows.empty());
}

TEST(ConfigSummary, FullTablesAndShortImagesStayInBounds) {
    Image full = defaultImage();
    for (std::size_t k = 0; k < 10; ++k) {
        full[8 + 3 * k] = static_cast<std::uint8_t>(k + 1);
        full[10 + 3 * k] = static_cast<std::uint8_t>(10 * k);
        full[40 + 3 * k] = static_cast<std::uint8_t>(10 * k);
    }
    const auto sections = describeConfiguration(full);
    EXPECT_EQ(sectionOf(sections, "controlInput")->table.rows.size(), 10u);
    EXPECT_EQ(sectionOf(sections, "astro")->table.rows.size(), 10u);
    EXPECT_EQ(sectionOf(sections, "controlInput")->table.rows.back()[0], "00:00:10");

    // Missing bytes read as 0xFF: empty tables, random delay.
    const auto empty = describeConfiguration(Image(3, 0x00));
    EXPECT_TRUE(sectionOf(empty, "astro")->table.rows.empty());
    EXPECT_EQ(valueOf(empty, "powerOn", "delay"), "Random");
}

TEST(ConfigSummary, KeysAreUniqueWithinEachSection) {
    Image busy = defaultImage();
    busy[0] = 0xFF;
    busy[75] = 10;
    busy[86] = 100;
    busy[87] = 100;
    busy[89] = 80;
    busy[91] = 70;
    busy[93] = 60;
    const auto sections = describeConfiguration(busy);
    std::vector<std::string> sectionKeys;
    for (const auto& s : sections) {
        sectionKeys.push_back(s.key);
        std::vector<std::string> keys;
        for (const auto& item : s.items) {
            keys.push_back(item.key);
        }
        if (s.hasTable) {
            keys.push_back("steps");
        }
        std::sort(keys.begin(), keys.end());
        EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end()) << s.key;
    }
    std::sort(sectionKeys.begin(), sectionKeys.end());
    EXPECT_EQ(std::adjacent_find(sectionKeys.begin(), sectionKeys.end()), sectionKeys.end());
}

} // namespace
