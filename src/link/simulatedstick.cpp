#include "link/simulatedstick.h"

#include <algorithm>
#include <array>

namespace lumeq {

namespace {

constexpr std::size_t kModuleFrameLength = 8;
constexpr std::uint8_t kModuleReadBlock = 0xF2;
constexpr std::uint8_t kBlockLength = 128;
constexpr std::size_t kDataReportLength = 8;

} // namespace

SimulatedStick::SimulatedStick(std::string statePath)
    : path_(std::move(statePath)), state_(std::make_unique<SimState>()) {}

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

    if (frame.size() >= 2 && frame[0] == 0xAA && frame[1] == 0x55) {
        std::array<std::uint8_t, kModuleFrameLength> moduleFrame{};
        std::copy_n(frame.begin(), std::min(frame.size(), moduleFrame.size()), moduleFrame.begin());
        receiveModuleFrame(moduleFrame);
    }
    // Stick frames (CA C5 ...) are not answered yet.
}

void SimulatedStick::receiveModuleFrame(std::span<const std::uint8_t, 8> frame) {
    const std::uint8_t command = frame[2];
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
    switch (command) {
    case kModuleReadBlock:
        answerReadBlock(static_cast<std::uint16_t>(frame[4] | frame[5] << 8));
        break;
    default:
        // Write block (F1) and erase all (FC) are not answered yet.
        break;
    }
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
    std::vector<std::uint8_t> report(static_cast<std::size_t>(state_->stick.inputReportLength), 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), report.size()), report.begin());
    pending_.push_back(std::move(report));
}

bool SimulatedStick::readData(std::span<std::uint8_t> buffer) {
    if (!open_ || pending_.empty())
        return false;
    const std::vector<std::uint8_t>& report = pending_.front();
    std::copy_n(report.begin(), std::min(report.size(), buffer.size()), buffer.begin());
    pending_.pop_front();
    return true;
}

void SimulatedStick::closeDevice() {
    open_ = false;
    stickAnsweredRead_ = false;
    pending_.clear();
}

bool SimulatedStick::setFeature(std::span<const std::uint8_t> /*report*/) {
    return open_ && state_->stick.featureReportLength > 0;
}

} // namespace lumeq
