#include "link/simulatedstick.h"

#include "files/nativename.h"
#include "model/crc16.h"

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

// Stick frames: CA C5 code ...; answers B2 code ...
constexpr std::uint8_t kStickMark0 = 0xCA;
constexpr std::uint8_t kStickMark1 = 0xC5;
constexpr std::uint8_t kAnswerMark = 0xB2;
constexpr std::uint8_t kReadMemory = 0x02;
constexpr std::uint8_t kWriteMemory = 0x04;
constexpr std::uint8_t kWriteEe = 0x05;
constexpr std::uint8_t kFirmwarePart = 0x08;
constexpr std::uint8_t kReset = 0x0E;
constexpr std::size_t kEeAreaEnd = 120; // the write EE frames cover bytes 0..119
constexpr std::size_t kAnswerDataStart = 6;
constexpr std::size_t kFirmwarePartData = 26;
constexpr std::size_t kFirmwareLastPartData = 20;

std::uint16_t word(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

} // namespace

SimulatedStick::SimulatedStick(std::string statePath, Clock clock)
    : path_(std::move(statePath)), clock_(std::move(clock)), state_(std::make_unique<SimState>()) {}

std::string SimulatedStick::description() const {
    std::lock_guard lock(mutex_);
    return "simulator: " + (lastError_.empty() ? path_ : lastError_);
}

std::chrono::steady_clock::time_point SimulatedStick::now() const {
    return clock_ ? clock_() : std::chrono::steady_clock::now();
}

bool SimulatedStick::findHidDevice(std::uint16_t vendorId, std::uint16_t productId) {
    std::lock_guard lock(mutex_);
    close();
    if (vendorId != kStickVendorId || productId != kStickProductId) {
        lastError_ = "the simulator in " + path_ + " only offers the programming stick";
        return false;
    }
    // The simulator saves what is written to it; a state file it could read but not save would lose that.
    if (!isPlainText(decodeNative(path_))) {
        lastError_ = "the simulator state file needs a name in UTF-8: " + path_;
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

int SimulatedStick::getInputReportLength() {
    std::lock_guard lock(mutex_);
    return state_->stick.inputReportLength;
}

int SimulatedStick::getOutputReportLength() {
    std::lock_guard lock(mutex_);
    return state_->stick.outputReportLength;
}

int SimulatedStick::getFeatureReportLength() {
    std::lock_guard lock(mutex_);
    return state_->stick.featureReportLength;
}

std::size_t SimulatedStick::pendingReports() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

bool SimulatedStick::receivingBlock() const {
    std::lock_guard lock(mutex_);
    return incomingAddress_.has_value();
}

std::optional<std::chrono::steady_clock::time_point> SimulatedStick::nextDue() const {
    std::lock_guard lock(mutex_);
    if (pending_.empty())
        return std::nullopt;
    return pending_.front().due;
}

bool SimulatedStick::unplugged() const {
    std::lock_guard lock(mutex_);
    return unplugged_;
}

void SimulatedStick::writeData(std::span<const std::uint8_t> report) {
    std::unique_lock lock(mutex_);
    if (!open_)
        return;
    ++reportsTaken_;
    const int unplugAfter = state_->faults.unplugAfter;
    if (unplugAfter >= 0 && reportsTaken_ >= unplugAfter) {
        unplug();
        lock.unlock();
        queued_.notify_all();
        return;
    }
    const int silentAfter = state_->faults.noAnswerAfter;
    if (state_->faults.noAnswer || (silentAfter >= 0 && reportsTaken_ > silentAfter)) {
        armReidentify();
        return; // taken, and that is all
    }
    // The devices see the report as it travels: cut or padded with zeros to the output report length.
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(state_->stick.outputReportLength), 0);
    std::copy_n(report.begin(), std::min(report.size(), frame.size()), frame.begin());

    const std::size_t queuedBefore = pending_.size();
    if (incomingAddress_) {
        // While a block write is in progress every report is data, whatever it starts with.
        receiveBlockData(frame);
    } else if (frame.size() >= 2 && frame[0] == 0xAA && frame[1] == 0x55) {
        std::array<std::uint8_t, kModuleFrameLength> moduleFrame{};
        std::copy_n(frame.begin(), std::min(frame.size(), moduleFrame.size()), moduleFrame.begin());
        receiveModuleFrame(moduleFrame);
    } else if (frame.size() >= 3 && frame[0] == kStickMark0 && frame[1] == kStickMark1 && !state_->module.present) {
        receiveStickFrame(frame);
    }
    const bool woke = pending_.size() != queuedBefore;
    lock.unlock();
    if (woke)
        queued_.notify_all();
}

void SimulatedStick::unplug() {
    unplugged_ = true;
    open_ = false;
    pending_.clear();
    incomingAddress_.reset();
    incoming_.clear();
    state_->stick.present = false;
    saveState();
}

void SimulatedStick::receiveModuleFrame(std::span<const std::uint8_t, 8> frame) {
    const std::uint8_t command = frame[2];
    if (!state_->module.present) {
        // Without a module the stick itself answers the first read, which tells the program that it
        // talks to the stick alone; then it says who it is.
        if (command == kModuleReadBlock && !stickAnsweredRead_) {
            stickAnsweredRead_ = true;
            const std::uint8_t answer[] = {kAnswerMark, 0x50};
            queueReport(answer);
            queueIdentification();
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
    const bool refused = state_->faults.refuseBlockAddress == address;
    if (state_->faults.storeDiffersAddress == address)
        incoming_[2] = static_cast<std::uint8_t>(~incoming_[2]);
    if (!refused)
        state_->setModuleBytes(address, incoming_);
    incoming_.clear();

    const SimFaults& faults = state_->faults;
    const bool faulty = faults.confirmFaultAddress < 0 || faults.confirmFaultAddress == address;
    const auto confirmed =
        static_cast<std::uint16_t>((address + (faulty ? faults.confirmAddressOffset : 0)) & 0xFFFF);
    const int status = refused ? 0 : faulty ? faults.confirmStatus : 1;
    const std::uint8_t confirmation[] = {0xC0, 0x33, static_cast<std::uint8_t>(confirmed & 0xFF),
                                         static_cast<std::uint8_t>(confirmed >> 8), static_cast<std::uint8_t>(status)};
    // The answer's time runs from the report that completed the block; the file is written meanwhile (under
    // the lock, so nobody reads the answer before the file holds the block).
    queueReport(confirmation);
    if (!refused)
        saveState();
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

void SimulatedStick::queueIdentification() {
    const SimStick& stick = state_->stick;
    const std::uint8_t identification[] = {
        kAnswerMark,           0x5F, stick.deviceNumber[0], stick.deviceNumber[1], stick.deviceNumber[2],
        stick.deviceNumber[3], 0x00, stick.firmwareVersion};
    queueReport(identification);
}

void SimulatedStick::receiveStickFrame(std::span<const std::uint8_t> frame) {
    ++stickFrames_;
    const SimFaults& faults = state_->faults;
    const bool stray = faults.strayAnswerFrame > 0 && stickFrames_ == faults.strayAnswerFrame;
    const std::uint8_t strayAnswer[] = {kAnswerMark, static_cast<std::uint8_t>(faults.strayAnswerCode)};
    if (stray && faults.strayAnswerFirst)
        queueReport(strayAnswer);
    const std::size_t queuedBefore = pending_.size();
    answerStickFrame(frame);
    if (faults.lateAnswerFrame > 0 && stickFrames_ == faults.lateAnswerFrame && pending_.size() > queuedBefore) {
        // This frame's answers come late; whatever follows waits behind them.
        const auto late = std::chrono::milliseconds(faults.lateAnswerMs);
        for (std::size_t i = queuedBefore; i < pending_.size(); ++i)
            pending_[i].due += late;
        lastDue_ = std::max(lastDue_, pending_.back().due);
        armReidentify();
    }
    if (stray && !faults.strayAnswerFirst)
        queueReport(strayAnswer);
}

void SimulatedStick::armReidentify() {
    const int every = state_->faults.reidentifyMs;
    if (every > 0 && !reidentifyDue_ && !state_->module.present)
        reidentifyDue_ = now() + std::chrono::milliseconds(every);
}

void SimulatedStick::answerStickFrame(std::span<const std::uint8_t> frame) {
    switch (frame[2]) {
    case kReadMemory:
        answerReadMemory(frame);
        break;
    case kWriteMemory:
        receiveMemoryWrite(frame, false);
        break;
    case kWriteEe:
        receiveMemoryWrite(frame, true);
        break;
    case kFirmwarePart:
        receiveFirmwarePart(frame);
        break;
    case kReset:
        receiveReset();
        break;
    default:
        break; // not a command the stick knows
    }
}

void SimulatedStick::answerReadMemory(std::span<const std::uint8_t> frame) {
    if (frame.size() < 5)
        return;
    const std::uint8_t address = frame[3];
    const std::size_t room = static_cast<std::size_t>(state_->stick.inputReportLength) > kAnswerDataStart
                                 ? static_cast<std::size_t>(state_->stick.inputReportLength) - kAnswerDataStart
                                 : 0;
    const std::size_t count = std::min({std::size_t{frame[4]}, kSimStickMemorySize - address, room});
    std::vector<std::uint8_t> answer = {kAnswerMark, 0x52, 0x00, 0x00, address, static_cast<std::uint8_t>(count)};
    answer.insert(answer.end(), state_->stick.memory.begin() + address,
                  state_->stick.memory.begin() + static_cast<std::ptrdiff_t>(address + count));
    std::uint16_t crc = crc16(std::span<const std::uint8_t>(answer).subspan(4));
    if (badCrcsSent_ < state_->faults.badReadCrc) {
        ++badCrcsSent_;
        crc = static_cast<std::uint16_t>(crc ^ 0xFFFF);
    }
    answer[2] = static_cast<std::uint8_t>(crc & 0xFF);
    answer[3] = static_cast<std::uint8_t>(crc >> 8);
    queueReport(answer);
}

// CA C5 code crc-lo crc-hi address count data...: the CRC covers address, count and data.
void SimulatedStick::receiveMemoryWrite(std::span<const std::uint8_t> frame, bool ee) {
    const std::uint8_t accepted = ee ? 0x56 : 0x54;
    const std::uint8_t refusedCode = ee ? 0x57 : 0x55;
    bool refused = frame.size() < 7;
    std::size_t count = 0;
    std::uint8_t address = 0;
    if (!refused) {
        address = frame[5];
        count = frame[6];
        refused = 7 + count > frame.size() || word(frame, 3) != crc16(frame.subspan(5, 2 + count));
    }
    if (!refused && writesRefused_ < state_->faults.refuseWrites) {
        ++writesRefused_;
        refused = true;
    }
    if (refused) {
        const std::uint8_t answer[] = {kAnswerMark, refusedCode};
        queueReport(answer);
        return;
    }
    const std::size_t stored = std::min(count, kSimStickMemorySize - address);
    std::copy_n(frame.begin() + 7, stored, state_->stick.memory.begin() + address);
    const int differs = state_->faults.stickStoreDiffersByte;
    if (differs >= address && static_cast<std::size_t>(differs) < address + stored)
        state_->stick.memory[static_cast<std::size_t>(differs)] ^= 0xFF;
    const std::uint8_t answer[] = {kAnswerMark, accepted};
    queueReport(answer);
    // The last write EE frame ends the write: the stick starts afresh and says who it is.
    if (ee && address + count >= kEeAreaEnd)
        queueIdentification();
    // As for a module's block: the answer is timed from the frame, the file written under the lock.
    saveState();
}

// CA C5 08 crc-lo crc-hi phase data: 26 bytes in phases 1 and 2, 20 in phase 3; the CRC covers the data.
void SimulatedStick::receiveFirmwarePart(std::span<const std::uint8_t> frame) {
    ++firmwareFrames_;
    const std::uint8_t phase = frame.size() > 5 ? frame[5] : 0;
    const std::size_t count = phase == 3 ? kFirmwareLastPartData : kFirmwarePartData;
    bool refused = phase < 1 || phase > 3 || frame.size() < 6 + count ||
                   word(frame, 3) != crc16(frame.subspan(6, count)) ||
                   firmwareFrames_ == state_->faults.refuseFirmwareFrame;
    if (refused) {
        // The update is broken off: the next one starts from its first record.
        receivedFirmware_.clear();
        const std::uint8_t answer[] = {kAnswerMark, static_cast<std::uint8_t>(phase == 3 ? 0x5B : 0x59)};
        queueReport(answer);
        return;
    }
    receivedFirmware_.insert(receivedFirmware_.end(), frame.begin() + 6,
                             frame.begin() + static_cast<std::ptrdiff_t>(6 + count));
    const std::uint8_t answer[] = {kAnswerMark, static_cast<std::uint8_t>(phase == 3 ? 0x5A : 0x58)};
    queueReport(answer);
}

void SimulatedStick::receiveReset() {
    if (!receivedFirmware_.empty()) {
        state_->stick.receivedFirmwareBytes = static_cast<int>(receivedFirmware_.size());
        state_->stick.receivedFirmwareCrc = crc16(receivedFirmware_);
        receivedFirmware_.clear();
        saveState();
    }
    queueIdentification();
}

void SimulatedStick::queueReport(std::span<const std::uint8_t> bytes) {
    const int lostAfter = state_->faults.loseAnswersAfter;
    if (lostAfter >= 0 && answersProduced_ >= lostAfter) {
        armReidentify();
        return;
    }
    ++answersProduced_;
    std::vector<std::uint8_t> report(static_cast<std::size_t>(state_->stick.inputReportLength), 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), report.size()), report.begin());
    // Each answer becomes readable one delay after the one before (or after now, when that is later).
    const auto delay = std::chrono::milliseconds(state_->faults.delayPerReportMs);
    lastDue_ = std::max(now(), lastDue_) + delay;
    pending_.push_back({std::move(report), lastDue_});
}

bool SimulatedStick::takeReport(std::span<std::uint8_t> buffer) {
    if (!open_)
        return false;
    const auto current = now();
    if (reidentifyDue_ && *reidentifyDue_ <= current && (pending_.empty() || pending_.front().due > current)) {
        // The stick says who it is by itself, again and again: no answer is lost to it.
        const SimStick& stick = state_->stick;
        const std::uint8_t identification[] = {
            kAnswerMark,           0x5F, stick.deviceNumber[0], stick.deviceNumber[1], stick.deviceNumber[2],
            stick.deviceNumber[3], 0x00, stick.firmwareVersion};
        std::fill(buffer.begin(), buffer.end(), 0x00);
        std::copy_n(identification, std::min(sizeof identification, buffer.size()), buffer.begin());
        *reidentifyDue_ += std::chrono::milliseconds(state_->faults.reidentifyMs);
        return true;
    }
    if (pending_.empty())
        return false;
    if (pending_.front().due > current)
        return false;
    const std::vector<std::uint8_t>& report = pending_.front().bytes;
    std::copy_n(report.begin(), std::min(report.size(), buffer.size()), buffer.begin());
    pending_.pop_front();
    return true;
}

bool SimulatedStick::readData(std::span<std::uint8_t> buffer) {
    std::lock_guard lock(mutex_);
    return takeReport(buffer);
}

StickAccess::Wait SimulatedStick::waitForReport(std::span<std::uint8_t> buffer, int timeoutMs) {
    if (clock_)
        return StickAccess::waitForReport(buffer, timeoutMs);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    std::unique_lock lock(mutex_);
    for (;;) {
        if (unplugged_)
            return Wait::Lost;
        if (takeReport(buffer))
            return Wait::Report;
        const auto current = std::chrono::steady_clock::now();
        if (current >= deadline)
            return Wait::Nothing;
        auto wake = deadline;
        if (open_ && !pending_.empty())
            wake = std::min(wake, pending_.front().due);
        if (open_ && reidentifyDue_)
            wake = std::min(wake, *reidentifyDue_);
        queued_.wait_until(lock, wake);
    }
}

void SimulatedStick::close() {
    open_ = false;
    unplugged_ = false;
    stickAnsweredRead_ = false;
    pending_.clear();
    lastDue_ = {};
    answersProduced_ = 0;
    reportsTaken_ = 0;
    writesRefused_ = 0;
    badCrcsSent_ = 0;
    firmwareFrames_ = 0;
    stickFrames_ = 0;
    reidentifyDue_.reset();
    receivedFirmware_.clear();
    incomingAddress_.reset();
    incoming_.clear();
}

void SimulatedStick::closeDevice() {
    std::lock_guard lock(mutex_);
    close();
}

bool SimulatedStick::setFeature(std::span<const std::uint8_t> /*report*/) {
    std::lock_guard lock(mutex_);
    return open_ && state_->stick.featureReportLength > 0;
}

} // namespace lumeq
