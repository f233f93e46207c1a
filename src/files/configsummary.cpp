#include "files/configsummary.h"

#include "model/layout.h"
#include "model/timecode.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace lumeq {

namespace {

using Bytes = std::array<std::uint8_t, kConfigSize>;

const char* onOff(bool on) {
    return on ? "ON" : "OFF";
}

std::string percent(unsigned level) {
    return std::to_string(level) + " %";
}

std::string hours(unsigned h) {
    return std::to_string(h) + " h";
}

std::string celsius(unsigned degrees) {
    return std::to_string(degrees) + " \u00B0C";
}

// Fade speed of a time code in milliseconds per percent.
std::string fadeText(std::uint8_t code) {
    return displayTime2(DecodeTime(code));
}

unsigned levelOf(std::uint8_t levelByte) {
    return levelByte & 0x7Fu;
}

bool relayOff(std::uint8_t levelByte) {
    return TestBit(levelByte, img::LevelRelayOff);
}

// The steps of a table up to the first empty one.
std::size_t stepsInUse(const Bytes& b, std::size_t table) {
    std::size_t k = 0;
    while (k < img::StepCount && b[table + img::StepSize * k + img::StepLevel] != img::EmptyStep) {
        ++k;
    }
    return k;
}

template <typename TimeText>
SummaryTable stepTable(const Bytes& b, std::size_t table, SummaryColumn first, TimeText timeText) {
    SummaryTable t;
    t.columns = {std::move(first), {"fade", "Fade (s/%)"}, {"level", "Level (%)"}, {"relay", "Relay"}};
    for (std::size_t k = 0; k < stepsInUse(b, table); ++k) {
        const std::size_t step = table + img::StepSize * k;
        const std::uint8_t level = b[step + img::StepLevel];
        t.rows.push_back({timeText(b[step + img::StepTime]), fadeText(b[step + img::StepFade]),
                          std::to_string(levelOf(level)), onOff(!relayOff(level))});
    }
    return t;
}

// A function switched on whose dimming engine has no step runs as switched off: the block diagram clears
// the switch when it draws such an image.
std::string engineState(bool on, std::size_t steps, const char* engine) {
    if (!on) {
        return "OFF";
    }
    return steps > 0 ? "ON" : std::string("OFF (") + engine + " has no steps)";
}

SummarySection output(const Bytes& b) {
    const std::uint8_t flags = b[img::Flags];
    const bool dali = TestBit(flags, img::FlagDali);
    const bool bit1 = TestBit(flags, img::FlagLinearOrPwm);
    const char* type = dali ? (bit1 ? "DALI linear" : "DALI logarithmic") : (bit1 ? "PWM" : "Analog 1-10V");
    SummarySection s{"output", "Output", {}, false, {}};
    s.items.push_back({"type", "Output type", type});
    s.items.push_back({"minimumLevel", "Minimum level", percent(b[img::MinLevel])});
    if (dali) {
        s.items.push_back({"storePol", "Store POL", onOff(TestBit(b[img::Options], img::OptStorePol))});
    }
    return s;
}

SummarySection powerOn(const Bytes& b) {
    SummarySection s{"powerOn", "Power on", {}, false, {}};
    const std::uint8_t delay = b[img::PowerOnDelay];
    const std::uint8_t fade = b[img::PowerOnFade];
    s.items.push_back({"level", "Level", percent(b[img::PowerOnLevel])});
    s.items.push_back({"delay", "Delay", delay == 0xFF ? std::string("Random") : displayTime(DecodeTime(delay))});
    s.items.push_back({"fade", "Fade", fade == 0 ? std::string("OFF") : fadeText(fade) + " s/%"});
    s.items.push_back({"dpcDoo", "DPC/DOO", onOff(TestBit(b[img::Options], img::OptDelayedSwitching))});
    return s;
}

SummarySection blockingTime(const Bytes& b) {
    SummarySection s{"blockingTime", "Blocking time", {}, false, {}};
    const unsigned units = b[img::BlockTime];
    s.items.push_back({"blockingTime", "Blocking time", units == 0 ? std::string("OFF") : displayTime(units * 5)});
    return s;
}

SummarySection controlInput(const Bytes& b) {
    SummarySection s{"controlInput", "Control input (LSt) and dimming engine 2", {}, true, {}};
    const std::uint8_t flags = b[img::Flags];
    const std::size_t steps = stepsInUse(b, img::Engine2);
    const std::uint8_t hold = b[img::HoldTime];
    s.items.push_back({"lstInput", "LSt input", engineState(TestBit(flags, img::FlagLst), steps, "dimming engine 2")});
    s.items.push_back({"polarity", "Input polarity", TestBit(flags, img::FlagLstHighLow) ? "High->Low" : "Low->High"});
    s.items.push_back({"holdTime", "Hold time", hold == 0 ? std::string("OFF") : displayTime(DecodeTime(hold))});
    s.items.push_back({"stepsInUse", "Steps in use", std::to_string(steps)});
    s.table =
        stepTable(b, img::Engine2, {"delay", "Delay"}, [](std::uint8_t code) { return displayTime(DecodeTime(code)); });
    return s;
}

SummarySection astro(const Bytes& b) {
    SummarySection s{"astro", "Astro clock, ISD and dimming engine 1", {}, true, {}};
    const std::size_t steps = stepsInUse(b, img::Engine1);
    const auto offsetCount = static_cast<std::int8_t>(b[img::IsdOffset]);
    const unsigned startNight = b[img::DstStartNight];
    const unsigned endNight = b[img::DstEndNight];
    const auto nightInRange = [](unsigned n) { return n >= 60 && n <= 216; };
    const bool autoDst = nightInRange(startNight) && nightInRange(endNight);
    s.items.push_back(
        {"astroClock", "Astro clock", engineState(TestBit(b[img::Flags], img::FlagAstro), steps, "dimming engine 1")});
    s.items.push_back({"isdOffset", "ISD offset", displayTime3(offsetCount * 2)});
    s.items.push_back(
        {"dst", "DST", TestBit(b[img::Options], img::OptDstOff) ? "OFF (Winter Time)" : "ON (Summer Time)"});
    s.items.push_back({"autoDst", "Auto DST", onOff(autoDst)});
    if (autoDst) {
        s.items.push_back({"dstStartNight", "Length of night for DST start", displayTimeHM(startNight * 300)});
        s.items.push_back({"dstEndNight", "Length of night for DST end", displayTimeHM(endNight * 300)});
    }
    s.items.push_back({"stepsInUse", "Steps in use", std::to_string(steps)});
    s.table = stepTable(b, img::Engine1, {"time", "Time"}, [](std::uint8_t code) { return displayTime4(code); });
    return s;
}

SummarySection remote(const Bytes& b) {
    SummarySection s{"remote", "Remote control", {}, false, {}};
    const std::uint8_t flags = b[img::Flags];
    const unsigned mode = b[img::Options] & img::RemoteModeMask;
    if (TestBit(flags, img::FlagRemoteMains)) {
        s.items.push_back({"input", "Input", "Mains"});
        s.items.push_back({"mode", "Mode", mode == 0x10 ? "Midnight" : mode == 0x30 ? "Midnight Protect" : "none"});
    } else if (TestBit(flags, img::FlagRemoteLst)) {
        s.items.push_back({"input", "Input", "LSt"});
        s.items.push_back({"mode", "Mode", mode == 0x10 ? "Midnight" : mode == 0x20 ? "Remote DIM" : "none"});
    } else {
        s.items.push_back({"input", "Input", "OFF"});
    }
    return s;
}

SummarySection mff(const Bytes& b) {
    SummarySection s{"mff", "MFF (maintenance factor)", {}, false, {}};
    const unsigned lifetime = b[img::MffLifetime];
    const unsigned burnIn = b[img::MffBurnIn];
    s.items.push_back({"lifetime", "Lifetime", lifetime == 0 ? std::string("OFF") : hours(lifetime * 500)});
    s.items.push_back({"burnIn", "Burn-in", burnIn == 0 ? std::string("OFF") : hours(burnIn)});
    if (lifetime != 0) {
        s.items.push_back({"startLevel", "Start level", percent(b[img::MffStart])});
        s.items.push_back({"level1", "L1 (1/4 of the lifetime)", percent(b[img::MffL1])});
        s.items.push_back({"level2", "L2 (1/2 of the lifetime)", percent(b[img::MffL2])});
        s.items.push_back({"level3", "L3 (3/4 of the lifetime)", percent(b[img::MffL3])});
        s.items.push_back({"stopLevel", "Stop level", percent(b[img::MffStop])});
    }
    s.items.push_back(
        {"resetHours", "Reset operating hours", TestBit(b[img::Options], img::OptMffReset) ? "yes" : "no"});
    return s;
}

SummarySection thermal(const Bytes& b) {
    SummarySection s{"thermal", "Thermal management", {}, false, {}};
    s.items.push_back({"thermal", "Thermal management", onOff(TestBit(b[img::Flags], img::FlagThermal))});
    const unsigned t1 = b[img::ThermT1];
    const unsigned t2 = b[img::ThermT2];
    const unsigned t3 = b[img::ThermT3];
    if (t1 == 0) {
        s.items.push_back({"thresholds", "Thresholds", "none"});
        return s;
    }
    s.items.push_back({"t1", "T1", celsius(t1)});
    s.items.push_back({"levelT1", "Level at T1", percent(levelOf(b[img::ThermL1]))});
    s.items.push_back({"relayT1", "Relay at T1", onOff(!relayOff(b[img::ThermL1]))});
    if (t2 != 0) {
        s.items.push_back({"t2", "T2", celsius(t2)});
        s.items.push_back({"levelT2", "Level at T2", percent(levelOf(b[img::ThermL2]))});
        if (t3 != 0) {
            s.items.push_back({"t3", "T3", celsius(t3)});
            s.items.push_back({"levelT3", "Level at T3", percent(levelOf(b[img::ThermL3]))});
        }
    }
    return s;
}

SummarySection relay(const Bytes& b) {
    SummarySection s{"relay", "Relay", {}, false, {}};
    s.items.push_back({"zeroCross", "Zero-cross switching", onOff(TestBit(b[img::Relay], img::RelayZeroCross))});
    return s;
}

} // namespace

std::vector<SummarySection> describeConfiguration(const Image& image) {
    Bytes b;
    b.fill(0xFF);
    std::copy_n(image.begin(), std::min(image.size(), b.size()), b.begin());
    return {output(b), powerOn(b), blockingTime(b), controlInput(b), astro(b), remote(b), mff(b), thermal(b), relay(b)};
}

} // namespace lumeq
