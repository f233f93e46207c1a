#include "link/simulatedstick.h"

#include <algorithm>
#include <array>

namespace lumeq {

namespace {

constexpr std::size_t kModuleFrameLength = 8;
constexpr std::uint8_t kModuleReadBlock = 0xF2;
constexpr std::uint8_t kModuleWriteBlock = 0xF1;
constexpr std::uint8_t kModuleEraseAll = 0xFC;
constexpr std::uint8_t kBlockLength = 128;
constexpr std::size_t kDataReportLength = 8;

} // namespace

SimulatedStick::SimulatedStick(std::string statePath, Clock clock)
    : path_(std::move(statePath)), clock_(std::move(clock)), state_(std::make_unique<SimState>()) {}

std::chrono::steady_clock::time_point SimulatedStick::now() const {
    return clock_ ? clock_() : std::chrono::steady_clock::now();
}

bool SimulatedStick::findHidDevice(std::uint16_t vendorId, std::uint16_t productId) {
    closeDevice();
    if (vendorId != kStickVendorId || productId != kStickProductId) {
        lastError_ = "the simulator only offers the programming stick";
        return false;
    }
    SimStateLoad loaded = SimState::load(path_);
    if (!loaded.state) {
        lastError_ = loaded.error;
        return false;
    }
    *state_ = *loaded.state;
    if (!state_->stick.present) {
        lastError_ = "no stick in " + path_;
        return false;
    }
    lastError_.clear();
    open_ = true;
    return true;
}

void SimulatedStick::writeData(std::span<const std::uint8_t> report) {
    if (!open_)
        return;
    // The devices see the report as it travels: cut or padded with zeros to the output report length.
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(state_->stick.outputReportLength), 0);
    std::copy_n(report.begin(), std::min(report.size(), frame.size()), frame.begin());

    if (incomingAddress_) {
        // While a block write is in progress every report is data, whatever it starts with.
        receiveBlockData(frame);
        return;
    }
    if (frame.size() >= 2 && frame[0] == 0xAA && frame[1] == 0x55) {
        std::array<std::uint8_t, kModuleFrameLength> moduleFrame{};
        std::copy_n(frame.begin(), std::min(frame.size(), moduleFrame.size()), moduleFrame.begin());
        receiveModuleFrame(moduleFrame);
    }
    // Stick frames (CA C5 ...) are not answered yet.
}

void SimulatedStick::receiveModuleFrame(std::span<const std::uint8_t, 8> frame) {
    const std::uint8_t command = frame[2];
    if (state_->faults.noAnswer)
        return;
    if (!state_->module.present) {
        // Without a module the stick itself answers the first read, which tells the program that it
        // talks to the stick alone.
        if (command == kModuleReadBlock && !stickAnsweredRead_) {
            stickAnsweredRead_ = true;
            const std::uint8_t answer[] = {0xB2, 0x50};
            queueReport(answer);
        }
        return;
    }
    const auto address = static_cast<std::uint16_t>(frame[4] | frame[5] << 8);
    switch (command) {
    case kModuleReadBlock:
        answerReadBlock(address);
        break;
    case kModuleWriteBlock:
        incomingAddress_ = address;
        incoming_.clear();
        break;
    case kModuleEraseAll:
        if (frame[3] == 0x00 && frame[4] == 0x55 && frame[5] == 0xAA)
            eraseAll();
        break;
    default:
        break;
    }
}

void SimulatedStick::receiveBlockData(std::span<const std::uint8_t> report) {
    for (std::size_t i = 0; i < kDataReportLength; ++i)
        incoming_.push_back(i < report.size() ? report[i] : 0x00);
    if (incoming_.size() < kBlockLength)
        return;
    const std::uint16_t address = *incomingAddress_;
    incomingAddress_.reset();
    state_->setModuleBytes(address, incoming_);
    incoming_.clear();
    saveState();

    const auto confirmed = static_cast<std::uint16_t>((address + state_->faults.confirmAddressOffset) & 0xFFFF);
    const std::uint8_t confirmation[] = {0xC0, 0x33, static_cast<std::uint8_t>(confirmed & 0xFF),
                                         static_cast<std::uint8_t>(confirmed >> 8),
                                         static_cast<std::uint8_t>(state_->faults.confirmStatus)};
    queueReport(confirmation);
}

void SimulatedStick::eraseAll() {
    state_->module.memory.fill(0xFF);
    saveState();
}

void SimulatedStick::saveState() {
    lastSaveError_.clear();
    state_->save(path_, &lastSaveError_);
}

void SimulatedStick::answerReadBlock(std::uint16_t address) {
    const std::uint8_t header[] = {0xC0, 0x44, 0x00, 0x00, kBlockLength};
    queueReport(header);
    const auto& memory = state_->module.memory;
    for (std::size_t offset = 0; offset < kBlockLength; offset += kDataReportLength) {
        std::array<std::uint8_t, kDataReportLength> data{};
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = memory[(address + offset + i) % memory.size()];
        queueReport(data);
    }
}

void SimulatedStick::queueReport(std::span<const std::uint8_t> bytes) {
    const int lostAfter = state_->faults.loseAnswersAfter;
    if (lostAfter >= 0 && answersProduced_ >= lostAfter)
        return;
    ++answersProduced_;
    std::vector<std::uint8_t> report(static_cast<std::size_t>(state_->stick.inputReportLength), 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), report.size()), report.begin());
    // Each answer becomes readable one delay after the one before (or after now, when that is later).
    const auto delay = std::chrono::milliseconds(state_->faults.delayPerReportMs);
    lastDue_ = std::max(now(), lastDue_) + delay;
    pending_.push_back({std::move(report), lastDue_});
}

bool SimulatedStick::readData(std::span<std::uint8_t> buffer) {
    if (!open_ || pending_.empty())
        return false;
    if (pending_.front().due > now())
        return false;
    const std::vector<std::uint8_t>& report = pending_.front().bytes;
    std::copy_n(report.begin(), std::min(report.size(), buffer.size()), buffer.begin());
    pending_.pop_front();
    return true;
}

void SimulatedStick::closeDevice() {
    open_ = false;
    stickAnsweredRead_ = false;
    pending_.clear();
    lastDue_ = {};
    answersProduced_ = 0;
    incomingAddress_.reset();
    incoming_.clear();
}

bool SimulatedStick::setFeature(std::span<const std::uint8_t> /*report*/) {
    return open_ && state_->stick.featureReportLength > 0;
}

} // namespace lumeq
