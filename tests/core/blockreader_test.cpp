#include "link/blockreader.h"
#include "link/stickaccess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <string>
#include <vector>

using lumeq::Block;
using lumeq::BlockReader;
using lumeq::Bytes;
using Event = lumeq::BlockReader::Event;

namespace {

// A stick that hands out queued reports and records what the program wrote.
class QueueStick : public lumeq::StickAccess {
public:
    bool libraryLoaded() const override { return true; }
    std::string description() const override { return "queue"; }
    bool findHidDevice(std::uint16_t, std::uint16_t) override { return true; }
    int getInputReportLength() override { return 64; }
    int getOutputReportLength() override { return 64; }
    int getFeatureReportLength() override { return 0; }
    void writeData(std::span<const std::uint8_t> report) override {
        written.emplace_back(report.begin(), report.end());
    }
    bool readData(std::span<std::uint8_t> buffer) override {
        ++reads;
        if (queue.empty())
            return false;
        const Bytes report = queue.front();
        queue.pop_front();
        std::fill(buffer.begin(), buffer.end(), 0x00);
        std::copy_n(report.begin(), std::min(report.size(), buffer.size()), buffer.begin());
        return true;
    }
    void closeDevice() override {}
    bool setFeature(std::span<const std::uint8_t>) override { return false; }

    std::deque<Bytes> queue;
    std::vector<Bytes> written;
    int reads = 0;
};

Bytes header(std::uint8_t length = 128) {
    return {0xC0, 0x44, 0x00, 0x00, length, 0x00, 0x00, 0x00};
}

Block patternedBlock(std::uint8_t seed) {
    Block block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(seed + i * 3);
    return block;
}

// The header and the data reports that carry a block: sixteen for the usual header of 128 bytes; for a
// shorter one as many as it announces, with the block's last bytes.
std::vector<Bytes> blockReports(const Block& block, std::uint8_t length = 128) {
    std::vector<Bytes> reports = {header(length)};
    const std::size_t count = std::min<std::size_t>(length / 8, 16);
    for (std::size_t at = block.size() - 8 * count; at < block.size(); at += 8)
        reports.emplace_back(block.begin() + static_cast<std::ptrdiff_t>(at),
                             block.begin() + static_cast<std::ptrdiff_t>(at + 8));
    return reports;
}

TEST(BlockReader, HeaderAndSixteenReportsFillTheControlBlockAndStop) {
    BlockReader reader;
    EXPECT_EQ(reader.readControlBlock(), (Bytes{0xAA, 0x55, 0xF2, 0x10, 0x80, 0xFF, 0x00, 0x00}));
    EXPECT_TRUE(reader.running());
    EXPECT_TRUE(reader.controlFlag());
    const Block block = patternedBlock(5);
    const std::vector<Bytes> reports = blockReports(block);
    EXPECT_EQ(reader.receive(reports[0]), Event::Header);
    EXPECT_EQ(reader.countdown(), 16);
    for (std::size_t i = 1; i < 16; ++i)
        EXPECT_EQ(reader.receive(reports[i]), Event::Data) << i;
    EXPECT_EQ(reader.receive(reports[16]), Event::BlockComplete);
    EXPECT_EQ(reader.controlBlock(), block);
    EXPECT_FALSE(reader.running());
    EXPECT_FALSE(reader.inProgress());
    // Reception has stopped: a further report changes nothing.
    EXPECT_EQ(reader.receive(Bytes(8, 0xEE)), Event::Ignored);
    EXPECT_EQ(reader.controlBlock(), block);
}

// Only a header of 128 bytes or more makes a complete block; a shorter one still fills the end of the
// block, but the read fails, whether it reads the control block or a slot's data.
TEST(BlockReader, HeaderLengthDecidesWhereTheDataGoesAndWhetherTheReadCounts) {
    const struct {
        const char* name;
        std::uint8_t length;
        int countdown;
        std::size_t firstByte; // where the first data report lands
        bool complete;
    } cases[] = {
        {"128 bytes fill from byte 0", 128, 16, 0, true},
        {"announced 248 bytes: still one block", 248, 16, 0, true},
        {"136 bytes: still one block", 136, 16, 0, true},
        {"120 bytes: one report short", 120, 15, 8, false},
        {"64 bytes fill the second half", 64, 8, 64, false},
        {"32 bytes fill the end of the block", 32, 4, 96, false},
        {"12 bytes: one report, rounded down", 12, 1, 120, false},
    };
    for (const auto& c : cases) {
        for (const bool control : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (control ? ", control block" : ", data block"));
            BlockReader reader;
            if (control)
                reader.readControlBlock();
            else
                reader.readDataBlock(0x4000);
            EXPECT_EQ(reader.receive(header(c.length)), Event::Header);
            EXPECT_EQ(reader.countdown(), c.countdown);
            for (int i = 0; i < c.countdown; ++i) {
                const Event expected = i + 1 < c.countdown ? Event::Data
                                       : c.complete        ? Event::BlockComplete
                                                           : Event::BlockIncomplete;
                EXPECT_EQ(reader.receive(Bytes(8, static_cast<std::uint8_t>(0x10 + i))), expected) << i;
            }
            EXPECT_FALSE(reader.inProgress());
            EXPECT_FALSE(reader.running());
            EXPECT_EQ(reader.blockComplete(), c.complete);
            const Block& block = control ? reader.controlBlock() : reader.sendBlock();
            EXPECT_EQ(block[c.firstByte], 0x10);
            EXPECT_EQ(block[127], 0x10 + c.countdown - 1);
            if (c.firstByte > 0) {
                EXPECT_EQ(block[c.firstByte - 1], 0x00);
            }
        }
    }
}

TEST(BlockReader, HeaderForLessThanOneReportFailsAtOnce) {
    BlockReader reader;
    reader.readControlBlock();
    EXPECT_EQ(reader.receive(header(4)), Event::BlockIncomplete);
    EXPECT_FALSE(reader.running());
    EXPECT_FALSE(reader.controlFlag());
    EXPECT_FALSE(reader.blockComplete());
    EXPECT_EQ(reader.receive(Bytes(8, 0x77)), Event::Ignored);
    EXPECT_EQ(reader.controlBlock(), Block{});
}

TEST(BlockReader, ReportsBeforeTheHeaderAreIgnored) {
    BlockReader reader;
    reader.readControlBlock();
    EXPECT_EQ(reader.receive(Bytes(8, 0x99)), Event::Ignored);
    EXPECT_EQ(reader.receive(header()), Event::Header);
    EXPECT_EQ(reader.receive(Bytes(8, 0x11)), Event::Data);
    EXPECT_EQ(reader.controlBlock()[0], 0x11);
    EXPECT_EQ(reader.controlBlock()[8], 0x00);
}

TEST(BlockReader, StickAnswerMeansStickMode) {
    for (const std::uint8_t code : {0x50, 0x51}) {
        SCOPED_TRACE(code);
        BlockReader reader;
        reader.readControlBlock();
        EXPECT_EQ(reader.receive(Bytes{0xB2, code, 0, 0, 0, 0, 0, 0}), Event::StickAnswer);
        EXPECT_TRUE(reader.stickAnswered());
        EXPECT_FALSE(reader.running());
        EXPECT_FALSE(reader.blockComplete());
        EXPECT_EQ(reader.receive(header()), Event::Ignored);
    }
    BlockReader reader;
    reader.readControlBlock();
    EXPECT_EQ(reader.receive(Bytes{0xB2, 0x5F, 0, 0, 0, 0, 0, 0}), Event::Ignored);
    EXPECT_FALSE(reader.stickAnswered());
}

// Once a header has come, every report up to the end of the block is data, however it starts: slot
// names and slot records may begin with the bytes of a block header, of a confirmation or of the stick's
// own answer.
TEST(BlockReader, EveryReportAfterTheHeaderIsData) {
    const struct {
        const char* name;
        bool control;
        std::size_t at; // a report start
        Bytes bytes;
    } cases[] = {
        {"slot name of M1 starting C0 44 (\"\u00C0Dorf\")", true, 8, {0xC0, 0x44, 'o', 'r', 'f', ' ', ' ', ' '}},
        {"slot name of M3 starting B2 50 (\"\u00B2Park\")", true, 40, {0xB2, 0x50, 'a', 'r', 'k', ' ', ' ', ' '}},
        {"B2 51 in the last report of the control block", true, 120, {0xB2, 0x51, 0, 0, 0, 0, 0, 0}},
        {"header for 128 bytes in the second report", true, 8, {0xC0, 0x44, 0x00, 0x00, 0x80, 0, 0, 0}},
        {"image bytes 42, 43 = B2 50 (fade B2, level 80 %)",
         false,
         56,
         {0xB2, 0x50, 0x3C, 0x32, 0x00, 0x00, 0x12, 0x34}},
        {"image bytes 90, 91 = C0 44 (L1 64 % relay off, T2 68 degrees)",
         false,
         120,
         {0xC0, 0x44, 0, 0, 0, 0, 0, 0xFF}},
        {"header announcing 8 bytes in the first report", false, 0, {0xC0, 0x44, 0x00, 0x00, 0x08, 0, 0, 0}},
        {"a confirmation in a data block", false, 64, {0xC0, 0x33, 0x00, 0x40, 0x01, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Block block = patternedBlock(7);
        std::copy(c.bytes.begin(), c.bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(c.at));
        BlockReader reader;
        if (c.control)
            reader.readControlBlock();
        else
            reader.readDataBlock(0x8000);
        const std::vector<Bytes> reports = blockReports(block);
        EXPECT_EQ(reader.receive(reports[0]), Event::Header);
        for (std::size_t i = 1; i < 16; ++i)
            EXPECT_EQ(reader.receive(reports[i]), Event::Data) << i;
        EXPECT_EQ(reader.receive(reports[16]), Event::BlockComplete);
        EXPECT_EQ(c.control ? reader.controlBlock() : reader.sendBlock(), block);
        EXPECT_TRUE(reader.blockComplete());
        EXPECT_FALSE(reader.stickAnswered());
    }
}

// Only the control-block read can be answered by the stick alone; a data-block read passes over a stick
// answer while it waits for its header. Each read starts with the flag clear.
TEST(BlockReader, StickAnswerCountsOnlyWhileTheControlBlockHeaderIsAwaited) {
    const Block block = patternedBlock(2);
    BlockReader reader;
    reader.readDataBlock(0x0000);
    EXPECT_EQ(reader.receive(Bytes{0xB2, 0x50, 0, 0, 0, 0, 0, 0}), Event::Ignored);
    EXPECT_EQ(reader.receive(Bytes{0xB2, 0x51}), Event::Ignored);
    EXPECT_TRUE(reader.running());
    EXPECT_FALSE(reader.stickAnswered());
    for (const Bytes& report : blockReports(block))
        reader.receive(report);
    EXPECT_TRUE(reader.blockComplete());
    EXPECT_EQ(reader.sendBlock(), block);

    reader.readControlBlock();
    ASSERT_EQ(reader.receive(Bytes{0xB2, 0x50}), Event::StickAnswer);
    ASSERT_TRUE(reader.stickAnswered());
    reader.readDataBlock(0x4000);
    EXPECT_FALSE(reader.stickAnswered());
    reader.readControlBlock();
    EXPECT_FALSE(reader.stickAnswered());
    EXPECT_TRUE(reader.running());
}

TEST(BlockReader, ShortReportsCountAsPaddedWithZeros) {
    BlockReader reader;
    reader.readDataBlock(0);
    reader.receive(header());
    for (int i = 0; i < 15; ++i)
        reader.receive(Bytes(8, 0x66));
    const Bytes three = {1, 2, 3}; // exact size on the heap: AddressSanitizer sees any read past it
    EXPECT_EQ(reader.receive(three), Event::BlockComplete);
    EXPECT_EQ(Bytes(reader.sendBlock().begin() + 120, reader.sendBlock().end()), (Bytes{1, 2, 3, 0, 0, 0, 0, 0}));
}

TEST(BlockReader, EachDataReadStartsFromAClearedBlock) {
    BlockReader reader;
    reader.readDataBlock(0x0000);
    for (const Bytes& report : blockReports(patternedBlock(1)))
        reader.receive(report);
    ASSERT_EQ(reader.sendBlock(), patternedBlock(1));
    // The next read gets only a header and two reports before it is given up.
    reader.readDataBlock(0x8000);
    reader.receive(header());
    reader.receive(Bytes(8, 0x44));
    reader.receive(Bytes(8, 0x55));
    reader.abandon();
    Block expected{};
    std::fill_n(expected.begin(), 8, 0x44);
    std::fill_n(expected.begin() + 8, 8, 0x55);
    EXPECT_EQ(reader.sendBlock(), expected);
    EXPECT_FALSE(reader.running());
    EXPECT_FALSE(reader.dataFlag());
}

// Feeding one report per tick and draining every waiting report per tick give the same blocks; the
// drain only needs fewer ticks, and reports after the block stay waiting.
TEST(BlockReader, DrainGivesTheSameResultAsOneReportPerTick) {
    const Block block = patternedBlock(9);
    const std::vector<Bytes> carried = blockReports(block);
    const Bytes trailing = {0xC0, 0x33, 0x00, 0x40, 0x01, 0, 0, 0};
    const struct {
        const char* name;
        std::vector<Bytes> queue;
        std::size_t left; // reports still waiting afterwards
    } cases[] = {
        {"a whole block", carried, 0},
        {"noise before the header",
         [&] {
             std::vector<Bytes> q = {Bytes(8, 0x99), Bytes(8, 0x98)};
             q.insert(q.end(), carried.begin(), carried.end());
             return q;
         }(),
         0},
        {"a report after the block stays",
         [&] {
             std::vector<Bytes> q = carried;
             q.push_back(trailing);
             return q;
         }(),
         1},
        {"stick answer first",
         [&] {
             std::vector<Bytes> q = {Bytes{0xB2, 0x50}};
             q.insert(q.end(), carried.begin(), carried.end());
             return q;
         }(),
         carried.size()},
        {"block cut short", std::vector<Bytes>(carried.begin(), carried.begin() + 10), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QueueStick perTick;
        perTick.queue.assign(c.queue.begin(), c.queue.end());
        BlockReader slow;
        slow.readControlBlock();
        int ticks = 0;
        Bytes buffer(64);
        for (; ticks < 100 && slow.running(); ++ticks) {
            if (perTick.readData(buffer))
                slow.receive(buffer);
        }

        QueueStick drained;
        drained.queue.assign(c.queue.begin(), c.queue.end());
        BlockReader fast;
        fast.readControlBlock();
        const int read = lumeq::drainReports(drained, fast, 64);

        EXPECT_EQ(fast.controlBlock(), slow.controlBlock());
        EXPECT_EQ(fast.inProgress(), slow.inProgress());
        EXPECT_EQ(fast.stickAnswered(), slow.stickAnswered());
        EXPECT_EQ(fast.countdown(), slow.countdown());
        EXPECT_EQ(drained.queue.size(), c.left);
        EXPECT_EQ(static_cast<std::size_t>(read), c.queue.size() - c.left);
    }
}

TEST(BlockReader, DrainStopsAtItsLimitAndWhenIdle) {
    QueueStick flood;
    for (int i = 0; i < 1000; ++i)
        flood.queue.push_back(Bytes(8, 0x99));
    BlockReader reader;
    reader.readControlBlock();
    EXPECT_EQ(lumeq::drainReports(flood, reader, 64, 256), 256);
    EXPECT_EQ(flood.queue.size(), 744u);

    BlockReader idle;
    EXPECT_EQ(lumeq::drainReports(flood, idle, 64), 0);
    EXPECT_EQ(lumeq::discardWaitingReports(flood, 64, 2000), 744);
    EXPECT_TRUE(flood.queue.empty());
}

// ---- The control block ----

Block blankControlBlock() {
    Block block{};
    block.fill(0xFF);
    return block;
}

void setEntry(Block& block, std::size_t entry, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(entry * 16));
}

TEST(ControlBlock, AllFFMeansEveryThingEmpty) {
    const lumeq::ModuleDirectory directory = lumeq::parseControlBlock(blankControlBlock());
    for (const lumeq::TMemory& slot : directory.memorySlots) {
        EXPECT_TRUE(slot.mEmpty);
        EXPECT_TRUE(slot.mString.empty());
    }
    EXPECT_FALSE(directory.firmware.valid);
    EXPECT_EQ(directory.firmware.version, 0);
}

TEST(ControlBlock, SlotDescriptors) {
    const struct {
        const char* name;
        Bytes entry;
        bool empty;
        int length, address;
        std::string text;
    } cases[] = {
        {"M2 at block 0x80",
         {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x80, 0x00, 'A', 'B', 0xFF},
         false,
         128,
         0x4000,
         "AB"},
        {"seven letters then FF",
         {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x01, 'S', 't', 'r', 'e', 'e', 't', '7', 0xFF},
         false,
         128,
         0x8000,
         "Street7"},
        {"eight letters without FF",
         {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x01, 'P', 'a', 'r', 'k', 'w', 'a', 'y', 's'},
         false,
         128,
         0x8000,
         "Parkways"},
        {"name starting with FF", {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x80, 0x01, 0xFF, 'x'}, false, 128, 0xC000, ""},
        {"characters above 127, one byte each",
         {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x00, 'M', 0xFC, 'h', 'l', 'e', 0xB0, 0xFF},
         false,
         128,
         0x0000,
         "M\xC3\xBChle\xC2\xB0"},
        {"odd length, block number beyond 64 KiB wraps",
         {0x8A, 0x65, 0xC2, 0x00, 0x34, 0x12, 0x01, 0x02, 0xFF},
         false,
         0x1234,
         0x0080,
         ""},
        {"firmware marker in a slot entry", {0x8A, 0x65, 0xC1, 0x00, 0x80, 0x00, 0x00, 0x00}, true, 0, 0, ""},
        {"second mark wrong", {0x8A, 0x66, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x00}, true, 0, 0, ""},
        {"zeros", Bytes(16, 0x00), true, 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Block block = blankControlBlock();
        setEntry(block, 1, c.entry);
        const lumeq::TMemory slot = lumeq::parseControlBlock(block).memorySlots[1];
        EXPECT_EQ(slot.mEmpty, c.empty);
        EXPECT_EQ(slot.mLength, c.length);
        EXPECT_EQ(slot.mAddress, c.address);
        EXPECT_EQ(slot.mString, c.text);
        EXPECT_FALSE(slot.unreadable);
    }
}

TEST(ControlBlock, FirmwareDescriptor) {
    Block block = blankControlBlock();
    setEntry(block, 4, {0x8A, 0x65, 0xC1, 42, 0x40, 0x1F, 0x04, 0x00});
    const lumeq::FirmwareDescriptor firmware = lumeq::parseControlBlock(block).firmware;
    EXPECT_TRUE(firmware.valid);
    EXPECT_EQ(firmware.version, 42);
    EXPECT_EQ(firmware.length, 8000);
    EXPECT_EQ(firmware.firstBlock, 4);

    setEntry(block, 4, {0x8A, 0x65, 0xC2, 42});
    EXPECT_FALSE(lumeq::parseControlBlock(block).firmware.valid);
    // A firmware descriptor in a slot's place is no slot.
    setEntry(block, 0, {0x8A, 0x65, 0xC1, 42});
    EXPECT_TRUE(lumeq::parseControlBlock(block).memorySlots[0].mEmpty);
}

// ---- The whole read ----

// Drives a sequence: `answer` gives the reports for each request (none: the request goes unanswered).
// Returns the contents and counts the passes.
struct Driven {
    lumeq::ModuleContents contents;
    int passes = 0;
    std::vector<Bytes> requests;
    std::vector<int> passOfEachStep;
};

Driven drive(const std::function<std::vector<Bytes>(const Bytes& request)>& answer, int lastPass = 100) {
    lumeq::ModuleReadSequence sequence(lastPass);
    QueueStick stick;
    Driven driven;
    auto send = [&](const Bytes& request) {
        driven.requests.push_back(request);
        for (const Bytes& report : answer(request))
            stick.queue.push_back(report);
    };
    send(sequence.start());
    while (!sequence.finished() && driven.passes < 10000) {
        ++driven.passes;
        lumeq::drainReports(stick, sequence.reader(), 64);
        const auto step = sequence.endOfPass();
        driven.passOfEachStep.push_back(step.pass);
        if (step.discardWaiting)
            lumeq::discardWaitingReports(stick, 64);
        if (!step.request.empty())
            send(step.request);
    }
    driven.contents = sequence.contents();
    return driven;
}

std::uint16_t requestAddress(const Bytes& request) {
    return static_cast<std::uint16_t>(request[4] | request[5] << 8);
}

// Slots M1 and M3 filled, M2 and M4 empty.
Block twoSlotControlBlock() {
    Block block = blankControlBlock();
    setEntry(block, 0, {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x00, 'O', 'n', 'e', 0xFF});
    setEntry(block, 2, {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x01, 'T', 'h', 'r', 'e', 'e', 0xFF});
    return block;
}

TEST(ModuleReadSequence, ReadsTheControlBlockThenEveryFilledSlotInOrder) {
    const Block control = twoSlotControlBlock();
    const Driven driven = drive([&](const Bytes& request) {
        switch (requestAddress(request)) {
        case 0xFF80:
            return blockReports(control);
        case 0x0000:
            return blockReports(patternedBlock(1));
        case 0x8000:
            return blockReports(patternedBlock(3));
        default:
            return std::vector<Bytes>{};
        }
    });
    ASSERT_EQ(driven.requests.size(), 3u);
    EXPECT_EQ(requestAddress(driven.requests[1]), 0x0000);
    EXPECT_EQ(requestAddress(driven.requests[2]), 0x8000);
    EXPECT_EQ(driven.passes, 3); // one pass per block
    const lumeq::ModuleContents& contents = driven.contents;
    EXPECT_EQ(contents.outcome, lumeq::ModuleReadOutcome::Module);
    EXPECT_TRUE(contents.controlBlockRead);
    EXPECT_EQ(contents.controlBlock, control);
    EXPECT_EQ(contents.directory.memorySlots[0].mData, patternedBlock(1));
    EXPECT_EQ(contents.directory.memorySlots[0].mString, "One");
    EXPECT_TRUE(contents.directory.memorySlots[1].mEmpty);
    EXPECT_EQ(contents.directory.memorySlots[2].mData, patternedBlock(3));
    EXPECT_FALSE(contents.directory.memorySlots[2].unreadable);
}

TEST(ModuleReadSequence, NoFilledSlotFinishesAfterTheControlBlock) {
    const Driven driven = drive([](const Bytes&) { return blockReports(blankControlBlock()); });
    EXPECT_EQ(driven.requests.size(), 1u);
    EXPECT_EQ(driven.contents.outcome, lumeq::ModuleReadOutcome::Module);
}

// A slot whose data never comes must not show the previous slot's bytes: it is marked unreadable.
TEST(ModuleReadSequence, DataReadThatTimesOutLeavesNoOldDataBehind) {
    const Block control = twoSlotControlBlock();
    const Driven driven = drive([&](const Bytes& request) {
        switch (requestAddress(request)) {
        case 0xFF80:
            return blockReports(control);
        case 0x0000:
            return blockReports(patternedBlock(1));
        default: // M3 answers a header and three reports, then nothing
            return std::vector<Bytes>{header(), Bytes(8, 0x31), Bytes(8, 0x32), Bytes(8, 0x33)};
        }
    });
    const lumeq::TMemory& m3 = driven.contents.directory.memorySlots[2];
    EXPECT_EQ(driven.contents.outcome, lumeq::ModuleReadOutcome::Module);
    EXPECT_FALSE(m3.mEmpty);
    EXPECT_TRUE(m3.unreadable);
    EXPECT_NE(m3.mData, patternedBlock(1));
    EXPECT_EQ(std::count(m3.mData.begin() + 24, m3.mData.end(), 0x00), 104);
    EXPECT_FALSE(driven.contents.directory.memorySlots[0].unreadable);
    // 1 pass for the control block, 1 for M1, 101 for M3.
    EXPECT_EQ(driven.passes, 103);
    EXPECT_EQ(driven.passOfEachStep.back(), 100);
}

// Answers of a read that ran out of time may still come: they are dropped before the next request, so
// that they cannot be taken for the next slot's data.
TEST(ModuleReadSequence, LateAnswersOfATimedOutReadAreDropped) {
    Block control = blankControlBlock();
    setEntry(control, 0, {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x00});
    setEntry(control, 1, {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x80, 0x00});
    lumeq::ModuleReadSequence sequence(2);
    QueueStick stick;
    sequence.start();
    for (const Bytes& report : blockReports(control))
        sequence.reader().receive(report);
    auto step = sequence.endOfPass();
    ASSERT_EQ(requestAddress(step.request), 0x0000);
    EXPECT_FALSE(step.discardWaiting);
    EXPECT_FALSE(sequence.endOfPass().finished);
    EXPECT_FALSE(sequence.endOfPass().finished);
    step = sequence.endOfPass(); // pass 2: M1's wait ends
    EXPECT_EQ(step.pass, 2);
    EXPECT_TRUE(step.discardWaiting);
    ASSERT_EQ(requestAddress(step.request), 0x4000);
    EXPECT_EQ(sequence.slotBeingRead(), 2);

    // M1's answer turns up now, before M2's: dropped as the step says, M2 is read cleanly.
    for (const Bytes& report : blockReports(patternedBlock(1)))
        stick.queue.push_back(report);
    lumeq::discardWaitingReports(stick, 64);
    for (const Bytes& report : blockReports(patternedBlock(2)))
        stick.queue.push_back(report);
    lumeq::drainReports(stick, sequence.reader(), 64);
    EXPECT_TRUE(sequence.endOfPass().finished);
    EXPECT_TRUE(sequence.contents().directory.memorySlots[0].unreadable);
    EXPECT_EQ(sequence.contents().directory.memorySlots[1].mData, patternedBlock(2));
    EXPECT_FALSE(sequence.contents().directory.memorySlots[1].unreadable);
}

TEST(ModuleReadSequence, ControlBlockWithoutAnswer) {
    const Driven driven = drive([](const Bytes&) { return std::vector<Bytes>{}; });
    EXPECT_EQ(driven.contents.outcome, lumeq::ModuleReadOutcome::NoAnswer);
    EXPECT_FALSE(driven.contents.controlBlockRead);
    EXPECT_EQ(driven.passes, 101);
    EXPECT_EQ(driven.requests.size(), 1u);
    for (const lumeq::TMemory& slot : driven.contents.directory.memorySlots) {
        EXPECT_TRUE(slot.mEmpty);
        EXPECT_TRUE(slot.unreadable);
    }
}

TEST(ModuleReadSequence, ControlBlockCompletedInTheLastPassCounts) {
    lumeq::ModuleReadSequence sequence;
    BlockReader& reader = sequence.reader();
    sequence.start();
    for (int pass = 0; pass < 100; ++pass)
        ASSERT_FALSE(sequence.endOfPass().finished);
    for (const Bytes& report : blockReports(blankControlBlock()))
        reader.receive(report);
    const auto step = sequence.endOfPass();
    EXPECT_EQ(step.pass, 100);
    EXPECT_TRUE(step.finished);
    EXPECT_EQ(sequence.contents().outcome, lumeq::ModuleReadOutcome::Module);
}

// A block that comes short counts as not read, as if it had not come at all: a short control block
// leaves nothing known about the module (so nothing is ever written back over its directory), a short
// slot block leaves that slot unreadable. The wait ends with the block; it does not run out first.
TEST(ModuleReadSequence, ShortBlocksCountAsNotRead) {
    const Block control = twoSlotControlBlock();
    const struct {
        const char* name;
        std::uint8_t controlLength, m1Length;
        lumeq::ModuleReadOutcome outcome;
        bool controlBlockRead, m1Unreadable;
        std::size_t requests;
    } cases[] = {
        {"control block with a header for 64 bytes", 64, 128, lumeq::ModuleReadOutcome::NoAnswer, false, true, 1},
        {"control block one report short", 120, 128, lumeq::ModuleReadOutcome::NoAnswer, false, true, 1},
        {"control block with a header above 128", 200, 128, lumeq::ModuleReadOutcome::Module, true, false, 3},
        {"M1 with a header for 120 bytes", 128, 120, lumeq::ModuleReadOutcome::Module, true, true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Driven driven = drive([&](const Bytes& request) {
            switch (requestAddress(request)) {
            case 0xFF80:
                return blockReports(control, c.controlLength);
            case 0x0000:
                return blockReports(patternedBlock(1), c.m1Length);
            default:
                return blockReports(patternedBlock(3));
            }
        });
        const lumeq::ModuleContents& contents = driven.contents;
        EXPECT_EQ(contents.outcome, c.outcome);
        EXPECT_EQ(contents.controlBlockRead, c.controlBlockRead);
        EXPECT_EQ(contents.directory.memorySlots[0].unreadable, c.m1Unreadable);
        EXPECT_EQ(driven.requests.size(), c.requests);
        EXPECT_EQ(driven.passes, static_cast<int>(c.requests)); // one pass per block: no wait runs out
        if (c.controlBlockRead) {
            EXPECT_FALSE(contents.directory.memorySlots[2].unreadable);
            EXPECT_EQ(contents.directory.memorySlots[2].mData, patternedBlock(3));
        } else {
            EXPECT_TRUE(contents.controlBlockShort);
            for (const lumeq::TMemory& slot : contents.directory.memorySlots)
                EXPECT_TRUE(slot.mEmpty && slot.unreadable);
        }
    }
}

TEST(ModuleReadSequence, StickAnswerMeansStickMode) {
    const Driven driven = drive([](const Bytes&) { return std::vector<Bytes>{{0xB2, 0x50}}; });
    EXPECT_EQ(driven.contents.outcome, lumeq::ModuleReadOutcome::StickAlone);
    EXPECT_EQ(driven.passes, 1);
    EXPECT_FALSE(driven.contents.controlBlockRead);
}

} // namespace

namespace {

// Each block is done with as soon as its last report is in: the next request goes out without waiting for
// the end of the pass, and no pass is counted meanwhile; the passes still time a silent module out.
TEST(ModuleReadSequence, BlockDoneWithTheMomentItsLastReportArrives) {
    lumeq::ModuleReadSequence sequence;
    sequence.start();
    const std::vector<Bytes> reports = blockReports(twoSlotControlBlock());
    for (std::size_t i = 0; i + 1 < reports.size(); ++i) {
        sequence.reader().receive(reports[i]);
        const auto step = sequence.afterReport();
        ASSERT_TRUE(step.request.empty());
        ASSERT_FALSE(step.finished);
    }
    sequence.reader().receive(reports.back());
    const auto step = sequence.afterReport();
    EXPECT_FALSE(step.passEnded);
    EXPECT_EQ(step.request, lumeq::readBlockFrame(0x0000)); // M1 at once
    EXPECT_EQ(sequence.slotBeingRead(), 1);
    // The slot's wait counts its own passes from 0.
    EXPECT_EQ(sequence.endOfPass().pass, 0);
}

// The command line's read waits on the device: with a module that answers at once it is done in far less
// than a pass per block, and a silent one still gets its 101 passes.
TEST(ModuleReadSequence, WaitingOnTheDevice) {
    QueueStick fast;
    lumeq::ModuleReadSequence sequence;
    // A stick that answers each request with the control block of two slots, and then their data.
    class AnsweringStick : public QueueStick {
    public:
        void writeData(std::span<const std::uint8_t> report) override {
            QueueStick::writeData(report);
            const Block block = report[4] == 0x80 && report[5] == 0xFF ? twoSlotControlBlock() : Block{};
            for (const Bytes& r : blockReports(block))
                queue.push_back(r);
        }
    } stick;
    const auto start = std::chrono::steady_clock::now();
    const lumeq::ModuleContents contents = lumeq::runModuleRead(stick, sequence, 64, lumeq::WaitOnDevice(1000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(contents.outcome, lumeq::ModuleReadOutcome::Module);
    EXPECT_EQ(stick.written.size(), 3u); // control block, M1, M3

    lumeq::ModuleReadSequence silent(4);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(lumeq::runModuleRead(fast, silent, 64, lumeq::WaitOnDevice(2)).outcome,
              lumeq::ModuleReadOutcome::NoAnswer);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(5 * 2));
}

} // namespace
