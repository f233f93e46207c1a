#include "link/modulejobs.h"

#include "link/stickaccess.h"
#include "model/hex.h"

#include <algorithm>
#include <chrono>

namespace lumeq {

namespace {

constexpr std::size_t kMostDifferences = 8;
constexpr const char* kCheckConnection =
    "Check that the module sits firmly on the stick and that the stick is plugged in, then try again.";
constexpr const char* kTryAgain = "The configuration is still in the window: try Transfer again, or save it.";
constexpr const char* kNotKeptMessage = "The module did not keep what was written.";
constexpr const char* kNotCheckedMessage = "The write could not be checked: the module could not be read back.";
constexpr const char* kEraseNotCheckedMessage = "The erase could not be checked.";

std::string upperFirst(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

std::string slotName(int slot) {
    return "M" + std::to_string(slot);
}

// The first byte where `read` differs from `written`: "... differs at byte 2: written 00, read back FF".
std::optional<std::string> firstDifference(const Block& written, const Block& read, const std::string& what) {
    for (std::size_t i = 0; i < kBlockSize; ++i) {
        if (written[i] != read[i])
            return what + " differs at byte " + std::to_string(i) + ": written " + hexByte(written[i]) +
                   ", read back " + hexByte(read[i]);
    }
    return std::nullopt;
}

// The reads of a read-back: start-up's read of the control block and every filled slot, then single
// blocks, each waiting in passes of 50 ms.
class ReadBack {
public:
    // Reads the whole module (control block and filled slots), then each block of `blocks`.
    ReadBack(std::vector<std::uint16_t> blocks, ReadBackTiming timing)
        : blocks_(std::move(blocks)), timing_(timing), sequence_(timing.lastPass) {}
    int passMs() const { return timing_.passMs; }

    // The first request.
    Bytes start() { return sequence_.start(); }

    struct Step {
        bool discard = false;
        Bytes request; // to write next; empty: none
    };
    Step received(std::span<const std::uint8_t> report) {
        if (!sequence_.finished()) {
            sequence_.reader().receive(report);
            return follow(sequence_.afterReport());
        }
        if (!reader_.running())
            return {};
        reader_.receive(report);
        return reader_.running() ? Step{} : blockEnded();
    }
    Step passEnded() {
        if (!sequence_.finished())
            return follow(sequence_.endOfPass());
        if (!reader_.running())
            return {};
        if (++pass_ <= timing_.lastPass)
            return {};
        reader_.abandon();
        return blockEnded();
    }

    bool finished() const { return sequence_.finished() && next_ >= blocks_.size() && !reader_.running(); }
    const ModuleContents& module() const { return sequence_.contents(); }
    // The blocks read, in the order asked for; no value where one did not arrive complete.
    const std::vector<std::optional<Block>>& blocks() const { return read_; }
    int blocksRead() const { return static_cast<int>(read_.size()); }

private:
    Step follow(const ModuleReadSequence::Step& step) {
        if (!step.finished)
            return {step.discardWaiting, step.request};
        // The whole module is in; a module that did not answer gets no further request.
        if (sequence_.contents().outcome != ModuleReadOutcome::Module)
            next_ = blocks_.size();
        return nextBlock(false);
    }
    Step blockEnded() {
        read_.push_back(reader_.blockComplete() ? std::optional<Block>(reader_.sendBlock()) : std::nullopt);
        return nextBlock(!reader_.blockComplete());
    }
    Step nextBlock(bool discard) {
        if (next_ >= blocks_.size())
            return {};
        pass_ = 0;
        return {discard, reader_.readDataBlock(blocks_[next_++])};
    }

    std::vector<std::uint16_t> blocks_;
    ReadBackTiming timing_;
    ModuleReadSequence sequence_;
    BlockReader reader_;
    std::size_t next_ = 0;
    int pass_ = 0;
    std::vector<std::optional<Block>> read_;
};

// The common course of a job: a queue of reports to write (with the ignored read after a write request),
// then waits.
class JobBase : public ModuleJob {
public:
    JobAction next() const override {
        if (done_)
            return JobAction::Done;
        if (discard_)
            return JobAction::DiscardWaiting;
        if (ignoreRead_)
            return JobAction::TakeAndIgnore;
        if (!toWrite_.empty())
            return JobAction::Write;
        return JobAction::Await;
    }
    const Bytes& reportToWrite() const override { return toWrite_.empty() ? empty_ : toWrite_.front(); }
    void advance() override {
        switch (next()) {
        case JobAction::DiscardWaiting:
            discard_ = false;
            break;
        case JobAction::TakeAndIgnore:
            ignoreRead_ = false;
            break;
        case JobAction::Write:
            toWrite_.erase(toWrite_.begin());
            if (ignoreAfterFirst_) {
                ignoreAfterFirst_ = false;
                ignoreRead_ = true;
            }
            if (toWrite_.empty())
                ++serial_; // the wait for the answer counts from the last report written
            break;
        default:
            break;
        }
    }
    int awaitMs() const override { return awaitMs_; }
    unsigned waitSerial() const override { return serial_; }
    void lost() override {
        if (done_)
            return;
        endLost();
    }
    void interrupt(const std::string& why) override {
        if (done_)
            return;
        endInterrupted({}, why, {});
    }

protected:
    // Ends the job as cut short from outside, logged "interrupted: `reason`".
    void endInterrupted(std::string message, const std::string& reason, std::string advice) {
        result_.message = std::move(message);
        result_.reason = reason;
        result_.advice = std::move(advice);
        result_.record.outcome = ProgrammedOutcome::Interrupted;
        result_.record.reason = reason;
        finishLogged();
    }
    // Reports to write next; `ignoreOneRead`: one read is taken and ignored after the first of them (the
    // write block request).
    void queue(std::vector<Bytes> reports, bool ignoreOneRead, int awaitMs) {
        toWrite_ = std::move(reports);
        ignoreAfterFirst_ = ignoreOneRead;
        awaitMs_ = awaitMs;
        if (toWrite_.empty())
            ++serial_;
    }
    void discardWaiting() { discard_ = true; }
    // After a report or the end of a pass of a read-back: the next request, or the next pass. True when the
    // read-back has finished. A report never makes a pass longer: only the end of a pass starts the next.
    bool followReadBack(const ReadBack& readBack, const ReadBack::Step& step, bool passEnded) {
        if (step.discard)
            discardWaiting();
        if (!step.request.empty()) {
            queue({step.request}, false, readBack.passMs());
            return false;
        }
        if (readBack.finished())
            return true;
        if (passEnded)
            nextWait();
        return false;
    }
    // A new wait of the same kind (the next poll, the next pass).
    void nextWait() { ++serial_; }
    void finishLogged() {
        done_ = true;
        logRecord();
    }
    bool done() const { return done_; }
    virtual void endLost() = 0;

private:
    std::vector<Bytes> toWrite_;
    bool ignoreAfterFirst_ = false;
    bool ignoreRead_ = false;
    bool discard_ = false;
    bool done_ = false;
    int awaitMs_ = kConfirmationPollMs;
    unsigned serial_ = 0;
    Bytes empty_;
};

// ---- Transfer ----

class SlotWriteJob : public JobBase {
public:
    SlotWriteJob(TransferPlan plan, const SlotWriteRequest& request)
        : plan_(std::move(plan)), timing_(request.readBack) {
        ProgrammedRecord& record = result_.record;
        record.time = programmedNow();
        record.mode = ProgrammedMode::Module;
        record.slot = plan_.slot;
        record.name = request.transfer.info;
        record.crc = configurationCrc(request.transfer.image);
        record.curve = request.curveName;
        if (request.transfer.firmware)
            record.firmware = "1." + std::to_string(request.transfer.firmware->version);
        total_ = static_cast<int>(plan_.blocks.size());
        run_.emplace(plan_);
        queueRun();
    }

    void received(std::span<const std::uint8_t> report) override {
        if (done())
            return;
        if (readBack_) {
            follow(readBack_->received(report), false);
            return;
        }
        if (run_->next() != LinkAction::Poll)
            return;
        run_->polled(report);
        afterPoll();
    }
    void waited() override {
        if (done())
            return;
        if (readBack_) {
            follow(readBack_->passEnded(), true);
            return;
        }
        if (run_->next() != LinkAction::Poll)
            return;
        run_->polled(std::nullopt);
        afterPoll();
    }
    int blocksDone() const override { return done_; }
    int blocksTotal() const override { return total_; }

private:
    // The reports of the block the run is at, and the wait for its confirmation.
    void queueRun() {
        std::vector<Bytes> reports;
        bool ignore = false;
        for (;;) {
            const LinkAction action = run_->next();
            if (action == LinkAction::Write) {
                reports.push_back(run_->reportToWrite());
                run_->advance();
            } else if (action == LinkAction::ReadAndIgnore) {
                ignore = reports.size() == 1;
                run_->advance();
            } else {
                break;
            }
        }
        queue(std::move(reports), ignore, kConfirmationPollMs);
    }

    void afterPoll() {
        if (run_->next() == LinkAction::Poll) {
            nextWait();
            return;
        }
        ++done_;
        if (!run_->finished()) {
            queueRun();
            return;
        }
        writeEnded();
    }

    void writeEnded() {
        const TransferResult& transfer = run_->result();
        result_.firmwareFailed = transfer.firmwareFailed;
        result_.firmwareWritten = transfer.ok && transfer.firmwareWritten;
        if (transfer.ok)
            result_.controlBlockWritten = transfer.controlBlockWritten;
        if (!transfer.ok) {
            const std::string address = hexText(transfer.failedAddress, 4);
            const std::string what = transfer.errorCode == kSlotDataError
                                         ? "the data of " + slotName(plan_.slot)
                                         : std::string("the module's control block");
            result_.message = transferErrorMessage(transfer.errorCode);
            result_.reason = blockWriteOutcomeText(transfer.failure) + " at address " + address;
            result_.advice = upperFirst(what) + " went to address " + address + ". " + kCheckConnection;
            result_.record.outcome = ProgrammedOutcome::Failed;
            result_.record.reason = result_.message + " (" + result_.reason + ")";
            finishLogged();
            return;
        }
        if (transfer.firmwareFailed) {
            result_.message = transferErrorMessage(kFirmwareError);
            result_.reason = "the firmware descriptor keeps its old record";
        }
        // Read the module back: the control block, every filled slot, and the firmware blocks written.
        std::vector<std::uint16_t> firmware;
        if (result_.firmwareWritten) {
            for (const PlannedBlock& block : plan_.blocks)
                if (block.kind == PlannedBlockKind::Firmware)
                    firmware.push_back(block.address);
        }
        result_.firmwareBlocks = firmware.size();
        readBack_.emplace(std::move(firmware), timing_);
        queue({readBack_->start()}, false, readBack_->passMs());
    }

    void follow(const ReadBack::Step& step, bool passEnded) {
        if (followReadBack(*readBack_, step, passEnded))
            compare();
    }

    std::string writtenBut() const { return "slot " + slotName(plan_.slot) + " was written, but "; }

    void compare() {
        const std::string written = writtenBut();
        const ModuleContents& after = readBack_->module();
        std::vector<std::string>& differences = result_.differences;
        ProgrammedRecord& record = result_.record;
        if (after.outcome != ModuleReadOutcome::Module) {
            const std::string why = after.outcome == ModuleReadOutcome::StickAlone
                                        ? "the stick answered by itself: no module is behind it any more"
                                        : "the module did not answer the read-back";
            readBackFailed(why);
            return;
        }
        const TMemory& stored = after.directory.memorySlots[static_cast<std::size_t>(plan_.slot - 1)];
        result_.storedName = stored.mString;
        if (!stored.mEmpty && stored.unreadable) {
            readBackFailed("the slot's data could not be read back");
            return;
        }
        if (stored.mEmpty)
            differences.push_back(written + "the slot reads back as empty");
        else if (const auto difference = firstDifference(plan_.blocks.front().bytes, stored.mData, "the slot's data"))
            differences.push_back(written + *difference);
        for (const std::string& difference : controlBlockDifferences(*result_.controlBlockWritten, after.controlBlock))
            differences.push_back(written + difference);
        std::size_t index = 0;
        for (const PlannedBlock& block : plan_.blocks) {
            if (block.kind != PlannedBlockKind::Firmware || !result_.firmwareWritten)
                continue;
            const std::optional<Block>& back = readBack_->blocks()[index++];
            const std::string what = "the firmware block at 0x" + hexText(block.address, 4);
            if (differences.size() > kMostDifferences)
                break;
            if (!back)
                differences.push_back(written + what + " could not be read back");
            else if (const auto difference = firstDifference(block.bytes, *back, what))
                differences.push_back(written + *difference);
        }
        if (!differences.empty()) {
            record.readBack = "differs: " + differences.front().substr(written.size());
            record.outcome = ProgrammedOutcome::Failed;
            if (result_.firmwareFailed) {
                record.reason = result_.message + " (" + result_.reason + ")";
            } else {
                result_.message = kNotKeptMessage;
                result_.reason = differences.front();
                record.reason = "the read-back differs";
            }
            result_.advice = kTryAgain;
            finishLogged();
            return;
        }
        record.readBack = "identical";
        if (result_.firmwareFailed) {
            record.outcome = ProgrammedOutcome::Failed;
            record.reason = result_.message + " (" + result_.reason + ")";
            result_.advice = std::string("The configuration was written and reads back identical; the firmware "
                                         "update is still due. ") +
                             kCheckConnection;
        } else {
            result_.ok = true;
        }
        finishLogged();
    }

    // `why` the module could not be read back: "the module did not answer the read-back".
    void readBackFailed(const std::string& why) {
        result_.record.readBack = "not read back: " + why;
        result_.record.outcome = ProgrammedOutcome::Failed;
        if (result_.firmwareFailed) {
            result_.record.reason = result_.message + " (" + result_.reason + ")";
        } else {
            result_.message = kNotCheckedMessage;
            result_.reason = writtenBut() + why;
            result_.record.reason = "the read-back failed";
        }
        result_.advice = kCheckConnection;
        finishLogged();
    }

    void endLost() override {
        if (readBack_) {
            readBackFailed("the stick is gone");
            return;
        }
        endInterrupted(std::string(kUsbErrorMessage), "the stick was unplugged during the write",
                       "Plug the stick in again and try Transfer again.");
    }

    TransferPlan plan_;
    ReadBackTiming timing_;
    std::optional<TransferRun> run_;
    std::optional<ReadBack> readBack_;
    int done_ = 0;
    int total_ = 0;
};

// ---- Erase ALL ----

class EraseJob : public JobBase {
public:
    explicit EraseJob(ReadBackTiming timing) {
        ProgrammedRecord& record = result_.record;
        record.time = programmedNow();
        record.mode = ProgrammedMode::Module;
        record.name = "(erase all)";
        readBack_.emplace(std::vector<std::uint16_t>{}, timing);
        queue({eraseAllFrame(), readBack_->start()}, false, readBack_->passMs());
    }

    void received(std::span<const std::uint8_t> report) override {
        if (!done())
            follow(readBack_->received(report), false);
    }
    void waited() override {
        if (!done())
            follow(readBack_->passEnded(), true);
    }
    int blocksDone() const override { return done() ? 1 : 0; }
    int blocksTotal() const override { return 1; }

private:
    void follow(const ReadBack::Step& step, bool passEnded) {
        if (!followReadBack(*readBack_, step, passEnded))
            return;
        const ModuleContents& after = readBack_->module();
        ProgrammedRecord& record = result_.record;
        record.outcome = ProgrammedOutcome::Failed;
        if (after.outcome != ModuleReadOutcome::Module) {
            result_.message = kEraseNotCheckedMessage;
            result_.reason = "the erase was sent, but the module did not answer the read-back";
            result_.advice = kCheckConnection;
            record.readBack = "not read back: the module did not answer";
            record.reason = "the read-back failed";
            finishLogged();
            return;
        }
        const std::string sent = "the erase was sent, but ";
        std::string first;
        for (int n = 1; n <= kSlotCount; ++n) {
            if (!after.directory.memorySlots[static_cast<std::size_t>(n - 1)].mEmpty && first.empty())
                first = "slot " + slotName(n) + " is still listed";
        }
        if (first.empty() && after.directory.firmware.valid)
            first = "the firmware descriptor is still there";
        if (!first.empty()) {
            result_.differences.push_back(sent + first);
            result_.message = "The module was not erased.";
            result_.reason = sent + first;
            result_.advice = kCheckConnection;
            record.readBack = "differs: " + first;
            record.reason = "the read-back differs";
            finishLogged();
            return;
        }
        record.readBack = "erased";
        record.outcome = ProgrammedOutcome::Ok;
        result_.ok = true;
        finishLogged();
    }

    void endLost() override {
        endInterrupted(std::string(kUsbErrorMessage), "the stick was unplugged during the erase",
                       "Plug the stick in again and look at the module's slots.");
    }

    std::optional<ReadBack> readBack_;
};

} // namespace

std::string ModuleJobResult::detail() const {
    std::string text = upperFirst(reason);
    if (!text.empty() && text.back() != '.')
        text += '.';
    if (!advice.empty())
        text += (text.empty() ? "" : " ") + advice;
    return text;
}

void ModuleJob::logRecord() {
    const ProgrammedLogAppend logged = appendProgrammedRecord(programmedLogPath(), result_.record);
    result_.logError = logged.ok ? std::string() : logged.error;
}

SlotWritePlan planSlotWrite(const SlotWriteRequest& request) {
    SlotWritePlan planned;
    TransferPlanResult plan = planTransfer(request.transfer);
    if (!plan.plan) {
        planned.error = plan.error;
        return planned;
    }
    planned.job = std::make_unique<SlotWriteJob>(std::move(*plan.plan), request);
    return planned;
}

std::unique_ptr<ModuleJob> eraseJob(ReadBackTiming timing) {
    return std::make_unique<EraseJob>(timing);
}

const ModuleJobResult& runModuleJob(StickAccess& stick, ModuleJob& job, std::size_t reportLength,
                                    const std::function<void(int done, int total)>& progress) {
    using Clock = std::chrono::steady_clock;
    Bytes buffer(std::max(reportLength, kDataReportSize), 0x00);
    unsigned serial = job.waitSerial() + 1;
    Clock::time_point deadline{};
    int shownDone = -1;
    while (!job.finished()) {
        if (progress && job.blocksDone() != shownDone) {
            shownDone = job.blocksDone();
            progress(shownDone, job.blocksTotal());
        }
        switch (job.next()) {
        case JobAction::Write:
            stick.writeData(job.reportToWrite());
            job.advance();
            break;
        case JobAction::TakeAndIgnore:
            stick.readData(buffer);
            job.advance();
            break;
        case JobAction::DiscardWaiting:
            discardWaitingReports(stick, reportLength);
            job.advance();
            break;
        case JobAction::Await: {
            if (job.waitSerial() != serial) {
                serial = job.waitSerial();
                deadline = Clock::now() + std::chrono::milliseconds(job.awaitMs());
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            std::fill(buffer.begin(), buffer.end(), 0x00);
            switch (stick.waitForReport(buffer, static_cast<int>(std::max<long long>(left, 0)))) {
            case StickAccess::Wait::Report:
                job.received(buffer);
                break;
            case StickAccess::Wait::Nothing:
                job.waited();
                break;
            case StickAccess::Wait::Lost:
                job.lost();
                break;
            }
            break;
        }
        case JobAction::Done:
            break;
        }
    }
    if (progress && job.blocksDone() != shownDone)
        progress(job.blocksDone(), job.blocksTotal());
    return job.result();
}

} // namespace lumeq
