#pragma once
// What the configuration image means, block by block: one small codec per function block of the diagram,
// with typed reads and writes of the block's bytes and bits. Everything that shows or changes a setting
// (the diagram, the editors, the report, lumeq-cli show, the dimming-curve correction) goes through
// these functions, so that the bytes of a setting are decoded in one place only.
//
// Every function takes the image as a span of its bytes (the working image, a stick's 256-byte memory or
// the 96 bytes of a file). Bytes the span does not hold read as 0xFF and writes to them are dropped, so
// a short image can never be read or written past its end.

#include "model/image.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace lumeq {

using ImageView = std::span<const std::uint8_t>;
using ImageRef = std::span<std::uint8_t>;

constexpr int kMaxLevel = 100;

// A level byte: a level of 0..100 % in bits 0..6; in the step tables and at thermal threshold T1 bit 7
// switches the relay off.
struct LevelByte {
    std::uint8_t value = 0;

    int level() const { return value & 0x7F; }
    // The level taken as at most 100, as the editors and the correction read it.
    int boundedLevel() const;
    bool relayOff() const { return TestBit(value, 7); }
    static LevelByte make(int level, bool relayOff);
};

// ---- Control output (byte 0 bits 0 and 1, byte 2, byte 68 bit 2) ----

enum class OutputType { DaliLogarithmic, DaliLinear, Analog1to10V, Pwm };

namespace output {
OutputType type(ImageView image);
// Byte 0 bits 0 and 1 only.
void setType(ImageRef image, OutputType type);
bool isDali(OutputType type);
// "DALI logarithmic", "DALI linear", "Analog 1-10V", "PWM".
std::string_view typeName(OutputType type);
// The "Logarithmic" box: byte 0 bit 1 clear, whatever the output type.
bool logarithmic(ImageView image);
// Bit 1 alone: the DALI curve type, leaving bit 0 as it is.
void setLogarithmic(ImageRef image, bool logarithmic);
int minLevel(ImageView image);
void setMinLevel(ImageRef image, int percent); // limited to 0..100
bool storePol(ImageView image);
void setStorePol(ImageRef image, bool on);
} // namespace output

// ---- Power-on (bytes 3, 4, 5 and byte 68 bit 1) ----

namespace powerOn {
constexpr std::uint8_t kRandomDelay = 0xFF;
int level(ImageView image);
void setLevel(ImageRef image, int percent);
bool randomDelay(ImageView image);
// Seconds of the delay's time code; 0 while the delay is random.
int delaySeconds(ImageView image);
void setRandomDelay(ImageRef image);
// Stored as a time code. 0xFF would read as "random": a delay of 15:45:00 or more is stored as 0xFE
// (15:30:00), which the value entry never reaches anyway (it stops at 15:00:00).
void setDelaySeconds(ImageRef image, int seconds);
int fadeMillis(ImageView image); // milliseconds per percent
// The fade byte is not 0 (a code of another scale with a count of 0 is a fade of 0 ms that is not "off").
bool fadeOn(ImageView image);
void setFadeMillis(ImageRef image, int millis);
bool dpcDoo(ImageView image); // delayed switching (DPC) and dimmed on/off (DOO)
void setDpcDoo(ImageRef image, bool on);

// The power-on settings byte for byte as stored (a time code of a coarser scale stays as it is), so that
// an editor can put back exactly what it found.
struct Stored {
    std::uint8_t level = 0;
    std::uint8_t delay = 0;
    std::uint8_t fade = 0;
    bool dpcDoo = false;
    bool operator==(const Stored&) const = default;
};
Stored stored(ImageView image);
// Bytes 3, 4 and 5 and byte 68 bit 1; the other bits of byte 68 are kept.
void restore(ImageRef image, const Stored& stored);
} // namespace powerOn

// ---- Blocking time (byte 1: units of 5 s, 0 = off) ----

namespace blocking {
constexpr int kSecondsPerUnit = 5;
constexpr int kMaxUnits = 255;
int units(ImageView image);
int seconds(ImageView image);
bool on(ImageView image);
void setUnits(ImageRef image, int units); // limited to 0..255
} // namespace blocking

// ---- Thermal management (byte 0 bit 7, bytes 89..95) ----

namespace thermal {
constexpr int kMinCelsius = 30;
constexpr int kMaxCelsius = 85;
constexpr int kPairs = 3;
constexpr std::uint8_t kEndMark = 0xFF;

struct Pair {
    int celsius = 0;
    int level = 0; // the level bits as stored (0..127); level() reads them taken as at most 100
    bool operator==(const Pair&) const = default;
};

bool enabled(ImageView image);
void setEnabled(ImageRef image, bool on);
bool validThreshold(int celsius); // 30..85
// Threshold n (1..3) in degrees, 0 = not in use.
int threshold(ImageView image, int n);
// Level n (1..3): the low seven bits, at most 100.
int level(ImageView image, int n);
bool relayOffAtT1(ImageView image);
// The pairs in use, in order: T1 while it is not 0, then T2 while T1 and T2 are, then T3.
std::vector<Pair> pairsInUse(ImageView image);
// Pair n (1..3, taken as the nearest of them): threshold and level byte (relay-off flag only for pair 1).
void setPair(ImageRef image, int n, Pair pair, bool relayOff = false);
// Bytes of pairs n..3 become 0.
void clearFrom(ImageRef image, int n);
// Byte 95, the end mark of the table.
void writeEndMark(ImageRef image);
void clearEndMark(ImageRef image);
} // namespace thermal

// ---- Relay (byte 88 bit 0) ----

namespace relay {
bool zeroCross(ImageView image);
void setZeroCross(ImageRef image, bool on); // the other bits of byte 88 are kept
} // namespace relay

// ---- Maintenance factor and burn-in (bytes 69..75, byte 68 bit 3) ----

namespace mff {
constexpr int kHoursPerUnit = 500;
constexpr int kMaxUnits = 255;
constexpr int kMaxBurnInHours = 255;
constexpr std::uint8_t kStartLevelUnset = 0xFF;

struct Levels {
    int start = 0; // at the beginning of the lifetime
    int l1 = 0;    // at 1/4
    int l2 = 0;    // at 1/2
    int l3 = 0;    // at 3/4
    int stop = 0;  // at the end
    bool operator==(const Levels&) const = default;
};

int lifetimeUnits(ImageView image); // 0 = MFF off
int lifetimeHours(ImageView image);
bool on(ImageView image);
void setLifetimeUnits(ImageRef image, int units);
// The five levels as stored (meaningful while the lifetime is not 0).
Levels levels(ImageView image);
void setLevels(ImageRef image, const Levels& levels);
// The start level has been set (byte 69 is not 0xFF, as it is in the default image).
bool startLevelSet(ImageView image);
int burnInHours(ImageView image); // 0 = burn-in off
void setBurnInHours(ImageRef image, int hours);
bool resetHours(ImageView image);
void setResetHours(ImageRef image, bool on);
} // namespace mff

// ---- Remote control (byte 0 bits 5 and 6, byte 68 bits 4..7) ----

enum class RemoteInput { Off, Mains, Lst };
// The mode nibble: 0x10 MidNight, 0x20 Remote DIM (LSt input), 0x30 MidNight Protect (mains input). Any
// other nibble reads as None.
enum class RemoteMode { None, MidNight, RemoteDim, MidNightProtect };

namespace remote {
// Bit 5 (mains) wins over bit 6 (LSt) in an image that has both, as the diagram reads it.
RemoteInput input(ImageView image);
// Bits 5 and 6 of byte 0: never both set.
void setInput(ImageRef image, RemoteInput input);
RemoteMode mode(ImageView image);
// Bits 4..7 of byte 68; bits 0..3 are kept.
void setMode(ImageRef image, RemoteMode mode);
// The LSt input with Remote DIM: the remote control takes the LSt input and the astro clock.
bool remoteDim(ImageView image);
} // namespace remote

// ---- Control input LSt and hold time (byte 0 bits 3 and 4, byte 6) ----

enum class LstPolarity { LowToHigh, HighToLow };

namespace controlInput {
bool on(ImageView image);
void setOn(ImageRef image, bool on);
LstPolarity polarity(ImageView image);
void setPolarity(ImageRef image, LstPolarity polarity);
std::string_view polarityName(LstPolarity polarity); // "Low->High", "High->Low"
int holdSeconds(ImageView image);                    // 0 = hold time off
bool holdOn(ImageView image);
void setHoldSeconds(ImageRef image, int seconds); // stored as a time code
} // namespace controlInput

// ---- The two dimming engines' step tables ----

// Dimming engine 1 runs on the astro clock (bytes 38..67: switching time, fade, level per step); dimming
// engine 2 on the control input (bytes 8..37: delay, fade, level per step).
enum class Engine { One, Two };

constexpr int kStepCount = 10;
constexpr std::uint8_t kEmptyStepLevel = 0xFF;

struct Step {
    std::uint8_t time = 0; // engine 1: time-of-day code; engine 2: delay time code (seconds)
    std::uint8_t fade = 0; // time code, milliseconds per percent
    LevelByte level{kEmptyStepLevel};

    bool empty() const { return level.value == kEmptyStepLevel; }
    int fadeMillis() const;
    int delaySeconds() const; // engine 2
    static Step emptyStep() { return {}; }
    bool operator==(const Step& other) const {
        return time == other.time && fade == other.fade && level.value == other.level.value;
    }
};

using StepTable = std::array<Step, kStepCount>;

namespace steps {
// Byte offset of the table in the image.
std::size_t tableOffset(Engine engine);
// Offset of step k (0..9)'s level byte.
std::size_t levelOffset(Engine engine, int k);
Step step(ImageView image, Engine engine, int k); // k = 0..9
StepTable table(ImageView image, Engine engine);
void setTable(ImageRef image, Engine engine, const StepTable& table);
// The steps in front of the first empty one.
int inUse(ImageView image, Engine engine);
// Step 1 holds a level: without it the engine and its switch are off.
bool firstStepUsed(ImageView image, Engine engine);
} // namespace steps

// ---- Astro clock, ISD offset and daylight saving (byte 0 bit 2, byte 7, byte 68 bit 0, bytes 85..87) ----

namespace astro {
constexpr int kOffsetMinutesPerCount = 2;
constexpr int kNightMinutesPerUnit = 5;
constexpr int kMinNight = 60;  // 05:00
constexpr int kMaxNight = 216; // 18:00

bool on(ImageView image);
void setOn(ImageRef image, bool on);
int offsetCount(ImageView image); // -128..127, units of 2 minutes
int offsetMinutes(ImageView image);
void setOffsetCount(ImageRef image, int count); // taken modulo 256
bool dstOn(ImageView image);                    // byte 68 bit 0 clear: summer time
void setDstOn(ImageRef image, bool on);
// A night length in units of 5 minutes that automatic daylight saving accepts: 60..216.
bool isNightLength(int units);
int dstStartNight(ImageView image); // units of 5 minutes
int dstEndNight(ImageView image);
// Automatic daylight saving is on exactly while both night lengths are valid.
bool autoDst(ImageView image);
// Byte 85 := 0 and the two night lengths; (0, 0) turns automatic daylight saving off.
void setAutoDst(ImageRef image, int startNight, int endNight);
// Bytes 76..84, the module's own astro data that no editor changes: cleared when a configuration is taken
// from a file or a slot (unless the copyAstro option keeps them).
void clearAstroData(ImageRef image);
} // namespace astro

// ---- Rules across the blocks ----

// An engine without a first step is off: the control input (byte 0 bit 3) and the astro clock (byte 0
// bit 2) are switched off in the image when their engine has no step. Says which bits were cleared. An
// image shorter than the configuration (96 bytes) is left alone.
struct IdleEnginesSwitchedOff {
    bool controlInput = false;
    bool astroClock = false;
};
IdleEnginesSwitchedOff switchOffIdleEngines(ImageRef image);

// The level bytes the dimming-curve correction maps, in this order: minimum and power-on level; the step
// levels of dimming engine 2, then of dimming engine 1 (each while it is not 0xFF); MFF start and stop
// level while the start level is set; each thermal level whose threshold is not 0.
std::vector<std::size_t> correctedLevelBytes(ImageView image);

} // namespace lumeq
