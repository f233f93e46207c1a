#include "link/blockwriter.h"
#include "link/simstate.h"
#include "link/simulatedstick.h"
#include "link/slotrecords.h"
#include "link/stickaccess.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

using lumeq::Block;
using lumeq::BlockWriteOutcome;
using lumeq::BlockWriter;
using lumeq::Bytes;
using lumeq::LinkAction;

namespace {

Block patternedBlock(std::uint8_t seed) {
    Block block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(seed + i * 5);
    return block;
}

Bytes confirmation(std::uint16_t address, std::uint8_t status) {
    return {
        0xC0, 0x33, static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>(address >> 8), status, 0x00,
        0x00, 0x00};
}

TEST(BlockWriter, RequestIgnoredReadSixteenReportsThenPolls) {
    const Block block = patternedBlock(3);
    BlockWriter writer(0x4000, block);
    ASSERT_EQ(writer.next(), LinkAction::Write);
    EXPECT_EQ(writer.reportToWrite(), (Bytes{0xAA, 0x55, 0xF1, 0x10, 0x00, 0x40, 0x00, 0x00}));
    writer.advance();
    ASSERT_EQ(writer.next(), LinkAction::ReadAndIgnore);
    writer.advance();
    for (std::size_t i = 0; i < 16; ++i) {
        ASSERT_EQ(writer.next(), LinkAction::Write) << i;
        EXPECT_EQ(writer.reportToWrite(), Bytes(block.begin() + static_cast<std::ptrdiff_t>(8 * i),
                                                block.begin() + static_cast<std::ptrdiff_t>(8 * i + 8)));
        writer.advance();
    }
    EXPECT_EQ(writer.next(), LinkAction::Poll);
    EXPECT_EQ(writer.outcome(), BlockWriteOutcome::Pending);
}

// Runs a writer to its polls and answers each poll from `polls` (no value: nothing waiting).
BlockWriter pollWith(const std::vector<std::optional<Bytes>>& polls, std::uint16_t address = 0x8000,
                     int maxPolls = 201) {
    BlockWriter writer(address, patternedBlock(1), maxPolls);
    while (writer.next() == LinkAction::Write || writer.next() == LinkAction::ReadAndIgnore)
        writer.advance();
    for (const auto& poll : polls) {
        if (writer.next() != LinkAction::Poll)
            break;
        if (poll)
            writer.polled(std::span<const std::uint8_t>(*poll));
        else
            writer.polled(std::nullopt);
    }
    return writer;
}

TEST(BlockWriter, ConfirmationCheck) {
    const std::optional<Bytes> none;
    const struct {
        const char* name;
        std::vector<std::optional<Bytes>> polls;
        BlockWriteOutcome outcome;
        int polls_;
    } cases[] = {
        {"confirmed at once", {confirmation(0x8000, 1)}, BlockWriteOutcome::Confirmed, 1},
        {"confirmed after silence", {none, none, none, confirmation(0x8000, 1)}, BlockWriteOutcome::Confirmed, 4},
        {"other reports are passed over",
         {Bytes{0xC0, 0x44, 0, 0, 0x80}, Bytes{0xB2, 0x50}, confirmation(0x8000, 1)},
         BlockWriteOutcome::Confirmed,
         3},
        {"status 0 fails at once", {confirmation(0x8000, 0), confirmation(0x8000, 1)}, BlockWriteOutcome::Refused, 1},
        {"status 2 fails", {confirmation(0x8000, 2)}, BlockWriteOutcome::Refused, 1},
        {"another address fails at once",
         {confirmation(0x8080, 1), confirmation(0x8000, 1)},
         BlockWriteOutcome::WrongAddress,
         1},
        {"address bytes swapped", {confirmation(0x0080, 1)}, BlockWriteOutcome::WrongAddress, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const BlockWriter writer = pollWith(c.polls);
        EXPECT_EQ(writer.outcome(), c.outcome);
        EXPECT_EQ(writer.polls(), c.polls_);
        EXPECT_EQ(writer.next(), LinkAction::Done);
    }
}

TEST(BlockWriter, TwoHundredAndOnePollsWithoutConfirmationFail) {
    std::vector<std::optional<Bytes>> silence(200, std::nullopt);
    const BlockWriter waiting = pollWith(silence);
    EXPECT_EQ(waiting.next(), LinkAction::Poll);
    silence.push_back(Bytes{0x01, 0x02});
    const BlockWriter failed = pollWith(silence);
    EXPECT_EQ(failed.outcome(), BlockWriteOutcome::NoConfirmation);
    EXPECT_EQ(failed.polls(), 201);

    std::vector<std::optional<Bytes>> lastMoment(200, std::nullopt);
    lastMoment.push_back(confirmation(0x8000, 1));
    EXPECT_EQ(pollWith(lastMoment).outcome(), BlockWriteOutcome::Confirmed);
}

TEST(BlockWriter, ErrorTexts) {
    EXPECT_EQ(lumeq::transferErrorMessage(lumeq::kSlotDataError), "Firmware Write Error!CF");
    EXPECT_EQ(lumeq::transferErrorMessage(lumeq::kControlBlockError), "Firmware Write Error!CB");
    EXPECT_EQ(lumeq::transferErrorMessage(lumeq::kFirmwareError), "Firmware Write Error!FW");
}

// A module that answers each completed block write with the confirmation `confirm(address)` gives.
class ScriptedModule : public lumeq::StickAccess {
public:
    bool libraryLoaded() const override { return true; }
    std::string description() const override { return "scripted"; }
    bool findHidDevice(std::uint16_t, std::uint16_t) override { return true; }
    int getInputReportLength() override { return 8; }
    int getOutputReportLength() override { return 8; }
    int getFeatureReportLength() override { return 0; }
    void writeData(std::span<const std::uint8_t> report) override {
        const Bytes bytes(report.begin(), report.end());
        written.push_back(bytes);
        if (dataLeft > 0) {
            if (--dataLeft == 0) {
                blocks.push_back(address);
                if (const auto answer = confirm(address))
                    queue.push_back(*answer);
            }
        } else if (bytes.size() >= 6 && bytes[0] == 0xAA && bytes[2] == 0xF1) {
            address = static_cast<std::uint16_t>(bytes[4] | bytes[5] << 8);
            dataLeft = 16;
        }
    }
    bool readData(std::span<std::uint8_t> buffer) override {
        ++reads;
        if (queue.empty())
            return false;
        std::copy_n(queue.front().begin(), std::min(queue.front().size(), buffer.size()), buffer.begin());
        queue.pop_front();
        return true;
    }
    void closeDevice() override {}
    bool setFeature(std::span<const std::uint8_t>) override { return false; }

    std::function<std::optional<Bytes>(std::uint16_t)> confirm = [](std::uint16_t a) {
        return std::optional<Bytes>(confirmation(a, 1));
    };
    std::vector<Bytes> written;
    std::vector<std::uint16_t> blocks; // addresses of the completed block writes, in order
    std::deque<Bytes> queue;
    std::uint16_t address = 0;
    int dataLeft = 0;
    int reads = 0;
};

TEST(BlockWriter, RunOnAStickSleepsBeforeEveryPoll) {
    ScriptedModule module;
    module.confirm = [](std::uint16_t) { return std::nullopt; };
    BlockWriter writer(0xC000, patternedBlock(2));
    int sleeps = 0;
    EXPECT_EQ(lumeq::runBlockWrite(module, writer, 8,
                                   [&](int ms) {
                                       EXPECT_EQ(ms, 5);
                                       ++sleeps;
                                   }),
              BlockWriteOutcome::NoConfirmation);
    EXPECT_EQ(sleeps, 201);
    EXPECT_EQ(module.reads, 1 + 201);
    EXPECT_EQ(module.written.size(), 17u);

    ScriptedModule good;
    EXPECT_TRUE(lumeq::transferCheck(good, 0x1234, 8, {})); // nothing came: failed
    good.queue.push_back(confirmation(0x1234, 1));
    EXPECT_FALSE(lumeq::transferCheck(good, 0x1234, 8, {}));
    good.queue.push_back(confirmation(0x1234, 0));
    EXPECT_TRUE(lumeq::transferCheck(good, 0x1234, 8, {}));
}

// ---- The Transfer plan ----

Block blankControlBlock() {
    Block block{};
    block.fill(0xFF);
    return block;
}

lumeq::TransferRequest request(int slot) {
    lumeq::TransferRequest r;
    r.controlBlock = blankControlBlock();
    r.controlBlock[100] = 0x12; // entries 5..7 travel with the block unchanged
    r.controlBlockRead = true;
    r.slot = slot;
    r.image = lumeq::defaultImage();
    r.info = "Default";
    return r;
}

TEST(TransferPlan, RecordsAtTheSlotThenTheControlBlock) {
    const auto result = lumeq::planTransfer(request(3));
    ASSERT_TRUE(result.plan) << result.error;
    const lumeq::TransferPlan& plan = *result.plan;
    ASSERT_EQ(plan.blocks.size(), 2u);
    EXPECT_EQ(plan.blocks[0].kind, lumeq::PlannedBlockKind::SlotData);
    EXPECT_EQ(plan.blocks[0].address, 0x8000);
    EXPECT_EQ(plan.blocks[0].bytes, lumeq::encodeSlotRecords(lumeq::defaultImage()));
    EXPECT_EQ(plan.blocks[1].kind, lumeq::PlannedBlockKind::ControlBlock);
    EXPECT_EQ(plan.blocks[1].address, 0xFF80);
    Block expected = blankControlBlock();
    expected[100] = 0x12;
    const Bytes entry = {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x01, 'D', 'e', 'f', 'a', 'u', 'l', 't', ' '};
    std::copy(entry.begin(), entry.end(), expected.begin() + 32);
    EXPECT_EQ(plan.blocks[1].bytes, expected);
    EXPECT_EQ(lumeq::plannedControlBlock(plan), expected);
}

TEST(TransferPlan, RefusedRequests) {
    const struct {
        const char* name;
        std::function<void(lumeq::TransferRequest&)> change;
        const char* errorPart;
    } cases[] = {
        {"control block not read", [](auto& r) { r.controlBlockRead = false; }, "control block was not read"},
        {"slot 0", [](auto& r) { r.slot = 0; }, "no memory slot 0"},
        {"slot 5", [](auto& r) { r.slot = 5; }, "no memory slot 5"},
        {"short image", [](auto& r) { r.image.resize(95); }, "95 bytes"},
        {"firmware too long",
         [](auto& r) {
             r.firmware = lumeq::FirmwareToWrite{{}, 70000, 3};
         },
         "does not fit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lumeq::TransferRequest r = request(1);
        c.change(r);
        const auto result = lumeq::planTransfer(r);
        EXPECT_FALSE(result.plan);
        EXPECT_NE(result.error.find(c.errorPart), std::string::npos) << result.error;
    }
}

TEST(TransferPlan, FirmwareBlocksBetweenSlotAndControlBlock) {
    Bytes firmwareImage(12288, 0xFF);
    for (std::size_t i = 0; i < 300; ++i)
        firmwareImage[i] = static_cast<std::uint8_t>(i);
    firmwareImage[300] = 0x42; // past the firmware length: sent as 0xFF
    lumeq::TransferRequest r = request(1);
    r.firmware = lumeq::FirmwareToWrite{firmwareImage, 300, 9};
    const auto result = lumeq::planTransfer(r);
    ASSERT_TRUE(result.plan);
    const auto& blocks = result.plan->blocks;
    ASSERT_EQ(blocks.size(), 5u);
    const std::uint16_t addresses[] = {0x0000, 0x0200, 0x0280, 0x0300, 0xFF80};
    for (std::size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(blocks[i].address, addresses[i]) << i;
    EXPECT_EQ(blocks[1].bytes[0], 0);
    EXPECT_EQ(blocks[2].bytes[127], 255);
    EXPECT_EQ(blocks[3].bytes[43], 299 & 0xFF); // firmware byte 299, the last one
    EXPECT_EQ(blocks[3].bytes[44], 0xFF);
    const Bytes descriptor(blocks[4].bytes.begin() + 64, blocks[4].bytes.begin() + 72);
    EXPECT_EQ(descriptor, (Bytes{0x8A, 0x65, 0xC1, 9, 0x2C, 0x01, 0x04, 0x00}));
    EXPECT_EQ(Bytes(result.plan->controlBlockKeepingFirmware.begin() + 64,
                    result.plan->controlBlockKeepingFirmware.begin() + 72),
              Bytes(8, 0xFF));
}

// The firmware the program carries fills blocks 0..95 (0x0200..0x31FF); anything longer would run into
// slot M2 at 0x4000 and is refused.
TEST(TransferPlan, FirmwareEndsBelowSlotM2) {
    EXPECT_EQ(lumeq::kFirmwareImageSize, 12288u);
    Bytes firmwareImage(12289, 0x5A);
    lumeq::TransferRequest r = request(1);
    r.firmware = lumeq::FirmwareToWrite{firmwareImage, 12288, 5};
    const auto result = lumeq::planTransfer(r);
    ASSERT_TRUE(result.plan) << result.error;
    std::vector<std::uint16_t> firmwareBlocks;
    for (const lumeq::PlannedBlock& block : result.plan->blocks) {
        if (block.kind == lumeq::PlannedBlockKind::Firmware)
            firmwareBlocks.push_back(block.address);
    }
    ASSERT_EQ(firmwareBlocks.size(), 96u);
    EXPECT_EQ(firmwareBlocks.front(), 0x0200);
    EXPECT_EQ(firmwareBlocks.back(), 0x3180);
    EXPECT_LT(firmwareBlocks.back() + 128, 0x4000);
    const Block& control = lumeq::plannedControlBlock(*result.plan);
    EXPECT_EQ(Bytes(control.begin() + 64, control.begin() + 72), (Bytes{0x8A, 0x65, 0xC1, 5, 0x00, 0x30, 0x04, 0x00}));

    r.firmware->length = 12289;
    const auto refused = lumeq::planTransfer(r);
    EXPECT_FALSE(refused.plan);
    EXPECT_NE(refused.error.find("12289 bytes"), std::string::npos) << refused.error;
    EXPECT_NE(refused.error.find("12288"), std::string::npos) << refused.error;
}

// ---- Running a Transfer ----

TEST(TransferRun, OutcomesOfEachBlock) {
    Bytes firmwareImage(256, 0x11);
    lumeq::TransferRequest withFirmware = request(2);
    withFirmware.firmware = lumeq::FirmwareToWrite{firmwareImage, 256, 4};
    const auto plan = *lumeq::planTransfer(withFirmware).plan;

    const struct {
        const char* name;
        std::function<std::optional<Bytes>(std::uint16_t)> confirm;
        bool ok;
        std::string code;
        BlockWriteOutcome failure;
        std::vector<std::uint16_t> blocks; // written, in order
        bool firmwareFailed, firmwareWritten;
        std::uint8_t firmwareMark; // byte 64 of the control block written (0x8A: new firmware descriptor)
    } cases[] = {
        {"all confirmed",
         [](std::uint16_t a) { return std::optional(confirmation(a, 1)); },
         true,
         "",
         BlockWriteOutcome::Pending,
         {0x4000, 0x0200, 0x0280, 0xFF80},
         false,
         true,
         0x8A},
        {"slot data refused: nothing more is written",
         [](std::uint16_t a) { return std::optional(confirmation(a, a == 0x4000 ? 0 : 1)); },
         false,
         "CF",
         BlockWriteOutcome::Refused,
         {0x4000},
         false,
         false,
         0},
        {"firmware block unconfirmed: control block keeps the old firmware record",
         [](std::uint16_t a) { return a == 0x0200 ? std::nullopt : std::optional(confirmation(a, 1)); },
         true,
         "",
         BlockWriteOutcome::Pending,
         {0x4000, 0x0200, 0xFF80},
         true,
         false,
         0xFF},
        {"control block confirmed for another address",
         [](std::uint16_t a) { return std::optional(confirmation(a == 0xFF80 ? 0x0000 : a, 1)); },
         false,
         "CB",
         BlockWriteOutcome::WrongAddress,
         {0x4000, 0x0200, 0x0280, 0xFF80},
         false,
         true,
         0x8A},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedModule module;
        module.confirm = c.confirm;
        lumeq::TransferRun run(plan);
        const lumeq::TransferResult result = lumeq::runTransfer(module, run, 8, {});
        EXPECT_TRUE(run.finished());
        EXPECT_EQ(result.ok, c.ok);
        EXPECT_EQ(result.errorCode, c.code);
        EXPECT_EQ(result.failure, c.failure);
        EXPECT_EQ(module.blocks, c.blocks);
        EXPECT_EQ(result.firmwareFailed, c.firmwareFailed);
        EXPECT_EQ(result.firmwareWritten, c.firmwareWritten);
        if (c.firmwareMark != 0) {
            EXPECT_EQ(result.controlBlockWritten[64], c.firmwareMark);
            // The slot's descriptor goes out in any case.
            EXPECT_EQ(result.controlBlockWritten[16], 0x8A);
        }
    }
}

TEST(TransferRun, PlanIntoMemory) {
    std::vector<std::uint8_t> memory(65536, 0xFF);
    const auto plan = *lumeq::planTransfer(request(4)).plan;
    lumeq::applyTransferPlan(plan, memory);
    EXPECT_TRUE(std::equal(plan.blocks[0].bytes.begin(), plan.blocks[0].bytes.end(), memory.begin() + 0xC000));
    EXPECT_TRUE(std::equal(plan.blocks[1].bytes.begin(), plan.blocks[1].bytes.end(), memory.begin() + 0xFF80));
    EXPECT_EQ(memory[0xBFFF], 0xFF);
}

// ---- Reading a Transfer back ----

TEST(ReadBack, ControlBlockDifferencesNameTheEntry) {
    // Blank but for M2 "Default " and byte 100 (0x12).
    const Block written = lumeq::plannedControlBlock(*lumeq::planTransfer(request(2)).plan);
    const struct {
        const char* name;
        std::vector<std::pair<std::size_t, std::uint8_t>> changes; // byte of the block read back, its value
        std::vector<std::string> differences;
    } cases[] = {
        {"identical", {}, {}},
        {"name of M2", {{24, 0xFF}}, {"the slot descriptor of M2 differs at byte 8: written 44, read back FF"}},
        {"M1 filled where it was empty",
         {{0, 0x8A}, {1, 0x65}},
         {"the slot descriptor of M1 differs at byte 0: written FF, read back 8A"}},
        {"last byte of M4", {{63, 0x00}}, {"the slot descriptor of M4 differs at byte 15: written FF, read back 00"}},
        {"firmware version", {{67, 0x07}}, {"the firmware descriptor differs at byte 3: written FF, read back 07"}},
        {"an entry the program carries along",
         {{100, 0x00}},
         {"entry 6 of the control block differs at byte 4: written 12, read back 00"}},
        {"two entries, first differing byte of each",
         {{31, 0x00}, {30, 0x00}, {127, 0x01}},
         {"the slot descriptor of M2 differs at byte 14: written 74, read back 00",
          "entry 7 of the control block differs at byte 15: written FF, read back 01"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Block readBack = written;
        for (const auto& [at, value] : c.changes)
            readBack[at] = value;
        EXPECT_EQ(lumeq::controlBlockDifferences(written, readBack), c.differences);
    }
}

// Slot records and slot names whose bytes look like a block header (C0 44) or like the stick's own
// answer (B2 50, B2 51) at the start of a data report are written through the simulator and come back
// unchanged, with the whole directory.
TEST(ReadBack, ReportLookalikesInSlotsAndNamesSurviveATransfer) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("module.ini").toStdString();
    ASSERT_TRUE(lumeq::SimState::withModule().save(path));
    const auto readModule = [&path] {
        lumeq::SimulatedStick stick(path);
        EXPECT_TRUE(stick.findHidDevice(lumeq::kStickVendorId, lumeq::kStickProductId));
        lumeq::ModuleReadSequence sequence;
        return lumeq::runModuleRead(stick, sequence, 64, [] {});
    };

    // Each slot's record stream puts image bytes 12k + 6 and 12k + 7 at the start of a data report; each
    // name starts a data report of the control block.
    const struct {
        const char* what;
        int slot;
        std::size_t at; // image byte
        std::uint8_t first, second;
        const char* name; // UTF-8: the characters U+00B2 and U+00C0 are stored as the bytes B2 and C0
        const char* nameRead;
    } cases[] = {
        {"engine 1, second step: fade B2, level 80 %", 2, 42, 0xB2, 0x50, "\u00B2Park", "\u00B2Park   "},
        {"thermal L1 64 % with the relay off, T2 68 degrees", 3, 90, 0xC0, 0x44, "\u00C0Dorf", "\u00C0Dorf   "},
        {"engine 2, fourth step: fade B2, level 81 %", 1, 18, 0xB2, 0x51, "\u00B2Q", "\u00B2Q      "},
        {"engine 1, last step: fade C0, level 68 %", 4, 66, 0xC0, 0x44, "\u00C0D-12", "\u00C0D-12   "},
    };
    std::array<Block, 4> streams{};
    Block lastControlBlock{};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const lumeq::ModuleContents before = readModule();
        ASSERT_EQ(before.outcome, lumeq::ModuleReadOutcome::Module);
        lumeq::TransferRequest r;
        r.controlBlock = before.controlBlock;
        r.controlBlockRead = before.controlBlockRead;
        r.slot = c.slot;
        r.image = lumeq::defaultImage();
        r.image[c.at] = c.first;
        r.image[c.at + 1] = c.second;
        if (c.at == 90)
            r.image[89] = 80; // T1 above T2
        r.info = c.name;
        const auto planned = lumeq::planTransfer(r);
        ASSERT_TRUE(planned.plan) << planned.error;
        const Block& stream = planned.plan->blocks.front().bytes;
        const std::size_t reportStart = 16 * (c.at / 12) + 8;
        ASSERT_EQ(stream[reportStart], c.first);
        ASSERT_EQ(stream[reportStart + 1], c.second);
        lumeq::SimulatedStick stick(path);
        ASSERT_TRUE(stick.findHidDevice(lumeq::kStickVendorId, lumeq::kStickProductId));
        lumeq::TransferRun run(*planned.plan);
        const lumeq::TransferResult result = lumeq::runTransfer(stick, run, 64, {});
        ASSERT_TRUE(result.ok) << result.errorCode;
        streams[static_cast<std::size_t>(c.slot - 1)] = stream;
        lastControlBlock = result.controlBlockWritten;
    }

    const lumeq::ModuleContents after = readModule();
    ASSERT_EQ(after.outcome, lumeq::ModuleReadOutcome::Module);
    EXPECT_TRUE(after.controlBlockRead);
    EXPECT_EQ(after.controlBlock, lastControlBlock);
    EXPECT_TRUE(lumeq::controlBlockDifferences(lastControlBlock, after.controlBlock).empty());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const lumeq::TMemory& slot = after.directory.memorySlots[static_cast<std::size_t>(c.slot - 1)];
        EXPECT_FALSE(slot.mEmpty);
        EXPECT_FALSE(slot.unreadable);
        EXPECT_EQ(slot.mString, c.nameRead);
        EXPECT_EQ(slot.mData, streams[static_cast<std::size_t>(c.slot - 1)]);
        lumeq::Image image(128, 0x00);
        EXPECT_TRUE(lumeq::takeSlotIntoImage(slot, image, true).decode.clean());
        EXPECT_EQ(image[c.at], c.first);
        EXPECT_EQ(image[c.at + 1], c.second);
    }
}

TEST(Erase, WritesTheEraseFrameOnly) {
    ScriptedModule module;
    lumeq::eraseModule(module);
    ASSERT_EQ(module.written.size(), 1u);
    EXPECT_EQ(module.written[0], (Bytes{0xAA, 0x55, 0xFC, 0x00, 0x55, 0xAA, 0x00, 0x00}));
    EXPECT_EQ(module.reads, 0);
}

} // namespace
