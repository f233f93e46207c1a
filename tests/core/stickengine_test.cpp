#include "link/blockwriter.h"
#include "link/frames.h"
#include "link/stickengine.h"
#include "model/crc16.h"
#include "model/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <numeric>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using lumeq::Bytes;
using lumeq::Image;
using lumeq::StickEffects;
using lumeq::StickEngine;

namespace {

// Answers of the stick: B2 and the code.
Bytes answer(std::uint8_t code) {
    Bytes report(32, 0x00);
    report[0] = 0xB2;
    report[1] = code;
    return report;
}

Bytes identification(std::uint8_t version, std::array<std::uint8_t, 4> device = {0x12, 0x34, 0xAB, 0xCD}) {
    Bytes report = answer(0x5F);
    std::copy(device.begin(), device.end(), report.begin() + 2);
    report[6] = 0x99;
    report[7] = version;
    return report;
}

// B2 52 crc-lo crc-hi address count data, for `count` bytes of `memory` from `address` on.
Bytes readAnswer(const Bytes& memory, std::uint8_t address, std::uint8_t count, bool crcHolds = true) {
    Bytes covered = {address, count};
    covered.insert(covered.end(), memory.begin() + address, memory.begin() + address + count);
    std::uint16_t crc = lumeq::crc16(covered);
    if (!crcHolds)
        crc ^= 0x0101;
    Bytes report = {0xB2, 0x52, static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
    report.insert(report.end(), covered.begin(), covered.end());
    report.resize(64, 0x00);
    return report;
}

// A device memory whose every byte differs from its neighbours, with an operating log.
Bytes deviceMemory() {
    Bytes memory(256);
    for (std::size_t i = 0; i < memory.size(); ++i)
        memory[i] = static_cast<std::uint8_t>(i * 5 + 1);
    const std::uint8_t log[] = {0x10, 0x27, 0x00, 0x2C, 0x01, 0x04, 0x00, 58}; // 10000 min, 300, 4 quarters, 58
    std::copy(std::begin(log), std::end(log), memory.begin() + 247);
    return memory;
}

// The read frame the effects send: (address, count).
std::optional<std::pair<std::uint8_t, std::uint8_t>> readRequest(const StickEffects& effects) {
    if (effects.frames.size() != 1 || effects.frames[0].bytes.size() != 5 || effects.frames[0].bytes[2] != 0x02)
        return std::nullopt;
    return std::pair{effects.frames[0].bytes[3], effects.frames[0].bytes[4]};
}

struct Rig {
    Image memory = Image(lumeq::kImageSize, 0x00);
    StickEngine engine;
    explicit Rig(StickEngine::Options options = {}) : engine(memory, options) {}

    // Identification, then every read answered from `device` until the read ends. Returns the last
    // effects; `addresses` collects the (address, count) of every read frame.
    StickEffects identifyAndRead(const Bytes& device, std::uint8_t version,
                                 std::vector<std::pair<int, int>>* addresses = nullptr) {
        StickEffects effects = engine.feed(identification(version));
        while (const auto request = readRequest(effects)) {
            if (addresses)
                addresses->emplace_back(request->first, request->second);
            effects = engine.feed(readAnswer(device, request->first, request->second));
        }
        return effects;
    }
};

TEST(StickEngine, IdentificationInStateZeroPausesThenReadsEveryByteInTwentySixByteFrames) {
    Rig rig;
    const StickEffects first = rig.engine.feed(identification(73));
    EXPECT_EQ(first.pauseMs, 1000);
    EXPECT_TRUE(first.normalCursor);
    EXPECT_EQ(rig.engine.stickState(), 1);
    EXPECT_EQ(rig.memory.size(), 256u);
    ASSERT_EQ(first.frames.size(), 1u);
    EXPECT_EQ(first.frames[0].bytes, (Bytes{0xCA, 0xC5, 0x02, 0x00, 26}));
    EXPECT_EQ(first.debugLines, std::vector<std::string>{"Send: Read Memory 0x00"});

    Rig full;
    std::vector<std::pair<int, int>> addresses;
    const Bytes device = deviceMemory();
    const StickEffects last = full.identifyAndRead(device, 73, &addresses);
    std::vector<std::pair<int, int>> expected;
    for (int address = 0; address < 234; address += 26)
        expected.emplace_back(address, 26);
    expected.emplace_back(234, 22);
    EXPECT_EQ(addresses, expected);
    EXPECT_TRUE(last.readComplete);
    EXPECT_TRUE(last.frames.empty());
    EXPECT_EQ(full.memory, device);
    EXPECT_EQ(last.caption, "USB Stick, Device Nr. 1234ABCD, FW 1.73            Ready...");
    EXPECT_EQ(last.captionChange, StickEffects::Caption::Set);
    EXPECT_TRUE(last.redraw);
    EXPECT_EQ(last.formDisabled, std::optional<bool>(false));
    EXPECT_EQ(last.buttons, StickEffects::Buttons::Show);
    EXPECT_EQ(full.engine.stickId(), (lumeq::StickId{0x12, 0x34, 0xAB, 0xCD, 0x99, 73}));
}

TEST(StickEngine, IdentificationWhileIdentifiedOnlyRefreshesTheId) {
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    const Image before = rig.memory;
    const StickEffects again = rig.engine.feed(identification(80, {1, 2, 3, 4}));
    EXPECT_TRUE(again.frames.empty());
    EXPECT_EQ(again.pauseMs, 0);
    EXPECT_EQ(rig.engine.stickState(), 1);
    EXPECT_EQ(rig.engine.stickId(), (lumeq::StickId{1, 2, 3, 4, 0x99, 80}));
    EXPECT_EQ(rig.memory, before);
    // The version shown stays the one of the last complete read.
    EXPECT_EQ(rig.engine.stickFwVersion(), 73);
}

TEST(StickEngine, VersionAndFirmwareQuestion) {
    const struct {
        const char* name;
        std::uint8_t reported;
        std::optional<std::uint8_t> embedded; // no value: the build carries no firmware image
        bool skipFW;
        const char* captionEnd;
        int stickFwVersion;
        std::optional<std::string> question;
    } cases[] = {
        {"no version: FW ???, version 0, asked", 0xFF, 72, false, ", FW ???            Ready...", 0,
         "The Lumeq Firmware version (1.0) and the embedded version (1.72) are different!\rDo you want to update the "
         "firmware?"},
        {"no version, embedded version 0: not asked", 0xFF, 0, false, ", FW ???            Ready...", 0, std::nullopt},
        {"different version, -skipFW: not asked", 70, 72, true, ", FW 1.70            Ready...", 70, std::nullopt},
        {"equal version: not asked", 72, 72, false, ", FW 1.72            Ready...", 72, std::nullopt},
        {"no firmware image in this build: not asked", 70, std::nullopt, false, ", FW 1.70            Ready...", 70,
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig({c.skipFW, false, c.embedded});
        const StickEffects last = rig.identifyAndRead(deviceMemory(), c.reported);
        ASSERT_TRUE(last.readComplete);
        EXPECT_EQ(last.caption, std::string("USB Stick, Device Nr. 1234ABCD") + c.captionEnd);
        EXPECT_EQ(rig.engine.stickFwVersion(), c.stickFwVersion);
        EXPECT_EQ(last.firmwareQuestion, c.question);
    }
}

TEST(StickEngine, OperatingLogFromFirmware72WithShowLog) {
    const struct {
        const char* name;
        bool showLog;
        std::uint8_t version;
        bool shown;
    } cases[] = {
        {"showLog, 1.71: hidden", true, 71, false},
        {"showLog, 1.72: shown", true, 72, true},
        {"no showLog, 1.72: hidden", false, 72, false},
        {"showLog, no version: hidden", true, 0xFF, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig({false, c.showLog, std::nullopt});
        const StickEffects last = rig.identifyAndRead(deviceMemory(), c.version);
        ASSERT_TRUE(last.log.has_value()); // shown or hidden, never left as it was
        EXPECT_EQ(last.log->has_value(), c.shown);
        if (c.shown) {
            EXPECT_EQ(**last.log, (lumeq::StickLogTexts{"10000 min", "300", "60 min", "58 \u00B0C"}));
        }
    }
}

TEST(StickEngine, LogTexts) {
    Bytes memory(256, 0x00);
    const std::uint8_t log[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::copy(std::begin(log), std::end(log), memory.begin() + 247);
    EXPECT_EQ(lumeq::stickLogTexts(memory),
              (lumeq::StickLogTexts{"16777215 min", "65535", "983025 min", "255 \u00B0C"}));
    memory[252] = 4;
    memory[253] = 0;
    EXPECT_EQ(lumeq::stickLogTexts(memory).overTemperature, "60 min");
    // A memory cut short reads as 0xFF.
    EXPECT_EQ(lumeq::stickLogTexts(Bytes(128, 0)).maxTemperature, "255 \u00B0C");
}

TEST(StickEngine, MemoryDumpLines) {
    Bytes memory(256);
    std::iota(memory.begin(), memory.end(), std::uint8_t{0});
    const std::vector<std::string> lines = lumeq::memoryDumpLines(memory);
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines.front(), "------------------ Memory dump --------------------");
    EXPECT_EQ(lines.back(), "----------------------------------------------------");
    EXPECT_EQ(lines[4], "30: 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F ");
    EXPECT_EQ(lines[16].substr(0, 4), "F0: ");

    // A complete read adds the dump to the debug lines.
    Rig rig;
    const StickEffects last = rig.identifyAndRead(deviceMemory(), 73);
    ASSERT_GE(last.debugLines.size(), 18u);
    EXPECT_EQ(std::vector<std::string>(last.debugLines.end() - 18, last.debugLines.end()),
              lumeq::memoryDumpLines(deviceMemory()));
}

TEST(StickEngine, ReadAnswerWithAWrongCrcIsAskedForAgainThenReadError) {
    const Bytes device = deviceMemory();
    for (const int badAnswers : {1, 5, 6}) {
        SCOPED_TRACE(badAnswers);
        Rig rig;
        rig.engine.feed(identification(73));
        const Bytes before = rig.memory;
        StickEffects effects = rig.engine.feed(readAnswer(device, 0, 26));
        ASSERT_EQ(readRequest(effects), (std::pair<std::uint8_t, std::uint8_t>{26, 26}));
        for (int i = 0; i < badAnswers; ++i) {
            effects = rig.engine.feed(readAnswer(device, 26, 26, false));
            if (i < 5) {
                EXPECT_EQ(readRequest(effects), (std::pair<std::uint8_t, std::uint8_t>{26, 26})) << "repeat " << i;
            }
        }
        if (badAnswers <= 5) {
            // The read goes on where it was and completes.
            while (const auto request = readRequest(effects))
                effects = rig.engine.feed(readAnswer(device, request->first, request->second));
            EXPECT_TRUE(effects.readComplete);
            EXPECT_EQ(rig.memory, device);
            continue;
        }
        EXPECT_TRUE(effects.frames.empty());
        EXPECT_TRUE(effects.readFailed);
        EXPECT_EQ(effects.caption, "Read Error");
        ASSERT_TRUE(effects.message.has_value());
        EXPECT_EQ(effects.formDisabled, std::optional<bool>(false));
        EXPECT_EQ(effects.buttons, StickEffects::Buttons::Show);
        EXPECT_EQ(rig.engine.stickState(), 1);
        EXPECT_FALSE(rig.engine.reading());
        // The bad answer changed nothing; ReRead starts over.
        EXPECT_TRUE(std::equal(before.begin() + 26, before.end(), rig.memory.begin() + 26));
        const StickEffects reread = rig.engine.reread();
        EXPECT_EQ(readRequest(reread), (std::pair<std::uint8_t, std::uint8_t>{0, 26}));
        EXPECT_EQ(rig.engine.readRetries(), 0);
    }
}

TEST(StickEngine, ReadAnswerOutsideAReadIsDropped) {
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    const Image before = rig.memory;
    const StickEffects late = rig.engine.feed(readAnswer(Bytes(256, 0x42), 0, 26));
    EXPECT_TRUE(late.frames.empty());
    EXPECT_EQ(rig.memory, before);
    // ReRead only in state 1.
    rig.engine.store();
    EXPECT_TRUE(rig.engine.reread().frames.empty());
}

// Writes the memory: answers every write memory frame with `memoryAnswers` (in turn, the last one
// repeated) and every write EE frame with 0x56. Returns the frames sent and the last effects.
struct WriteRun {
    std::vector<Bytes> frames;
    StickEffects last;
};
WriteRun writeWith(Rig& rig, std::vector<std::uint8_t> memoryAnswers, std::vector<std::uint8_t> eeAnswers = {0x56}) {
    WriteRun run;
    StickEffects effects = rig.engine.store();
    std::size_t memoryIndex = 0;
    std::size_t eeIndex = 0;
    for (int guard = 0; guard < 200 && !effects.frames.empty(); ++guard) {
        const Bytes frame = effects.frames.back().bytes;
        run.frames.push_back(frame);
        if (frame[2] == 0x04)
            effects = rig.engine.feed(answer(memoryAnswers[std::min(memoryIndex++, memoryAnswers.size() - 1)]));
        else
            effects = rig.engine.feed(answer(eeAnswers[std::min(eeIndex++, eeAnswers.size() - 1)]));
        run.last = effects;
    }
    return run;
}

TEST(StickEngine, WriteSendsTenMemoryAndTenEeFramesThenFinishes) {
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    rig.memory[7] = 0x77;
    const WriteRun run = writeWith(rig, {0x54});
    ASSERT_EQ(run.frames.size(), 20u);
    for (std::size_t i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(run.frames[i], lumeq::stickWriteMemoryFrame(rig.memory, static_cast<std::uint8_t>(25 * i)).bytes);
        EXPECT_EQ(run.frames[10 + i], lumeq::stickWriteEeFrame(rig.memory, static_cast<std::uint8_t>(12 * i)).bytes);
    }
    EXPECT_TRUE(run.last.writeComplete);
    EXPECT_EQ(run.last.captionChange, StickEffects::Caption::Append);
    EXPECT_EQ(run.last.caption, "->Transfer finished.");
    EXPECT_EQ(run.last.debugLines, std::vector<std::string>{"EE Write OK"});
    EXPECT_EQ(rig.engine.stickState(), 0);
    EXPECT_EQ(run.last.formDisabled, std::optional<bool>(false));
    // The next identification reads the memory afresh.
    EXPECT_EQ(readRequest(rig.engine.feed(identification(73))), (std::pair<std::uint8_t, std::uint8_t>{0, 26}));
}

TEST(StickEngine, RefusedFramesAreRepeatedFiveTimes) {
    {
        SCOPED_TRACE("five refusals of a memory frame, then accepted: the write goes on");
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        StickEffects effects = rig.engine.store();
        effects = rig.engine.feed(answer(0x54)); // frame at 0 accepted, frame at 25 sent
        for (int i = 1; i <= 5; ++i) {
            effects = rig.engine.feed(answer(0x55));
            ASSERT_EQ(effects.frames.size(), 1u);
            EXPECT_EQ(effects.frames[0].bytes[5], 25) << "repeat " << i;
            EXPECT_EQ(rig.engine.retryCount(), i);
        }
        effects = rig.engine.feed(answer(0x54));
        EXPECT_EQ(rig.engine.retryCount(), 0);
        ASSERT_EQ(effects.frames.size(), 1u);
        EXPECT_EQ(effects.frames[0].bytes[5], 50);
        // The count starts again: five more refusals of the next frame are still repeated.
        for (int i = 1; i <= 5; ++i)
            EXPECT_EQ(rig.engine.feed(answer(0x55)).frames.size(), 1u);
    }
    {
        SCOPED_TRACE("six refusals of a memory frame: Transfer Error!");
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        const WriteRun run = writeWith(rig, {0x55});
        EXPECT_EQ(run.frames.size(), 6u);
        EXPECT_TRUE(run.last.writeFailed);
        EXPECT_EQ(run.last.caption, "Transfer Error!");
        EXPECT_EQ(run.last.captionChange, StickEffects::Caption::Set);
        EXPECT_EQ(rig.engine.stickState(), 0);
        EXPECT_EQ(run.last.buttons, StickEffects::Buttons::Show);
    }
    {
        SCOPED_TRACE("EE refusals: repeated with a debug line, the sixth ends the write");
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        const WriteRun run = writeWith(rig, {0x54}, {0x57});
        ASSERT_EQ(run.frames.size(), 10u + 6u);
        EXPECT_TRUE(run.last.writeFailed);
        Rig repeat;
        repeat.identifyAndRead(deviceMemory(), 73);
        const WriteRun once = writeWith(repeat, {0x54}, {0x57, 0x56});
        EXPECT_TRUE(once.last.writeComplete);
        EXPECT_EQ(once.frames.size(), 21u);
        EXPECT_EQ(once.frames[10], once.frames[11]);
    }
}

TEST(StickEngine, EeWriteRepeatLineComesBeforeTheFrame) {
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    rig.engine.store();
    for (int i = 0; i < 10; ++i)
        rig.engine.feed(answer(0x54));
    const StickEffects repeat = rig.engine.feed(answer(0x57));
    EXPECT_EQ(repeat.debugLines, (std::vector<std::string>{"EE Write Repeat", "Send: Write Memory 0x00 write EE"}));
}

TEST(StickEngine, DefaultThenTransferSendsTheDefaultsAndFF) {
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    lumeq::defaultStickMemory(rig.memory);
    const WriteRun run = writeWith(rig, {0x54});
    Bytes sent;
    for (std::size_t i = 0; i < 10; ++i) {
        const Bytes& frame = run.frames[i];
        ASSERT_EQ(frame.size(), 33u);
        EXPECT_EQ(frame[5], 25 * i);
        EXPECT_EQ(frame[6], 25);
        EXPECT_EQ(frame[32], 0x00);
        sent.insert(sent.end(), frame.begin() + 7, frame.begin() + 32);
    }
    ASSERT_EQ(sent.size(), 250u);
    EXPECT_TRUE(std::equal(lumeq::kDefaultImage.begin(), lumeq::kDefaultImage.end(), sent.begin()));
    EXPECT_TRUE(std::all_of(sent.begin() + 128, sent.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(StickEngine, AnswersAndReportsThatOnlyLog) {
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    EXPECT_EQ(rig.engine.feed(answer(0x53)).debugLines, std::vector<std::string>{"RET: 53"});
    Bytes foreign(8, 0x00);
    foreign[0] = 0x07;
    EXPECT_EQ(rig.engine.feed(foreign).debugLines, std::vector<std::string>{"?: 07"});
    // Answers to writes and to a firmware update change nothing when neither is going on.
    for (const std::uint8_t code : {0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B}) {
        SCOPED_TRACE(code);
        const StickEffects effects = rig.engine.feed(answer(code));
        EXPECT_TRUE(effects.frames.empty());
        EXPECT_FALSE(effects.beep);
        EXPECT_FALSE(effects.formDisabled.has_value());
        EXPECT_EQ(rig.engine.stickState(), 1);
    }
}

TEST(StickEngine, BackToWaitingOn51) {
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    const StickEffects effects = rig.engine.feed(answer(0x51));
    EXPECT_EQ(effects.caption, "USB Stick");
    EXPECT_EQ(effects.formDisabled, std::optional<bool>(true));
    EXPECT_EQ(effects.buttons, StickEffects::Buttons::Hide);
    EXPECT_EQ(rig.engine.stickState(), 0);
    EXPECT_EQ(rig.engine.feed(identification(73)).pauseMs, 1000);
}

// Runs a firmware update, answering phases 1 and 2 with 0x58 and phase 3 with 0x5A, except that the
// frame numbered `refuseAt` (from 1) is answered with `refusal`.
struct FirmwareRun {
    std::vector<Bytes> frames;
    std::vector<int> positions;
    StickEffects first, last;
};
FirmwareRun updateWith(Rig& rig, const Bytes& image, std::size_t length, int refuseAt = 0, std::uint8_t refusal = 0) {
    FirmwareRun run;
    run.first = rig.engine.startFirmwareUpdate(image, length);
    StickEffects effects = run.first;
    for (int n = 1; n < 2000 && !effects.frames.empty(); ++n) {
        const Bytes frame = effects.frames.front().bytes;
        if (frame[2] != 0x08)
            break;
        run.frames.push_back(frame);
        std::uint8_t code = frame[5] == 3 ? 0x5A : 0x58;
        if (n == refuseAt)
            code = refusal;
        effects = rig.engine.feed(answer(code));
        if (effects.progressPosition)
            run.positions.push_back(*effects.progressPosition);
        run.last = effects;
    }
    return run;
}

TEST(StickEngine, FirmwareUpdateOf8000BytesIn112Records) {
    Bytes image(lumeq::kFirmwareImageSize, 0xFF);
    for (std::size_t i = 0; i < 8000; ++i)
        image[i] = static_cast<std::uint8_t>(i * 13 + 7);
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    const FirmwareRun run = updateWith(rig, image, 8000);
    EXPECT_EQ(run.first.formDisabled, std::optional<bool>(true));
    EXPECT_EQ(run.first.progressShown, std::optional<bool>(true));
    EXPECT_EQ(run.first.progressMaximum, std::optional<int>(112));
    EXPECT_EQ(run.first.progressPosition, std::optional<int>(0));
    ASSERT_EQ(run.frames.size(), 336u);
    // The records carry the image in order: 26, 26 and 20 bytes with 6 zero bytes; the last one bytes
    // 7992..8063, those from 8000 on as the buffer holds them.
    Bytes carried;
    for (std::size_t i = 0; i < run.frames.size(); ++i) {
        const Bytes& frame = run.frames[i];
        ASSERT_EQ(frame.size(), 32u);
        const int phase = static_cast<int>(i % 3) + 1;
        ASSERT_EQ(frame[5], phase);
        const std::size_t count = phase == 3 ? 20 : 26;
        const Bytes data(frame.begin() + 6, frame.begin() + 6 + static_cast<std::ptrdiff_t>(count));
        EXPECT_EQ(lumeq::crc16(data), frame[3] | frame[4] << 8);
        if (phase == 3) {
            EXPECT_TRUE(std::all_of(frame.begin() + 26, frame.end(), [](std::uint8_t b) { return b == 0; }));
        }
        carried.insert(carried.end(), data.begin(), data.end());
    }
    EXPECT_EQ(carried, Bytes(image.begin(), image.begin() + 112 * 72));
    std::vector<int> expectedPositions(112);
    std::iota(expectedPositions.begin(), expectedPositions.end(), 1);
    EXPECT_EQ(run.positions, expectedPositions);
    // Completion: back to state 1, the reset frame, the bar hidden.
    EXPECT_TRUE(run.last.firmwareComplete);
    EXPECT_EQ(rig.engine.stickState(), 1);
    ASSERT_EQ(run.last.frames.size(), 1u);
    EXPECT_EQ(run.last.frames[0].bytes, (Bytes{0xCA, 0xC5, 0x0E}));
    EXPECT_EQ(run.last.debugLines, (std::vector<std::string>{"FW Update done.", "Send: Reset!"}));
    EXPECT_EQ(run.last.caption, "->FW Update finished.");
    EXPECT_EQ(run.last.captionChange, StickEffects::Caption::Append);
    EXPECT_EQ(run.last.progressShown, std::optional<bool>(false));
    EXPECT_EQ(run.last.formDisabled, std::optional<bool>(false));

    // The same firmware goes to a module in 63 blocks of 128 bytes, the last one half filled with FF.
    lumeq::TransferRequest request;
    request.controlBlockRead = true;
    request.controlBlock.fill(0xFF);
    request.slot = 1;
    request.image = lumeq::defaultImage();
    request.firmware = lumeq::FirmwareToWrite{image, 8000, 80};
    const auto plan = lumeq::planTransfer(request);
    ASSERT_TRUE(plan.plan) << plan.error;
    std::vector<lumeq::PlannedBlock> blocks;
    std::copy_if(plan.plan->blocks.begin(), plan.plan->blocks.end(), std::back_inserter(blocks),
                 [](const lumeq::PlannedBlock& b) { return b.kind == lumeq::PlannedBlockKind::Firmware; });
    ASSERT_EQ(blocks.size(), 63u);
    EXPECT_EQ(blocks.back().address, 128 * (4 + 62));
    EXPECT_TRUE(std::equal(blocks.back().bytes.begin(), blocks.back().bytes.begin() + 64, image.begin() + 62 * 128));
    EXPECT_TRUE(std::all_of(blocks.back().bytes.begin() + 64, blocks.back().bytes.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(StickEngine, FirmwareRefusalBeepsAndStops) {
    const Bytes image(lumeq::kFirmwareImageSize, 0x3C);
    for (const auto& [frame, refusal, stateAfter] :
         {std::tuple{2, 0x59, 4}, std::tuple{3, 0x5B, 5}, std::tuple{7, 0x59, 3}}) {
        SCOPED_TRACE(frame);
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        const FirmwareRun run = updateWith(rig, image, 500, frame, static_cast<std::uint8_t>(refusal));
        EXPECT_EQ(run.frames.size(), static_cast<std::size_t>(frame));
        EXPECT_TRUE(run.last.beep);
        EXPECT_TRUE(run.last.firmwareFailed);
        EXPECT_TRUE(run.last.frames.empty());
        EXPECT_EQ(run.last.formDisabled, std::optional<bool>(false));
        EXPECT_FALSE(run.last.progressShown.has_value()); // the bar stays on show
        EXPECT_EQ(rig.engine.stickState(), stateAfter);
        EXPECT_FALSE(rig.engine.awaitingAnswer()); // no answer is due: nothing times out
        // Update FW starts again from the first record.
        const StickEffects again = rig.engine.startFirmwareUpdate(image, 500);
        EXPECT_EQ(again.frames.at(0).bytes, run.frames.at(0));
        EXPECT_EQ(rig.engine.progressPosition(), 0);
    }
}

TEST(StickEngine, AcceptedPartInPhaseThreeDoesNothing) {
    const Bytes image(lumeq::kFirmwareImageSize, 0x11);
    Rig rig;
    rig.engine.startFirmwareUpdate(image, 300);
    rig.engine.feed(answer(0x58));
    rig.engine.feed(answer(0x58));
    ASSERT_EQ(rig.engine.stickState(), 5);
    const int address = rig.engine.stickAddr();
    const StickEffects effects = rig.engine.feed(answer(0x58));
    EXPECT_TRUE(effects.frames.empty());
    EXPECT_EQ(rig.engine.stickState(), 5);
    EXPECT_EQ(rig.engine.stickAddr(), address);
    EXPECT_EQ(rig.engine.progressPosition(), 1);
}

// A stick that falls silent: the read, the write and the update each end with the message, the window
// enabled, and the engine no longer waiting; idle, nothing waits.
TEST(StickEngine, MissingAnswerEndsWhatWasGoingOn) {
    const std::optional<std::string> message(lumeq::kStickNoAnswerMessage);
    {
        SCOPED_TRACE("during a read");
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        EXPECT_FALSE(rig.engine.awaitingAnswer());
        rig.engine.reread();
        EXPECT_TRUE(rig.engine.awaitingAnswer());
        const StickEffects missing = rig.engine.answerMissing();
        EXPECT_TRUE(missing.readFailed);
        EXPECT_EQ(missing.caption, "Read Error");
        EXPECT_EQ(missing.message, message);
        EXPECT_EQ(missing.formDisabled, std::optional<bool>(false));
        EXPECT_FALSE(rig.engine.awaitingAnswer());
    }
    {
        SCOPED_TRACE("during a write");
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        rig.engine.store();
        EXPECT_TRUE(rig.engine.awaitingAnswer());
        const StickEffects missing = rig.engine.answerMissing();
        EXPECT_TRUE(missing.writeFailed);
        EXPECT_EQ(missing.caption, "Transfer Error!");
        EXPECT_EQ(missing.message, message);
        EXPECT_FALSE(rig.engine.awaitingAnswer());
    }
    {
        SCOPED_TRACE("during a firmware update");
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        const StickEffects started = rig.engine.startFirmwareUpdate(Bytes(lumeq::kFirmwareImageSize, 1), 1000);
        EXPECT_EQ(started.formDisabled, std::optional<bool>(true));
        EXPECT_TRUE(rig.engine.awaitingAnswer());
        const StickEffects missing = rig.engine.answerMissing();
        EXPECT_TRUE(missing.firmwareFailed);
        EXPECT_EQ(missing.formDisabled, std::optional<bool>(false));
        EXPECT_EQ(missing.progressShown, std::optional<bool>(false));
        EXPECT_EQ(missing.message, message);
        EXPECT_FALSE(rig.engine.awaitingAnswer());
    }
}

TEST(StickEngine, LostStickEndsWhatWasGoingOn) {
    {
        SCOPED_TRACE("during a write");
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        rig.engine.store();
        rig.engine.feed(answer(0x54));
        const StickEffects lost = rig.engine.stickLost();
        EXPECT_TRUE(lost.writeFailed);
        EXPECT_EQ(lost.caption, "Transfer Error!");
        EXPECT_EQ(lost.message, std::optional<std::string>("   USB Error!   "));
        EXPECT_EQ(lost.buttons, StickEffects::Buttons::Show);
        EXPECT_EQ(lost.formDisabled, std::optional<bool>(false));
        EXPECT_EQ(rig.engine.stickState(), 0);
    }
    {
        SCOPED_TRACE("during a firmware update");
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        rig.engine.startFirmwareUpdate(Bytes(lumeq::kFirmwareImageSize, 1), 1000);
        const StickEffects lost = rig.engine.stickLost();
        EXPECT_TRUE(lost.firmwareFailed);
        EXPECT_EQ(lost.progressShown, std::optional<bool>(false));
        EXPECT_EQ(lost.formDisabled, std::optional<bool>(false));
        EXPECT_TRUE(lost.message.has_value());
        EXPECT_EQ(rig.engine.stickState(), 1);
    }
    {
        SCOPED_TRACE("during the first read");
        Rig rig;
        rig.engine.feed(identification(73));
        const StickEffects lost = rig.engine.stickLost();
        EXPECT_TRUE(lost.readFailed);
        EXPECT_EQ(lost.buttons, StickEffects::Buttons::Show);
        EXPECT_FALSE(rig.engine.reading());
    }
}

} // namespace
