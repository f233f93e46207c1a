#include "files/configsummary.h"

#include "model/settings.h"
#include "model/timecode.h"

#include <algorithm>

namespace lumeq {

namespace {

const char* onOff(bool on) {
    return on ? "ON" : "OFF";
}

std::string percent(int level) {
    return std::to_string(level) + " %";
}

std::string hours(int h) {
    return std::to_string(h) + " h";
}

std::string celsius(int degrees) {
    return std::to_string(degrees) + " \u00B0C";
}

// Fade speed in milliseconds per percent.
std::string fadeText(int millis) {
    return displayTime2(millis);
}

template <typename TimeText>
SummaryTable stepTable(ImageView b, Engine engine, SummaryColumn first, TimeText timeText) {
    SummaryTable t;
    t.columns = {std::move(first), {"fade", "Fade (s/%)"}, {"level", "Level (%)"}, {"relay", "Relay"}};
    for (int k = 0; k < steps::inUse(b, engine); ++k) {
        const Step step = steps::step(b, engine, k);
        t.rows.push_back({timeText(step), fadeText(step.fadeMillis()), std::to_string(step.level.level()),
                          onOff(!step.level.relayOff())});
    }
    return t;
}

// A function switched on whose dimming engine has no step runs as switched off: the block diagram clears
// the switch when it draws such an image.
std::string engineState(bool on, int steps, const char* engine) {
    if (!on) {
        return "OFF";
    }
    return steps > 0 ? "ON" : std::string("OFF (") + engine + " has no steps)";
}

SummarySection outputSection(ImageView b) {
    const OutputType type = output::type(b);
    SummarySection s{"output", "Output", {}, false, {}};
    s.items.push_back({"type", "Output type", std::string(output::typeName(type))});
    s.items.push_back({"minimumLevel", "Minimum level", percent(output::minLevel(b))});
    if (output::isDali(type)) {
        s.items.push_back({"storePol", "Store POL", onOff(output::storePol(b))});
    }
    return s;
}

SummarySection powerOnSection(ImageView b) {
    SummarySection s{"powerOn", "Power on", {}, false, {}};
    const int fade = powerOn::fadeMillis(b);
    s.items.push_back({"level", "Level", percent(powerOn::level(b))});
    s.items.push_back(
        {"delay", "Delay", powerOn::randomDelay(b) ? std::string("Random") : displayTime(powerOn::delaySeconds(b))});
    s.items.push_back({"fade", "Fade", powerOn::fadeOn(b) ? fadeText(fade) + " s/%" : std::string("OFF")});
    s.items.push_back({"dpcDoo", "DPC/DOO", onOff(powerOn::dpcDoo(b))});
    return s;
}

SummarySection blockingTimeSection(ImageView b) {
    SummarySection s{"blockingTime", "Blocking time", {}, false, {}};
    s.items.push_back(
        {"blockingTime", "Blocking time", blocking::on(b) ? displayTime(blocking::seconds(b)) : std::string("OFF")});
    return s;
}

SummarySection controlInputSection(ImageView b) {
    SummarySection s{"controlInput", "Control input (LSt) and dimming engine 2", {}, true, {}};
    const int steps = steps::inUse(b, Engine::Two);
    s.items.push_back({"lstInput", "LSt input", engineState(controlInput::on(b), steps, "dimming engine 2")});
    s.items.push_back(
        {"polarity", "Input polarity", std::string(controlInput::polarityName(controlInput::polarity(b)))});
    s.items.push_back({"holdTime", "Hold time",
                       controlInput::holdOn(b) ? displayTime(controlInput::holdSeconds(b)) : std::string("OFF")});
    s.items.push_back({"stepsInUse", "Steps in use", std::to_string(steps)});
    s.table = stepTable(b, Engine::Two, {"delay", "Delay"},
                        [](const Step& step) { return displayTime(step.delaySeconds()); });
    return s;
}

SummarySection astroSection(ImageView b) {
    SummarySection s{"astro", "Astro clock, ISD and dimming engine 1", {}, true, {}};
    const int steps = steps::inUse(b, Engine::One);
    const bool autoDst = astro::autoDst(b);
    s.items.push_back({"astroClock", "Astro clock", engineState(astro::on(b), steps, "dimming engine 1")});
    s.items.push_back({"isdOffset", "ISD offset", displayTime3(astro::offsetMinutes(b))});
    s.items.push_back({"dst", "DST", astro::dstOn(b) ? "ON (Summer Time)" : "OFF (Winter Time)"});
    s.items.push_back({"autoDst", "Auto DST", onOff(autoDst)});
    if (autoDst) {
        const int secondsPerUnit = astro::kNightMinutesPerUnit * 60;
        s.items.push_back({"dstStartNight", "Length of night for DST start",
                           displayTimeHM(astro::dstStartNight(b) * secondsPerUnit)});
        s.items.push_back(
            {"dstEndNight", "Length of night for DST end", displayTimeHM(astro::dstEndNight(b) * secondsPerUnit)});
    }
    s.items.push_back({"stepsInUse", "Steps in use", std::to_string(steps)});
    s.table = stepTable(b, Engine::One, {"time", "Time"}, [](const Step& step) { return displayTime4(step.time); });
    return s;
}

SummarySection remoteSection(ImageView b) {
    SummarySection s{"remote", "Remote control", {}, false, {}};
    const RemoteMode mode = remote::mode(b);
    switch (remote::input(b)) {
    case RemoteInput::Mains:
        s.items.push_back({"input", "Input", "Mains"});
        s.items.push_back({"mode", "Mode",
                           mode == RemoteMode::MidNight          ? "Midnight"
                           : mode == RemoteMode::MidNightProtect ? "Midnight Protect"
                                                                 : "none"});
        break;
    case RemoteInput::Lst:
        s.items.push_back({"input", "Input", "LSt"});
        s.items.push_back({"mode", "Mode",
                           mode == RemoteMode::MidNight    ? "Midnight"
                           : mode == RemoteMode::RemoteDim ? "Remote DIM"
                                                           : "none"});
        break;
    case RemoteInput::Off:
        s.items.push_back({"input", "Input", "OFF"});
        break;
    }
    return s;
}

SummarySection mffSection(ImageView b) {
    SummarySection s{"mff", "MFF (maintenance factor)", {}, false, {}};
    const int burnIn = mff::burnInHours(b);
    s.items.push_back({"lifetime", "Lifetime", mff::on(b) ? hours(mff::lifetimeHours(b)) : std::string("OFF")});
    s.items.push_back({"burnIn", "Burn-in", burnIn == 0 ? std::string("OFF") : hours(burnIn)});
    if (mff::on(b)) {
        const mff::Levels levels = mff::levels(b);
        s.items.push_back({"startLevel", "Start level", percent(levels.start)});
        s.items.push_back({"level1", "L1 (1/4 of the lifetime)", percent(levels.l1)});
        s.items.push_back({"level2", "L2 (1/2 of the lifetime)", percent(levels.l2)});
        s.items.push_back({"level3", "L3 (3/4 of the lifetime)", percent(levels.l3)});
        s.items.push_back({"stopLevel", "Stop level", percent(levels.stop)});
    }
    s.items.push_back({"resetHours", "Reset operating hours", mff::resetHours(b) ? "yes" : "no"});
    return s;
}

SummarySection thermalSection(ImageView b) {
    SummarySection s{"thermal", "Thermal management", {}, false, {}};
    s.items.push_back({"thermal", "Thermal management", onOff(thermal::enabled(b))});
    const std::vector<thermal::Pair> pairs = thermal::pairsInUse(b);
    if (pairs.empty()) {
        s.items.push_back({"thresholds", "Thresholds", "none"});
        return s;
    }
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        s.items.push_back({"t" + n, "T" + n, celsius(pairs[i].celsius)});
        s.items.push_back({"levelT" + n, "Level at T" + n, percent(pairs[i].level)});
        if (i == 0)
            s.items.push_back({"relayT1", "Relay at T1", onOff(!thermal::relayOffAtT1(b))});
    }
    return s;
}

SummarySection relaySection(ImageView b) {
    SummarySection s{"relay", "Relay", {}, false, {}};
    s.items.push_back({"zeroCross", "Zero-cross switching", onOff(relay::zeroCross(b))});
    return s;
}

} // namespace

std::vector<SummarySection> describeConfiguration(const Image& image) {
    // The codecs read missing bytes of a short image as 0xFF.
    const ImageView b(image.data(), std::min(image.size(), kConfigSize));
    return {outputSection(b), powerOnSection(b), blockingTimeSection(b), controlInputSection(b), astroSection(b),
            remoteSection(b), mffSection(b),     thermalSection(b),      relaySection(b)};
}

} // namespace lumeq
