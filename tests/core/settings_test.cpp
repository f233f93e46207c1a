#include "model/settings.h"

#include "model/image.h"
#include "model/layout.h"
#include "model/timecode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace lumeq {

// Readable names in failure messages.
void PrintTo(OutputType type, std::ostream* os) {
    *os << output::typeName(type);
}
void PrintTo(RemoteInput input, std::ostream* os) {
    *os << (input == RemoteInput::Off ? "Off" : input == RemoteInput::Mains ? "Mains" : "Lst");
}
void PrintTo(RemoteMode mode, std::ostream* os) {
    const char* names[] = {"None", "MidNight", "RemoteDim", "MidNightProtect"};
    *os << names[static_cast<int>(mode)];
}

} // namespace lumeq

using namespace lumeq;

namespace {

// ---- Images the codecs are tried on -----------------------------------------------------------------------

using Bytes = std::vector<std::pair<std::size_t, std::uint8_t>>;

// Every byte holds a mix of set and clear bits, and its neighbours other ones.
Image patterned() {
    Image image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(0x5A ^ (i * 0x3B));
    return image;
}

// The pattern with every bit flipped: with both, each foreign bit is seen set and clear.
Image inverted(Image image) {
    for (std::uint8_t& byte : image)
        byte = static_cast<std::uint8_t>(~byte);
    return image;
}

Image with(Image image, const Bytes& bytes) {
    for (const auto& [offset, value] : bytes)
        image.at(offset) = value;
    return image;
}

// The two patterned images with the row's bytes written over them: a reader must give the same on both.
std::vector<Image> imagesWith(const Bytes& bytes) {
    return {with(patterned(), bytes), with(inverted(patterned()), bytes)};
}

std::string hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// "" when equal, else every byte that differs.
std::string differences(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want) {
    if (got.size() != want.size())
        return "size " + std::to_string(got.size()) + ", want " + std::to_string(want.size());
    std::string text;
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (got[i] != want[i])
            text += "byte " + std::to_string(i) + ": " + hex(got[i]) + ", want " + hex(want[i]) + "; ";
    }
    return text;
}

// ---- Reading: image bytes -> decoded value ------------------------------------------------------------------

struct ValueRow {
    const char* name;
    Bytes bytes;
    int (*read)(ImageView);
    int want;
};

void PrintTo(const ValueRow& row, std::ostream* os) {
    *os << row.name;
}

class CodecValue : public testing::TestWithParam<ValueRow> {};

TEST_P(CodecValue, Reads) {
    const ValueRow& row = GetParam();
    for (const Image& image : imagesWith(row.bytes))
        EXPECT_EQ(row.read(image), row.want) << "on " << hex(image.at(0)) << "...";
}

struct FlagRow {
    const char* name;
    Bytes bytes;
    bool (*read)(ImageView);
    bool want;
};

void PrintTo(const FlagRow& row, std::ostream* os) {
    *os << row.name;
}

class CodecFlag : public testing::TestWithParam<FlagRow> {};

TEST_P(CodecFlag, Reads) {
    const FlagRow& row = GetParam();
    for (const Image& image : imagesWith(row.bytes))
        EXPECT_EQ(row.read(image), row.want) << "on " << hex(image.at(0)) << "...";
}

// ---- Writing: exactly these bits change, every other bit of the 128 bytes stays -----------------------------

struct Bits {
    std::size_t offset;
    std::uint8_t mask; // the bits the write owns
    std::uint8_t value;
};

Bits byteAt(std::size_t offset, std::uint8_t value) {
    return {offset, 0xFF, value};
}

struct WriteRow {
    const char* name;
    std::function<void(ImageRef)> write;
    std::vector<Bits> want;
};

void PrintTo(const WriteRow& row, std::ostream* os) {
    *os << row.name;
}

Image expectedAfter(Image image, const std::vector<Bits>& bits) {
    for (const Bits& b : bits)
        image.at(b.offset) = static_cast<std::uint8_t>((image.at(b.offset) & ~b.mask) | (b.value & b.mask));
    return image;
}

class CodecWrite : public testing::TestWithParam<WriteRow> {};

TEST_P(CodecWrite, ChangesOnlyItsOwnBits) {
    const WriteRow& row = GetParam();
    for (const Image& base : {patterned(), inverted(patterned())}) {
        Image image = base;
        row.write(image);
        EXPECT_EQ(differences(image, expectedAfter(base, row.want)), "") << "on " << hex(base.at(0)) << "...";
    }
}

constexpr std::size_t kShortSpan = 10;

// A span of 10 bytes: the bytes in it change as in a full image, writes past its end are dropped.
TEST_P(CodecWrite, DropsWhatLiesPastAShortSpan) {
    const WriteRow& row = GetParam();
    const Image base = patterned();
    const Image full = expectedAfter(base, row.want);
    Image want = base;
    std::copy(full.begin(), full.begin() + kShortSpan, want.begin());

    // The front of a larger buffer: the bytes behind the span stay as they are.
    Image buffer = base;
    row.write(ImageRef(buffer).first(kShortSpan));
    EXPECT_EQ(differences(buffer, want), "");

    // Ten bytes of their own on the heap, where the address sanitizer sees any access past the end.
    Image alone(base.begin(), base.begin() + kShortSpan);
    row.write(alone);
    EXPECT_EQ(differences(alone, Image(want.begin(), want.begin() + kShortSpan)), "");

    Image none;
    row.write(none);
    EXPECT_TRUE(none.empty());
}

const auto kRowName = [](const auto& info) { return std::string(info.param.name); };

// ---- Control output ---------------------------------------------------------------------------------------

struct OutputTypeRow {
    std::uint8_t byte0;
    OutputType type;
    bool logarithmic;
};

TEST(OutputCodec, TypeAndLogarithmicFromBits0And1) {
    const OutputTypeRow rows[] = {
        {0x00, OutputType::Analog1to10V, true},
        {0x0C, OutputType::Analog1to10V, true},
        {0xFC, OutputType::Analog1to10V, true},
        {0x02, OutputType::Pwm, false},
        {0x0E, OutputType::Pwm, false},
        {0x01, OutputType::DaliLogarithmic, true},
        {0x0D, OutputType::DaliLogarithmic, true},
        {0xFD, OutputType::DaliLogarithmic, true},
        {0x03, OutputType::DaliLinear, false},
        {0x0F, OutputType::DaliLinear, false},
        {0xFF, OutputType::DaliLinear, false},
    };
    for (const OutputTypeRow& row : rows) {
        SCOPED_TRACE("byte 0 = " + hex(row.byte0));
        for (const Image& image : imagesWith({{img::Flags, row.byte0}})) {
            EXPECT_EQ(output::type(image), row.type);
            EXPECT_EQ(output::logarithmic(image), row.logarithmic);
        }
    }
}

TEST(OutputCodec, TypeNamesAndDali) {
    const struct {
        OutputType type;
        bool dali;
        const char* name;
    } rows[] = {
        {OutputType::DaliLogarithmic, true, "DALI logarithmic"},
        {OutputType::DaliLinear, true, "DALI linear"},
        {OutputType::Analog1to10V, false, "Analog 1-10V"},
        {OutputType::Pwm, false, "PWM"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(output::isDali(row.type), row.dali) << row.name;
        EXPECT_EQ(output::typeName(row.type), row.name);
        // Written and read back, whatever the other bits of byte 0.
        for (Image image : imagesWith({})) {
            output::setType(image, row.type);
            EXPECT_EQ(output::type(image), row.type);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Output, CodecValue,
                         testing::Values(ValueRow{"MinLevel", {{2, 37}}, output::minLevel, 37},
                                         ValueRow{"MinLevelZero", {{2, 0}}, output::minLevel, 0}),
                         kRowName);

INSTANTIATE_TEST_SUITE_P(Output, CodecFlag,
                         testing::Values(FlagRow{"StorePolBit2", {{68, 0x04}}, output::storePol, true},
                                         FlagRow{"StorePolOtherBits", {{68, 0xFB}}, output::storePol, false}),
                         kRowName);

INSTANTIATE_TEST_SUITE_P(
    Output, CodecWrite,
    testing::Values(
        WriteRow{"TypeDaliLogarithmic",
                 [](ImageRef i) { output::setType(i, OutputType::DaliLogarithmic); },
                 {{0, 0x03, 0x01}}},
        WriteRow{"TypeDaliLinear", [](ImageRef i) { output::setType(i, OutputType::DaliLinear); }, {{0, 0x03, 0x03}}},
        WriteRow{"TypeAnalog", [](ImageRef i) { output::setType(i, OutputType::Analog1to10V); }, {{0, 0x03, 0x00}}},
        WriteRow{"TypePwm", [](ImageRef i) { output::setType(i, OutputType::Pwm); }, {{0, 0x03, 0x02}}},
        WriteRow{"Logarithmic", [](ImageRef i) { output::setLogarithmic(i, true); }, {{0, 0x02, 0x00}}},
        WriteRow{"Linear", [](ImageRef i) { output::setLogarithmic(i, false); }, {{0, 0x02, 0x02}}},
        WriteRow{"MinLevel", [](ImageRef i) { output::setMinLevel(i, 37); }, {byteAt(2, 37)}},
        WriteRow{"MinLevelAbove100", [](ImageRef i) { output::setMinLevel(i, 101); }, {byteAt(2, 100)}},
        WriteRow{"MinLevelNegative", [](ImageRef i) { output::setMinLevel(i, -1); }, {byteAt(2, 0)}},
        WriteRow{"StorePolOn", [](ImageRef i) { output::setStorePol(i, true); }, {{68, 0x04, 0x04}}},
        WriteRow{"StorePolOff", [](ImageRef i) { output::setStorePol(i, false); }, {{68, 0x04, 0x00}}}),
    kRowName);

// ---- Power-on ----------------------------------------------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(PowerOn, CodecValue,
                         testing::Values(ValueRow{"Level", {{3, 80}}, powerOn::level, 80},
                                         ValueRow{"RandomDelayHasNoSeconds", {{4, 0xFF}}, powerOn::delaySeconds, 0},
                                         ValueRow{"DelayNone", {{4, 0x00}}, powerOn::delaySeconds, 0},
                                         ValueRow{"Delay90Minutes", {{4, 0xC6}}, powerOn::delaySeconds, 5400},
                                         ValueRow{"DelayLargestFixedCode", {{4, 0xFE}}, powerOn::delaySeconds, 55800},
                                         ValueRow{"FadeNone", {{5, 0x00}}, powerOn::fadeMillis, 0},
                                         ValueRow{"Fade60", {{5, 0x3C}}, powerOn::fadeMillis, 60},
                                         ValueRow{"Fade100", {{5, 0x4A}}, powerOn::fadeMillis, 100},
                                         ValueRow{"FadeCountZeroOfTens", {{5, 0x40}}, powerOn::fadeMillis, 0}),
                         kRowName);

INSTANTIATE_TEST_SUITE_P(PowerOn, CodecFlag,
                         testing::Values(FlagRow{"RandomDelay", {{4, 0xFF}}, powerOn::randomDelay, true},
                                         FlagRow{"LargestFixedDelay", {{4, 0xFE}}, powerOn::randomDelay, false},
                                         FlagRow{"NoDelayIsNotRandom", {{4, 0x00}}, powerOn::randomDelay, false},
                                         FlagRow{"FadeOff", {{5, 0x00}}, powerOn::fadeOn, false},
                                         FlagRow{"Fade60On", {{5, 0x3C}}, powerOn::fadeOn, true},
                                         FlagRow{"FadeCountZeroOfTensIsOn", {{5, 0x40}}, powerOn::fadeOn, true},
                                         FlagRow{"DpcDooBit1", {{68, 0x02}}, powerOn::dpcDoo, true},
                                         FlagRow{"DpcDooOtherBits", {{68, 0xFD}}, powerOn::dpcDoo, false}),
                         kRowName);

// Power-on bytes as the editor keeps them for Cancel: a coarse delay and fade code, and a random delay.
const powerOn::Stored kCoarseCodes{30, 0x41, 0x40, true};
const powerOn::Stored kRandomNoDpc{100, 0xFF, 0x00, false};

INSTANTIATE_TEST_SUITE_P(
    PowerOn, CodecWrite,
    testing::Values(WriteRow{"Level", [](ImageRef i) { powerOn::setLevel(i, 80); }, {byteAt(3, 80)}},
                    WriteRow{"LevelAbove100", [](ImageRef i) { powerOn::setLevel(i, 250); }, {byteAt(3, 100)}},
                    WriteRow{"RandomDelay", [](ImageRef i) { powerOn::setRandomDelay(i); }, {byteAt(4, 0xFF)}},
                    WriteRow{
                        "Delay90Minutes", [](ImageRef i) { powerOn::setDelaySeconds(i, 5400); }, {byteAt(4, 0xC6)}},
                    WriteRow{"DelayNone", [](ImageRef i) { powerOn::setDelaySeconds(i, 0); }, {byteAt(4, 0x00)}},
                    WriteRow{"Fade60", [](ImageRef i) { powerOn::setFadeMillis(i, 60); }, {byteAt(5, 0x3C)}},
                    WriteRow{"Fade600", [](ImageRef i) { powerOn::setFadeMillis(i, 600); }, {byteAt(5, 0x7C)}},
                    WriteRow{"DpcDooOn", [](ImageRef i) { powerOn::setDpcDoo(i, true); }, {{68, 0x02, 0x02}}},
                    WriteRow{"DpcDooOff", [](ImageRef i) { powerOn::setDpcDoo(i, false); }, {{68, 0x02, 0x00}}},
                    WriteRow{"RestoreCoarseCodes",
                             [](ImageRef i) { powerOn::restore(i, kCoarseCodes); },
                             {byteAt(3, 30), byteAt(4, 0x41), byteAt(5, 0x40), {68, 0x02, 0x02}}},
                    WriteRow{"RestoreRandomWithoutDpc",
                             [](ImageRef i) { powerOn::restore(i, kRandomNoDpc); },
                             {byteAt(3, 100), byteAt(4, 0xFF), byteAt(5, 0x00), {68, 0x02, 0x00}}}),
    kRowName);

// What stored() reads, restore() puts back unchanged over any other power-on setting.
TEST(PowerOnCodec, StoredComesBackExactly) {
    for (const Image& image : imagesWith({{3, 0x2A}, {4, 0x41}, {5, 0xFF}, {68, 0x12}})) {
        const powerOn::Stored stored = powerOn::stored(image);
        EXPECT_EQ(stored, (powerOn::Stored{0x2A, 0x41, 0xFF, true}));
        Image changed = image;
        powerOn::setLevel(changed, 5);
        powerOn::setRandomDelay(changed);
        powerOn::setFadeMillis(changed, 0);
        powerOn::setDpcDoo(changed, false);
        powerOn::restore(changed, stored);
        EXPECT_EQ(differences(changed, image), "");
    }
}

// ---- Blocking time -----------------------------------------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(Blocking, CodecValue,
                         testing::Values(ValueRow{"Off", {{1, 0}}, blocking::seconds, 0},
                                         ValueRow{"OneUnitIsFiveSeconds", {{1, 1}}, blocking::seconds, 5},
                                         ValueRow{"Largest", {{1, 255}}, blocking::seconds, 1275},
                                         ValueRow{"Units", {{1, 12}}, blocking::units, 12}),
                         kRowName);

INSTANTIATE_TEST_SUITE_P(Blocking, CodecFlag,
                         testing::Values(FlagRow{"Off", {{1, 0}}, blocking::on, false},
                                         FlagRow{"On", {{1, 1}}, blocking::on, true}),
                         kRowName);

INSTANTIATE_TEST_SUITE_P(
    Blocking, CodecWrite,
    testing::Values(WriteRow{"Units", [](ImageRef i) { blocking::setUnits(i, 12); }, {byteAt(1, 12)}},
                    WriteRow{"Off", [](ImageRef i) { blocking::setUnits(i, 0); }, {byteAt(1, 0)}},
                    WriteRow{"Largest", [](ImageRef i) { blocking::setUnits(i, 255); }, {byteAt(1, 255)}},
                    WriteRow{"AboveLargest", [](ImageRef i) { blocking::setUnits(i, 256); }, {byteAt(1, 255)}},
                    WriteRow{"Negative", [](ImageRef i) { blocking::setUnits(i, -1); }, {byteAt(1, 0)}}),
    kRowName);

// ---- Thermal management ------------------------------------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(
    Thermal, CodecValue,
    testing::Values(
        ValueRow{"T1", {{89, 85}}, [](ImageView i) { return thermal::threshold(i, 1); }, 85},
        ValueRow{"T2", {{91, 70}}, [](ImageView i) { return thermal::threshold(i, 2); }, 70},
        ValueRow{"T3", {{93, 60}}, [](ImageView i) { return thermal::threshold(i, 3); }, 60},
        ValueRow{"L1WithoutRelayBit", {{90, 0xA8}}, [](ImageView i) { return thermal::level(i, 1); }, 40},
        ValueRow{"L2", {{92, 55}}, [](ImageView i) { return thermal::level(i, 2); }, 55},
        ValueRow{"L3BitSevenIsNoLevel", {{94, 0x90}}, [](ImageView i) { return thermal::level(i, 3); }, 16},
        ValueRow{"LevelBoundedTo100", {{92, 0x7F}}, [](ImageView i) { return thermal::level(i, 2); }, 100},
        ValueRow{"LevelWithRelayBoundedTo100", {{90, 0xFF}}, [](ImageView i) { return thermal::level(i, 1); }, 100}),
    kRowName);

INSTANTIATE_TEST_SUITE_P(
    Thermal, CodecFlag,
    testing::Values(FlagRow{"EnabledBit7", {{0, 0x80}}, thermal::enabled, true},
                    FlagRow{"DisabledOtherBits", {{0, 0x7F}}, thermal::enabled, false},
                    FlagRow{"RelayOffAtT1", {{90, 0xA8}}, thermal::relayOffAtT1, true},
                    FlagRow{"RelayOnAtT1", {{90, 0x28}, {92, 0x80}, {94, 0x80}}, thermal::relayOffAtT1, false}),
    kRowName);

TEST(ThermalCodec, ValidThresholds) {
    for (const auto& [celsius, valid] :
         std::vector<std::pair<int, bool>>{{0, false}, {29, false}, {30, true}, {85, true}, {86, false}}) {
        EXPECT_EQ(thermal::validThreshold(celsius), valid) << celsius;
    }
}

// A pair is in use only while every pair before it is: T2 needs T1, T3 needs T2.
TEST(ThermalCodec, PairsInUseChain) {
    using Pairs = std::vector<thermal::Pair>;
    const struct {
        const char* name;
        Bytes bytes;
        Pairs want;
    } rows[] = {
        {"Empty", {{89, 0}, {91, 0}, {93, 0}}, {}},
        {"T2WithoutT1", {{89, 0}, {91, 70}, {92, 30}, {93, 60}}, {}},
        {"OnlyT1", {{89, 85}, {90, 0xA8}, {91, 0}, {93, 0}}, {{85, 40}}},
        {"T3WithoutT2", {{89, 85}, {90, 40}, {91, 0}, {93, 60}, {94, 20}}, {{85, 40}}},
        {"T1AndT2", {{89, 85}, {90, 40}, {91, 70}, {92, 30}, {93, 0}}, {{85, 40}, {70, 30}}},
        {"AllThree", {{89, 85}, {90, 0xA8}, {91, 70}, {92, 30}, {93, 60}, {94, 0x90}}, {{85, 40}, {70, 30}, {60, 16}}},
    };
    for (const auto& row : rows) {
        for (const Image& image : imagesWith(row.bytes)) {
            const Pairs pairs = thermal::pairsInUse(image);
            ASSERT_EQ(pairs.size(), row.want.size()) << row.name;
            for (std::size_t n = 0; n < pairs.size(); ++n) {
                EXPECT_EQ(pairs[n].celsius, row.want[n].celsius) << row.name << " pair " << n + 1;
                EXPECT_EQ(pairs[n].level, row.want[n].level) << row.name << " pair " << n + 1;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Thermal, CodecWrite,
    testing::Values(
        WriteRow{"Enable", [](ImageRef i) { thermal::setEnabled(i, true); }, {{0, 0x80, 0x80}}},
        WriteRow{"Disable", [](ImageRef i) { thermal::setEnabled(i, false); }, {{0, 0x80, 0x00}}},
        WriteRow{"Pair1RelayOff",
                 [](ImageRef i) {
                     thermal::setPair(i, 1, {85, 40}, true);
                 },
                 {byteAt(89, 85), byteAt(90, 0xA8)}},
        WriteRow{"Pair1RelayOn",
                 [](ImageRef i) {
                     thermal::setPair(i, 1, {85, 40});
                 },
                 {byteAt(89, 85), byteAt(90, 40)}},
        // Only pair 1 carries the relay flag.
        WriteRow{"Pair2NoRelayFlag",
                 [](ImageRef i) {
                     thermal::setPair(i, 2, {70, 30}, true);
                 },
                 {byteAt(91, 70), byteAt(92, 30)}},
        WriteRow{"Pair3NoRelayFlag",
                 [](ImageRef i) {
                     thermal::setPair(i, 3, {60, 20}, true);
                 },
                 {byteAt(93, 60), byteAt(94, 20)}},
        WriteRow{"PairLevelAbove100",
                 [](ImageRef i) {
                     thermal::setPair(i, 2, {70, 150});
                 },
                 {byteAt(91, 70), byteAt(92, 100)}},
        WriteRow{"ClearFrom1",
                 [](ImageRef i) { thermal::clearFrom(i, 1); },
                 {byteAt(89, 0), byteAt(90, 0), byteAt(91, 0), byteAt(92, 0), byteAt(93, 0), byteAt(94, 0)}},
        WriteRow{"ClearFrom2",
                 [](ImageRef i) { thermal::clearFrom(i, 2); },
                 {byteAt(91, 0), byteAt(92, 0), byteAt(93, 0), byteAt(94, 0)}},
        WriteRow{"ClearFrom3", [](ImageRef i) { thermal::clearFrom(i, 3); }, {byteAt(93, 0), byteAt(94, 0)}},
        WriteRow{"EndMark", [](ImageRef i) { thermal::writeEndMark(i); }, {byteAt(95, 0xFF)}},
        WriteRow{"ClearEndMark", [](ImageRef i) { thermal::clearEndMark(i); }, {byteAt(95, 0x00)}}),
    kRowName);

// ---- Relay -------------------------------------------------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(Relay, CodecFlag,
                         testing::Values(FlagRow{"ZeroCrossBit0", {{88, 0x01}}, relay::zeroCross, true},
                                         FlagRow{"ZeroCrossOtherBits", {{88, 0xFE}}, relay::zeroCross, false}),
                         kRowName);

INSTANTIATE_TEST_SUITE_P(
    Relay, CodecWrite,
    testing::Values(WriteRow{"ZeroCrossOn", [](ImageRef i) { relay::setZeroCross(i, true); }, {{88, 0x01, 0x01}}},
                    WriteRow{"ZeroCrossOff", [](ImageRef i) { relay::setZeroCross(i, false); }, {{88, 0x01, 0x00}}}),
    kRowName);

// ---- Maintenance factor and burn-in ------------------------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(Mff, CodecValue,
                         testing::Values(ValueRow{"LifetimeOff", {{75, 0}}, mff::lifetimeHours, 0},
                                         ValueRow{"LifetimeOneUnit", {{75, 1}}, mff::lifetimeHours, 500},
                                         ValueRow{"LifetimeLargest", {{75, 255}}, mff::lifetimeHours, 127500},
                                         ValueRow{"LifetimeUnits", {{75, 40}}, mff::lifetimeUnits, 40},
                                         ValueRow{"BurnIn", {{74, 24}}, mff::burnInHours, 24},
                                         ValueRow{"BurnInOff", {{74, 0}}, mff::burnInHours, 0}),
                         kRowName);

INSTANTIATE_TEST_SUITE_P(Mff, CodecFlag,
                         testing::Values(FlagRow{"Off", {{75, 0}}, mff::on, false},
                                         FlagRow{"On", {{75, 1}}, mff::on, true},
                                         FlagRow{"StartLevelUnset", {{69, 0xFF}}, mff::startLevelSet, false},
                                         FlagRow{"StartLevelZeroIsSet", {{69, 0}}, mff::startLevelSet, true},
                                         FlagRow{"StartLevel100IsSet", {{69, 100}}, mff::startLevelSet, true},
                                         FlagRow{"ResetHoursBit3", {{68, 0x08}}, mff::resetHours, true},
                                         FlagRow{"ResetHoursOtherBits", {{68, 0xF7}}, mff::resetHours, false}),
                         kRowName);

TEST(MffCodec, LevelsAsStored) {
    for (const Image& image : imagesWith({{69, 20}, {70, 40}, {71, 60}, {72, 80}, {73, 90}}))
        EXPECT_EQ(mff::levels(image), (mff::Levels{20, 40, 60, 80, 90}));
    // Before any MFF value was set the start level is 0xFF.
    for (const Image& image : imagesWith({{69, 0xFF}}))
        EXPECT_EQ(mff::levels(image).start, 0xFF);
}

INSTANTIATE_TEST_SUITE_P(
    Mff, CodecWrite,
    testing::Values(WriteRow{"Lifetime", [](ImageRef i) { mff::setLifetimeUnits(i, 40); }, {byteAt(75, 40)}},
                    WriteRow{
                        "LifetimeAboveLargest", [](ImageRef i) { mff::setLifetimeUnits(i, 300); }, {byteAt(75, 255)}},
                    WriteRow{"LifetimeNegative", [](ImageRef i) { mff::setLifetimeUnits(i, -5); }, {byteAt(75, 0)}},
                    WriteRow{"Levels",
                             [](ImageRef i) {
                                 mff::setLevels(i, {20, 40, 60, 80, 90});
                             },
                             {byteAt(69, 20), byteAt(70, 40), byteAt(71, 60), byteAt(72, 80), byteAt(73, 90)}},
                    WriteRow{"LevelsLimited",
                             [](ImageRef i) {
                                 mff::setLevels(i, {-1, 101, 0, 100, 255});
                             },
                             {byteAt(69, 0), byteAt(70, 100), byteAt(71, 0), byteAt(72, 100), byteAt(73, 100)}},
                    WriteRow{"BurnIn", [](ImageRef i) { mff::setBurnInHours(i, 24); }, {byteAt(74, 24)}},
                    WriteRow{"BurnInAboveLargest", [](ImageRef i) { mff::setBurnInHours(i, 256); }, {byteAt(74, 255)}},
                    WriteRow{"ResetHoursOn", [](ImageRef i) { mff::setResetHours(i, true); }, {{68, 0x08, 0x08}}},
                    WriteRow{"ResetHoursOff", [](ImageRef i) { mff::setResetHours(i, false); }, {{68, 0x08, 0x00}}}),
    kRowName);

// ---- Remote control ----------------------------------------------------------------------------------------

TEST(RemoteCodec, InputFromBits5And6) {
    const struct {
        std::uint8_t byte0;
        RemoteInput input;
    } rows[] = {
        {0x00, RemoteInput::Off},   {0x9F, RemoteInput::Off}, {0x20, RemoteInput::Mains},
        {0xAF, RemoteInput::Mains}, {0x40, RemoteInput::Lst}, {0xCF, RemoteInput::Lst},
    };
    for (const auto& row : rows) {
        for (const Image& image : imagesWith({{img::Flags, row.byte0}}))
            EXPECT_EQ(remote::input(image), row.input) << hex(row.byte0);
    }
}

// The mode is the nibble byte 68 AND 0xF0; bits 0..3 belong to other blocks.
TEST(RemoteCodec, ModeFromTheHighNibble) {
    const struct {
        std::uint8_t byte68;
        RemoteMode mode;
    } rows[] = {
        {0x00, RemoteMode::None},
        {0x0F, RemoteMode::None},
        {0x10, RemoteMode::MidNight},
        {0x1F, RemoteMode::MidNight},
        {0x21, RemoteMode::RemoteDim},
        {0x30, RemoteMode::MidNightProtect},
        {0x3F, RemoteMode::MidNightProtect},
        {0x40, RemoteMode::None},
        {0x50, RemoteMode::None},
        {0xA0, RemoteMode::None},
        {0xF0, RemoteMode::None},
        {0xFF, RemoteMode::None},
    };
    for (const auto& row : rows) {
        for (const Image& image : imagesWith({{img::Options, row.byte68}}))
            EXPECT_EQ(remote::mode(image), row.mode) << hex(row.byte68);
    }
}

INSTANTIATE_TEST_SUITE_P(Remote, CodecFlag,
                         testing::Values(FlagRow{"RemoteDimOnLst", {{0, 0x40}, {68, 0x21}}, remote::remoteDim, true},
                                         FlagRow{
                                             "RemoteDimNeedsLst", {{0, 0x20}, {68, 0x21}}, remote::remoteDim, false},
                                         FlagRow{"MidNightOnLst", {{0, 0x40}, {68, 0x11}}, remote::remoteDim, false},
                                         FlagRow{"RemoteOff", {{0, 0x00}, {68, 0x20}}, remote::remoteDim, false}),
                         kRowName);

// Bits 5 and 6 together are never written; setMode keeps bits 0..3 of byte 68.
INSTANTIATE_TEST_SUITE_P(
    Remote, CodecWrite,
    testing::Values(
        WriteRow{"InputOff", [](ImageRef i) { remote::setInput(i, RemoteInput::Off); }, {{0, 0x60, 0x00}}},
        WriteRow{"InputMains", [](ImageRef i) { remote::setInput(i, RemoteInput::Mains); }, {{0, 0x60, 0x20}}},
        WriteRow{"InputLst", [](ImageRef i) { remote::setInput(i, RemoteInput::Lst); }, {{0, 0x60, 0x40}}},
        WriteRow{"ModeNone", [](ImageRef i) { remote::setMode(i, RemoteMode::None); }, {{68, 0xF0, 0x00}}},
        WriteRow{"ModeMidNight", [](ImageRef i) { remote::setMode(i, RemoteMode::MidNight); }, {{68, 0xF0, 0x10}}},
        WriteRow{"ModeRemoteDim", [](ImageRef i) { remote::setMode(i, RemoteMode::RemoteDim); }, {{68, 0xF0, 0x20}}},
        WriteRow{"ModeMidNightProtect",
                 [](ImageRef i) { remote::setMode(i, RemoteMode::MidNightProtect); },
                 {{68, 0xF0, 0x30}}}),
    kRowName);

// ---- Control input and hold time ---------------------------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(ControlInput, CodecValue,
                         testing::Values(ValueRow{"HoldOff", {{6, 0x00}}, controlInput::holdSeconds, 0},
                                         ValueRow{"Hold30Seconds", {{6, 0x1E}}, controlInput::holdSeconds, 30},
                                         ValueRow{"Hold5Minutes", {{6, 0x5E}}, controlInput::holdSeconds, 300},
                                         ValueRow{"Hold2Hours", {{6, 0xC8}}, controlInput::holdSeconds, 7200}),
                         kRowName);

INSTANTIATE_TEST_SUITE_P(ControlInput, CodecFlag,
                         testing::Values(FlagRow{"OnBit3", {{0, 0x08}}, controlInput::on, true},
                                         FlagRow{"OffOtherBits", {{0, 0xF7}}, controlInput::on, false},
                                         FlagRow{"HoldOff", {{6, 0x00}}, controlInput::holdOn, false},
                                         FlagRow{"HoldOn", {{6, 0x1E}}, controlInput::holdOn, true},
                                         FlagRow{"HoldCountZeroOfTensIsOn", {{6, 0x40}}, controlInput::holdOn, true}),
                         kRowName);

TEST(ControlInputCodec, Polarity) {
    for (const Image& image : imagesWith({{img::Flags, 0x10}}))
        EXPECT_EQ(controlInput::polarity(image), LstPolarity::HighToLow);
    for (const Image& image : imagesWith({{img::Flags, 0xEF}}))
        EXPECT_EQ(controlInput::polarity(image), LstPolarity::LowToHigh);
    EXPECT_EQ(controlInput::polarityName(LstPolarity::HighToLow), "High->Low");
    EXPECT_EQ(controlInput::polarityName(LstPolarity::LowToHigh), "Low->High");
}

INSTANTIATE_TEST_SUITE_P(
    ControlInput, CodecWrite,
    testing::Values(
        WriteRow{"On", [](ImageRef i) { controlInput::setOn(i, true); }, {{0, 0x08, 0x08}}},
        WriteRow{"Off", [](ImageRef i) { controlInput::setOn(i, false); }, {{0, 0x08, 0x00}}},
        WriteRow{
            "HighToLow", [](ImageRef i) { controlInput::setPolarity(i, LstPolarity::HighToLow); }, {{0, 0x10, 0x10}}},
        WriteRow{
            "LowToHigh", [](ImageRef i) { controlInput::setPolarity(i, LstPolarity::LowToHigh); }, {{0, 0x10, 0x00}}},
        WriteRow{"Hold00_00_30", [](ImageRef i) { controlInput::setHoldSeconds(i, 30); }, {byteAt(6, 0x1E)}},
        WriteRow{"Hold00_05_00", [](ImageRef i) { controlInput::setHoldSeconds(i, 300); }, {byteAt(6, 0x5E)}},
        WriteRow{"Hold02_00_00", [](ImageRef i) { controlInput::setHoldSeconds(i, 7200); }, {byteAt(6, 0xC8)}},
        WriteRow{"HoldOff", [](ImageRef i) { controlInput::setHoldSeconds(i, 0); }, {byteAt(6, 0x00)}}),
    kRowName);

// ---- Step tables -------------------------------------------------------------------------------------------

TEST(StepCodec, TableAndLevelOffsets) {
    EXPECT_EQ(steps::tableOffset(Engine::Two), 8u);
    EXPECT_EQ(steps::tableOffset(Engine::One), 38u);
    const std::size_t engine2[] = {10, 13, 16, 19, 22, 25, 28, 31, 34, 37};
    const std::size_t engine1[] = {40, 43, 46, 49, 52, 55, 58, 61, 64, 67};
    for (int k = 0; k < kStepCount; ++k) {
        EXPECT_EQ(steps::levelOffset(Engine::Two, k), engine2[k]) << "step " << k;
        EXPECT_EQ(steps::levelOffset(Engine::One, k), engine1[k]) << "step " << k;
    }
}

TEST(StepCodec, LevelByte) {
    const struct {
        std::uint8_t value;
        int level;
        int bounded;
        bool relayOff;
    } rows[] = {
        {0x00, 0, 0, false}, {0x32, 50, 50, false},   {0x64, 100, 100, false}, {0xB2, 50, 50, true},
        {0x80, 0, 0, true},  {0x7F, 127, 100, false}, {0xE5, 101, 100, true},
    };
    for (const auto& row : rows) {
        const LevelByte level{row.value};
        EXPECT_EQ(level.level(), row.level) << hex(row.value);
        EXPECT_EQ(level.boundedLevel(), row.bounded) << hex(row.value);
        EXPECT_EQ(level.relayOff(), row.relayOff) << hex(row.value);
    }
    EXPECT_EQ(LevelByte::make(40, true).value, 0xA8);
    EXPECT_EQ(LevelByte::make(40, false).value, 40);
    EXPECT_EQ(LevelByte::make(150, true).value, 0x80 | 100);
    EXPECT_EQ(LevelByte::make(-3, false).value, 0);
}

TEST(StepCodec, StepFromItsThreeBytes) {
    const struct {
        const char* name;
        Engine engine;
        int k;
        std::uint8_t time, fade, level;
        bool empty;
        int fadeMillis;
    } rows[] = {
        {"Engine2First", Engine::Two, 0, 0x1E, 0x3C, 0x32, false, 60},
        {"Engine2LastRelayOff", Engine::Two, 9, 0xC8, 0x4A, 0xB2, false, 100},
        {"Engine2Empty", Engine::Two, 4, 0x00, 0x00, 0xFF, true, 0},
        {"Engine1First", Engine::One, 0, 0xE8, 0x00, 0x64, false, 0},
        {"Engine1LastEmpty", Engine::One, 9, 0x3C, 0x40, 0xFF, true, 0},
        {"RelayOffAtZeroIsAStep", Engine::One, 3, 0x00, 0x7F, 0x80, false, 630},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t at = steps::tableOffset(row.engine) + 3 * static_cast<std::size_t>(row.k);
        for (const Image& image : imagesWith({{at, row.time}, {at + 1, row.fade}, {at + 2, row.level}})) {
            const Step step = steps::step(image, row.engine, row.k);
            EXPECT_EQ(step, (Step{row.time, row.fade, LevelByte{row.level}}));
            EXPECT_EQ(step.empty(), row.empty);
            EXPECT_EQ(step.fadeMillis(), row.fadeMillis);
            EXPECT_EQ(steps::table(image, row.engine)[static_cast<std::size_t>(row.k)], step);
        }
    }
    // Engine 2's first byte is a delay time code in seconds.
    for (const Image& image : imagesWith({{8, 0xC8}}))
        EXPECT_EQ(steps::step(image, Engine::Two, 0).delaySeconds(), 7200);
    EXPECT_TRUE(Step::emptyStep().empty());
    EXPECT_EQ(Step::emptyStep(), (Step{0, 0, LevelByte{0xFF}}));
}

// The steps in use end at the first empty one, whatever follows it.
TEST(StepCodec, InUseStopsAtTheFirstEmptyStep) {
    constexpr std::uint8_t E = kEmptyStepLevel;
    const struct {
        const char* name;
        std::array<std::uint8_t, kStepCount> levels;
        int inUse;
    } rows[] = {
        {"AllEmpty", {E, E, E, E, E, E, E, E, E, E}, 0},
        {"FirstEmptyLaterUsed", {E, 50, 50, E, E, E, E, E, E, E}, 0},
        {"One", {50, E, E, E, E, E, E, E, E, E}, 1},
        {"OneThenGap", {50, E, 30, 20, E, E, E, E, E, E}, 1},
        {"RelayOffAtZeroCounts", {0x80, 0x00, E, E, E, E, E, E, E, E}, 2},
        {"Three", {50, 60, 0xF0, E, E, E, E, E, E, E}, 3},
        {"All", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 10},
    };
    for (const Engine engine : {Engine::Two, Engine::One}) {
        for (const auto& row : rows) {
            Bytes bytes;
            for (int k = 0; k < kStepCount; ++k)
                bytes.emplace_back(steps::levelOffset(engine, k), row.levels[static_cast<std::size_t>(k)]);
            for (const Image& image : imagesWith(bytes)) {
                EXPECT_EQ(steps::inUse(image, engine), row.inUse) << row.name;
                EXPECT_EQ(steps::firstStepUsed(image, engine), row.inUse > 0) << row.name;
            }
        }
    }
}

// Three steps in use, the rest empty.
StepTable sampleTable() {
    StepTable table;
    table[0] = {0x1E, 0x3C, LevelByte{50}};
    table[1] = {0xC8, 0x00, LevelByte{0xA8}};
    table[2] = {0x05, 0x4A, LevelByte{100}};
    for (std::size_t k = 3; k < table.size(); ++k)
        table[k] = Step::emptyStep();
    return table;
}

std::vector<Bits> sampleTableBytes(std::size_t offset) {
    std::vector<Bits> bits = {byteAt(offset, 0x1E),     byteAt(offset + 1, 0x3C), byteAt(offset + 2, 50),
                              byteAt(offset + 3, 0xC8), byteAt(offset + 4, 0x00), byteAt(offset + 5, 0xA8),
                              byteAt(offset + 6, 0x05), byteAt(offset + 7, 0x4A), byteAt(offset + 8, 100)};
    for (std::size_t at = offset + 9; at < offset + 30; at += 3) {
        bits.push_back(byteAt(at, 0x00));
        bits.push_back(byteAt(at + 1, 0x00));
        bits.push_back(byteAt(at + 2, 0xFF));
    }
    return bits;
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CodecWrite,
    testing::Values(WriteRow{"Engine2Table", [](ImageRef i) { steps::setTable(i, Engine::Two, sampleTable()); },
                             sampleTableBytes(8)},
                    WriteRow{"Engine1Table", [](ImageRef i) { steps::setTable(i, Engine::One, sampleTable()); },
                             sampleTableBytes(38)}),
    kRowName);

TEST(StepCodec, TableReadsBackAsWritten) {
    for (const Engine engine : {Engine::Two, Engine::One}) {
        Image image = patterned();
        steps::setTable(image, engine, sampleTable());
        EXPECT_EQ(steps::table(image, engine), sampleTable());
        EXPECT_EQ(steps::inUse(image, engine), 3);
    }
}

// ---- Astro clock, ISD offset and daylight saving -----------------------------------------------------------

INSTANTIATE_TEST_SUITE_P(Astro, CodecValue,
                         testing::Values(ValueRow{"OffsetZero", {{7, 0x00}}, astro::offsetCount, 0},
                                         ValueRow{"OffsetOne", {{7, 0x01}}, astro::offsetMinutes, 2},
                                         ValueRow{"OffsetF1Count", {{7, 0xF1}}, astro::offsetCount, -15},
                                         ValueRow{"OffsetF1Minutes", {{7, 0xF1}}, astro::offsetMinutes, -30},
                                         ValueRow{"Offset7FCount", {{7, 0x7F}}, astro::offsetCount, 127},
                                         ValueRow{"Offset7FMinutes", {{7, 0x7F}}, astro::offsetMinutes, 254},
                                         ValueRow{"Offset80Count", {{7, 0x80}}, astro::offsetCount, -128},
                                         ValueRow{"Offset80Minutes", {{7, 0x80}}, astro::offsetMinutes, -256},
                                         ValueRow{"OffsetFFMinutes", {{7, 0xFF}}, astro::offsetMinutes, -2},
                                         ValueRow{"DstStartNight", {{86, 60}}, astro::dstStartNight, 60},
                                         ValueRow{"DstEndNight", {{87, 216}}, astro::dstEndNight, 216}),
                         kRowName);

// Automatic daylight saving is on exactly while both night lengths lie in 60..216.
INSTANTIATE_TEST_SUITE_P(Astro, CodecFlag,
                         testing::Values(FlagRow{"OnBit2", {{0, 0x04}}, astro::on, true},
                                         FlagRow{"OffOtherBits", {{0, 0xFB}}, astro::on, false},
                                         FlagRow{"DstOnBit0Clear", {{68, 0xFE}}, astro::dstOn, true},
                                         FlagRow{"DstOffBit0Set", {{68, 0x01}}, astro::dstOn, false},
                                         FlagRow{"AutoDstLimits", {{86, 60}, {87, 216}}, astro::autoDst, true},
                                         FlagRow{"AutoDstReversed", {{86, 216}, {87, 60}}, astro::autoDst, true},
                                         FlagRow{"AutoDstStart59", {{86, 59}, {87, 180}}, astro::autoDst, false},
                                         FlagRow{"AutoDstEnd59", {{86, 180}, {87, 59}}, astro::autoDst, false},
                                         FlagRow{"AutoDstStart217", {{86, 217}, {87, 120}}, astro::autoDst, false},
                                         FlagRow{"AutoDstEnd217", {{86, 120}, {87, 217}}, astro::autoDst, false},
                                         FlagRow{"AutoDstOnlyStart", {{86, 120}, {87, 0}}, astro::autoDst, false},
                                         FlagRow{"AutoDstOnlyEnd", {{86, 0}, {87, 120}}, astro::autoDst, false},
                                         FlagRow{"AutoDstOff", {{86, 0}, {87, 0}}, astro::autoDst, false}),
                         kRowName);

TEST(AstroCodec, NightLengths) {
    for (const auto& [units, valid] : std::vector<std::pair<int, bool>>{
             {0, false}, {59, false}, {60, true}, {120, true}, {216, true}, {217, false}, {255, false}, {-60, false}}) {
        EXPECT_EQ(astro::isNightLength(units), valid) << units;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Astro, CodecWrite,
    testing::Values(WriteRow{"On", [](ImageRef i) { astro::setOn(i, true); }, {{0, 0x04, 0x04}}},
                    WriteRow{"Off", [](ImageRef i) { astro::setOn(i, false); }, {{0, 0x04, 0x00}}},
                    WriteRow{"OffsetMinus15", [](ImageRef i) { astro::setOffsetCount(i, -15); }, {byteAt(7, 0xF1)}},
                    WriteRow{"OffsetLargest", [](ImageRef i) { astro::setOffsetCount(i, 127); }, {byteAt(7, 0x7F)}},
                    WriteRow{"OffsetSmallest", [](ImageRef i) { astro::setOffsetCount(i, -128); }, {byteAt(7, 0x80)}},
                    WriteRow{"OffsetMinus1", [](ImageRef i) { astro::setOffsetCount(i, -1); }, {byteAt(7, 0xFF)}},
                    WriteRow{"OffsetModulo256", [](ImageRef i) { astro::setOffsetCount(i, 257); }, {byteAt(7, 0x01)}},
                    WriteRow{"DstOn", [](ImageRef i) { astro::setDstOn(i, true); }, {{68, 0x01, 0x00}}},
                    WriteRow{"DstOff", [](ImageRef i) { astro::setDstOn(i, false); }, {{68, 0x01, 0x01}}},
                    WriteRow{"AutoDst",
                             [](ImageRef i) { astro::setAutoDst(i, 60, 216); },
                             {byteAt(85, 0), byteAt(86, 60), byteAt(87, 216)}},
                    WriteRow{"AutoDstOff",
                             [](ImageRef i) { astro::setAutoDst(i, 0, 0); },
                             {byteAt(85, 0), byteAt(86, 0), byteAt(87, 0)}},
                    WriteRow{"AutoDstLimitedToAByte",
                             [](ImageRef i) { astro::setAutoDst(i, 300, -1); },
                             {byteAt(85, 0), byteAt(86, 255), byteAt(87, 0)}},
                    WriteRow{"ClearAstroData",
                             [](ImageRef i) { astro::clearAstroData(i); },
                             {byteAt(76, 0), byteAt(77, 0), byteAt(78, 0), byteAt(79, 0), byteAt(80, 0), byteAt(81, 0),
                              byteAt(82, 0), byteAt(83, 0), byteAt(84, 0)}}),
    kRowName);

// ---- An engine without a first step is off -----------------------------------------------------------------

TEST(IdleEngines, SwitchedOffByTheirFirstStep) {
    const struct {
        const char* name;
        std::uint8_t byte0, level10, level40;
        std::uint8_t byte0After;
        bool controlInput, astroClock;
    } rows[] = {
        {"BothHaveSteps", 0xFF, 0x32, 0x32, 0xFF, false, false},
        {"Engine2Empty", 0xFF, 0xFF, 0x32, 0xF7, true, false},
        {"Engine1Empty", 0xFF, 0x32, 0xFF, 0xFB, false, true},
        {"BothEmpty", 0xFF, 0xFF, 0xFF, 0xF3, true, true},
        {"DefaultFlagsEngine2Empty", 0x0C, 0xFF, 0x32, 0x04, true, false},
        {"SwitchesAlreadyOff", 0xF3, 0xFF, 0xFF, 0xF3, false, false},
        {"RelayOffAtZeroIsAStep", 0x0C, 0x80, 0x80, 0x0C, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // Later steps in use do not keep an engine with an empty first step on.
        for (Image image : imagesWith({{0, row.byte0}, {10, row.level10}, {13, 0x32}, {40, row.level40}, {43, 0x32}})) {
            const Image before = image;
            const IdleEnginesSwitchedOff cleared = switchOffIdleEngines(image);
            EXPECT_EQ(cleared.controlInput, row.controlInput);
            EXPECT_EQ(cleared.astroClock, row.astroClock);
            EXPECT_EQ(differences(image, with(before, {{0, row.byte0After}})), "");
        }
    }
}

// ---- The level bytes of the dimming-curve correction -------------------------------------------------------

const std::vector<std::size_t> kEveryLevelByte = {2,  3,  10, 13, 16, 19, 22, 25, 28, 31, 34, 37, 40, 43,
                                                  46, 49, 52, 55, 58, 61, 64, 67, 69, 73, 90, 92, 94};

std::vector<std::size_t> without(std::vector<std::size_t> list, const std::vector<std::size_t>& dropped) {
    for (const std::size_t offset : dropped)
        std::erase(list, offset);
    return list;
}

// Every level field in use: all twenty steps, the MFF start level set (with the lifetime 0), three thresholds.
Image allLevelsInUse() {
    Image image = patterned();
    for (int k = 0; k < kStepCount; ++k) {
        image[steps::levelOffset(Engine::Two, k)] = static_cast<std::uint8_t>(10 + k);
        image[steps::levelOffset(Engine::One, k)] = static_cast<std::uint8_t>(0x80 | (20 + k));
    }
    return with(image, {{69, 20}, {73, 90}, {75, 0}, {89, 70}, {91, 60}, {93, 50}});
}

TEST(CorrectedLevelBytes, OrderAndConditions) {
    const struct {
        const char* name;
        Bytes bytes;
        std::vector<std::size_t> want;
    } rows[] = {
        {"Everything", {}, kEveryLevelByte},
        // Unlike the steps in use, an empty step leaves out its own level only.
        {"EmptyStepsSkipped", {{13, 0xFF}, {37, 0xFF}, {40, 0xFF}}, without(kEveryLevelByte, {13, 37, 40})},
        {"RelayOffAtZeroIsALevel", {{10, 0x80}, {40, 0x80}}, kEveryLevelByte},
        {"MffStartUnset", {{69, 0xFF}, {75, 40}}, without(kEveryLevelByte, {69, 73})},
        {"MffStopAlone", {{69, 0xFF}, {73, 0xFF}}, without(kEveryLevelByte, {69, 73})},
        // Each thermal level follows its own threshold, not the chain of pairs in use.
        {"T1Zero", {{89, 0}}, without(kEveryLevelByte, {90})},
        {"T2Zero", {{91, 0}}, without(kEveryLevelByte, {92})},
        {"T3Zero", {{93, 0}}, without(kEveryLevelByte, {94})},
        {"NoThresholds", {{89, 0}, {91, 0}, {93, 0}}, without(kEveryLevelByte, {90, 92, 94})},
        {"LevelBytesNotLookedAt", {{2, 0xFF}, {3, 0xFF}, {90, 0xFF}, {73, 0xFF}}, kEveryLevelByte},
    };
    for (const auto& row : rows) {
        const Image image = with(allLevelsInUse(), row.bytes);
        EXPECT_EQ(correctedLevelBytes(image), row.want) << row.name;
    }
}

TEST(CorrectedLevelBytes, ImageSizes) {
    const Image image = allLevelsInUse();
    EXPECT_EQ(correctedLevelBytes(ImageView(image).first(kConfigSize)), kEveryLevelByte) << "the bytes of a file";
    Image stick = image;
    stick.resize(kStickMemorySize, 0xFF);
    EXPECT_EQ(correctedLevelBytes(stick), kEveryLevelByte) << "a stick's memory";
    EXPECT_TRUE(correctedLevelBytes(ImageView(image).first(kConfigSize - 1)).empty());
    EXPECT_TRUE(correctedLevelBytes(ImageView()).empty());
}

// ---- Spans shorter than the image --------------------------------------------------------------------------

// Ten bytes of zeros of their own: bytes 10 and later read as 0xFF, bytes 0..9 as they are.
TEST(ShortSpan, MissingBytesReadAs0xFF) {
    const Image small(kShortSpan, 0x00);
    EXPECT_EQ(output::type(small), OutputType::Analog1to10V);
    EXPECT_EQ(output::minLevel(small), 0);
    EXPECT_EQ(blocking::units(small), 0);
    EXPECT_FALSE(powerOn::randomDelay(small));
    EXPECT_EQ(astro::offsetCount(small), 0);

    EXPECT_TRUE(output::storePol(small));
    EXPECT_EQ(remote::mode(small), RemoteMode::None);
    EXPECT_FALSE(astro::dstOn(small));
    EXPECT_EQ(mff::lifetimeUnits(small), 255);
    EXPECT_FALSE(mff::startLevelSet(small));
    EXPECT_EQ(mff::levels(small), (mff::Levels{255, 255, 255, 255, 255}));
    EXPECT_EQ(astro::dstStartNight(small), 255);
    EXPECT_FALSE(astro::autoDst(small));
    EXPECT_TRUE(relay::zeroCross(small));
    EXPECT_EQ(thermal::threshold(small, 1), 255);
    EXPECT_EQ(thermal::level(small, 3), 100);
    EXPECT_TRUE(thermal::relayOffAtT1(small));
    // Step 1 of engine 2 straddles the end: time and fade from bytes 8 and 9, no level byte.
    EXPECT_EQ(steps::step(small, Engine::Two, 0), (Step{0x00, 0x00, LevelByte{0xFF}}));
    EXPECT_EQ(steps::inUse(small, Engine::Two), 0);
    EXPECT_EQ(steps::inUse(small, Engine::One), 0);
    EXPECT_TRUE(correctedLevelBytes(small).empty());

    const Image none;
    EXPECT_EQ(output::type(none), OutputType::DaliLinear);
    EXPECT_EQ(blocking::units(none), 255);
    EXPECT_TRUE(powerOn::randomDelay(none));
    EXPECT_EQ(remote::input(none), RemoteInput::Mains);
}

// Rules across the blocks look at bytes 10 and 40: a span without them is left alone.
TEST(ShortSpan, IdleEnginesLeaveTheBytesBehindTheSpan) {
    for (const std::size_t size : {std::size_t{0}, kShortSpan, std::size_t{41}, kConfigSize - 1}) {
        Image buffer = with(patterned(), {{0, 0xFF}, {10, 0x32}, {40, 0x32}});
        const Image before = buffer;
        switchOffIdleEngines(ImageRef(buffer).first(size));
        EXPECT_EQ(differences(Image(buffer.begin() + static_cast<std::ptrdiff_t>(size), buffer.end()),
                              Image(before.begin() + static_cast<std::ptrdiff_t>(size), before.end())),
                  "")
            << size << " bytes";

        Image alone(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(size));
        switchOffIdleEngines(alone);
        EXPECT_EQ(alone.size(), size);
    }
}

// ---- The default image through the codecs ------------------------------------------------------------------

class DefaultSettings : public testing::Test {
protected:
    const Image image = defaultImage();
};

TEST_F(DefaultSettings, OutputPowerOnAndTimes) {
    EXPECT_EQ(output::type(image), OutputType::Analog1to10V);
    EXPECT_EQ(output::minLevel(image), 0);
    EXPECT_FALSE(output::storePol(image));
    EXPECT_EQ(powerOn::level(image), 100);
    EXPECT_TRUE(powerOn::randomDelay(image));
    EXPECT_FALSE(powerOn::fadeOn(image));
    EXPECT_FALSE(powerOn::dpcDoo(image));
    EXPECT_FALSE(blocking::on(image));
    EXPECT_FALSE(controlInput::holdOn(image));
    EXPECT_EQ(astro::offsetCount(image), 0);
}

TEST_F(DefaultSettings, BothEnginesOnWithTheirSteps) {
    EXPECT_TRUE(controlInput::on(image));
    EXPECT_EQ(controlInput::polarity(image), LstPolarity::LowToHigh);
    ASSERT_EQ(steps::inUse(image, Engine::Two), 1);
    EXPECT_EQ(steps::step(image, Engine::Two, 0), (Step{0x00, 0x00, LevelByte{50}}));

    EXPECT_TRUE(astro::on(image));
    ASSERT_EQ(steps::inUse(image, Engine::One), 2);
    const struct {
        const char* time;
        int level;
    } engine1[] = {{"22:00:00", 50}, {"05:00:00", 100}};
    for (int k = 0; k < 2; ++k) {
        const Step step = steps::step(image, Engine::One, k);
        EXPECT_EQ(displayTime4(step.time), engine1[k].time);
        EXPECT_EQ(step.fadeMillis(), 0);
        EXPECT_EQ(step.level.level(), engine1[k].level);
        EXPECT_FALSE(step.level.relayOff());
    }

    // The rule that switches idle engines off keeps both.
    Image copy = image;
    const IdleEnginesSwitchedOff cleared = switchOffIdleEngines(copy);
    EXPECT_FALSE(cleared.controlInput || cleared.astroClock);
    EXPECT_EQ(copy, image);
}

TEST_F(DefaultSettings, OptionsMffRelayAndThermal) {
    EXPECT_FALSE(astro::dstOn(image));
    EXPECT_FALSE(astro::autoDst(image));
    EXPECT_EQ(astro::dstStartNight(image), 0);
    EXPECT_EQ(astro::dstEndNight(image), 0);
    EXPECT_EQ(remote::input(image), RemoteInput::Off);
    EXPECT_EQ(image.at(img::Options) & img::RemoteModeMask, 0x00);
    EXPECT_FALSE(mff::on(image));
    EXPECT_FALSE(mff::startLevelSet(image));
    EXPECT_EQ(mff::burnInHours(image), 0);
    EXPECT_FALSE(mff::resetHours(image));
    for (std::size_t i = 0; i < img::AstroDataCount; ++i)
        EXPECT_EQ(image.at(img::AstroData + i), 0) << "astro data byte " << i;
    EXPECT_TRUE(relay::zeroCross(image));
    EXPECT_FALSE(thermal::enabled(image));
    EXPECT_TRUE(thermal::pairsInUse(image).empty());
    EXPECT_EQ(image.at(img::ThermEnd), thermal::kEndMark);
}

TEST_F(DefaultSettings, CorrectedLevelBytes) {
    EXPECT_EQ(correctedLevelBytes(image), (std::vector<std::size_t>{2, 3, 10, 40, 43}));
}

} // namespace
