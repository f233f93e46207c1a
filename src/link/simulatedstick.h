#pragma once
// A stick, and optionally a module behind it, simulated from a state file (see SimState). Everything
// that must outlive the program's self-restart lives in the file; this object only holds the answers
// still waiting to be read.
//
// What the simulated devices answer:
// - module present: a read block request (AA 55 F2 10 lo hi 00 00) gets the block header C0 44 00 00 80
//   and sixteen data reports carrying the 128 bytes of module memory from that address on;
// - a write block request (AA 55 F1 10 lo hi 00 00) makes the module take the next sixteen output reports
//   as the block's data (their first 8 bytes each, whatever they hold); it stores the block, saves the
//   state file and answers with the confirmation C0 33 lo hi 01;
// - erase all (AA 55 FC 00 55 AA 00 00) sets the whole module memory to FF and saves the state file; it
//   is not answered;
// - stick without module: the first read block request after the stick was found gets B2 50 (the
//   stick answers by itself). Stick frames (CA C5 ...) are taken but not answered.
//
// Faults of the state file: NoAnswer (requests are neither answered nor acted on), LoseAnswersAfter (the
// answers after the first N since the stick was found are lost; the module still acts), ConfirmStatus and
// ConfirmAddressOffset (what confirmations say), DelayPerReportMs (each answer becomes readable that long
// after the one before, measured on a steady clock; readData never sleeps, it answers "nothing yet").

#include "link/simstate.h"
#include "link/stickaccess.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumeq {

class SimulatedStick : public StickAccess {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `clock` gives the time for delayed answers; the default is std::chrono::steady_clock::now.
    explicit SimulatedStick(std::string statePath, Clock clock = {});

    bool libraryLoaded() const override { return true; }
    std::string description() const override { return "simulator: " + path_; }

    // Reads the state file afresh: the stick is found when the file holds a stick that is present.
    // Answers still waiting from before are dropped, as when a real device is opened again.
    bool findHidDevice(std::uint16_t vendorId, std::uint16_t productId) override;
    int getInputReportLength() override { return state_->stick.inputReportLength; }
    int getOutputReportLength() override { return state_->stick.outputReportLength; }
    int getFeatureReportLength() override { return state_->stick.featureReportLength; }
    void writeData(std::span<const std::uint8_t> report) override;
    bool readData(std::span<std::uint8_t> buffer) override;
    void closeDevice() override;
    // Feature reports are taken (and ignored) when the stick declares a feature report length.
    bool setFeature(std::span<const std::uint8_t> report) override;

    // The state as last read from the file.
    const SimState& state() const { return *state_; }
    // Why the last findHidDevice found no stick; empty after it found one.
    const std::string& lastError() const { return lastError_; }
    // Why the last save of the state file failed; empty when it did not.
    const std::string& lastSaveError() const { return lastSaveError_; }
    // Input reports queued, whether or not they are readable yet.
    std::size_t pendingReports() const { return pending_.size(); }
    // The module is collecting the data reports of a block write.
    bool receivingBlock() const { return incomingAddress_.has_value(); }

private:
    struct PendingReport {
        std::vector<std::uint8_t> bytes;
        std::chrono::steady_clock::time_point due;
    };

    std::chrono::steady_clock::time_point now() const;
    // The first 8 bytes of an output report that starts with AA 55.
    void receiveModuleFrame(std::span<const std::uint8_t, 8> frame);
    // One data report of a block write.
    void receiveBlockData(std::span<const std::uint8_t> report);
    void answerReadBlock(std::uint16_t address);
    void eraseAll();
    void saveState();
    // Queues an input report: the bytes, padded with zeros (or cut) to the input report length. Lost when
    // the fault settings say so.
    void queueReport(std::span<const std::uint8_t> bytes);

    std::string path_;
    Clock clock_;
    std::unique_ptr<SimState> state_; // 64 KiB of module memory: kept off the stack
    bool open_ = false;
    bool stickAnsweredRead_ = false;
    std::deque<PendingReport> pending_;
    std::chrono::steady_clock::time_point lastDue_{};
    long long answersProduced_ = 0; // since the stick was found
    std::optional<std::uint16_t> incomingAddress_;
    std::vector<std::uint8_t> incoming_;
    std::string lastError_;
    std::string lastSaveError_;
};

} // namespace lumeq
