#include "model/settings.h"

#include "model/layout.h"
#include "model/timecode.h"

#include <algorithm>

namespace lumeq {

namespace {

std::uint8_t get(ImageView image, std::size_t offset) {
    return offset < image.size() ? image[offset] : 0xFF;
}

void put(ImageRef image, std::size_t offset, int value) {
    if (offset < image.size())
        image[offset] = static_cast<std::uint8_t>(value);
}

bool bit(ImageView image, std::size_t offset, unsigned number) {
    return TestBit(get(image, offset), number);
}

void putBit(ImageRef image, std::size_t offset, unsigned number, bool on) {
    if (offset < image.size())
        image[offset] = on ? SetBit(image[offset], number) : ClearBit(image[offset], number);
}

std::uint8_t byteOf(int value, int maximum) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, maximum));
}

// Remote-mode nibbles of byte 68.
constexpr std::uint8_t kRemoteModeMask = 0xF0;
constexpr std::uint8_t kModeMidNight = 0x10;
constexpr std::uint8_t kModeRemoteDim = 0x20;
constexpr std::uint8_t kModeMidNightProtect = 0x30;

// Offsets of thermal pair n (1..3).
std::size_t thresholdOffset(int n) {
    return img::ThermT1 + 2 * static_cast<std::size_t>(std::clamp(n, 1, thermal::kPairs) - 1);
}

} // namespace

int LevelByte::boundedLevel() const {
    return std::min(level(), kMaxLevel);
}

LevelByte LevelByte::make(int level, bool relayOff) {
    const auto low = byteOf(level, kMaxLevel);
    return {relayOff ? SetBit(low, img::LevelRelayOff) : low};
}

// ---- Control output ----

OutputType output::type(ImageView image) {
    const bool bit1 = bit(image, img::Flags, img::FlagLinearOrPwm);
    if (bit(image, img::Flags, img::FlagDali))
        return bit1 ? OutputType::DaliLinear : OutputType::DaliLogarithmic;
    return bit1 ? OutputType::Pwm : OutputType::Analog1to10V;
}

void output::setType(ImageRef image, OutputType type) {
    putBit(image, img::Flags, img::FlagDali, isDali(type));
    putBit(image, img::Flags, img::FlagLinearOrPwm, type == OutputType::DaliLinear || type == OutputType::Pwm);
}

bool output::isDali(OutputType type) {
    return type == OutputType::DaliLogarithmic || type == OutputType::DaliLinear;
}

std::string_view output::typeName(OutputType type) {
    switch (type) {
    case OutputType::DaliLogarithmic:
        return "DALI logarithmic";
    case OutputType::DaliLinear:
        return "DALI linear";
    case OutputType::Analog1to10V:
        return "Analog 1-10V";
    case OutputType::Pwm:
        return "PWM";
    }
    return {};
}

bool output::logarithmic(ImageView image) {
    return !bit(image, img::Flags, img::FlagLinearOrPwm);
}

void output::setLogarithmic(ImageRef image, bool logarithmic) {
    putBit(image, img::Flags, img::FlagLinearOrPwm, !logarithmic);
}

int output::minLevel(ImageView image) {
    return get(image, img::MinLevel);
}

void output::setMinLevel(ImageRef image, int percent) {
    put(image, img::MinLevel, byteOf(percent, kMaxLevel));
}

bool output::storePol(ImageView image) {
    return bit(image, img::Options, img::OptStorePol);
}

void output::setStorePol(ImageRef image, bool on) {
    putBit(image, img::Options, img::OptStorePol, on);
}

// ---- Power-on ----

int powerOn::level(ImageView image) {
    return get(image, img::PowerOnLevel);
}

void powerOn::setLevel(ImageRef image, int percent) {
    put(image, img::PowerOnLevel, byteOf(percent, kMaxLevel));
}

bool powerOn::randomDelay(ImageView image) {
    return get(image, img::PowerOnDelay) == kRandomDelay;
}

int powerOn::delaySeconds(ImageView image) {
    return randomDelay(image) ? 0 : DecodeTime(get(image, img::PowerOnDelay));
}

void powerOn::setRandomDelay(ImageRef image) {
    put(image, img::PowerOnDelay, kRandomDelay);
}

void powerOn::setDelaySeconds(ImageRef image, int seconds) {
    const std::uint8_t code = convertTime(seconds);
    put(image, img::PowerOnDelay, code == kRandomDelay ? kRandomDelay - 1 : code);
}

int powerOn::fadeMillis(ImageView image) {
    return DecodeTime(get(image, img::PowerOnFade));
}

bool powerOn::fadeOn(ImageView image) {
    return get(image, img::PowerOnFade) != 0;
}

void powerOn::setFadeMillis(ImageRef image, int millis) {
    put(image, img::PowerOnFade, convertTime(millis));
}

bool powerOn::dpcDoo(ImageView image) {
    return bit(image, img::Options, img::OptDelayedSwitching);
}

void powerOn::setDpcDoo(ImageRef image, bool on) {
    putBit(image, img::Options, img::OptDelayedSwitching, on);
}

powerOn::Stored powerOn::stored(ImageView image) {
    return {get(image, img::PowerOnLevel), get(image, img::PowerOnDelay), get(image, img::PowerOnFade), dpcDoo(image)};
}

void powerOn::restore(ImageRef image, const Stored& stored) {
    put(image, img::PowerOnLevel, stored.level);
    put(image, img::PowerOnDelay, stored.delay);
    put(image, img::PowerOnFade, stored.fade);
    setDpcDoo(image, stored.dpcDoo);
}

// ---- Blocking time ----

int blocking::units(ImageView image) {
    return get(image, img::BlockTime);
}

int blocking::seconds(ImageView image) {
    return units(image) * kSecondsPerUnit;
}

bool blocking::on(ImageView image) {
    return units(image) != 0;
}

void blocking::setUnits(ImageRef image, int units) {
    put(image, img::BlockTime, byteOf(units, kMaxUnits));
}

// ---- Thermal management ----

bool thermal::enabled(ImageView image) {
    return bit(image, img::Flags, img::FlagThermal);
}

void thermal::setEnabled(ImageRef image, bool on) {
    putBit(image, img::Flags, img::FlagThermal, on);
}

bool thermal::validThreshold(int celsius) {
    return celsius >= kMinCelsius && celsius <= kMaxCelsius;
}

int thermal::threshold(ImageView image, int n) {
    return get(image, thresholdOffset(n));
}

int thermal::level(ImageView image, int n) {
    return LevelByte{get(image, thresholdOffset(n) + 1)}.boundedLevel();
}

bool thermal::relayOffAtT1(ImageView image) {
    return LevelByte{get(image, img::ThermL1)}.relayOff();
}

std::vector<thermal::Pair> thermal::pairsInUse(ImageView image) {
    std::vector<Pair> pairs;
    for (int n = 1; n <= kPairs && threshold(image, n) != 0; ++n)
        pairs.push_back({threshold(image, n), LevelByte{get(image, thresholdOffset(n) + 1)}.level()});
    return pairs;
}

void thermal::setPair(ImageRef image, int n, Pair pair, bool relayOff) {
    const std::size_t at = thresholdOffset(n);
    put(image, at, byteOf(pair.celsius, 255));
    put(image, at + 1, LevelByte::make(pair.level, at == img::ThermT1 && relayOff).value);
}

void thermal::clearFrom(ImageRef image, int n) {
    for (std::size_t at = thresholdOffset(n); at <= img::ThermL3; ++at)
        put(image, at, 0);
}

void thermal::writeEndMark(ImageRef image) {
    put(image, img::ThermEnd, kEndMark);
}

void thermal::clearEndMark(ImageRef image) {
    put(image, img::ThermEnd, 0);
}

// ---- Relay ----

bool relay::zeroCross(ImageView image) {
    return bit(image, img::Relay, img::RelayZeroCross);
}

void relay::setZeroCross(ImageRef image, bool on) {
    putBit(image, img::Relay, img::RelayZeroCross, on);
}

// ---- Maintenance factor ----

int mff::lifetimeUnits(ImageView image) {
    return get(image, img::MffLifetime);
}

int mff::lifetimeHours(ImageView image) {
    return lifetimeUnits(image) * kHoursPerUnit;
}

bool mff::on(ImageView image) {
    return lifetimeUnits(image) != 0;
}

void mff::setLifetimeUnits(ImageRef image, int units) {
    put(image, img::MffLifetime, byteOf(units, kMaxUnits));
}

mff::Levels mff::levels(ImageView image) {
    return {get(image, img::MffStart), get(image, img::MffL1), get(image, img::MffL2), get(image, img::MffL3),
            get(image, img::MffStop)};
}

void mff::setLevels(ImageRef image, const Levels& levels) {
    put(image, img::MffStart, byteOf(levels.start, kMaxLevel));
    put(image, img::MffL1, byteOf(levels.l1, kMaxLevel));
    put(image, img::MffL2, byteOf(levels.l2, kMaxLevel));
    put(image, img::MffL3, byteOf(levels.l3, kMaxLevel));
    put(image, img::MffStop, byteOf(levels.stop, kMaxLevel));
}

bool mff::startLevelSet(ImageView image) {
    return get(image, img::MffStart) != kStartLevelUnset;
}

int mff::burnInHours(ImageView image) {
    return get(image, img::MffBurnIn);
}

void mff::setBurnInHours(ImageRef image, int hours) {
    put(image, img::MffBurnIn, byteOf(hours, kMaxBurnInHours));
}

bool mff::resetHours(ImageView image) {
    return bit(image, img::Options, img::OptMffReset);
}

void mff::setResetHours(ImageRef image, bool on) {
    putBit(image, img::Options, img::OptMffReset, on);
}

// ---- Remote control ----

RemoteInput remote::input(ImageView image) {
    if (bit(image, img::Flags, img::FlagRemoteMains))
        return RemoteInput::Mains;
    if (bit(image, img::Flags, img::FlagRemoteLst))
        return RemoteInput::Lst;
    return RemoteInput::Off;
}

void remote::setInput(ImageRef image, RemoteInput input) {
    putBit(image, img::Flags, img::FlagRemoteMains, input == RemoteInput::Mains);
    putBit(image, img::Flags, img::FlagRemoteLst, input == RemoteInput::Lst);
}

RemoteMode remote::mode(ImageView image) {
    switch (get(image, img::Options) & kRemoteModeMask) {
    case kModeMidNight:
        return RemoteMode::MidNight;
    case kModeRemoteDim:
        return RemoteMode::RemoteDim;
    case kModeMidNightProtect:
        return RemoteMode::MidNightProtect;
    default:
        return RemoteMode::None;
    }
}

void remote::setMode(ImageRef image, RemoteMode mode) {
    std::uint8_t nibble = 0;
    switch (mode) {
    case RemoteMode::None:
        break;
    case RemoteMode::MidNight:
        nibble = kModeMidNight;
        break;
    case RemoteMode::RemoteDim:
        nibble = kModeRemoteDim;
        break;
    case RemoteMode::MidNightProtect:
        nibble = kModeMidNightProtect;
        break;
    }
    if (img::Options < image.size())
        image[img::Options] = static_cast<std::uint8_t>((image[img::Options] & ~kRemoteModeMask) | nibble);
}

bool remote::remoteDim(ImageView image) {
    return input(image) == RemoteInput::Lst && mode(image) == RemoteMode::RemoteDim;
}

// ---- Control input and hold time ----

bool controlInput::on(ImageView image) {
    return bit(image, img::Flags, img::FlagLst);
}

void controlInput::setOn(ImageRef image, bool on) {
    putBit(image, img::Flags, img::FlagLst, on);
}

LstPolarity controlInput::polarity(ImageView image) {
    return bit(image, img::Flags, img::FlagLstHighLow) ? LstPolarity::HighToLow : LstPolarity::LowToHigh;
}

void controlInput::setPolarity(ImageRef image, LstPolarity polarity) {
    putBit(image, img::Flags, img::FlagLstHighLow, polarity == LstPolarity::HighToLow);
}

std::string_view controlInput::polarityName(LstPolarity polarity) {
    return polarity == LstPolarity::HighToLow ? "High->Low" : "Low->High";
}

int controlInput::holdSeconds(ImageView image) {
    return DecodeTime(get(image, img::HoldTime));
}

bool controlInput::holdOn(ImageView image) {
    return get(image, img::HoldTime) != 0;
}

void controlInput::setHoldSeconds(ImageRef image, int seconds) {
    put(image, img::HoldTime, convertTime(seconds));
}

// ---- Step tables ----

int Step::fadeMillis() const {
    return DecodeTime(fade);
}

int Step::delaySeconds() const {
    return DecodeTime(time);
}

std::size_t steps::tableOffset(Engine engine) {
    return engine == Engine::One ? img::Engine1 : img::Engine2;
}

std::size_t steps::levelOffset(Engine engine, int k) {
    return tableOffset(engine) + img::StepSize * static_cast<std::size_t>(std::clamp(k, 0, kStepCount - 1)) +
           img::StepLevel;
}

Step steps::step(ImageView image, Engine engine, int k) {
    const std::size_t level = levelOffset(engine, k);
    const std::size_t at = level - img::StepLevel;
    return {get(image, at + img::StepTime), get(image, at + img::StepFade), LevelByte{get(image, level)}};
}

StepTable steps::table(ImageView image, Engine engine) {
    StepTable table;
    for (int k = 0; k < kStepCount; ++k)
        table[static_cast<std::size_t>(k)] = step(image, engine, k);
    return table;
}

void steps::setTable(ImageRef image, Engine engine, const StepTable& table) {
    for (int k = 0; k < kStepCount; ++k) {
        const Step& s = table[static_cast<std::size_t>(k)];
        const std::size_t at = levelOffset(engine, k) - img::StepLevel;
        put(image, at + img::StepTime, s.time);
        put(image, at + img::StepFade, s.fade);
        put(image, at + img::StepLevel, s.level.value);
    }
}

int steps::inUse(ImageView image, Engine engine) {
    int k = 0;
    while (k < kStepCount && !step(image, engine, k).empty())
        ++k;
    return k;
}

bool steps::firstStepUsed(ImageView image, Engine engine) {
    return !step(image, engine, 0).empty();
}

// ---- Astro clock ----

bool astro::on(ImageView image) {
    return bit(image, img::Flags, img::FlagAstro);
}

void astro::setOn(ImageRef image, bool on) {
    putBit(image, img::Flags, img::FlagAstro, on);
}

int astro::offsetCount(ImageView image) {
    return static_cast<std::int8_t>(get(image, img::IsdOffset));
}

int astro::offsetMinutes(ImageView image) {
    return offsetCount(image) * kOffsetMinutesPerCount;
}

void astro::setOffsetCount(ImageRef image, int count) {
    put(image, img::IsdOffset, static_cast<std::uint8_t>(count & 0xFF));
}

bool astro::dstOn(ImageView image) {
    return !bit(image, img::Options, img::OptDstOff);
}

void astro::setDstOn(ImageRef image, bool on) {
    putBit(image, img::Options, img::OptDstOff, !on);
}

bool astro::isNightLength(int units) {
    return units >= kMinNight && units <= kMaxNight;
}

int astro::dstStartNight(ImageView image) {
    return get(image, img::DstStartNight);
}

int astro::dstEndNight(ImageView image) {
    return get(image, img::DstEndNight);
}

bool astro::autoDst(ImageView image) {
    return isNightLength(dstStartNight(image)) && isNightLength(dstEndNight(image));
}

void astro::setAutoDst(ImageRef image, int startNight, int endNight) {
    put(image, img::Reserved85, 0);
    put(image, img::DstStartNight, byteOf(startNight, 255));
    put(image, img::DstEndNight, byteOf(endNight, 255));
}

void astro::clearAstroData(ImageRef image) {
    for (std::size_t i = 0; i < img::AstroDataCount; ++i)
        put(image, img::AstroData + i, 0);
}

// ---- Across the blocks ----

IdleEnginesSwitchedOff switchOffIdleEngines(ImageRef image) {
    IdleEnginesSwitchedOff cleared;
    if (image.size() < kConfigSize)
        return cleared;
    if (!steps::firstStepUsed(image, Engine::Two) && controlInput::on(image)) {
        controlInput::setOn(image, false);
        cleared.controlInput = true;
    }
    if (!steps::firstStepUsed(image, Engine::One) && astro::on(image)) {
        astro::setOn(image, false);
        cleared.astroClock = true;
    }
    return cleared;
}

std::vector<std::size_t> correctedLevelBytes(ImageView image) {
    std::vector<std::size_t> fields;
    if (image.size() < kConfigSize)
        return fields;
    fields.push_back(img::MinLevel);
    fields.push_back(img::PowerOnLevel);
    for (const Engine engine : {Engine::Two, Engine::One}) {
        for (int k = 0; k < kStepCount; ++k) {
            if (!steps::step(image, engine, k).empty())
                fields.push_back(steps::levelOffset(engine, k));
        }
    }
    if (mff::startLevelSet(image)) {
        fields.push_back(img::MffStart);
        fields.push_back(img::MffStop);
    }
    for (int n = 1; n <= thermal::kPairs; ++n) {
        if (thermal::threshold(image, n) != 0)
            fields.push_back(thresholdOffset(n) + 1);
    }
    return fields;
}

} // namespace lumeq
