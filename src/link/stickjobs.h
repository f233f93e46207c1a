#pragma once
// The two writes to a stick, each as one job that the window and lumeq-cli run alike: plan → send →
// confirm → read back and compare → one record in the log of programmed modules.
//
// - StickMemoryWrite: the device memory as the engine holds it (bytes 0..249 in write memory frames, 0..119
//   in write EE frames). After the last frame the stick starts afresh and identifies itself; the engine then
//   reads the memory again, and bytes 0..246 (everything but the operating log) are compared with what
//   was written.
// - StickFirmwareUpdate: an image in records of 72 bytes; the stick's acceptance of every record is the
//   confirmation, there is no read-back.
//
// A job drives nothing itself: its owner sends what start() gives, hands it the engine's effects of every
// later step (observe), and tells it when the write was cut short from outside (interrupt) or the stick did
// not start afresh in time (restartMissing). The record and the reason for a failure are made here and
// nowhere else; the sink takes the record once, when the job ends.

#include "files/programmedlog.h"
#include "link/stickengine.h"
#include "model/image.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace lumeq {

// Bytes a memory write compares after reading back: all that was written except the operating log.
constexpr std::size_t kStickComparedBytes = kStickLogFirst;

// The refusal of a write after a read that did not complete.
inline constexpr const char* kStickNotReadMessage =
    "The stick's memory has not been read completely, so nothing is written to it: read the stick again first "
    "(ReRead).";

// How a write going on was cut short from outside.
enum class StickInterruption {
    Closed,       // the program was closed
    Unplugged,    // the stick was pulled out
    AnotherWrite, // another write began
};

class StickWriteJob {
public:
    using Sink = std::function<void(const ProgrammedRecord&)>;

    virtual ~StickWriteJob() = default;
    StickWriteJob(const StickWriteJob&) = delete;
    StickWriteJob& operator=(const StickWriteJob&) = delete;

    // The first frames (what the engine gives for the user's action).
    virtual StickEffects start() = 0;
    // The engine's effects of a step while the job runs: an answer, a missing answer, a lost stick.
    virtual void observe(const StickEffects& effects) = 0;
    // Cut short from outside: logged as interrupted (a job already ended stays as it ended).
    void interrupt(StickInterruption why);

    bool finished() const { return finished_; }
    bool succeeded() const { return finished_ && record_.outcome == ProgrammedOutcome::Ok; }
    // The record as it stands (complete once finished).
    const ProgrammedRecord& record() const { return record_; }
    // For the user, when the job ended without success: what went wrong, in the log's words, e.g.
    // "Transfer Error!: the stick refused a frame six times". Empty otherwise.
    const std::string& message() const { return message_; }

protected:
    StickWriteJob(StickEngine& engine, Sink sink);
    void finish(ProgrammedOutcome outcome, std::string reason, std::string message);
    // The reason for an interruption from outside, in the log's words.
    virtual std::string interruptionReason(StickInterruption why) const;

    StickEngine& engine_;
    ProgrammedRecord record_;

private:
    Sink sink_;
    bool finished_ = false;
    std::string message_;
};

// A sink that appends each record to the log of programmed modules (programmedLogPath); `problem` is told
// why when a record cannot be appended.
StickWriteJob::Sink programmedLogSink(std::function<void(const std::string& problem)> problem);

class StickMemoryWrite : public StickWriteJob {
public:
    enum class Stage {
        Sending,      // the frames go out
        Restarting,   // written: the stick starts afresh and identifies itself
        ReadingBack,  // the engine reads the memory again
        Done,         // finished
    };

    // `name`: the configuration's name for the log. The memory written is the engine's as it is at start().
    StickMemoryWrite(StickEngine& engine, const Image& memory, std::string name, Sink sink);

    // Refused (a record "failed" and nothing sent) when the engine holds no complete read.
    StickEffects start() override;
    void observe(const StickEffects& effects) override;
    // The stick did not identify itself after the write in time: written, but not read back.
    void restartMissing();

    Stage stage() const { return stage_; }
    // Between the last frame's acceptance and the identification: the owner's wait for it runs.
    bool awaitingRestart() const { return stage_ == Stage::Restarting; }
    const Image& written() const { return written_; }

private:
    std::string interruptionReason(StickInterruption why) const override;
    void compare();
    void readBackFailed();

    const Image& memory_;
    Image written_;
    Stage stage_ = Stage::Sending;
};

class StickFirmwareUpdate : public StickWriteJob {
public:
    // `version`: N of the image's version 1.N, as the log records it.
    StickFirmwareUpdate(StickEngine& engine, std::span<const std::uint8_t> image, std::size_t length, int version,
                        Sink sink);

    StickEffects start() override;
    void observe(const StickEffects& effects) override;

    int records() const { return static_cast<int>(firmwareRecordCount(length_)); }

private:
    std::string interruptionReason(StickInterruption why) const override;

    std::vector<std::uint8_t> image_;
    std::size_t length_;
};

} // namespace lumeq
