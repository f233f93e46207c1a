#include "link/blockreader.h"
#include "link/blockwriter.h"
#include "link/hidapifunctions.h"
#include "link/hidapistick.h"
#include "link/simstate.h"
#include "link/simulatedstick.h"
#include "link/slotrecords.h"
#include "link/stickaccess.h"
#include "model/crc16.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using lumeq::kStickProductId;
using lumeq::kStickVendorId;
using lumeq::SimState;
using lumeq::SimStateLoad;
using lumeq::SimulatedStick;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kReadControlBlock = {0xAA, 0x55, 0xF2, 0x10, 0x80, 0xFF, 0x00, 0x00};

Bytes readRequest(std::uint16_t address) {
    return {0xAA, 0x55, 0xF2, 0x10, static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>(address >> 8),
            0x00, 0x00};
}

// A state file in a fresh temporary directory.
class SimulatedStickFile : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    std::string path() const { return dir_.filePath("stick.ini").toStdString(); }

    void save(const SimState& state) {
        std::string error;
        ASSERT_TRUE(state.save(path(), &error)) << error;
    }

    void writeRaw(const std::string& content) {
        QFile file(QString::fromStdString(path()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.data(), static_cast<qint64>(content.size()));
    }

    // A stick found on the saved state.
    std::unique_ptr<SimulatedStick> foundStick(const SimState& state) {
        save(state);
        auto stick = std::make_unique<SimulatedStick>(path());
        EXPECT_TRUE(stick->findHidDevice(kStickVendorId, kStickProductId)) << stick->lastError();
        return stick;
    }

private:
    QTemporaryDir dir_;
};

// Every field away from its default.
SimState everyFieldChanged() {
    SimState state;
    state.stick.present = false;
    state.stick.inputReportLength = 32;
    state.stick.outputReportLength = 40;
    state.stick.featureReportLength = 5;
    state.stick.deviceNumber = {0xDE, 0xAD, 0xbe, 0x0F};
    state.stick.firmwareVersion = 73;
    for (std::size_t i = 0; i < state.stick.memory.size(); ++i)
        state.stick.memory[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    state.module.present = false;
    for (std::size_t i = 0; i < 0x100; ++i)
        state.module.memory[i] = static_cast<std::uint8_t>(i);
    state.module.memory[0x4007] = 0x00;
    for (std::size_t i = 0xFF80; i < 0x10000; ++i)
        state.module.memory[i] = static_cast<std::uint8_t>(i * 7);
    state.faults.noAnswer = true;
    state.faults.noAnswerAfter = 21;
    state.faults.loseAnswersAfter = 17;
    state.faults.confirmStatus = 0;
    state.faults.confirmAddressOffset = -128;
    state.faults.confirmFaultAddress = 0x0380;
    state.faults.delayPerReportMs = 250;
    state.stick.receivedFirmwareBytes = 6264;
    state.stick.receivedFirmwareCrc = 0xBEEF;
    state.faults.refuseBlockAddress = 0x0280;
    state.faults.storeDiffersAddress = 0x8000;
    state.faults.refuseWrites = 3;
    state.faults.badReadCrc = 2;
    state.faults.refuseFirmwareFrame = 8;
    state.faults.unplugAfter = 40;
    state.faults.strayAnswerFrame = 11;
    state.faults.strayAnswerCode = 0x5A;
    state.faults.strayAnswerFirst = false;
    state.faults.lateAnswerFrame = 4;
    state.faults.lateAnswerMs = 1500;
    state.faults.reidentifyMs = 2000;
    state.faults.stickStoreDiffersByte = 130;
    return state;
}

TEST_F(SimulatedStickFile, StateRoundTripKeepsEveryField) {
    const SimState original = everyFieldChanged();
    save(original);
    const SimStateLoad loaded = SimState::load(path());
    ASSERT_TRUE(loaded.state) << loaded.error;
    EXPECT_TRUE(loaded.warnings.empty()) << loaded.warnings.front();
    EXPECT_TRUE(*loaded.state == original);

    // Saving over an existing file replaces it.
    save(SimState::stickAlone());
    const SimStateLoad replaced = SimState::load(path());
    ASSERT_TRUE(replaced.state);
    EXPECT_TRUE(*replaced.state == SimState::stickAlone());
}

TEST(SimulatedStickState, TextIsReadableAndListsOnlyWrittenModuleRows) {
    SimState state = SimState::withModule();
    const std::uint8_t entry[] = {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x00};
    state.setModuleBytes(0xFF80, entry);
    const std::string text = state.toText();
    EXPECT_NE(text.find("[Stick]\nPresent=true\n"), std::string::npos);
    EXPECT_NE(text.find("\nFF80=8A 65 C2 00 80 00 00 00 FF FF FF FF FF FF FF FF\n"), std::string::npos);
    EXPECT_EQ(text.find("\nFF90="), std::string::npos);
    EXPECT_EQ(text.find("\n0000="), std::string::npos);
    EXPECT_LT(text.size(), 4000u);
}

TEST(SimulatedStickState, SetModuleBytesStopsAtTheEndOfMemory) {
    SimState state;
    const Bytes bytes(40, 0x11);
    state.setModuleBytes(0xFFF0, bytes);
    EXPECT_EQ(state.module.memory[0xFFEF], 0xFF);
    EXPECT_EQ(state.module.memory[0xFFF0], 0x11);
    EXPECT_EQ(state.module.memory[0xFFFF], 0x11);
    EXPECT_EQ(state.module.memory[0x0000], 0xFF);
}

TEST(SimulatedStickState, HandEditedTextIsRead) {
    const SimStateLoad loaded = SimState::fromText("; edited by hand\r\n"
                                                   "[ stick ]\r\n"
                                                   "present = no\r\n"
                                                   "INPUTREPORTLENGTH=0x20\r\n"
                                                   "DeviceNumber = de ad be ef\r\n"
                                                   "[ModuleMemory]\r\n"
                                                   "0x4000 = 0001020304050607 08090A0B0C0D0E0F\r\n");
    ASSERT_TRUE(loaded.state) << loaded.error;
    EXPECT_TRUE(loaded.warnings.empty());
    EXPECT_FALSE(loaded.state->stick.present);
    EXPECT_EQ(loaded.state->stick.inputReportLength, 32);
    EXPECT_EQ(loaded.state->stick.deviceNumber, (std::array<std::uint8_t, 4>{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(loaded.state->module.memory[0x3FFF], 0xFF);
    EXPECT_EQ(loaded.state->module.memory[0x4000], 0x00);
    EXPECT_EQ(loaded.state->module.memory[0x400F], 0x0F);
    EXPECT_EQ(loaded.state->module.memory[0x4010], 0xFF);
}

TEST(SimulatedStickState, MalformedValuesKeepTheirDefaults) {
    const std::string junk(5000, '9');
    const SimStateLoad loaded = SimState::fromText("[Stick]\n"
                                                   "Present=maybe\n"
                                                   "InputReportLength=" +
                                                   junk +
                                                   "\n"
                                                   "OutputReportLength=256\n"
                                                   "FeatureReportLength=-1\n"
                                                   "FirmwareVersion=7x\n"
                                                   "DeviceNumber=123\n"
                                                   "[Faults]\n"
                                                   "LoseAnswersAfter=-2\n"
                                                   "ConfirmStatus=\n"
                                                   "[StickMemory]\n"
                                                   "00=00 11\n"
                                                   "05=00112233445566778899AABBCCDDEEFF\n"
                                                   "[ModuleMemory]\n"
                                                   "10000=00112233445566778899AABBCCDDEEFF\n"
                                                   "FF80=00112233445566778899AABBCCDDEEFF00\n"
                                                   "FF90=0011223344556677889XAABBCCDDEEFF\n"
                                                   "just junk\n"
                                                   "[Nonsense]\n"
                                                   "Key=1\n");
    ASSERT_TRUE(loaded.state) << loaded.error;
    EXPECT_TRUE(*loaded.state == SimState());
    EXPECT_EQ(loaded.warnings.size(), 15u);
    for (const std::string& warning : loaded.warnings)
        EXPECT_LT(warning.size(), 200u) << warning;
}

TEST(SimulatedStickState, JunkLinesGiveABoundedListOfWarnings) {
    std::string text = "[Stick]\n";
    for (int i = 0; i < 100000; ++i)
        text += "junk\n";
    const SimStateLoad loaded = SimState::fromText(text);
    ASSERT_TRUE(loaded.state);
    EXPECT_LE(loaded.warnings.size(), 51u);
}

// Files that hold no usable state: no stick, an error, no crash.
TEST_F(SimulatedStickFile, NoUsableStateFileMeansNoStick) {
    struct Case {
        const char* name;
        std::string content; // empty name of content + `missing` means no file
        bool missing = false;
    };
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 131) & 0xFF);
    const Case cases[] = {
        {"missing file", "", true},
        {"empty file", ""},
        {"binary junk", binary},
        {"text without a [Stick] section", "[Module]\nPresent=true\nhello world\n"},
        {"[Stick] hidden in binary", "[Stick]\nPresent=true\n" + std::string(1, '\0') + "junk"},
        {"huge junk file", "[Stick]\nPresent=true\n" + std::string(5 * 1024 * 1024, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(QString::fromStdString(path()));
        if (!c.missing)
            writeRaw(c.content);
        const SimStateLoad loaded = SimState::load(path());
        EXPECT_FALSE(loaded.state);
        EXPECT_FALSE(loaded.error.empty());

        SimulatedStick stick(path());
        EXPECT_TRUE(stick.libraryLoaded());
        EXPECT_FALSE(stick.findHidDevice(kStickVendorId, kStickProductId));
        EXPECT_FALSE(stick.lastError().empty());
        stick.writeData(kReadControlBlock);
        std::array<std::uint8_t, 64> buffer{};
        EXPECT_FALSE(stick.readData(buffer));
    }
}

TEST_F(SimulatedStickFile, RewritingTheFilePlugsAndUnplugsTheStick) {
    SimulatedStick stick(path());
    EXPECT_FALSE(stick.findHidDevice(kStickVendorId, kStickProductId));
    const struct {
        const char* name;
        SimState state;
        bool found;
    } steps[] = {
        {"stick with module", SimState::withModule(), true},
        {"unplugged", SimState::noStick(), false},
        {"stick alone", SimState::stickAlone(), true},
        {"module without stick",
         [] {
             SimState state = SimState::noStick();
             state.module.present = true;
             return state;
         }(),
         false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        save(step.state);
        EXPECT_EQ(stick.findHidDevice(kStickVendorId, kStickProductId), step.found);
    }
    QFile::remove(QString::fromStdString(path()));
    EXPECT_FALSE(stick.findHidDevice(kStickVendorId, kStickProductId));
}

TEST_F(SimulatedStickFile, OnlyTheProgrammingStickIsFound) {
    save(SimState::withModule());
    SimulatedStick stick(path());
    EXPECT_FALSE(stick.findHidDevice(0x1234, kStickProductId));
    EXPECT_FALSE(stick.findHidDevice(kStickVendorId, 0x2014));
    EXPECT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
}

TEST_F(SimulatedStickFile, ReportLengthsComeFromTheFile) {
    SimState state;
    state.stick.inputReportLength = 9;
    state.stick.outputReportLength = 33;
    state.stick.featureReportLength = 2;
    auto stick = foundStick(state);
    EXPECT_EQ(stick->getInputReportLength(), 9);
    EXPECT_EQ(stick->getOutputReportLength(), 33);
    EXPECT_EQ(stick->getFeatureReportLength(), 2);
}

// A module whose memory around the block holds distinct values, so that every misplaced byte shows.
SimState patternedModule() {
    SimState state = SimState::withModule();
    for (std::size_t i = 0; i < state.module.memory.size(); ++i)
        state.module.memory[i] = static_cast<std::uint8_t>((i >> 8) ^ (i * 13));
    return state;
}

TEST_F(SimulatedStickFile, ReadBlockAnswersHeaderAndSixteenDataReports) {
    const SimState state = patternedModule();
    auto stick = foundStick(state);
    for (const std::uint16_t address : {0xFF80, 0x0000, 0x4000, 0xC000}) {
        SCOPED_TRACE("address " + std::to_string(address));
        stick->writeData(readRequest(address));
        Bytes report(64, 0xEE);
        ASSERT_TRUE(stick->readData(report));
        const Bytes header = {0xC0, 0x44, 0x00, 0x00, 0x80};
        EXPECT_EQ(Bytes(report.begin(), report.begin() + 5), header);
        for (int piece = 0; piece < 16; ++piece) {
            SCOPED_TRACE("data report " + std::to_string(piece));
            ASSERT_TRUE(stick->readData(report));
            const auto from = state.module.memory.begin() + address + 8 * piece;
            EXPECT_EQ(Bytes(report.begin(), report.begin() + 8), Bytes(from, from + 8));
            EXPECT_EQ(Bytes(report.begin() + 8, report.end()), Bytes(56, 0x00));
        }
        EXPECT_FALSE(stick->readData(report));
    }
}

TEST_F(SimulatedStickFile, ReportsArePaddedOrCutToTheInputReportLength) {
    for (const int inputLength : {5, 8, 64, 255}) {
        SCOPED_TRACE("input report length " + std::to_string(inputLength));
        SimState state = SimState::withModule();
        state.stick.inputReportLength = inputLength;
        auto stick = foundStick(state);
        stick->writeData(kReadControlBlock);
        Bytes buffer(300, 0xEE);
        ASSERT_TRUE(stick->readData(buffer));
        const Bytes header = {0xC0, 0x44, 0x00, 0x00, 0x80};
        Bytes expected(buffer.size(), 0xEE);
        std::fill_n(expected.begin(), inputLength, 0x00);
        std::copy_n(header.begin(), std::min<std::size_t>(header.size(), inputLength), expected.begin());
        EXPECT_EQ(buffer, expected);
    }
}

TEST_F(SimulatedStickFile, ShortReadBufferTakesOnlyItsSize) {
    auto stick = foundStick(SimState::withModule());
    stick->writeData(kReadControlBlock);
    Bytes three(3, 0x00); // exact size on the heap: AddressSanitizer sees any write past it
    ASSERT_TRUE(stick->readData(three));
    EXPECT_EQ(three, (Bytes{0xC0, 0x44, 0x00}));
    ASSERT_TRUE(stick->readData(std::span<std::uint8_t>()));
    EXPECT_EQ(stick->pendingReports(), 15u);
}

TEST_F(SimulatedStickFile, OverlongOutputReportIsCutAndStillUnderstood) {
    auto stick = foundStick(SimState::withModule());
    Bytes longReport(1000, 0x00);
    std::copy(kReadControlBlock.begin(), kReadControlBlock.end(), longReport.begin());
    stick->writeData(longReport);
    EXPECT_EQ(stick->pendingReports(), 17u);
}

TEST_F(SimulatedStickFile, StickAloneAnswersTheFirstReadOnly) {
    SimState state = SimState::stickAlone();
    state.stick.deviceNumber = {0x12, 0x34, 0xAB, 0xCD};
    state.stick.firmwareVersion = 71;
    auto stick = foundStick(state);
    stick->writeData(kReadControlBlock);
    Bytes report(64, 0xEE);
    ASSERT_TRUE(stick->readData(report));
    Bytes expected(64, 0x00);
    expected[0] = 0xB2;
    expected[1] = 0x50;
    EXPECT_EQ(report, expected);
    // Then the stick says who it is, unasked: device number, an unused byte, firmware version.
    ASSERT_TRUE(stick->readData(report));
    std::fill(expected.begin(), expected.end(), 0x00);
    for (const auto& [at, byte] : {std::pair{0, 0xB2}, {1, 0x5F}, {2, 0x12}, {3, 0x34}, {4, 0xAB}, {5, 0xCD}, {7, 71}})
        expected[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(byte);
    EXPECT_EQ(report, expected);
    EXPECT_FALSE(stick->readData(report));

    stick->writeData(kReadControlBlock);
    EXPECT_FALSE(stick->readData(report));

    // Found again (the program restarted), the stick answers the first read once more.
    ASSERT_TRUE(stick->findHidDevice(kStickVendorId, kStickProductId));
    stick->writeData(kReadControlBlock);
    ASSERT_TRUE(stick->readData(report));
    EXPECT_EQ(report[0], 0xB2);
}

TEST_F(SimulatedStickFile, NothingIsAnsweredWhileTheStickIsNotOpen) {
    save(SimState::withModule());
    SimulatedStick stick(path());
    Bytes report(64);
    stick.writeData(kReadControlBlock);
    EXPECT_FALSE(stick.readData(report));

    ASSERT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
    stick.writeData(kReadControlBlock);
    stick.closeDevice();
    EXPECT_FALSE(stick.readData(report));
    EXPECT_FALSE(stick.setFeature(report));

    // Answers still waiting are gone when the stick is opened again.
    ASSERT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
    stick.writeData(kReadControlBlock);
    ASSERT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
    EXPECT_FALSE(stick.readData(report));
}

// A stick that is not found says why, for "no programming stick found (...)"; a state file under a name
// that is not UTF-8 is not used at all, as the simulator could not save what is written to it.
TEST_F(SimulatedStickFile, NotFoundSaysWhy) {
    const std::string odd = path() + "\xE9"; // a good state file under a Latin-1 name
    save(SimState::stickAlone());
    ASSERT_EQ(std::rename(path().c_str(), odd.c_str()), 0);
    SimState absent = SimState::stickAlone();
    absent.stick.present = false;
    save(absent);

    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {path() + ".missing", "no simulator state file"},
        {path(), "no stick in"},
        {odd, "needs a name in UTF-8"},
    };
    for (const auto& c : cases) {
        SimulatedStick stick(c.path);
        EXPECT_FALSE(stick.findHidDevice(kStickVendorId, kStickProductId)) << c.path;
        EXPECT_NE(stick.description().find(c.reason), std::string::npos) << stick.description();
    }
}

TEST_F(SimulatedStickFile, FactoryChoosesTheSimulatorByEnvironment) {
    const QByteArray saved = qgetenv("LUMEQ_SIMULATOR");
    const bool wasSet = qEnvironmentVariableIsSet("LUMEQ_SIMULATOR");

    qputenv("LUMEQ_SIMULATOR", QByteArray::fromStdString(path()));
    save(SimState::stickAlone());
    auto simulated = lumeq::createStickAccess();
    EXPECT_TRUE(simulated->libraryLoaded());
    EXPECT_EQ(simulated->description(), "simulator: " + path());
    EXPECT_TRUE(simulated->findHidDevice(kStickVendorId, kStickProductId));

    qputenv("LUMEQ_SIMULATOR", QByteArray());
    auto real = lumeq::createStickAccess();
    EXPECT_EQ(real->description().find("simulator"), std::string::npos);

    if (wasSet)
        qputenv("LUMEQ_SIMULATOR", saved);
    else
        qunsetenv("LUMEQ_SIMULATOR");
}

// ---- Writing, erasing and faults ----

lumeq::Block patternedBlock(std::uint8_t seed) {
    lumeq::Block block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(seed ^ (i * 11));
    return block;
}

// Writes a block the way the program does and returns the outcome of its confirmation check.
lumeq::BlockWriteOutcome writeBlock(SimulatedStick& stick, std::uint16_t address, const lumeq::Block& block) {
    lumeq::BlockWriter writer(address, block);
    return lumeq::runBlockWrite(stick, writer, 64, {});
}

TEST_F(SimulatedStickFile, WriteBlockIsStoredConfirmedAndSaved) {
    auto stick = foundStick(SimState::withModule());
    // Data that looks like requests is still data while a block is being written.
    lumeq::Block block = patternedBlock(0x21);
    const Bytes lookalike = readRequest(0xFF80);
    std::copy(lookalike.begin(), lookalike.end(), block.begin() + 8);

    stick->writeData(Bytes{0xAA, 0x55, 0xF1, 0x10, 0x00, 0x40, 0x00, 0x00});
    Bytes report(64);
    EXPECT_FALSE(stick->readData(report)); // the request itself is not answered
    EXPECT_TRUE(stick->receivingBlock());
    for (const Bytes& data : lumeq::blockDataReports(block))
        stick->writeData(data);
    EXPECT_FALSE(stick->receivingBlock());
    ASSERT_TRUE(stick->readData(report));
    EXPECT_EQ(Bytes(report.begin(), report.begin() + 5), (Bytes{0xC0, 0x33, 0x00, 0x40, 0x01}));
    EXPECT_FALSE(stick->readData(report));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), stick->state().module.memory.begin() + 0x4000));
    EXPECT_EQ(stick->state().module.memory[0x3FFF], 0xFF);
    EXPECT_EQ(stick->state().module.memory[0x4080], 0xFF);

    // The program restarts: the file holds the block.
    const SimStateLoad reloaded = SimState::load(path());
    ASSERT_TRUE(reloaded.state);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), reloaded.state->module.memory.begin() + 0x4000));
}

TEST_F(SimulatedStickFile, EraseAllBlanksTheWholeModuleAndSavesIt) {
    SimState state = patternedModule();
    auto stick = foundStick(state);
    stick->writeData(Bytes{0xAA, 0x55, 0xFC, 0x00, 0x55, 0xAA, 0x00, 0x00});
    Bytes report(64);
    EXPECT_FALSE(stick->readData(report));
    const auto& memory = stick->state().module.memory;
    EXPECT_TRUE(std::all_of(memory.begin(), memory.end(), [](std::uint8_t b) { return b == 0xFF; }));
    const SimStateLoad reloaded = SimState::load(path());
    ASSERT_TRUE(reloaded.state);
    EXPECT_TRUE(*reloaded.state == SimState::withModule());

    // A frame that only looks like erase all does nothing.
    auto other = foundStick(patternedModule());
    other->writeData(Bytes{0xAA, 0x55, 0xFC, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(other->state().module.memory[0x1234], patternedModule().module.memory[0x1234]);
}

TEST_F(SimulatedStickFile, ConfirmationFaults) {
    const struct {
        const char* name;
        void (*fault)(lumeq::SimFaults&);
        lumeq::BlockWriteOutcome outcome;
        bool stored;
    } cases[] = {
        {"no fault", [](lumeq::SimFaults&) {}, lumeq::BlockWriteOutcome::Confirmed, true},
        {"negative confirmation", [](lumeq::SimFaults& f) { f.confirmStatus = 0; }, lumeq::BlockWriteOutcome::Refused,
         true},
        {"confirmation of another block", [](lumeq::SimFaults& f) { f.confirmAddressOffset = 128; },
         lumeq::BlockWriteOutcome::WrongAddress, true},
        {"no answer", [](lumeq::SimFaults& f) { f.noAnswer = true; }, lumeq::BlockWriteOutcome::NoConfirmation, false},
        {"answers lost", [](lumeq::SimFaults& f) { f.loseAnswersAfter = 0; }, lumeq::BlockWriteOutcome::NoConfirmation,
         true},
        // Aimed at one block: that block's confirmation is changed, any other block's is not.
        {"negative confirmation of this block",
         [](lumeq::SimFaults& f) {
             f.confirmStatus = 0;
             f.confirmFaultAddress = 0xC000;
         },
         lumeq::BlockWriteOutcome::Refused, true},
        {"wrong address aimed at another block",
         [](lumeq::SimFaults& f) {
             f.confirmAddressOffset = 128;
             f.confirmFaultAddress = 0x0200;
         },
         lumeq::BlockWriteOutcome::Confirmed, true},
        // Silent from the request's ninth data report on: the block stays incomplete and is not stored.
        {"silent half-way through the data", [](lumeq::SimFaults& f) { f.noAnswerAfter = 9; },
         lumeq::BlockWriteOutcome::NoConfirmation, false},
        {"silent after the block", [](lumeq::SimFaults& f) { f.noAnswerAfter = 17; },
         lumeq::BlockWriteOutcome::Confirmed, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimState state = SimState::withModule();
        c.fault(state.faults);
        auto stick = foundStick(state);
        const lumeq::Block block = patternedBlock(7);
        EXPECT_EQ(writeBlock(*stick, 0xC000, block), c.outcome);
        EXPECT_EQ(std::equal(block.begin(), block.end(), stick->state().module.memory.begin() + 0xC000), c.stored);
    }
}

TEST_F(SimulatedStickFile, AnswersAreLostAfterTheGivenCount) {
    SimState state = patternedModule();
    state.faults.loseAnswersAfter = 5;
    auto stick = foundStick(state);
    stick->writeData(kReadControlBlock);
    EXPECT_EQ(stick->pendingReports(), 5u);
    // Found again, the count starts afresh.
    ASSERT_TRUE(stick->findHidDevice(kStickVendorId, kStickProductId));
    stick->writeData(kReadControlBlock);
    EXPECT_EQ(stick->pendingReports(), 5u);
}

// NoAnswerAfter: the requests after the first N output reports are neither acted on nor answered, counted
// afresh when the stick is found again.
TEST_F(SimulatedStickFile, FallsSilentAfterTheGivenCount) {
    SimState state = patternedModule();
    state.faults.noAnswerAfter = 1;
    auto stick = foundStick(state);
    stick->writeData(kReadControlBlock);
    EXPECT_EQ(stick->pendingReports(), 17u);
    Bytes report(64);
    while (stick->readData(report)) {
    }
    stick->writeData(readRequest(0x8000));
    EXPECT_EQ(stick->pendingReports(), 0u);
    // Erase all is not acted on either.
    stick->writeData(Bytes{0xAA, 0x55, 0xFC, 0x00, 0x55, 0xAA, 0x00, 0x00});
    EXPECT_EQ(stick->state().module.memory, patternedModule().module.memory);
    ASSERT_TRUE(stick->findHidDevice(kStickVendorId, kStickProductId));
    stick->writeData(readRequest(0x8000));
    EXPECT_EQ(stick->pendingReports(), 17u);
}

TEST_F(SimulatedStickFile, DelayedAnswersBecomeReadableOnTime) {
    using namespace std::chrono_literals;
    SimState state = SimState::withModule();
    state.faults.delayPerReportMs = 3;
    save(state);
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    SimulatedStick stick(path(), [&] { return now; });
    ASSERT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
    stick.writeData(kReadControlBlock);
    Bytes report(64);
    EXPECT_FALSE(stick.readData(report));
    now += 2ms;
    EXPECT_FALSE(stick.readData(report));
    now += 1ms;
    ASSERT_TRUE(stick.readData(report)); // the header after 3 ms
    EXPECT_EQ(report[1], 0x44);
    EXPECT_FALSE(stick.readData(report));
    now += 3ms;
    EXPECT_TRUE(stick.readData(report));
    now += 100ms; // everything that is due comes at once
    int count = 0;
    while (stick.readData(report))
        ++count;
    EXPECT_EQ(count, 15);
}

// ---- A module read and written through the simulator, as the program does it ----

// A module whose slots M1 and M3 were written by Transfer.
SimState moduleWithTwoSlots() {
    SimState state = SimState::withModule();
    for (const auto& [slot, name] : {std::pair{1, "North"}, std::pair{3, "South"}}) {
        lumeq::TransferRequest request;
        std::copy_n(state.module.memory.begin() + 0xFF80, 128, request.controlBlock.begin());
        request.controlBlockRead = true;
        request.slot = slot;
        request.image = lumeq::defaultImage();
        request.image[2] = static_cast<std::uint8_t>(slot * 10);
        request.info = name;
        lumeq::applyTransferPlan(*lumeq::planTransfer(request).plan, state.module.memory);
    }
    return state;
}

// Reads the module in 50 ms passes on a clock that only moves when a pass ends.
lumeq::ModuleContents readThroughSimulator(const std::string& path, int* passes = nullptr) {
    using namespace std::chrono_literals;
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    SimulatedStick stick(path, [&] { return now; });
    EXPECT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
    lumeq::ModuleReadSequence sequence;
    int count = 0;
    const lumeq::ModuleContents contents = lumeq::runModuleRead(stick, sequence, 64, [&] {
        now += 50ms;
        ++count;
    });
    if (passes != nullptr)
        *passes = count;
    return contents;
}

TEST_F(SimulatedStickFile, ModuleReadFindsTheSlotsTransferWrote) {
    SimState state = moduleWithTwoSlots();
    state.faults.delayPerReportMs = 1;
    save(state);
    int passes = 0;
    const lumeq::ModuleContents contents = readThroughSimulator(path(), &passes);
    EXPECT_EQ(passes, 3); // each block within one 50 ms tick
    ASSERT_EQ(contents.outcome, lumeq::ModuleReadOutcome::Module);
    const auto& found = contents.directory.memorySlots;
    EXPECT_EQ(found[0].mString, "North   ");
    EXPECT_EQ(found[2].mString, "South   ");
    EXPECT_TRUE(found[1].mEmpty);
    EXPECT_TRUE(found[3].mEmpty);
    for (const int slot : {1, 3}) {
        SCOPED_TRACE(slot);
        lumeq::Image image(128, 0x00);
        const lumeq::SlotChoice choice = lumeq::takeSlotIntoImage(found[slot - 1], image, true);
        EXPECT_TRUE(choice.decode.clean());
        lumeq::Image expected = lumeq::defaultImage();
        expected[2] = static_cast<std::uint8_t>(slot * 10);
        EXPECT_EQ(lumeq::Image(image.begin(), image.begin() + 96),
                  lumeq::Image(expected.begin(), expected.begin() + 96));
    }
}

TEST_F(SimulatedStickFile, DataReadWithLostAnswersMarksTheSlotUnreadable) {
    SimState state = moduleWithTwoSlots();
    state.faults.loseAnswersAfter = 17 + 17 + 5; // control block, M1, then M3's header and 4 reports
    save(state);
    const lumeq::ModuleContents contents = readThroughSimulator(path());
    ASSERT_EQ(contents.outcome, lumeq::ModuleReadOutcome::Module);
    const auto& found = contents.directory.memorySlots;
    EXPECT_FALSE(found[0].unreadable);
    EXPECT_TRUE(found[2].unreadable);
    EXPECT_NE(found[2].mData, found[0].mData);
    lumeq::Image image(128, 0x00);
    EXPECT_TRUE(lumeq::takeSlotIntoImage(found[2], image, false).usedDefault);
}

TEST_F(SimulatedStickFile, ControlBlockWithoutAnswerRefusesEveryWrite) {
    SimState state = moduleWithTwoSlots();
    state.faults.noAnswer = true;
    save(state);
    const lumeq::ModuleContents contents = readThroughSimulator(path());
    EXPECT_EQ(contents.outcome, lumeq::ModuleReadOutcome::NoAnswer);
    lumeq::TransferRequest request;
    request.controlBlock = contents.controlBlock;
    request.controlBlockRead = contents.controlBlockRead;
    request.slot = 2;
    request.image = lumeq::defaultImage();
    EXPECT_FALSE(lumeq::planTransfer(request).plan);
}

TEST_F(SimulatedStickFile, TransferThenReadBack) {
    save(moduleWithTwoSlots());
    const lumeq::ModuleContents before = readThroughSimulator(path());
    lumeq::TransferRequest request;
    request.controlBlock = before.controlBlock;
    request.controlBlockRead = before.controlBlockRead;
    request.slot = 2;
    request.image = lumeq::defaultImage();
    request.image[3] = 77;
    request.info = "Mitte";
    const lumeq::TransferPlan plan = *lumeq::planTransfer(request).plan;
    {
        SimulatedStick stick(path());
        ASSERT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
        lumeq::TransferRun run(plan);
        const lumeq::TransferResult result = lumeq::runTransfer(stick, run, 64, {});
        EXPECT_TRUE(result.ok) << result.errorCode;
    }
    const lumeq::ModuleContents after = readThroughSimulator(path());
    EXPECT_EQ(after.controlBlock, lumeq::plannedControlBlock(plan));
    EXPECT_EQ(after.directory.memorySlots[1].mString, "Mitte   ");
    EXPECT_EQ(after.directory.memorySlots[1].mData, plan.blocks[0].bytes);
    EXPECT_EQ(after.directory.memorySlots[0].mData, before.directory.memorySlots[0].mData);
}

TEST_F(SimulatedStickFile, NegativeConfirmationStopsTheTransferBeforeTheControlBlock) {
    SimState state = moduleWithTwoSlots();
    save(state);
    const lumeq::ModuleContents before = readThroughSimulator(path());
    state.faults.confirmStatus = 0;
    save(state);
    lumeq::TransferRequest request;
    request.controlBlock = before.controlBlock;
    request.controlBlockRead = true;
    request.slot = 4;
    request.image = lumeq::defaultImage();
    request.info = "Refused";
    SimulatedStick stick(path());
    ASSERT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
    lumeq::TransferRun run(*lumeq::planTransfer(request).plan);
    const lumeq::TransferResult result = lumeq::runTransfer(stick, run, 64, {});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(lumeq::transferErrorMessage(result.errorCode), "Firmware Write Error!CF");
    EXPECT_TRUE(std::equal(before.controlBlock.begin(), before.controlBlock.end(),
                           stick.state().module.memory.begin() + 0xFF80));
}

// This machine has no stick; hidapi may or may not be installed. Either way nothing is found.
TEST(HidapiStick, WithoutAStickNothingIsFound) {
    lumeq::HidapiStick stick;
    EXPECT_FALSE(stick.description().empty());
    for (int poll = 0; poll < 3; ++poll)
        EXPECT_FALSE(stick.findHidDevice(kStickVendorId, kStickProductId));
    EXPECT_EQ(stick.getInputReportLength(), 64);
    EXPECT_EQ(stick.getOutputReportLength(), 64);
    EXPECT_EQ(stick.getFeatureReportLength(), 0);
    stick.writeData(kReadControlBlock);
    Bytes report(64);
    EXPECT_FALSE(stick.readData(report));
    EXPECT_FALSE(stick.setFeature(report));
    stick.closeDevice();
}

TEST(HidapiStick, MissingLibraryMeansNoStick) {
    lumeq::HidapiStick stick({"lumeq-test-no-such-library"});
    EXPECT_FALSE(stick.libraryLoaded());
    EXPECT_NE(stick.description().find("not loaded"), std::string::npos);
    EXPECT_FALSE(stick.lastError().empty());
    EXPECT_FALSE(stick.findHidDevice(kStickVendorId, kStickProductId));
    stick.writeData(kReadControlBlock);
    Bytes report(64);
    EXPECT_FALSE(stick.readData(report));
}

TEST(HidapiStick, TwoInstancesShareTheLibrary) {
    auto first = std::make_unique<lumeq::HidapiStick>();
    lumeq::HidapiStick second;
    EXPECT_EQ(first->libraryLoaded(), second.libraryLoaded());
    first.reset();
    EXPECT_FALSE(second.findHidDevice(kStickVendorId, kStickProductId));
}

// A stick played through hidapi's functions: what the program writes, what it reads, and counts of
// handles and enumerations that show leaks.
struct FakeHidapi {
    bool attached = true;
    bool hasDescriptorFunction = true;
    Bytes descriptor;
    std::deque<Bytes> inbound; // as hidapi delivers them: report ID first when the device uses IDs
    std::vector<Bytes> written;
    bool failReads = false;
    bool failWrites = false;
    int inits = 0, exits = 0, opens = 0, closes = 0, listed = 0, freed = 0, reads = 0;
};

FakeHidapi* fake = nullptr;
char fakePath[] = "fake:1";
lumeq::HidDeviceInfo fakeInfo{fakePath, kStickVendorId, kStickProductId, nullptr, 0, nullptr, nullptr, 0, 0,
                              0,        nullptr};
int fakeDeviceObject = 0;
lumeq::HidDevice* fakeDevice() {
    return reinterpret_cast<lumeq::HidDevice*>(&fakeDeviceObject);
}

// Vendor-defined reports of `in` and `out` bytes without report IDs.
Bytes plainDescriptor(std::uint8_t in, std::uint8_t out) {
    return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, in, 0x81, 0x02, 0x95, out, 0x91, 0x02, 0xC0};
}

// Input report 2 of 8 bytes, output report 4 of 16 bytes.
const Bytes kDescriptorWithIds = {0x75, 0x08, 0x85, 0x02, 0x95, 0x08, 0x81, 0x02, 0x85, 0x04, 0x95, 0x10, 0x91, 0x02};

class HidapiStickFake : public testing::Test {
protected:
    void SetUp() override { fake = &device_; }
    void TearDown() override { fake = nullptr; }

    static lumeq::HidapiFunctions functions() {
        lumeq::HidapiFunctions hid;
        hid.init = [] { return ++fake->inits, 0; };
        hid.exit = [] { return ++fake->exits, 0; };
        hid.open = [](unsigned short, unsigned short, const wchar_t*) { return ++fake->opens, fakeDevice(); };
        hid.close = [](lumeq::HidDevice*) { ++fake->closes; };
        hid.write = [](lumeq::HidDevice*, const unsigned char* data, std::size_t length) {
            if (fake->failWrites)
                return -1;
            fake->written.emplace_back(data, data + length);
            return static_cast<int>(length);
        };
        hid.readTimeout = [](lumeq::HidDevice*, unsigned char* data, std::size_t length, int) {
            ++fake->reads;
            if (fake->failReads)
                return -1;
            if (fake->inbound.empty())
                return 0;
            const Bytes report = fake->inbound.front();
            fake->inbound.pop_front();
            const std::size_t count = std::min(length, report.size());
            std::copy_n(report.begin(), count, data);
            return static_cast<int>(count);
        };
        hid.error = [](lumeq::HidDevice*) -> const wchar_t* { return L"fake failure"; };
        hid.enumerate = [](unsigned short, unsigned short) -> lumeq::HidDeviceInfo* {
            if (!fake->attached)
                return nullptr;
            ++fake->listed;
            return &fakeInfo;
        };
        hid.freeEnumeration = [](lumeq::HidDeviceInfo*) { ++fake->freed; };
        hid.getReportDescriptor = [](lumeq::HidDevice*, unsigned char* buffer, std::size_t size) {
            if (!fake->hasDescriptorFunction)
                return -1;
            const std::size_t count = std::min(size, fake->descriptor.size());
            std::copy_n(fake->descriptor.begin(), count, buffer);
            return static_cast<int>(count);
        };
        return hid;
    }

    std::unique_ptr<lumeq::HidapiStick> foundStick() {
        auto stick = std::make_unique<lumeq::HidapiStick>(functions(), "fake hidapi");
        EXPECT_TRUE(stick->findHidDevice(kStickVendorId, kStickProductId));
        return stick;
    }

    FakeHidapi device_;
};

TEST_F(HidapiStickFake, ReportLengthsComeFromTheDescriptor) {
    const struct {
        const char* name;
        bool hasDescriptorFunction;
        Bytes descriptor;
        int input, output, feature;
    } cases[] = {
        {"8 in, 33 out", true, plainDescriptor(8, 33), 8, 33, 0},
        {"no descriptor from hidapi, no sysfs node", false, plainDescriptor(8, 33), 64, 64, 0},
        {"broken descriptor", true, {0x75, 0x08, 0x95}, 64, 64, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device_.hasDescriptorFunction = c.hasDescriptorFunction;
        device_.descriptor = c.descriptor;
        auto stick = foundStick();
        EXPECT_EQ(stick->getInputReportLength(), c.input);
        EXPECT_EQ(stick->getOutputReportLength(), c.output);
        EXPECT_EQ(stick->getFeatureReportLength(), c.feature);
    }
}

TEST_F(HidapiStickFake, WriteDataPrefixesTheReportIdAndPadsOrCuts) {
    device_.descriptor = plainDescriptor(8, 33);
    auto stick = foundStick();
    stick->writeData(kReadControlBlock);
    stick->writeData(Bytes(50, 0x77));

    device_.descriptor = kDescriptorWithIds;
    ASSERT_TRUE(stick->findHidDevice(kStickVendorId, kStickProductId));
    stick->writeData(kReadControlBlock);

    ASSERT_EQ(device_.written.size(), 3u);
    Bytes padded(34, 0x00);
    std::copy(kReadControlBlock.begin(), kReadControlBlock.end(), padded.begin() + 1);
    EXPECT_EQ(device_.written[0], padded);
    Bytes cut(34, 0x77);
    cut[0] = 0x00;
    EXPECT_EQ(device_.written[1], cut);
    Bytes withId(17, 0x00);
    withId[0] = 0x04;
    std::copy(kReadControlBlock.begin(), kReadControlBlock.end(), withId.begin() + 1);
    EXPECT_EQ(device_.written[2], withId);
}

TEST_F(HidapiStickFake, ReadDataDeliversReportsPaddedToTheInputLength) {
    device_.descriptor = plainDescriptor(8, 64);
    auto stick = foundStick();
    Bytes buffer(16, 0xEE);
    EXPECT_FALSE(stick->readData(buffer));

    device_.inbound = {{0xC0, 0x44, 0x00, 0x00, 0x80}, {1, 2, 3, 4, 5, 6, 7, 8}};
    ASSERT_TRUE(stick->readData(buffer));
    EXPECT_EQ(buffer, (Bytes{0xC0, 0x44, 0x00, 0x00, 0x80, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    Bytes three(3, 0x00); // exact size on the heap: AddressSanitizer sees any write past it
    ASSERT_TRUE(stick->readData(three));
    EXPECT_EQ(three, (Bytes{1, 2, 3}));
    EXPECT_FALSE(stick->readData(buffer));
}

TEST_F(HidapiStickFake, ReadDataDropsTheReportId) {
    device_.descriptor = kDescriptorWithIds;
    auto stick = foundStick();
    device_.inbound = {{0x02, 0xB2, 0x50}};
    Bytes buffer(8, 0xEE);
    ASSERT_TRUE(stick->readData(buffer));
    EXPECT_EQ(buffer, (Bytes{0xB2, 0x50, 0, 0, 0, 0, 0, 0}));
}

TEST_F(HidapiStickFake, ReadErrorLosesTheStickUntilItIsFoundAgain) {
    device_.descriptor = plainDescriptor(8, 64);
    auto stick = foundStick();
    device_.failReads = true;
    Bytes buffer(8);
    EXPECT_FALSE(stick->readData(buffer));
    EXPECT_EQ(device_.closes, 1);
    EXPECT_NE(stick->lastError().find("fake failure"), std::string::npos);

    device_.failReads = false;
    device_.inbound = {{0xC0, 0x33}};
    EXPECT_FALSE(stick->readData(buffer));
    stick->writeData(kReadControlBlock);
    EXPECT_EQ(device_.reads, 1);
    EXPECT_TRUE(device_.written.empty());

    ASSERT_TRUE(stick->findHidDevice(kStickVendorId, kStickProductId));
    EXPECT_TRUE(stick->readData(buffer));
}

// A write that fails only marks the stick lost (a reader thread may wait on the handle); the next read
// closes the handle and says the stick is lost, until it is found again.
TEST_F(HidapiStickFake, FailedWriteLosesTheStickAtTheNextRead) {
    device_.descriptor = plainDescriptor(8, 64);
    auto stick = foundStick();
    EXPECT_TRUE(stick->concurrentReads());
    device_.failWrites = true;
    stick->writeData(kReadControlBlock);
    EXPECT_EQ(device_.closes, 0);
    EXPECT_NE(stick->lastError().find("write to the stick failed"), std::string::npos);
    device_.failWrites = false;
    stick->writeData(kReadControlBlock);
    EXPECT_TRUE(device_.written.empty()); // lost: nothing more goes out
    Bytes buffer(8);
    EXPECT_EQ(stick->waitForReport(buffer, 10), lumeq::StickAccess::Wait::Lost);
    EXPECT_EQ(device_.closes, 1);
    EXPECT_EQ(device_.reads, 0);
    ASSERT_TRUE(stick->findHidDevice(kStickVendorId, kStickProductId));
    device_.inbound = {{0xB2, 0x50}};
    EXPECT_EQ(stick->waitForReport(buffer, 10), lumeq::StickAccess::Wait::Report);
}

TEST_F(HidapiStickFake, PollingOpensOneHandleAndFreesEveryList) {
    device_.descriptor = plainDescriptor(8, 64);
    {
        lumeq::HidapiStick stick(functions(), "fake hidapi");
        for (int poll = 0; poll < 50; ++poll)
            ASSERT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
        EXPECT_EQ(device_.opens - device_.closes, 1);
        EXPECT_EQ(device_.listed, device_.freed);

        device_.attached = false;
        EXPECT_FALSE(stick.findHidDevice(kStickVendorId, kStickProductId));
        EXPECT_EQ(device_.opens, device_.closes);
        EXPECT_EQ(device_.opens, 50);

        device_.attached = true;
        ASSERT_TRUE(stick.findHidDevice(kStickVendorId, kStickProductId));
    }
    EXPECT_EQ(device_.opens, device_.closes);
    EXPECT_EQ(device_.inits, 1);
    EXPECT_EQ(device_.exits, 1);
}

TEST_F(HidapiStickFake, MissingRequiredFunctionMeansNotLoaded) {
    lumeq::HidapiFunctions hid = functions();
    hid.readTimeout = nullptr;
    lumeq::HidapiStick stick(hid, "fake hidapi");
    EXPECT_FALSE(stick.libraryLoaded());
    EXPECT_NE(stick.lastError().find("hid_read_timeout"), std::string::npos);
    EXPECT_FALSE(stick.findHidDevice(kStickVendorId, kStickProductId));
    EXPECT_EQ(device_.inits, 0);
    EXPECT_EQ(device_.listed, 0);
}

} // namespace

namespace {

// ---- The stick alone: stick frames ----

// A stick alone past its identification, with a patterned memory.
class StickAloneFile : public SimulatedStickFile {
protected:
    static SimState patternedStick() {
        SimState state = SimState::stickAlone();
        for (std::size_t i = 0; i < state.stick.memory.size(); ++i)
            state.stick.memory[i] = static_cast<std::uint8_t>(i * 3 + 1);
        return state;
    }
    std::unique_ptr<SimulatedStick> identified(const SimState& state) {
        auto stick = foundStick(state);
        stick->writeData(kReadControlBlock);
        Bytes report(64);
        EXPECT_TRUE(stick->readData(report)); // B2 50
        EXPECT_TRUE(stick->readData(report)); // B2 5F
        return stick;
    }
    // The answer to one frame (or nothing).
    static std::optional<Bytes> exchange(SimulatedStick& stick, const Bytes& frame) {
        stick.writeData(frame);
        Bytes report(64, 0xEE);
        if (!stick.readData(report))
            return std::nullopt;
        return report;
    }
};

TEST_F(StickAloneFile, ReadMemoryAnswersWithCrcAddressCountAndBytes) {
    const SimState state = patternedStick();
    auto stick = identified(state);
    for (const std::uint8_t address : {std::uint8_t{0}, std::uint8_t{234}}) {
        SCOPED_TRACE(int(address));
        const auto answer = exchange(*stick, lumeq::stickReadMemoryFrame(address).bytes);
        ASSERT_TRUE(answer);
        const auto data = lumeq::parseStickMemoryData(*answer);
        ASSERT_TRUE(data);
        EXPECT_TRUE(data->crcHolds);
        EXPECT_EQ(data->address, address);
        EXPECT_EQ(data->count, lumeq::stickReadCount(address));
        EXPECT_TRUE(std::equal(data->data.begin(), data->data.end(), state.stick.memory.begin() + address));
    }
}

TEST_F(StickAloneFile, WritesAreCheckedStoredAndSaved) {
    auto stick = identified(patternedStick());
    Bytes memory(256, 0x5A);
    EXPECT_EQ(exchange(*stick, lumeq::stickWriteMemoryFrame(memory, 25).bytes)->at(1), 0x54);
    EXPECT_EQ(stick->state().stick.memory[25], 0x5A);
    EXPECT_EQ(stick->state().stick.memory[50], 50 * 3 + 1);
    // A frame whose CRC does not hold is refused and changes nothing.
    Bytes broken = lumeq::stickWriteMemoryFrame(Bytes(256, 0x11), 50).bytes;
    broken[10] ^= 0xFF;
    EXPECT_EQ(exchange(*stick, broken)->at(1), 0x55);
    EXPECT_EQ(stick->state().stick.memory[50], 50 * 3 + 1);
    // The write EE frame that ends the EE area is followed by a new identification.
    EXPECT_EQ(exchange(*stick, lumeq::stickWriteEeFrame(memory, 96).bytes)->at(1), 0x56);
    const auto last = exchange(*stick, lumeq::stickWriteEeFrame(memory, 108).bytes);
    EXPECT_EQ(last->at(1), 0x56);
    Bytes report(64);
    ASSERT_TRUE(stick->readData(report));
    EXPECT_EQ(report[1], 0x5F);
    const SimStateLoad saved = SimState::load(path());
    ASSERT_TRUE(saved.state);
    EXPECT_EQ(saved.state->stick.memory[119], 0x5A);
}

TEST_F(StickAloneFile, Faults) {
    SimState state = patternedStick();
    state.faults.refuseWrites = 2;
    state.faults.badReadCrc = 1;
    state.faults.refuseFirmwareFrame = 2;
    auto stick = identified(state);
    const Bytes write = lumeq::stickWriteMemoryFrame(Bytes(256, 1), 0).bytes;
    EXPECT_EQ(exchange(*stick, write)->at(1), 0x55);
    EXPECT_EQ(exchange(*stick, write)->at(1), 0x55);
    EXPECT_EQ(exchange(*stick, write)->at(1), 0x54);
    const Bytes read = lumeq::stickReadMemoryFrame(0).bytes;
    EXPECT_FALSE(lumeq::parseStickMemoryData(*exchange(*stick, read))->crcHolds);
    EXPECT_TRUE(lumeq::parseStickMemoryData(*exchange(*stick, read))->crcHolds);
    const Bytes image(lumeq::kFirmwareImageSize, 0x42);
    EXPECT_EQ(exchange(*stick, lumeq::stickFirmwareFrame(image, 0, 1).frame.bytes)->at(1), 0x58);
    EXPECT_EQ(exchange(*stick, lumeq::stickFirmwareFrame(image, 26, 2).frame.bytes)->at(1), 0x59);
    // The update starts again and goes through: the reset records what came.
    EXPECT_EQ(exchange(*stick, lumeq::stickFirmwareFrame(image, 0, 1).frame.bytes)->at(1), 0x58);
    EXPECT_EQ(exchange(*stick, lumeq::stickFirmwareFrame(image, 26, 2).frame.bytes)->at(1), 0x58);
    EXPECT_EQ(exchange(*stick, lumeq::stickFirmwareFrame(image, 52, 3).frame.bytes)->at(1), 0x5A);
    EXPECT_EQ(exchange(*stick, lumeq::stickResetFrame().bytes)->at(1), 0x5F);
    EXPECT_EQ(stick->state().stick.receivedFirmwareBytes, 72);
    EXPECT_EQ(stick->state().stick.receivedFirmwareCrc, lumeq::crc16(Bytes(72, 0x42)));
}

// The stick alone falls silent in the middle of a read: the frame is taken, nothing is answered.
TEST_F(StickAloneFile, FallsSilentAfterTheGivenCount) {
    SimState state = patternedStick();
    state.faults.noAnswerAfter = 2; // the start-up read and one read frame
    auto stick = identified(state);
    EXPECT_TRUE(exchange(*stick, lumeq::stickReadMemoryFrame(0).bytes));
    EXPECT_FALSE(exchange(*stick, lumeq::stickReadMemoryFrame(26).bytes));
    EXPECT_FALSE(exchange(*stick, lumeq::stickWriteMemoryFrame(Bytes(256, 1), 0).bytes));
    EXPECT_EQ(stick->state().stick.memory, patternedStick().stick.memory);
    EXPECT_FALSE(stick->unplugged());
}

TEST_F(StickAloneFile, UnpluggedStickIsLostUntilPluggedInAgain) {
    SimState state = patternedStick();
    state.faults.unplugAfter = 3; // the start-up read, one read frame, then gone
    auto stick = identified(state);
    ASSERT_TRUE(exchange(*stick, lumeq::stickReadMemoryFrame(0).bytes));
    EXPECT_FALSE(exchange(*stick, lumeq::stickReadMemoryFrame(26).bytes));
    EXPECT_TRUE(stick->unplugged());
    Bytes report(64);
    EXPECT_EQ(stick->waitForReport(report, 50), lumeq::StickAccess::Wait::Lost);
    EXPECT_FALSE(stick->findHidDevice(kStickVendorId, kStickProductId));
    EXPECT_FALSE(SimState::load(path()).state->stick.present);
}

// A reader waiting on the stick gets an answer the moment another thread's request makes one: it does not
// sleep out its time.
TEST_F(StickAloneFile, WaitingReaderWakesForAnAnswer) {
    auto stick = identified(patternedStick());
    Bytes report(64);
    const auto start = std::chrono::steady_clock::now();
    std::thread writer([&stick] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stick->writeData(lumeq::stickReadMemoryFrame(0).bytes);
    });
    const auto wait = stick->waitForReport(report, 5000);
    writer.join();
    EXPECT_EQ(wait, lumeq::StickAccess::Wait::Report);
    EXPECT_EQ(report[1], 0x52);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_EQ(stick->waitForReport(report, 0), lumeq::StickAccess::Wait::Nothing);
}

// The module refuses the one block named by RefuseBlockAddress and keeps it as it was.
TEST_F(SimulatedStickFile, RefusedBlockAddress) {
    SimState state = SimState::withModule();
    state.faults.refuseBlockAddress = 0x0280;
    auto stick = foundStick(state);
    EXPECT_EQ(writeBlock(*stick, 0x0200, patternedBlock(1)), lumeq::BlockWriteOutcome::Confirmed);
    EXPECT_EQ(writeBlock(*stick, 0x0280, patternedBlock(2)), lumeq::BlockWriteOutcome::Refused);
    EXPECT_EQ(stick->state().module.memory[0x0280], 0xFF);
    EXPECT_NE(stick->state().module.memory[0x0200], 0xFF);
}

// StoreDiffersAddress: the block is confirmed, but what the module keeps differs in byte 2 only.
TEST_F(SimulatedStickFile, BlockConfirmedButStoredDifferently) {
    SimState state = SimState::withModule();
    state.faults.storeDiffersAddress = 0x4000;
    auto stick = foundStick(state);
    const lumeq::Block block = patternedBlock(3);
    EXPECT_EQ(writeBlock(*stick, 0x4000, block), lumeq::BlockWriteOutcome::Confirmed);
    EXPECT_EQ(writeBlock(*stick, 0x8000, block), lumeq::BlockWriteOutcome::Confirmed);
    const auto& memory = stick->state().module.memory;
    for (std::size_t i = 0; i < block.size(); ++i) {
        EXPECT_EQ(memory[0x8000 + i], block[i]) << i;
        EXPECT_EQ(memory[0x4000 + i], i == 2 ? static_cast<std::uint8_t>(~block[i]) : block[i]) << i;
    }
}

// The faults of a stick alone that send what the program did not ask for: a stray answer beside the real
// one, a late answer, and identifications again and again after a lost answer. On the simulator's clock.
TEST_F(StickAloneFile, StrayLateAndRepeatedAnswers) {
    using namespace std::chrono_literals;
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    const auto stickOn = [&](const SimState& state) {
        save(state);
        auto stick = std::make_unique<SimulatedStick>(path(), [&now] { return now; });
        EXPECT_TRUE(stick->findHidDevice(kStickVendorId, kStickProductId));
        stick->writeData(kReadControlBlock);
        Bytes report(64);
        EXPECT_TRUE(stick->readData(report)); // B2 50
        EXPECT_TRUE(stick->readData(report)); // B2 5F
        return stick;
    };
    const auto codes = [](SimulatedStick& stick) {
        std::vector<int> seen;
        Bytes report(64);
        while (stick.readData(report))
            seen.push_back(report[1]);
        return seen;
    };
    const Bytes write = lumeq::stickWriteMemoryFrame(Bytes(256, 1), 0).bytes;
    const Bytes read = lumeq::stickReadMemoryFrame(0).bytes;
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first ? "stray answer first" : "stray answer after");
        SimState state = patternedStick();
        state.faults.strayAnswerFrame = 2;
        state.faults.strayAnswerCode = 0x56;
        state.faults.strayAnswerFirst = first;
        auto stick = stickOn(state);
        stick->writeData(read);
        EXPECT_EQ(codes(*stick), std::vector<int>{0x52});
        stick->writeData(write);
        EXPECT_EQ(codes(*stick), first ? std::vector<int>({0x56, 0x54}) : std::vector<int>({0x54, 0x56}));
        stick->writeData(write);
        EXPECT_EQ(codes(*stick), std::vector<int>{0x54});
    }
    {
        SCOPED_TRACE("late answer");
        SimState state = patternedStick();
        state.faults.lateAnswerFrame = 2;
        state.faults.lateAnswerMs = 1500;
        auto stick = stickOn(state);
        stick->writeData(read);
        stick->writeData(write);
        stick->writeData(read);
        EXPECT_EQ(codes(*stick), std::vector<int>{0x52}); // the second frame's answer, and all after it, wait
        now += 1499ms;
        EXPECT_TRUE(codes(*stick).empty());
        now += 1ms;
        EXPECT_EQ(codes(*stick), std::vector<int>({0x54, 0x52}));
    }
    {
        SCOPED_TRACE("identifications after a lost answer");
        SimState state = patternedStick();
        state.faults.loseAnswersAfter = 3; // B2 50, B2 5F, one read answer
        state.faults.reidentifyMs = 2000;
        auto stick = stickOn(state);
        stick->writeData(read);
        EXPECT_EQ(codes(*stick), std::vector<int>{0x52});
        now += 5000ms;
        EXPECT_TRUE(codes(*stick).empty()); // nothing was lost yet: no identification
        stick->writeData(read);
        EXPECT_TRUE(codes(*stick).empty());
        now += 1999ms;
        EXPECT_TRUE(codes(*stick).empty());
        now += 1ms;
        EXPECT_EQ(codes(*stick), std::vector<int>{0x5F});
        now += 2000ms;
        Bytes report(64);
        ASSERT_TRUE(stick->readData(report));
        EXPECT_EQ(Bytes(report.begin(), report.begin() + 8), (Bytes{0xB2, 0x5F, 0x00, 0x00, 0x00, 0x01, 0x00, 0xFF}));
        // Found afresh: the stick is quiet again until an answer is lost.
        ASSERT_TRUE(stick->findHidDevice(kStickVendorId, kStickProductId));
        now += 10000ms;
        EXPECT_TRUE(codes(*stick).empty());
    }
}

// A byte the stick keeps otherwise than written: the frame is accepted, only the memory shows it.
TEST_F(StickAloneFile, StoreDiffersByteIsKeptInverted) {
    SimState state = patternedStick();
    state.faults.stickStoreDiffersByte = 130;
    auto stick = identified(state);
    const Bytes memory(256, 0x5A);
    for (const std::uint8_t address : {std::uint8_t{100}, std::uint8_t{125}, std::uint8_t{150}})
        EXPECT_EQ(exchange(*stick, lumeq::stickWriteMemoryFrame(memory, address).bytes)->at(1), 0x54);
    EXPECT_EQ(stick->state().stick.memory[129], 0x5A);
    EXPECT_EQ(stick->state().stick.memory[130], 0xA5);
    EXPECT_EQ(stick->state().stick.memory[131], 0x5A);
    EXPECT_EQ(SimState::load(path()).state->stick.memory[130], 0xA5);
}

} // namespace
