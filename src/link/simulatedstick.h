#pragma once
// A stick, and optionally a module behind it, simulated from a state file (see SimState). Everything
// that must outlive the program's self-restart lives in the file; this object only holds the answers
// still waiting to be read.
//
// What the simulated devices answer so far:
// - module present: a read block request (AA 55 F2 10 lo hi 00 00) gets the block header C0 44 00 00 80
//   and sixteen data reports carrying the 128 bytes of module memory from that address on;
// - stick without module: the first read block request after the stick was found gets B2 50 (the
//   stick answers by itself).
// Write block and erase requests, stick frames (CA C5 ...) and the fault settings are taken but not
// acted on yet: writeData dispatches the requests, receiveModuleFrame the module's commands.

#include "link/simstate.h"
#include "link/stickaccess.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace lumeq {

class SimulatedStick : public StickAccess {
public:
    explicit SimulatedStick(std::string statePath);

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
    // Input reports waiting to be read.
    std::size_t pendingReports() const { return pending_.size(); }

private:
    // The first 8 bytes of an output report that starts with AA 55.
    void receiveModuleFrame(std::span<const std::uint8_t, 8> frame);
    void answerReadBlock(std::uint16_t address);
    // Queues an input report: the bytes, padded with zeros (or cut) to the input report length.
    void queueReport(std::span<const std::uint8_t> bytes);

    std::string path_;
    std::unique_ptr<SimState> state_; // 64 KiB of module memory: kept off the stack
    bool open_ = false;
    bool stickAnsweredRead_ = false;
    std::deque<std::vector<std::uint8_t>> pending_;
    std::string lastError_;
};

} // namespace lumeq
