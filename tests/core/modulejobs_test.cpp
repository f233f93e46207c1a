#include "link/modulejobs.h"

#include "files/programmedlog.h"
#include "link/simstate.h"
#include "link/simulatedstick.h"
#include "link/slotrecords.h"
#include "model/image.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace {

using lumeq::JobAction;
using lumeq::ModuleJob;
using lumeq::ModuleJobResult;
using lumeq::ProgrammedOutcome;
using lumeq::SimState;

constexpr std::uint16_t kControlBlockAt = 0xFF80;

// A simulated module in a temporary state file, with the log of programmed modules beside it.
class ModuleJobTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        previousLog_ = qgetenv("LUMEQ_LOG_FILE");
        qputenv("LUMEQ_LOG_FILE", logPath().toLocal8Bit());
    }
    void TearDown() override { qputenv("LUMEQ_LOG_FILE", previousLog_); }

    QString logPath() const { return dir_.filePath("programmed.log"); }
    std::string statePath() const { return dir_.filePath("module.ini").toStdString(); }
    std::vector<lumeq::ProgrammedRecord> log() const { return lumeq::readProgrammedLog(logPath()).log.records; }

    // Slot 2 written with the default image named "North", firmware when given.
    lumeq::SlotWriteRequest request(const SimState& state, std::optional<lumeq::FirmwareToWrite> firmware = {}) {
        lumeq::SlotWriteRequest r;
        std::copy_n(state.module.memory.begin() + kControlBlockAt, lumeq::kBlockSize, r.transfer.controlBlock.begin());
        r.transfer.controlBlockRead = true;
        r.transfer.slot = 2;
        r.transfer.image = lumeq::defaultImage();
        r.transfer.info = "North";
        r.transfer.firmware = firmware;
        r.readBack = {5, 20};
        return r;
    }

    ModuleJobResult run(const SimState& state, ModuleJob& job) {
        EXPECT_TRUE(state.save(statePath()));
        stick_ = std::make_unique<lumeq::SimulatedStick>(statePath());
        EXPECT_TRUE(stick_->findHidDevice(lumeq::kStickVendorId, lumeq::kStickProductId));
        return lumeq::runModuleJob(*stick_, job, 64);
    }
    SimState after() const { return *SimState::load(statePath()).state; }

private:
    QTemporaryDir dir_;
    QByteArray previousLog_;
    std::unique_ptr<lumeq::SimulatedStick> stick_;
};

std::vector<std::uint8_t> firmwareImage() {
    std::vector<std::uint8_t> image(lumeq::kFirmwareImageSize, 0xFF);
    for (std::size_t i = 0; i < 300; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    return image;
}

// Each fault of the module against what the job finds and logs.
TEST_F(ModuleJobTest, SlotWriteOutcomes) {
    const std::vector<std::uint8_t> firmware = firmwareImage();
    struct Case {
        const char* name;
        std::function<void(lumeq::SimFaults&)> fault;
        bool withFirmware;
        bool ok;
        std::string message;
        std::string reasonStart; // of the job's reason
        std::string readBackStart;
        std::string logOutcome;
    } cases[] = {
        {"verified", [](lumeq::SimFaults&) {}, false, true, "", "", "identical", "ok"},
        {"verified with firmware", [](lumeq::SimFaults&) {}, true, true, "", "", "identical", "ok"},
        {"slot refused", [](lumeq::SimFaults& f) { f.confirmStatus = 0; }, false, false, "Firmware Write Error!CF",
         "the module answered that the block was not written at address 4000", "",
         "failed: Firmware Write Error!CF (the module answered that the block was not written at address 4000)"},
        {"control block confirmed for another block",
         [](lumeq::SimFaults& f) {
             f.confirmAddressOffset = 0x80;
             f.confirmFaultAddress = kControlBlockAt;
         },
         false, false, "Firmware Write Error!CB", "the module confirmed another block at address FF80", "",
         "failed: Firmware Write Error!CB (the module confirmed another block at address FF80)"},
        {"slot kept differently", [](lumeq::SimFaults& f) { f.storeDiffersAddress = 0x4000; }, false, false,
         "The module did not keep what was written.", "slot M2 was written, but the slot's data differs at byte 2",
         "differs: the slot's data differs at byte 2", "failed: the read-back differs"},
        {"firmware block kept differently", [](lumeq::SimFaults& f) { f.storeDiffersAddress = 0x0280; }, true, false,
         "The module did not keep what was written.",
         "slot M2 was written, but the firmware block at 0x0280 differs at byte 2",
         "differs: the firmware block at 0x0280", "failed: the read-back differs"},
        {"firmware block refused", [](lumeq::SimFaults& f) { f.refuseBlockAddress = 0x0200; }, true, false,
         "Firmware Write Error!FW", "the firmware descriptor keeps its old record", "identical",
         "failed: Firmware Write Error!FW (the firmware descriptor keeps its old record)"},
        {"module silent after the write", [](lumeq::SimFaults& f) { f.noAnswerAfter = 1 + 17 + 17; }, false, false,
         "The write could not be checked: the module could not be read back.",
         "slot M2 was written, but the", "not read back: the",
         "failed: the read-back failed"},
        {"unplugged during the write", [](lumeq::SimFaults& f) { f.unplugAfter = 10; }, false, false,
         "   USB Error!   ", "the stick was unplugged during the write", "",
         "interrupted: the stick was unplugged during the write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(logPath());
        SimState state = SimState::withModule();
        c.fault(state.faults);
        std::optional<lumeq::FirmwareToWrite> fw;
        if (c.withFirmware)
            fw = lumeq::FirmwareToWrite{firmware, 300, 60};
        lumeq::SlotWritePlan planned = lumeq::planSlotWrite(request(state, fw));
        ASSERT_TRUE(planned.job) << planned.error;
        const ModuleJobResult result = run(state, *planned.job);
        EXPECT_EQ(result.ok, c.ok);
        EXPECT_EQ(result.message, c.message);
        EXPECT_TRUE(result.reason.starts_with(c.reasonStart)) << result.reason;
        EXPECT_TRUE(result.record.readBack.starts_with(c.readBackStart)) << result.record.readBack;
        EXPECT_TRUE(result.logError.empty()) << result.logError;
        const auto records = log();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(lumeq::programmedOutcomeText(records[0]), c.logOutcome);
        EXPECT_EQ(records[0].readBack, result.record.readBack);
        EXPECT_EQ(records[0].slot, 2);
        EXPECT_EQ(records[0].name, "North");
        EXPECT_EQ(records[0].firmware, c.withFirmware ? "1.60" : "");
        if (c.ok) {
            EXPECT_EQ(result.storedName, "North   ");
            EXPECT_EQ(result.firmwareBlocks, c.withFirmware ? 3u : 0u);
            EXPECT_EQ(planned.job->blocksDone(), planned.job->blocksTotal());
        } else {
            EXPECT_FALSE(result.detail().empty());
        }
    }
}

// A wait is counted from the request it waits for: reports that are no answer to it (a stick's
// identification, a late answer) never start it afresh, during the confirmation and during the read-back.
TEST_F(ModuleJobTest, UnrelatedReportsDoNotExtendAWait) {
    lumeq::SlotWritePlan planned = lumeq::planSlotWrite(request(SimState::withModule()));
    ModuleJob& job = *planned.job;
    while (job.next() != JobAction::Await)
        job.advance();
    const std::vector<std::uint8_t> identification = {0xB2, 0x5F, 0, 0, 0, 1, 0, 0x48};
    // The confirmation: each report counts as one of the 201 attempts, so 201 of them end the polling.
    int attempts = 0;
    while (job.next() == JobAction::Await) {
        job.received(identification);
        ++attempts;
    }
    EXPECT_EQ(attempts, lumeq::kConfirmationPolls);
    EXPECT_EQ(job.result().message, "Firmware Write Error!CF");
}

TEST_F(ModuleJobTest, ReadBackPassIsNotExtendedByReports) {
    SimState state = SimState::withModule();
    lumeq::SlotWritePlan planned = lumeq::planSlotWrite(request(state));
    ModuleJob& job = *planned.job;
    const std::vector<std::uint8_t> confirmations[] = {{0xC0, 0x33, 0x00, 0x40, 0x01}, {0xC0, 0x33, 0x80, 0xFF, 0x01}};
    for (const auto& confirmation : confirmations) {
        while (job.next() != JobAction::Await)
            job.advance();
        job.received(confirmation);
    }
    // The read-back's request is out; stray reports before the block header leave the pass as it is.
    while (job.next() != JobAction::Await)
        job.advance();
    const unsigned serial = job.waitSerial();
    for (int i = 0; i < 50; ++i)
        job.received(std::vector<std::uint8_t>{0xB2, 0x5F, 0, 0, 0, 1, 0, 0x48});
    EXPECT_EQ(job.waitSerial(), serial);
    // Only the end of passes ends it: 21 passes (0..20) without the control block give up the read-back.
    for (int pass = 0; pass <= 20 && !job.finished(); ++pass) {
        job.waited();
        while (job.next() != JobAction::Await && !job.finished())
            job.advance();
    }
    ASSERT_TRUE(job.finished());
    EXPECT_EQ(job.result().record.readBack, "not read back: the module did not answer the read-back");
}

TEST_F(ModuleJobTest, EraseIsReadBackAndLogged) {
    SimState state = SimState::withModule();
    const std::vector<std::uint8_t> slot = {0x8A, 0x65, 0xC2, 0x00, 0x80, 0x00, 0x00, 0x00};
    state.setModuleBytes(kControlBlockAt, slot);
    const auto job = lumeq::eraseJob({5, 20});
    const ModuleJobResult result = run(state, *job);
    EXPECT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(after().module.memory[kControlBlockAt], 0xFF);
    const auto records = log();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].readBack, "erased");
    EXPECT_EQ(records[0].outcome, ProgrammedOutcome::Ok);
}

TEST_F(ModuleJobTest, PlanRefusalWritesAndLogsNothing) {
    lumeq::SlotWriteRequest r = request(SimState::withModule());
    r.transfer.controlBlockRead = false;
    const lumeq::SlotWritePlan planned = lumeq::planSlotWrite(r);
    EXPECT_FALSE(planned.job);
    EXPECT_FALSE(planned.error.empty());
    EXPECT_TRUE(log().empty());
}

} // namespace
