#include "link/blockwriter.h"
#include "link/frames.h"
#include "link/stickengine.h"
#include "model/crc16.h"
#include "model/image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <numeric>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using lumeq::Bytes;
using lumeq::Image;
using lumeq::StickEffects;
using lumeq::StickEnd;
using lumeq::StickEngine;
using lumeq::StickEvent;
using lumeq::StickState;
using Kind = lumeq::StickEvent::Kind;

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

// The reason of the first event of this kind; nothing when there is none.
std::optional<StickEnd> ended(const StickEffects& effects, Kind kind) {
    const StickEvent* event = effects.find(kind);
    return event ? std::optional<StickEnd>(event->end) : std::nullopt;
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

TEST(StickEngine, IdentificationWhileWaitingPausesThenReadsEveryByteInTwentySixByteFrames) {
    Rig rig;
    EXPECT_EQ(rig.engine.state(), StickState::Waiting);
    const StickEffects first = rig.engine.feed(identification(73));
    EXPECT_EQ(first.pauseMs, 1000);
    EXPECT_EQ(first.events, (std::vector<StickEvent>{{Kind::Identified, StickEnd::None, 0, 0, true}}));
    EXPECT_EQ(rig.engine.state(), StickState::Identified);
    EXPECT_EQ(rig.engine.state(), StickState::Identified);
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
    EXPECT_EQ(last.events, std::vector<StickEvent>{{Kind::MemoryRead}});
    EXPECT_TRUE(full.engine.memoryRead());
    EXPECT_TRUE(last.frames.empty());
    EXPECT_EQ(full.memory, device);
    EXPECT_EQ(lumeq::stickIdentityText(full.engine.stickId()), "USB Stick, Device Nr. 1234ABCD, FW 1.73");
    EXPECT_EQ(full.engine.stickId(), (lumeq::StickId{0x12, 0x34, 0xAB, 0xCD, 0x99, 73}));
}

TEST(StickEngine, IdentificationWhileIdentifiedOnlyRefreshesTheId) {
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    const Image before = rig.memory;
    const StickEffects again = rig.engine.feed(identification(80, {1, 2, 3, 4}));
    EXPECT_TRUE(again.frames.empty());
    EXPECT_EQ(again.pauseMs, 0);
    EXPECT_EQ(again.events, std::vector<StickEvent>{{Kind::Identified}}); // no read started
    EXPECT_EQ(rig.engine.state(), StickState::Identified);
    EXPECT_EQ(rig.engine.stickId(), (lumeq::StickId{1, 2, 3, 4, 0x99, 80}));
    EXPECT_EQ(rig.memory, before);
    // The version shown stays the one of the last complete read.
    EXPECT_EQ(rig.engine.stickFwVersion(), 73);
}

TEST(StickEngine, VersionAndFirmwareQuestion) {
    const std::string question40 = "The Lumeq Firmware version (1.0) and the embedded version (1.72) are different!\rDo "
                                   "you want to update the firmware?";
    const struct {
        const char* name;
        std::uint8_t reported;
        std::optional<std::uint8_t> embedded; // no value: the build carries no firmware image
        bool skipFW;
        const char* identityEnd;
        int stickFwVersion;
        std::optional<std::string> question;
        bool older;
    } cases[] = {
        {"no version: FW ???, version 0, asked, not older", 0xFF, 72, false, ", FW ???", 0, question40, false},
        {"no version, embedded version 0: not asked", 0xFF, 0, false, ", FW ???", 0, std::nullopt, false},
        {"different version, -skipFW: not asked", 70, 72, true, ", FW 1.70", 70, std::nullopt, false},
        {"equal version: not asked", 72, 72, false, ", FW 1.72", 72, std::nullopt, false},
        {"no firmware image in this build: not asked", 70, std::nullopt, false, ", FW 1.70", 70, std::nullopt, false},
        {"newer image: asked, not older", 40, 50, false, ", FW 1.40", 40,
         "The Lumeq Firmware version (1.40) and the embedded version (1.50) are different!\rDo you want to update "
         "the firmware?",
         false},
        {"older image: asked, older", 72, 50, false, ", FW 1.72", 72,
         "The Lumeq Firmware version (1.72) and the embedded version (1.50) are different!\rDo you want to update "
         "the firmware?",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        ASSERT_TRUE(rig.identifyAndRead(deviceMemory(), c.reported).has(Kind::MemoryRead));
        EXPECT_EQ(lumeq::stickIdentityText(rig.engine.stickId()), std::string("USB Stick, Device Nr. 1234ABCD") +
                                                                      c.identityEnd);
        EXPECT_EQ(rig.engine.stickFwVersion(), c.stickFwVersion);
        const auto offer = lumeq::firmwareOffer(rig.engine.stickId(), c.embedded, c.skipFW);
        EXPECT_EQ(offer ? std::optional<std::string>(offer->question) : std::nullopt, c.question);
        if (offer) {
            EXPECT_EQ(offer->older, c.older);
            EXPECT_EQ(offer->detail, c.older ? "The stick has firmware 1.72; updating would install the older version "
                                               "1.50."
                                             : "");
        }
    }
}

TEST(StickEngine, OlderFirmwareOnlyAgainstAReportedVersion) {
    const auto id = [](std::uint8_t version) { return lumeq::StickId{1, 2, 3, 4, 0, version}; };
    EXPECT_TRUE(lumeq::firmwareIsOlder(id(72), 50));
    EXPECT_TRUE(lumeq::firmwareIsOlder(id(51), 50));
    EXPECT_FALSE(lumeq::firmwareIsOlder(id(50), 50));
    EXPECT_FALSE(lumeq::firmwareIsOlder(id(40), 50));
    EXPECT_FALSE(lumeq::firmwareIsOlder(id(0xFF), 50)); // none reported: never a downgrade
    EXPECT_FALSE(lumeq::firmwareIsOlder(id(0xFF), 0));
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
        Rig rig;
        ASSERT_TRUE(rig.identifyAndRead(deviceMemory(), c.version).has(Kind::MemoryRead));
        const auto log = lumeq::stickLogToShow(rig.memory, rig.engine.stickFwVersion(), c.showLog);
        EXPECT_EQ(log.has_value(), c.shown);
        if (c.shown) {
            EXPECT_EQ(*log, (lumeq::StickLogTexts{"10000 min", "300", "60 min", "58 \u00B0C"}));
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

TEST(StickEngine, ReadAnswerWithAWrongCrcIsAskedForAgainThenTheReadFails) {
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
            EXPECT_TRUE(effects.has(Kind::MemoryRead));
            EXPECT_EQ(rig.memory, device);
            continue;
        }
        EXPECT_TRUE(effects.frames.empty());
        EXPECT_EQ(effects.events, (std::vector<StickEvent>{{Kind::ReadFailed, StickEnd::BadCrc}}));
        EXPECT_EQ(rig.engine.state(), StickState::Identified);
        EXPECT_FALSE(rig.engine.reading());
        EXPECT_FALSE(rig.engine.memoryRead());
        // The bad answer changed nothing; ReRead starts over.
        EXPECT_TRUE(std::equal(before.begin() + 26, before.end(), rig.memory.begin() + 26));
        const StickEffects reread = rig.engine.reread();
        EXPECT_EQ(readRequest(reread), (std::pair<std::uint8_t, std::uint8_t>{0, 26}));
        EXPECT_EQ(rig.engine.readRetries(), 0);
    }
}

TEST(StickEngine, ReadAnswerThatDoesNotFitTheReadIsIgnored) {
    const Bytes device = deviceMemory();
    {
        SCOPED_TRACE("outside a read");
        Rig rig;
        rig.identifyAndRead(device, 73);
        const Image before = rig.memory;
        const StickEffects late = rig.engine.feed(readAnswer(Bytes(256, 0x42), 0, 26));
        EXPECT_TRUE(late.frames.empty());
        EXPECT_EQ(late.debugLines, std::vector<std::string>{"Ignored: B2 52"});
        EXPECT_EQ(rig.memory, before);
        // ReRead is not taken while a write is going on.
        rig.engine.store();
        EXPECT_FALSE(rig.engine.rereadAccepted());
        EXPECT_TRUE(rig.engine.reread().frames.empty());
    }
    for (const auto& [name, address, count] :
         {std::tuple{"an earlier address", 0, 26}, std::tuple{"a later address", 78, 26},
          std::tuple{"the right address, more bytes than asked", 52, 30}}) {
        SCOPED_TRACE(name);
        Rig rig;
        rig.engine.feed(identification(73));
        rig.engine.feed(readAnswer(device, 0, 26));
        rig.engine.feed(readAnswer(device, 26, 26)); // the read of 52 is in flight
        const Image before = rig.memory;
        const StickEffects effects = rig.engine.feed(
            readAnswer(Bytes(256, 0x42), static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(count)));
        EXPECT_TRUE(effects.frames.empty());
        EXPECT_TRUE(effects.events.empty());
        EXPECT_EQ(rig.memory, before);
        EXPECT_EQ(rig.engine.stickAddr(), 52);
        EXPECT_TRUE(rig.engine.reading());
        // The answer awaited is still taken.
        EXPECT_EQ(readRequest(rig.engine.feed(readAnswer(device, 52, 26))),
                  (std::pair<std::uint8_t, std::uint8_t>{78, 26}));
    }
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
    EXPECT_EQ(run.last.events, std::vector<StickEvent>{{Kind::WriteDone}});
    EXPECT_EQ(run.last.debugLines, std::vector<std::string>{"EE Write OK"});
    EXPECT_EQ(rig.engine.state(), StickState::Waiting);
    // The next identification reads the memory afresh.
    EXPECT_EQ(readRequest(rig.engine.feed(identification(73))), (std::pair<std::uint8_t, std::uint8_t>{0, 26}));
    EXPECT_FALSE(rig.engine.memoryRead());
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
        SCOPED_TRACE("six refusals of a memory frame: the write fails");
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        const WriteRun run = writeWith(rig, {0x55});
        EXPECT_EQ(run.frames.size(), 6u);
        EXPECT_EQ(run.last.events, (std::vector<StickEvent>{{Kind::WriteFailed, StickEnd::Refused}}));
        EXPECT_EQ(rig.engine.state(), StickState::Waiting);
    }
    {
        SCOPED_TRACE("EE refusals: repeated with a debug line, the sixth ends the write");
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        const WriteRun run = writeWith(rig, {0x54}, {0x57});
        ASSERT_EQ(run.frames.size(), 10u + 6u);
        EXPECT_EQ(ended(run.last, Kind::WriteFailed), StickEnd::Refused);
        Rig repeat;
        repeat.identifyAndRead(deviceMemory(), 73);
        const WriteRun once = writeWith(repeat, {0x54}, {0x57, 0x56});
        EXPECT_TRUE(once.last.has(Kind::WriteDone));
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

// Nothing is written that was not read: before any read, after a read that failed or stopped, and while
// a read goes on, store() sends nothing and says so.
TEST(StickEngine, StoreIsRefusedWithoutACompleteRead) {
    const Bytes device = deviceMemory();
    const struct {
        const char* name;
        std::function<void(Rig&)> before;
    } cases[] = {
        {"never identified", [](Rig&) {}},
        {"identified, the read under way", [](Rig& r) { r.engine.feed(identification(73)); }},
        {"half the memory read",
         [&device](Rig& r) {
             r.engine.feed(identification(73));
             for (int a = 0; a < 104; a += 26)
                 r.engine.feed(readAnswer(device, static_cast<std::uint8_t>(a), 26));
         }},
        {"six answers with a wrong CRC at 52",
         [&device](Rig& r) {
             r.engine.feed(identification(73));
             r.engine.feed(readAnswer(device, 0, 26));
             r.engine.feed(readAnswer(device, 26, 26));
             for (int i = 0; i < 6; ++i)
                 r.engine.feed(readAnswer(device, 52, 26, false));
         }},
        {"an answer lost at 104",
         [&device](Rig& r) {
             r.engine.feed(identification(73));
             for (int a = 0; a < 104; a += 26)
                 r.engine.feed(readAnswer(device, static_cast<std::uint8_t>(a), 26));
             r.engine.answerMissing();
         }},
        {"a ReRead that failed after a complete read",
         [&device](Rig& r) {
             r.identifyAndRead(device, 73);
             r.engine.reread();
             r.engine.stickLost();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        c.before(rig);
        const StickState state = rig.engine.state();
        EXPECT_FALSE(rig.engine.memoryRead());
        const StickEffects refused = rig.engine.store();
        EXPECT_TRUE(refused.frames.empty());
        EXPECT_EQ(refused.events, (std::vector<StickEvent>{{Kind::WriteFailed, StickEnd::NotRead}}));
        EXPECT_EQ(rig.engine.state(), state);
    }
    // Once a read has completed, the same engine writes.
    Rig rig;
    rig.identifyAndRead(device, 73);
    EXPECT_EQ(rig.engine.store().frames.size(), 1u);
    EXPECT_EQ(rig.engine.state(), StickState::Writing);
}

TEST(StickEngine, AnswersAndReportsThatOnlyLog) {
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    EXPECT_EQ(rig.engine.feed(answer(0x53)).debugLines, std::vector<std::string>{"RET: 53"});
    Bytes foreign(8, 0x00);
    foreign[0] = 0x07;
    EXPECT_EQ(rig.engine.feed(foreign).debugLines, std::vector<std::string>{"?: 07"});
}

// Where the engine is, and which answers fit the frame in flight there.
struct Situation {
    const char* name;
    std::function<void(Rig&)> reach;
    std::vector<std::uint8_t> fitting;
};

std::vector<Situation> situations() {
    const Bytes image(lumeq::kFirmwareImageSize, 0x3C);
    const auto read = [](Rig& r) { r.identifyAndRead(deviceMemory(), 73); };
    return {
        {"idle after a read", read, {}},
        {"first write memory frame in flight",
         [read](Rig& r) {
             read(r);
             r.engine.store();
         },
         {0x54, 0x55}},
        {"write memory frame at 100 in flight, one refusal behind it",
         [read](Rig& r) {
             read(r);
             r.engine.store();
             for (int i = 0; i < 4; ++i)
                 r.engine.feed(answer(0x54));
             r.engine.feed(answer(0x55));
         },
         {0x54, 0x55}},
        {"first write EE frame in flight",
         [read](Rig& r) {
             read(r);
             r.engine.store();
             for (int i = 0; i < 10; ++i)
                 r.engine.feed(answer(0x54));
         },
         {0x56, 0x57}},
        {"firmware phase 1",
         [read, image](Rig& r) {
             read(r);
             r.engine.startFirmwareUpdate(image, 500);
         },
         {0x58, 0x59}},
        {"firmware phase 2 of the second record",
         [read, image](Rig& r) {
             read(r);
             r.engine.startFirmwareUpdate(image, 500);
             for (const std::uint8_t code : {0x58, 0x58, 0x5A, 0x58})
                 r.engine.feed(answer(code));
         },
         {0x58, 0x59}},
        {"firmware phase 3",
         [read, image](Rig& r) {
             read(r);
             r.engine.startFirmwareUpdate(image, 500);
             r.engine.feed(answer(0x58));
             r.engine.feed(answer(0x58));
         },
         {0x5A, 0x5B}},
        {"after a refused update",
         [read, image](Rig& r) {
             read(r);
             r.engine.startFirmwareUpdate(image, 500);
             r.engine.feed(answer(0x59));
         },
         {}},
        {"after a completed write, waiting",
         [](Rig& r) {
             r.identifyAndRead(deviceMemory(), 73);
             writeWith(r, {0x54});
         },
         {}},
    };
}

// An answer that does not fit the frame in flight moves nothing: no state, address, retry count or record
// changes, nothing is sent, and the debug memo says it was ignored.
TEST(StickEngine, AnswersThatDoNotFitTheFrameInFlightAreIgnored) {
    for (const Situation& situation : situations()) {
        for (std::uint8_t code = 0x54; code <= 0x5B; ++code) {
            if (std::find(situation.fitting.begin(), situation.fitting.end(), code) != situation.fitting.end())
                continue;
            SCOPED_TRACE(std::string(situation.name) + ", B2 " + lumeq::hexByte(code));
            Rig rig;
            situation.reach(rig);
            const auto state = rig.engine.state();
            const int address = rig.engine.stickAddr();
            const int retries = rig.engine.retryCount();
            const int position = rig.engine.progressPosition();
            const bool ee = rig.engine.writingEe();
            const Image memory = rig.memory;
            const StickEffects effects = rig.engine.feed(answer(code));
            EXPECT_TRUE(effects.frames.empty());
            EXPECT_TRUE(effects.events.empty());
            EXPECT_EQ(effects.debugLines, std::vector<std::string>{"Ignored: B2 " + lumeq::hexByte(code)});
            EXPECT_EQ(rig.engine.state(), state);
            EXPECT_EQ(rig.engine.stickAddr(), address);
            EXPECT_EQ(rig.engine.retryCount(), retries);
            EXPECT_EQ(rig.engine.progressPosition(), position);
            EXPECT_EQ(rig.engine.writingEe(), ee);
            EXPECT_EQ(rig.memory, memory);
        }
    }
}

// A stray B2 56 while the first write memory frame is unanswered, then acceptances: the write still sends
// bytes 0..249 in ten frames and 0..119 in ten EE frames, and nothing past them.
TEST(StickEngine, StrayEeAcceptanceDuringTheMemoryFramesChangesNothing) {
    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    std::vector<Bytes> frames{rig.engine.store().frames.at(0).bytes};
    EXPECT_TRUE(rig.engine.feed(answer(0x56)).frames.empty());
    for (int guard = 0; guard < 40; ++guard) {
        const StickEffects effects = rig.engine.feed(answer(frames.back()[2] == 0x04 ? 0x54 : 0x56));
        if (effects.frames.empty()) {
            EXPECT_TRUE(effects.has(Kind::WriteDone));
            break;
        }
        frames.push_back(effects.frames.at(0).bytes);
    }
    ASSERT_EQ(frames.size(), 20u);
    for (std::size_t i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(frames[i][2], 0x04);
        EXPECT_EQ(frames[i][5], 25 * i);
        EXPECT_EQ(frames[10 + i][2], 0x05);
        EXPECT_EQ(frames[10 + i][5], 12 * i);
    }
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
        if (const StickEvent* progress = effects.find(Kind::FirmwareProgress))
            run.positions.push_back(progress->done);
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
    EXPECT_EQ(run.first.events, (std::vector<StickEvent>{{Kind::FirmwareStarted, StickEnd::None, 0, 112}}));
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
    // Completion: back to identified, the reset frame.
    EXPECT_EQ(run.last.events, (std::vector<StickEvent>{{Kind::FirmwareDone, StickEnd::None, 112, 112}}));
    EXPECT_EQ(rig.engine.state(), StickState::Identified);
    ASSERT_EQ(run.last.frames.size(), 1u);
    EXPECT_EQ(run.last.frames[0].bytes, (Bytes{0xCA, 0xC5, 0x0E}));
    EXPECT_EQ(run.last.debugLines, (std::vector<std::string>{"FW Update done.", "Send: Reset!"}));

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

// The records the update's length needs, and never a byte of the buffer past the 12288-byte image: a
// longest image's last record ends in 0xFF even when the caller's buffer goes on.
TEST(StickEngine, FirmwareRecordsStopAtTheLengthAndTheImage) {
    const struct {
        std::size_t length;
        std::size_t records;
    } cases[] = {{1, 1}, {72, 1}, {73, 2}, {12287, 171}, {12288, 171}, {20000, 171}};
    const Bytes longer(lumeq::kFirmwareImageSize + 100, 0x11);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        const FirmwareRun run = updateWith(rig, longer, c.length);
        ASSERT_EQ(run.frames.size(), 3 * c.records);
        EXPECT_TRUE(run.last.has(Kind::FirmwareDone));
        Bytes carried;
        for (const Bytes& frame : run.frames)
            carried.insert(carried.end(), frame.begin() + 6, frame.begin() + (frame[5] == 3 ? 26 : 32));
        ASSERT_EQ(carried.size(), 72 * c.records);
        for (std::size_t i = 0; i < carried.size(); ++i)
            ASSERT_EQ(carried[i], i < lumeq::kFirmwareImageSize ? 0x11 : 0xFF) << "byte " << i;
    }
    Rig empty;
    empty.identifyAndRead(deviceMemory(), 73);
    const StickEffects none = empty.engine.startFirmwareUpdate(longer, 0);
    EXPECT_TRUE(none.frames.empty());
    EXPECT_EQ(none.events, (std::vector<StickEvent>{{Kind::FirmwareStopped, StickEnd::NoFirmware}}));
    EXPECT_EQ(empty.engine.state(), StickState::Identified);
}

// An early B2 5A (while phase 1 or 2 is in flight) shifts nothing: the update sends the same records as
// without it and ends after the last one.
TEST(StickEngine, EarlyRecordAnswerDuringTheUpdateChangesNothing) {
    Bytes image(lumeq::kFirmwareImageSize, 0xFF);
    for (std::size_t i = 0; i < 700; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    Rig plain;
    plain.identifyAndRead(deviceMemory(), 73);
    const FirmwareRun expected = updateWith(plain, image, 700);

    Rig rig;
    rig.identifyAndRead(deviceMemory(), 73);
    std::vector<Bytes> frames{rig.engine.startFirmwareUpdate(image, 700).frames.at(0).bytes};
    for (int guard = 0; guard < 200; ++guard) {
        if (frames.back()[5] != 3) {
            EXPECT_TRUE(rig.engine.feed(answer(0x5A)).frames.empty()); // early: ignored
        }
        const StickEffects effects = rig.engine.feed(answer(frames.back()[5] == 3 ? 0x5A : 0x58));
        if (effects.has(Kind::FirmwareDone))
            break;
        frames.push_back(effects.frames.at(0).bytes);
    }
    EXPECT_EQ(frames, expected.frames);
    EXPECT_EQ(rig.engine.progressPosition(), 10);
    EXPECT_EQ(rig.engine.state(), StickState::Identified);
}

TEST(StickEngine, RefusedFirmwareEndsTheUpdateAndNothingButUpdateFwResumesIt) {
    const Bytes image(lumeq::kFirmwareImageSize, 0x3C);
    for (const auto& [frame, refusal] : {std::tuple{2, 0x59}, std::tuple{3, 0x5B}, std::tuple{7, 0x59}}) {
        SCOPED_TRACE(frame);
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        const FirmwareRun run = updateWith(rig, image, 500, frame, static_cast<std::uint8_t>(refusal));
        EXPECT_EQ(run.frames.size(), static_cast<std::size_t>(frame));
        EXPECT_EQ(run.last.events, (std::vector<StickEvent>{{Kind::FirmwareStopped, StickEnd::Refused,
                                                              frame / 3, 7}}));
        EXPECT_TRUE(run.last.frames.empty());
        EXPECT_EQ(rig.engine.state(), StickState::Identified);
        EXPECT_FALSE(rig.engine.awaitingAnswer()); // no answer is due: nothing times out
        // Later acceptances send nothing more.
        for (const std::uint8_t code : {0x58, 0x5A, 0x58, 0x58, 0x5A})
            EXPECT_TRUE(rig.engine.feed(answer(code)).frames.empty());
        EXPECT_EQ(rig.engine.state(), StickState::Identified);
        // Update FW starts again from the first record.
        const StickEffects again = rig.engine.startFirmwareUpdate(image, 500);
        EXPECT_EQ(again.frames.at(0).bytes, run.frames.at(0));
        EXPECT_EQ(rig.engine.progressPosition(), 0);
        EXPECT_EQ(rig.engine.state(), StickState::FirmwarePhase1);
    }
}

TEST(StickEngine, BackToWaitingOn51EndsWhatWasGoingOn) {
    const struct {
        const char* name;
        std::function<void(Rig&)> reach;
        std::vector<StickEvent> events;
    } cases[] = {
        {"idle", [](Rig&) {}, {{Kind::BackToWaiting}}},
        {"writing", [](Rig& r) { r.engine.store(); },
         {{Kind::WriteFailed, StickEnd::BackToWaiting}, {Kind::BackToWaiting}}},
        {"updating", [](Rig& r) { r.engine.startFirmwareUpdate(Bytes(100, 1), 100); },
         {{Kind::FirmwareStopped, StickEnd::BackToWaiting, 0, 2}, {Kind::BackToWaiting}}},
        {"reading", [](Rig& r) { r.engine.reread(); }, {{Kind::ReadFailed, StickEnd::BackToWaiting}, {Kind::BackToWaiting}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.identifyAndRead(deviceMemory(), 73);
        c.reach(rig);
        const StickEffects effects = rig.engine.feed(answer(0x51));
        EXPECT_EQ(effects.events, c.events);
        EXPECT_TRUE(effects.frames.empty());
        EXPECT_EQ(rig.engine.state(), StickState::Waiting);
        EXPECT_FALSE(rig.engine.awaitingAnswer());
        EXPECT_EQ(rig.engine.feed(identification(73)).pauseMs, 1000);
    }
}

// A stick that falls silent or is pulled out: the read, the write and the update each end with the reason,
// and the engine no longer waits; idle, nothing happens.
TEST(StickEngine, MissingAnswerOrLostStickEndsWhatWasGoingOn) {
    const struct {
        const char* name;
        std::function<void(Rig&)> reach;
        Kind kind;
        StickState after;
    } cases[] = {
        {"a ReRead", [](Rig& r) { r.engine.reread(); }, Kind::ReadFailed, StickState::Identified},
        {"a write", [](Rig& r) { r.engine.store(); }, Kind::WriteFailed, StickState::Waiting},
        {"a write, past its first frame",
         [](Rig& r) {
             r.engine.store();
             r.engine.feed(answer(0x54));
         },
         Kind::WriteFailed, StickState::Waiting},
        {"an update", [](Rig& r) { r.engine.startFirmwareUpdate(Bytes(lumeq::kFirmwareImageSize, 1), 1000); },
         Kind::FirmwareStopped, StickState::Identified},
    };
    for (const StickEnd reason : {StickEnd::NoAnswer, StickEnd::Lost}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (reason == StickEnd::Lost ? ", lost" : ", no answer"));
            Rig rig;
            rig.identifyAndRead(deviceMemory(), 73);
            EXPECT_FALSE(rig.engine.awaitingAnswer());
            EXPECT_TRUE((reason == StickEnd::Lost ? rig.engine.stickLost() : rig.engine.answerMissing()).events.empty());
            c.reach(rig);
            EXPECT_TRUE(rig.engine.awaitingAnswer());
            const StickEffects effects = reason == StickEnd::Lost ? rig.engine.stickLost() : rig.engine.answerMissing();
            ASSERT_EQ(effects.events.size(), 1u);
            EXPECT_EQ(effects.events[0].kind, c.kind);
            EXPECT_EQ(effects.events[0].end, reason);
            EXPECT_TRUE(effects.frames.empty());
            EXPECT_FALSE(rig.engine.awaitingAnswer());
            EXPECT_EQ(rig.engine.state(), c.after);
        }
    }
    {
        SCOPED_TRACE("during the first read: ReRead works afterwards");
        Rig rig;
        rig.engine.feed(identification(73));
        EXPECT_EQ(ended(rig.engine.answerMissing(), Kind::ReadFailed), StickEnd::NoAnswer);
        EXPECT_FALSE(rig.engine.reading());
        EXPECT_TRUE(rig.engine.rereadAccepted());
        EXPECT_EQ(readRequest(rig.engine.reread()), (std::pair<std::uint8_t, std::uint8_t>{0, 26}));
    }
}

} // namespace
