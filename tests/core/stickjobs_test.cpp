// The stick's write jobs driven answer by answer, as the window and lumeq-cli drive them: the record each
// hands to its sink (once), with outcome, reason and read-back.

#include "link/stickjobs.h"

#include "model/crc16.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

using lumeq::Bytes;
using lumeq::Image;
using lumeq::ProgrammedOutcome;
using lumeq::ProgrammedRecord;
using lumeq::StickEffects;
using lumeq::StickEngine;
using lumeq::StickInterruption;
using lumeq::StickMemoryWrite;
using Kind = lumeq::StickEvent::Kind;

namespace {

Bytes answer(std::uint8_t code) {
    Bytes report(32, 0x00);
    report[0] = 0xB2;
    report[1] = code;
    return report;
}

Bytes identification() {
    Bytes report = answer(0x5F);
    report[7] = 73;
    return report;
}

// A stick's memory behind the engine: answers read frames from `device` and takes accepted write frames
// into it, as the stick does.
struct Stick {
    Bytes device = Bytes(256, 0x00);
    std::function<void(Bytes&, std::uint8_t address)> storeFault; // changes what a write memory frame stores

    // The answer to a frame; nothing for the reset frame.
    std::optional<Bytes> answerTo(const Bytes& frame) {
        switch (frame[2]) {
        case 0x02: {
            const std::uint8_t address = frame[3], count = frame[4];
            Bytes covered = {address, count};
            covered.insert(covered.end(), device.begin() + address, device.begin() + address + count);
            const std::uint16_t crc = lumeq::crc16(covered);
            Bytes report = {0xB2, 0x52, static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)};
            report.insert(report.end(), covered.begin(), covered.end());
            report.resize(64, 0x00);
            return report;
        }
        case 0x04:
        case 0x05: {
            Bytes data(frame.begin() + 7, frame.begin() + 7 + frame[6]);
            if (frame[2] == 0x04 && storeFault)
                storeFault(data, frame[5]);
            std::copy(data.begin(), data.end(), device.begin() + frame[5]);
            return answer(frame[2] == 0x04 ? 0x54 : 0x56);
        }
        case 0x08:
            return answer(frame[5] == 3 ? 0x5A : 0x58);
        default:
            return std::nullopt;
        }
    }
};

struct Rig {
    Image memory = Image(lumeq::kImageSize, 0x00);
    StickEngine engine{memory, {}};
    Stick stick;
    std::vector<ProgrammedRecord> logged;
    lumeq::StickWriteJob::Sink sink() {
        return [this](const ProgrammedRecord& record) { logged.push_back(record); };
    }

    // Sends the frames and feeds the answers until nothing more is sent or `answers` is used up; a 0 in
    // `codes` lets the stick answer, any other code is sent instead of its answer.
    void run(StickEffects effects, lumeq::StickWriteJob& job, std::vector<std::uint8_t> codes = {}) {
        std::size_t n = 0;
        for (int guard = 0; guard < 2000 && !effects.frames.empty(); ++guard) {
            const Bytes frame = effects.frames.front().bytes;
            std::optional<Bytes> reply = stick.answerTo(frame);
            if (n < codes.size() && codes[n++] != 0)
                reply = answer(codes[n - 1]);
            if (!reply)
                break;
            effects = engine.feed(*reply);
            job.observe(effects);
        }
    }
    void readFirst() {
        StickEffects effects = engine.feed(identification());
        while (!effects.frames.empty())
            effects = engine.feed(*stick.answerTo(effects.frames.front().bytes));
        ASSERT_TRUE(effects.has(Kind::MemoryRead));
    }
    // The stick starts afresh after the write: its identification, then the read the engine asks for.
    void restart(lumeq::StickWriteJob& job) {
        StickEffects effects = engine.feed(identification());
        job.observe(effects);
        run(effects, job);
    }
};

TEST(StickJobs, MemoryWriteReadsBackAndLogsOnce) {
    const struct {
        const char* name;
        std::function<void(Bytes&, std::uint8_t)> storeFault;
        ProgrammedOutcome outcome;
        std::string reason;
        std::string readBack;
        std::string message;
    } cases[] = {
        {"stored as sent", {}, ProgrammedOutcome::Ok, "", "identical", ""},
        // (Bytes 0..119 go out twice, in write memory and in write EE frames: a byte past them is kept as the
        // write memory frame left it.)
        {"byte 130 stored otherwise",
         [](Bytes& data, std::uint8_t address) {
             if (address == 125)
                 data[5] = 0x00;
         },
         ProgrammedOutcome::Failed, "the read-back differs", "differs: byte 130 reads back as 00 instead of 55",
         "the memory was written, but byte 130 reads back as 00 instead of 55"},
        {"a log byte stored otherwise: not compared",
         [](Bytes& data, std::uint8_t address) {
             if (address == 225)
                 data[24] ^= 0xFF; // byte 249
         },
         ProgrammedOutcome::Ok, "", "identical", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.readFirst();
        rig.stick.storeFault = c.storeFault;
        rig.memory[130] = 0x55;
        StickMemoryWrite job(rig.engine, rig.memory, "North", rig.sink());
        rig.run(job.start(), job);
        EXPECT_EQ(job.stage(), StickMemoryWrite::Stage::Restarting);
        EXPECT_TRUE(job.awaitingRestart());
        EXPECT_TRUE(rig.logged.empty()); // nothing is logged before the read-back
        rig.restart(job);
        ASSERT_TRUE(job.finished());
        ASSERT_EQ(rig.logged.size(), 1u);
        const ProgrammedRecord& record = rig.logged[0];
        EXPECT_EQ(record.mode, lumeq::ProgrammedMode::Stick);
        EXPECT_EQ(record.slot, 0);
        EXPECT_EQ(record.name, "North");
        EXPECT_EQ(record.crc, lumeq::configurationCrc(job.written()));
        EXPECT_TRUE(record.firmware.empty());
        EXPECT_EQ(record.outcome, c.outcome);
        EXPECT_EQ(record.reason, c.reason);
        EXPECT_EQ(record.readBack, c.readBack);
        EXPECT_EQ(job.message(), c.message);
        // Whatever follows changes the record no more.
        job.interrupt(StickInterruption::Closed);
        EXPECT_EQ(rig.logged.size(), 1u);
    }
}

TEST(StickJobs, MemoryWriteThatDoesNotGoThrough) {
    const struct {
        const char* name;
        std::function<void(Rig&, StickMemoryWrite&)> spoil;
        ProgrammedOutcome outcome;
        std::string reason;
        std::string readBack;
    } cases[] = {
        {"six refusals",
         [](Rig& r, StickMemoryWrite& job) { r.run(job.start(), job, {0x55, 0x55, 0x55, 0x55, 0x55, 0x55}); },
         ProgrammedOutcome::Failed, "the stick refused a frame six times", ""},
        {"no answer",
         [](Rig& r, StickMemoryWrite& job) {
             job.start();
             job.observe(r.engine.answerMissing());
         },
         ProgrammedOutcome::Failed, "the stick stopped answering", ""},
        {"unplugged",
         [](Rig& r, StickMemoryWrite& job) {
             job.start();
             job.observe(r.engine.stickLost());
         },
         ProgrammedOutcome::Interrupted, "the stick was unplugged during the write", ""},
        {"B2 51 half-way",
         [](Rig& r, StickMemoryWrite& job) {
             job.start();
             job.observe(r.engine.feed(answer(0x51)));
         },
         ProgrammedOutcome::Failed, "the stick started afresh before the write was done", ""},
        {"the window closed",
         [](Rig&, StickMemoryWrite& job) {
             job.start();
             job.interrupt(StickInterruption::Closed);
         },
         ProgrammedOutcome::Interrupted, "the program was closed before the stick answered", ""},
        {"another write began",
         [](Rig&, StickMemoryWrite& job) {
             job.start();
             job.interrupt(StickInterruption::AnotherWrite);
         },
         ProgrammedOutcome::Interrupted, "another write began before the stick answered", ""},
        {"no identification after the write",
         [](Rig& r, StickMemoryWrite& job) {
             r.run(job.start(), job);
             job.restartMissing();
         },
         ProgrammedOutcome::Failed, "the read-back failed", "not read back"},
        {"the read-back lost",
         [](Rig& r, StickMemoryWrite& job) {
             r.run(job.start(), job);
             job.observe(r.engine.feed(identification()));
             job.observe(r.engine.answerMissing());
         },
         ProgrammedOutcome::Failed, "the read-back failed", "not read back"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.readFirst();
        StickMemoryWrite job(rig.engine, rig.memory, "", rig.sink());
        c.spoil(rig, job);
        ASSERT_TRUE(job.finished());
        ASSERT_EQ(rig.logged.size(), 1u);
        EXPECT_EQ(rig.logged[0].outcome, c.outcome);
        EXPECT_EQ(rig.logged[0].reason, c.reason);
        EXPECT_EQ(rig.logged[0].readBack, c.readBack);
        EXPECT_FALSE(job.succeeded());
        EXPECT_FALSE(job.message().empty());
    }
}

TEST(StickJobs, MemoryWriteWithoutACompleteReadSendsNothing) {
    Rig rig;
    rig.engine.feed(identification()); // the read has only begun
    StickMemoryWrite job(rig.engine, rig.memory, "", rig.sink());
    const StickEffects effects = job.start();
    EXPECT_TRUE(effects.frames.empty());
    ASSERT_TRUE(job.finished());
    EXPECT_EQ(rig.logged.at(0).outcome, ProgrammedOutcome::Failed);
    EXPECT_EQ(rig.logged.at(0).reason, "the stick's memory had not been read completely");
    EXPECT_EQ(job.message(), "Transfer Error!: the stick's memory had not been read completely");
}

TEST(StickJobs, FirmwareUpdateLogsTheImagesVersion) {
    const struct {
        const char* name;
        std::function<void(Rig&, lumeq::StickFirmwareUpdate&)> drive;
        ProgrammedOutcome outcome;
        std::string reason;
    } cases[] = {
        {"every record taken", [](Rig& r, lumeq::StickFirmwareUpdate& job) { r.run(job.start(), job); },
         ProgrammedOutcome::Ok, ""},
        {"refused in record 2", [](Rig& r, lumeq::StickFirmwareUpdate& job) { r.run(job.start(), job, {0, 0, 0, 0x59}); },
         ProgrammedOutcome::Failed, "the stick refused the firmware"},
        {"no answer",
         [](Rig& r, lumeq::StickFirmwareUpdate& job) {
             job.start();
             job.observe(r.engine.answerMissing());
         },
         ProgrammedOutcome::Failed, "the stick stopped answering during the firmware update"},
        {"unplugged",
         [](Rig& r, lumeq::StickFirmwareUpdate& job) {
             job.start();
             job.observe(r.engine.stickLost());
         },
         ProgrammedOutcome::Interrupted, "the stick was unplugged during the firmware update"},
        {"unplugged while no answer was due",
         [](Rig&, lumeq::StickFirmwareUpdate& job) {
             job.start();
             job.interrupt(StickInterruption::Unplugged);
         },
         ProgrammedOutcome::Interrupted, "the stick was unplugged during the firmware update"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.readFirst();
        lumeq::StickFirmwareUpdate job(rig.engine, Bytes(lumeq::kFirmwareImageSize, 0x3C), 500, 50, rig.sink());
        EXPECT_EQ(job.records(), 7);
        c.drive(rig, job);
        ASSERT_TRUE(job.finished());
        ASSERT_EQ(rig.logged.size(), 1u);
        const ProgrammedRecord& record = rig.logged[0];
        EXPECT_EQ(record.firmware, "1.50");
        EXPECT_FALSE(record.crc.has_value());
        EXPECT_TRUE(record.readBack.empty()); // a firmware update is not read back
        EXPECT_EQ(record.outcome, c.outcome);
        EXPECT_EQ(record.reason, c.reason);
    }
}

} // namespace
