#include "link/stickjobs.h"

#include "model/hex.h"

#include <algorithm>

namespace lumeq {

namespace {

// Why a write ended, in the words of the log (and of lumeq-cli and the window's detail lines).
std::string writeEndReason(StickEnd end) {
    switch (end) {
    case StickEnd::Refused:
        return "the stick refused a frame six times";
    case StickEnd::NoAnswer:
        return "the stick stopped answering";
    case StickEnd::Lost:
        return "the stick was unplugged during the write";
    case StickEnd::BackToWaiting:
        return "the stick started afresh before the write was done";
    case StickEnd::NotRead:
        return "the stick's memory had not been read completely";
    default:
        return "the write did not end";
    }
}

std::string firmwareEndReason(StickEnd end) {
    switch (end) {
    case StickEnd::Refused:
        return "the stick refused the firmware";
    case StickEnd::NoAnswer:
        return "the stick stopped answering during the firmware update";
    case StickEnd::Lost:
        return "the stick was unplugged during the firmware update";
    case StickEnd::BackToWaiting:
        return "the stick started afresh during the firmware update";
    case StickEnd::NoFirmware:
        return "there was no firmware to send";
    default:
        return "the firmware update did not end";
    }
}

ProgrammedOutcome outcomeOf(StickEnd end) {
    return end == StickEnd::Lost ? ProgrammedOutcome::Interrupted : ProgrammedOutcome::Failed;
}

constexpr const char* kNotReadBack = "not read back";
constexpr const char* kReadBackFailed = "the read-back failed";
constexpr const char* kReadBackDiffers = "the read-back differs";

} // namespace

StickWriteJob::StickWriteJob(StickEngine& engine, Sink sink) : engine_(engine), sink_(std::move(sink)) {
    record_.time = programmedNow();
    record_.mode = ProgrammedMode::Stick;
}

void StickWriteJob::finish(ProgrammedOutcome outcome, std::string reason, std::string message) {
    if (finished_)
        return;
    finished_ = true;
    record_.outcome = outcome;
    record_.reason = std::move(reason);
    message_ = std::move(message);
    if (sink_)
        sink_(record_);
}

std::string StickWriteJob::interruptionReason(StickInterruption why) const {
    switch (why) {
    case StickInterruption::Closed:
        return "the program was closed before the stick answered";
    case StickInterruption::Unplugged:
        return "the stick was unplugged";
    case StickInterruption::AnotherWrite:
        return "another write began before the stick answered";
    }
    return {};
}

void StickWriteJob::interrupt(StickInterruption why) {
    if (finished_)
        return;
    std::string reason = interruptionReason(why);
    finish(ProgrammedOutcome::Interrupted, reason, reason);
}

StickWriteJob::Sink programmedLogSink(std::function<void(const std::string& problem)> problem) {
    return [problem = std::move(problem)](const ProgrammedRecord& record) {
        const ProgrammedLogAppend logged = appendProgrammedRecord(programmedLogPath(), record);
        if (!logged.ok && problem)
            problem(logged.error);
    };
}

// ---- Memory ----

StickMemoryWrite::StickMemoryWrite(StickEngine& engine, const Image& memory, std::string name, Sink sink)
    : StickWriteJob(engine, std::move(sink)), memory_(memory) {
    record_.name = std::move(name);
}

StickEffects StickMemoryWrite::start() {
    written_ = memory_;
    record_.crc = configurationCrc(written_);
    StickEffects effects = engine_.store();
    observe(effects);
    return effects;
}

void StickMemoryWrite::observe(const StickEffects& effects) {
    for (const StickEvent& event : effects.events) {
        if (finished())
            return;
        switch (stage_) {
        case Stage::Sending:
            if (event.kind == StickEvent::Kind::WriteDone) {
                stage_ = Stage::Restarting;
            } else if (event.kind == StickEvent::Kind::WriteFailed) {
                stage_ = Stage::Done;
                const std::string reason = writeEndReason(event.end);
                finish(outcomeOf(event.end), reason, std::string(kTransferErrorText) + ": " + reason);
            }
            break;
        case Stage::Restarting:
            if (event.kind == StickEvent::Kind::Identified && event.readStarted)
                stage_ = Stage::ReadingBack;
            break;
        case Stage::ReadingBack:
            if (event.kind == StickEvent::Kind::MemoryRead)
                compare();
            else if (event.kind == StickEvent::Kind::ReadFailed)
                readBackFailed();
            break;
        case Stage::Done:
            return;
        }
    }
}

std::string StickMemoryWrite::interruptionReason(StickInterruption why) const {
    if (why == StickInterruption::Unplugged)
        return writeEndReason(StickEnd::Lost);
    return StickWriteJob::interruptionReason(why);
}

void StickMemoryWrite::restartMissing() {
    if (stage_ == Stage::Restarting)
        readBackFailed();
}

void StickMemoryWrite::readBackFailed() {
    stage_ = Stage::Done;
    record_.readBack = kNotReadBack;
    finish(ProgrammedOutcome::Failed, kReadBackFailed, "the memory was written, but it could not be read back");
}

void StickMemoryWrite::compare() {
    stage_ = Stage::Done;
    const Image& back = memory_;
    for (std::size_t i = 0; i < kStickComparedBytes; ++i) {
        const std::uint8_t wrote = i < written_.size() ? written_[i] : 0xFF;
        const std::uint8_t read = i < back.size() ? back[i] : 0xFF;
        if (read != wrote) {
            const std::string difference =
                "byte " + std::to_string(i) + " reads back as " + hexByte(read) + " instead of " + hexByte(wrote);
            record_.readBack = "differs: " + difference;
            finish(ProgrammedOutcome::Failed, kReadBackDiffers, "the memory was written, but " + difference);
            return;
        }
    }
    record_.readBack = "identical";
    finish(ProgrammedOutcome::Ok, {}, {});
}

// ---- Firmware ----

StickFirmwareUpdate::StickFirmwareUpdate(StickEngine& engine, std::span<const std::uint8_t> image,
                                         std::size_t length, int version, Sink sink)
    : StickWriteJob(engine, std::move(sink)), image_(image.begin(), image.end()), length_(length) {
    record_.firmware = "1." + std::to_string(version);
}

StickEffects StickFirmwareUpdate::start() {
    StickEffects effects = engine_.startFirmwareUpdate(image_, length_);
    observe(effects);
    return effects;
}

void StickFirmwareUpdate::observe(const StickEffects& effects) {
    for (const StickEvent& event : effects.events) {
        if (finished())
            return;
        if (event.kind == StickEvent::Kind::FirmwareDone) {
            finish(ProgrammedOutcome::Ok, {}, {});
        } else if (event.kind == StickEvent::Kind::FirmwareStopped) {
            const std::string reason = firmwareEndReason(event.end);
            finish(outcomeOf(event.end), reason, reason);
        }
    }
}

std::string StickFirmwareUpdate::interruptionReason(StickInterruption why) const {
    if (why == StickInterruption::Unplugged)
        return firmwareEndReason(StickEnd::Lost);
    return StickWriteJob::interruptionReason(why);
}

} // namespace lumeq
