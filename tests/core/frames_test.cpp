#include "link/frames.h"
#include "model/crc16.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

using lumeq::Bytes;

namespace {

Bytes head(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(count, bytes.size())));
}

// A memory whose every byte differs from its neighbours, so that a misplaced byte shows.
Bytes patterned(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

TEST(ModuleFrames, RequestsAreTheEightBytesOfTheFrameTable) {
    const struct {
        const char* name;
        Bytes frame;
        Bytes expected;
    } cases[] = {
        {"read control block", lumeq::readBlockFrame(0xFF80), {0xAA, 0x55, 0xF2, 0x10, 0x80, 0xFF, 0x00, 0x00}},
        {"read slot M2", lumeq::readBlockFrame(0x4000), {0xAA, 0x55, 0xF2, 0x10, 0x00, 0x40, 0x00, 0x00}},
        {"write slot M3", lumeq::writeBlockFrame(0x8000), {0xAA, 0x55, 0xF1, 0x10, 0x00, 0x80, 0x00, 0x00}},
        {"write firmware block 1",
         lumeq::writeBlockFrame(lumeq::firmwareBlockAddress(1)),
         {0xAA, 0x55, 0xF1, 0x10, 0x80, 0x02, 0x00, 0x00}},
        {"erase all", lumeq::eraseAllFrame(), {0xAA, 0x55, 0xFC, 0x00, 0x55, 0xAA, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.frame, c.expected);
    }
}

TEST(ModuleFrames, SlotAddresses) {
    EXPECT_EQ(lumeq::slotAddress(1), 0x0000);
    EXPECT_EQ(lumeq::slotAddress(2), 0x4000);
    EXPECT_EQ(lumeq::slotAddress(3), 0x8000);
    EXPECT_EQ(lumeq::slotAddress(4), 0xC000);
    EXPECT_EQ(lumeq::slotAddress(0), 0x0000);
    EXPECT_EQ(lumeq::slotAddress(5), 0x0000);
    EXPECT_EQ(lumeq::firmwareBlockAddress(0), 0x0200);
}

TEST(ModuleFrames, DataReportsCarryTheBlockInOrder) {
    lumeq::Block block{};
    std::iota(block.begin(), block.end(), std::uint8_t{0});
    const std::vector<Bytes> reports = lumeq::blockDataReports(block);
    ASSERT_EQ(reports.size(), 16u);
    EXPECT_EQ(reports[0], (Bytes{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(reports[15], (Bytes{120, 121, 122, 123, 124, 125, 126, 127}));
}

TEST(ModuleAnswers, Classification) {
    using Kind = lumeq::ModuleAnswerKind;
    const struct {
        const char* name;
        Bytes report;
        Kind kind;
        int dataLength, address, status;
    } cases[] = {
        {"block header", {0xC0, 0x44, 0x12, 0x34, 0x80, 0, 0, 0}, Kind::BlockHeader, 128, 0, 0},
        {"confirmation", {0xC0, 0x33, 0x80, 0xFF, 0x01, 0, 0, 0}, Kind::WriteConfirmation, 0, 0xFF80, 1},
        {"negative confirmation", {0xC0, 0x33, 0x00, 0x40, 0x00}, Kind::WriteConfirmation, 0, 0x4000, 0},
        {"stick answer 50", {0xB2, 0x50, 0, 0, 0, 0, 0, 0}, Kind::StickAnswer, 0, 0, 0},
        {"stick answer 51", {0xB2, 0x51}, Kind::StickAnswer, 0, 0, 0},
        {"other stick answer", {0xB2, 0x5F, 0, 0, 0, 0, 0, 0}, Kind::Other, 0, 0, 0},
        {"data report", {0x8A, 0x65, 0xC2, 0x00, 0x80, 0, 0, 0}, Kind::Other, 0, 0, 0},
        {"header too short for its length", {0xC0, 0x44, 0x00, 0x00}, Kind::Other, 0, 0, 0},
        {"one byte", {0xC0}, Kind::Other, 0, 0, 0},
        {"empty", {}, Kind::Other, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const lumeq::ModuleAnswer answer = lumeq::classifyModuleAnswer(c.report);
        EXPECT_EQ(answer.kind, c.kind);
        EXPECT_EQ(answer.dataLength, c.dataLength);
        EXPECT_EQ(answer.address, c.address);
        EXPECT_EQ(answer.status, c.status);
    }
}

TEST(StickFrames, ReadMemoryCountNeverPassesTheEndOfTheMemory) {
    const struct {
        int address, count;
    } cases[] = {{0, 26}, {208, 26}, {229, 26}, {230, 26}, {231, 25}, {234, 22}, {250, 6}, {255, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE("address " + std::to_string(c.address));
        const auto address = static_cast<std::uint8_t>(c.address);
        EXPECT_EQ(lumeq::stickReadCount(address), c.count);
        const lumeq::StickFrame frame = lumeq::stickReadMemoryFrame(address);
        EXPECT_EQ(frame.bytes, (Bytes{0xCA, 0xC5, 0x02, address, static_cast<std::uint8_t>(c.count)}));
    }
    EXPECT_EQ(lumeq::stickReadMemoryFrame(234).logText, "Read Memory 0xEA");
    EXPECT_EQ(lumeq::stickReadMemoryFrame(0).logText, "Read Memory 0x00");
}

TEST(StickFrames, WriteMemoryAt225CarriesBytes225To249AndOneZero) {
    const Bytes memory = patterned(256);
    const lumeq::StickFrame frame = lumeq::stickWriteMemoryFrame(memory, 225);
    ASSERT_EQ(frame.bytes.size(), 33u);
    EXPECT_EQ(head(frame.bytes, 3), (Bytes{0xCA, 0xC5, 0x04}));
    EXPECT_EQ(frame.bytes[5], 225);
    EXPECT_EQ(frame.bytes[6], 25);
    EXPECT_EQ(Bytes(frame.bytes.begin() + 7, frame.bytes.begin() + 32),
              Bytes(memory.begin() + 225, memory.begin() + 250));
    EXPECT_EQ(frame.bytes[32], 0x00);
    // The CRC covers address, count and data, not the trailing zero.
    const std::uint16_t crc = lumeq::crc16(std::span(frame.bytes).subspan(5, 27));
    EXPECT_EQ(frame.bytes[3], crc & 0xFF);
    EXPECT_EQ(frame.bytes[4], crc >> 8);
    EXPECT_EQ(frame.logText, "Write Memory 0xE1");
}

TEST(StickFrames, WriteEeAtZeroOnZerosHasTheCrcOfFourteenBytes) {
    const Bytes zeros(256, 0x00);
    const lumeq::StickFrame frame = lumeq::stickWriteEeFrame(zeros, 0);
    Bytes covered = {0x00, 12};
    covered.resize(14, 0x00);
    const std::uint16_t crc = lumeq::crc16(covered);
    Bytes expected = {0xCA, 0xC5, 0x05, static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
    expected.insert(expected.end(), covered.begin(), covered.end());
    EXPECT_EQ(frame.bytes, expected);
    EXPECT_EQ(frame.bytes.size(), 19u);
    EXPECT_EQ(frame.logText, "Write Memory 0x00 write EE");
    EXPECT_EQ(lumeq::stickWriteEeFrame(zeros, 108).logText, "Write Memory 0x6C write EE");
}

TEST(StickFrames, WriteFramesNeverReadPastTheMemory) {
    const Bytes small = patterned(130); // shorter than a write at 120 needs
    const lumeq::StickFrame frame = lumeq::stickWriteMemoryFrame(small, 120);
    EXPECT_EQ(Bytes(frame.bytes.begin() + 7, frame.bytes.begin() + 17), Bytes(small.begin() + 120, small.end()));
    EXPECT_EQ(Bytes(frame.bytes.begin() + 17, frame.bytes.begin() + 32), Bytes(15, 0xFF));
}

TEST(StickFrames, FirmwarePartsAndTheirCrc) {
    const Bytes firmware = patterned(100);
    const struct {
        const char* name;
        std::size_t offset;
        int phase;
        std::size_t count;
    } cases[] = {{"phase 1", 0, 1, 26}, {"phase 2", 26, 2, 26}, {"phase 3", 52, 3, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const lumeq::FirmwareFrame part = lumeq::stickFirmwareFrame(firmware, c.offset, c.phase);
        ASSERT_EQ(part.frame.bytes.size(), 32u);
        EXPECT_EQ(part.taken, c.count);
        EXPECT_EQ(head(part.frame.bytes, 3), (Bytes{0xCA, 0xC5, 0x08}));
        EXPECT_EQ(part.frame.bytes[5], c.phase);
        const Bytes data(firmware.begin() + static_cast<std::ptrdiff_t>(c.offset),
                         firmware.begin() + static_cast<std::ptrdiff_t>(c.offset + c.count));
        EXPECT_EQ(
            Bytes(part.frame.bytes.begin() + 6, part.frame.bytes.begin() + 6 + static_cast<std::ptrdiff_t>(c.count)),
            data);
        EXPECT_EQ(Bytes(part.frame.bytes.begin() + 6 + static_cast<std::ptrdiff_t>(c.count), part.frame.bytes.end()),
                  Bytes(26 - c.count, 0x00));
        // Only the data bytes: not the phase, not the zero fill.
        const std::uint16_t crc = lumeq::crc16(data);
        EXPECT_EQ(part.frame.bytes[3], crc & 0xFF);
        EXPECT_EQ(part.frame.bytes[4], crc >> 8);
        EXPECT_TRUE(part.frame.logText.empty());
    }
    // Past the end of the buffer the bytes go out as 0xFF.
    const lumeq::FirmwareFrame tail = lumeq::stickFirmwareFrame(firmware, 90, 1);
    EXPECT_EQ(Bytes(tail.frame.bytes.begin() + 16, tail.frame.bytes.end()), Bytes(16, 0xFF));
    for (const int phase : {0, 4, -1})
        EXPECT_TRUE(lumeq::stickFirmwareFrame(firmware, 0, phase).frame.bytes.empty());
}

TEST(StickFrames, ResetAndPlacement) {
    const lumeq::StickFrame reset = lumeq::stickResetFrame();
    EXPECT_EQ(reset.bytes, (Bytes{0xCA, 0xC5, 0x0E}));
    EXPECT_EQ(reset.logText, "Reset!");

    // The bytes after a frame keep what the buffer held before.
    Bytes buffer(10, 0x77);
    lumeq::placeFrame(buffer, reset.bytes, 8);
    EXPECT_EQ(buffer, (Bytes{0xCA, 0xC5, 0x0E, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77}));
    Bytes empty;
    lumeq::placeFrame(empty, reset.bytes, 8);
    EXPECT_EQ(empty, (Bytes{0xCA, 0xC5, 0x0E, 0, 0, 0, 0, 0}));
}

Bytes readDataAnswer(std::uint8_t address, const Bytes& data) {
    Bytes covered = {address, static_cast<std::uint8_t>(data.size())};
    covered.insert(covered.end(), data.begin(), data.end());
    const std::uint16_t crc = lumeq::crc16(covered);
    Bytes report = {0xB2, 0x52, static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
    report.insert(report.end(), covered.begin(), covered.end());
    return report;
}

TEST(StickAnswers, ReadDataIsCheckedAndBounded) {
    const Bytes data = patterned(22);
    Bytes answer = readDataAnswer(234, data);
    answer.resize(64, 0x00);
    const auto parsed = lumeq::parseStickMemoryData(answer);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->address, 234);
    EXPECT_EQ(parsed->count, 22);
    EXPECT_EQ(parsed->data, data);
    EXPECT_TRUE(parsed->crcHolds);

    Bytes corrupted = answer;
    corrupted[10] ^= 0x01;
    ASSERT_TRUE(lumeq::parseStickMemoryData(corrupted));
    EXPECT_FALSE(lumeq::parseStickMemoryData(corrupted)->crcHolds);

    // A count beyond the report: no answer rather than a read past it.
    Bytes overlong = readDataAnswer(0, patterned(26));
    overlong[5] = 200;
    EXPECT_FALSE(lumeq::parseStickMemoryData(overlong));
    EXPECT_FALSE(lumeq::parseStickMemoryData(Bytes{0xB2, 0x52, 0x00}));
    EXPECT_FALSE(lumeq::parseStickMemoryData(Bytes{0xB2, 0x54, 0, 0, 0, 0}));
}

TEST(StickAnswers, Identification) {
    const auto id = lumeq::parseStickIdentification(Bytes{0xB2, 0x5F, 0x12, 0x34, 0x56, 0x78, 0x99, 72});
    ASSERT_TRUE(id);
    EXPECT_EQ(id->deviceNumber, (std::array<std::uint8_t, 4>{0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(id->firmwareVersion, 72);
    EXPECT_FALSE(lumeq::parseStickIdentification(Bytes{0xB2, 0x5F, 0x12, 0x34}));
    EXPECT_FALSE(lumeq::parseStickIdentification(Bytes{0xB2, 0x5E, 1, 2, 3, 4, 5, 6}));
}

TEST(StickAnswers, DebugLines) {
    const struct {
        const char* name;
        Bytes report;
        const char* line; // nullptr: no line
    } cases[] = {
        {"unknown code", {0xB2, 0x53}, "RET: 53"},       {"stick-alone code in stick mode", {0xB2, 0x50}, "RET: 50"},
        {"foreign report", {0x07, 0x44}, "?: 07"},       {"module answer in stick mode", {0xC0, 0x44}, "?: C0"},
        {"identification", {0xB2, 0x5F}, nullptr},       {"write refused", {0xB2, 0x55}, nullptr},
        {"firmware record done", {0xB2, 0x5A}, nullptr}, {"empty", {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto line = lumeq::stickAnswerLogLine(c.report);
        if (c.line == nullptr)
            EXPECT_FALSE(line) << *line;
        else
            EXPECT_EQ(line.value_or("(none)"), c.line);
    }
    EXPECT_EQ(lumeq::sendLogLine("Reset!"), "Send: Reset!");
}

} // namespace
