#include "link/stickengine.h"

#include "link/firmwarestate.h"

#include "link/blockwriter.h"
#include "link/stickaccess.h"
#include "model/hex.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace lumeq {

namespace {

constexpr const char* kDumpHead = "------------------ Memory dump --------------------";
constexpr const char* kDumpFoot = "----------------------------------------------------";
constexpr std::size_t kDumpRow = 16;
constexpr std::uint8_t kNoVersion = 0xFF;
constexpr std::size_t kIdentificationLength = 8;

std::uint8_t byteAt(std::span<const std::uint8_t> memory, std::size_t at) {
    return at < memory.size() ? memory[at] : 0xFF;
}

} // namespace

StickLog stickLog(std::span<const std::uint8_t> memory) {
    const auto b = [&](std::size_t offset) {
        return static_cast<std::uint32_t>(byteAt(memory, kStickLogFirst + offset));
    };
    StickLog log;
    log.operationMinutes = b(0) | b(1) << 8 | b(2) << 16;
    log.switchCount = static_cast<std::uint16_t>(b(3) | b(4) << 8);
    log.overTemperatureMinutes = 15 * (b(5) | b(6) << 8);
    log.maxTemperature = static_cast<std::uint8_t>(b(7));
    return log;
}

StickLogTexts stickLogTexts(std::span<const std::uint8_t> memory) {
    const StickLog log = stickLog(memory);
    return {std::to_string(log.operationMinutes) + " min", std::to_string(log.switchCount),
            std::to_string(log.overTemperatureMinutes) + " min", std::to_string(log.maxTemperature) + " \u00B0C"};
}

std::optional<StickLogTexts> stickLogToShow(std::span<const std::uint8_t> memory, int stickFwVersion, bool showLog) {
    if (!showLog || stickFwVersion < kLogFirmwareVersion)
        return std::nullopt;
    return stickLogTexts(memory);
}

std::string stickIdentityText(const StickId& id) {
    std::string text = "USB Stick, Device Nr. ";
    for (std::size_t i = 0; i < 4; ++i)
        text += hexByte(id[i]);
    if (id[5] != kNoVersion)
        text += ", FW 1." + std::to_string(id[5]);
    else
        text += ", FW ???";
    return text;
}

std::vector<std::string> memoryDumpLines(std::span<const std::uint8_t> memory) {
    std::vector<std::string> lines;
    lines.reserve(2 + kStickMemorySize / kDumpRow);
    lines.emplace_back(kDumpHead);
    for (std::size_t row = 0; row < kStickMemorySize; row += kDumpRow) {
        // Written in place: "00: " and "XX " per byte, one allocation per line.
        std::string line;
        line.reserve(4 + 3 * kDumpRow);
        appendHex(line, static_cast<unsigned>(row), 2);
        line += ": ";
        for (std::size_t i = 0; i < kDumpRow; ++i) {
            appendHex(line, byteAt(memory, row + i), 2);
            line += ' ';
        }
        lines.push_back(std::move(line));
    }
    lines.emplace_back(kDumpFoot);
    return lines;
}

std::string firmwareQuestionText(int stickVersion, int embeddedVersion) {
    return "The Lumeq Firmware version (1." + std::to_string(stickVersion) + ") and the embedded version (1." +
           std::to_string(embeddedVersion) + ") are different!\rDo you want to update the firmware?";
}

std::size_t firmwareRecordCount(std::size_t length) {
    return (length + kFirmwareRecordSize - 1) / kFirmwareRecordSize;
}

std::optional<int> reportedFirmwareVersion(const StickId& id) {
    if (id[5] == kNoVersion)
        return std::nullopt;
    return id[5];
}

bool firmwareIsOlder(const StickId& id, int imageVersion) {
    const std::optional<int> reported = reportedFirmwareVersion(id);
    return reported && imageVersion < *reported;
}

std::string firmwareDowngradeText(int stickVersion, int imageVersion) {
    return firmwareDowngradeText("stick", stickVersion, imageVersion);
}

std::optional<FirmwareOffer> firmwareOffer(const StickId& id, std::optional<std::uint8_t> embeddedVersion,
                                           bool skipFW) {
    const int stickVersion = reportedFirmwareVersion(id).value_or(0);
    if (skipFW || !embeddedVersion || stickVersion == *embeddedVersion)
        return std::nullopt;
    FirmwareOffer offer;
    offer.question = firmwareQuestionText(stickVersion, *embeddedVersion);
    offer.older = firmwareIsOlder(id, *embeddedVersion);
    if (offer.older)
        offer.detail = firmwareDowngradeText(stickVersion, *embeddedVersion);
    return offer;
}

int stickStateNumber(StickState state) {
    switch (state) {
    case StickState::Waiting:
        return 0;
    case StickState::Identified:
        return 1;
    case StickState::Writing:
        return 2;
    case StickState::FirmwarePhase1:
        return 3;
    case StickState::FirmwarePhase2:
        return 4;
    case StickState::FirmwarePhase3:
        return 5;
    }
    return 0;
}

const StickEvent* StickEffects::find(StickEvent::Kind kind) const {
    const auto found = std::find_if(events.begin(), events.end(), [kind](const StickEvent& e) { return e.kind == kind; });
    return found == events.end() ? nullptr : &*found;
}

void defaultStickMemory(Image& memory) {
    memory.assign(std::max(memory.size(), kStickMemorySize), 0xFF);
    std::copy(kDefaultImage.begin(), kDefaultImage.end(), memory.begin());
}

StickEngine::StickEngine(Image& memory, Options options) : memory_(memory), options_(options) {}

void StickEngine::ensureMemorySize() {
    if (memory_.size() < kStickMemorySize)
        memory_.resize(kStickMemorySize, 0x00);
}

bool StickEngine::inFirmware() const {
    return state_ == StickState::FirmwarePhase1 || state_ == StickState::FirmwarePhase2 ||
           state_ == StickState::FirmwarePhase3;
}

int StickEngine::firmwarePhase() const {
    switch (state_) {
    case StickState::FirmwarePhase1:
        return 1;
    case StickState::FirmwarePhase2:
        return 2;
    case StickState::FirmwarePhase3:
        return 3;
    default:
        return 0;
    }
}

void StickEngine::send(StickEffects& effects, const StickFrame& frame) {
    if (frame.bytes.empty())
        return;
    effects.frames.push_back(frame);
    if (!frame.logText.empty())
        effects.debugLines.push_back(sendLogLine(frame.logText));
}

void StickEngine::ignore(std::uint8_t code, StickEffects& effects) {
    effects.debugLines.push_back("Ignored: B2 " + hexByte(code));
}

void StickEngine::startRead(StickEffects& effects) {
    ensureMemorySize();
    stickAddr_ = 0;
    readRetries_ = 0;
    memoryRead_ = false; // from here on the memory holds part of this read
    sendRead(effects);
}

void StickEngine::sendRead(StickEffects& effects) {
    reading_ = true;
    send(effects, stickReadMemoryFrame(static_cast<std::uint8_t>(stickAddr_)));
}

void StickEngine::sendWriteMemory(StickEffects& effects) {
    // Frames at 0, 25, ..., 225: the last one carries bytes 225..249.
    if (stickAddr_ < 0 || stickAddr_ + kStickMemoryWriteCount > kStickWriteEnd)
        return;
    send(effects, stickWriteMemoryFrame(memory_, static_cast<std::uint8_t>(stickAddr_)));
}

void StickEngine::sendWriteEe(StickEffects& effects) {
    // Frames at 0, 12, ..., 108: the last one carries bytes 108..119.
    if (stickAddr_ < 0 || stickAddr_ + kStickEeWriteCount > kStickEeWriteEnd)
        return;
    send(effects, stickWriteEeFrame(memory_, static_cast<std::uint8_t>(stickAddr_)));
}

void StickEngine::sendFirmwarePart(StickEffects& effects) {
    const int phase = firmwarePhase();
    if (phase == 0)
        return;
    const FirmwareFrame part = stickFirmwareFrame(firmware_, static_cast<std::size_t>(stickAddr_), phase);
    send(effects, part.frame);
    stickAddr_ += static_cast<int>(part.taken);
    if (phase == 3) {
        ++progressPosition_;
        effects.events.push_back({StickEvent::Kind::FirmwareProgress, StickEnd::None, progressPosition_,
                                  progressMaximum_});
    }
}

StickEffects StickEngine::feed(std::span<const std::uint8_t> report) {
    StickEffects effects;
    if (report.empty())
        return effects;
    if (report[0] != kStickAnswerMark) {
        effects.debugLines.push_back(foreignReportLogLine(report[0]));
        return effects;
    }
    const std::uint8_t code = report.size() > 1 ? report[1] : 0x00;
    switch (code) {
    case kStickIdentification:
        onIdentification(report, effects);
        break;
    case kStickBackToWaiting:
        onBackToWaiting(effects);
        break;
    case kStickReadData:
        onReadData(report, effects);
        break;
    case kStickMemoryWritten:
    case kStickEeWritten: {
        const bool ee = code == kStickEeWritten;
        if (state_ != StickState::Writing || writingEe_ != ee)
            ignore(code, effects);
        else
            onAcceptedWrite(ee, effects);
        break;
    }
    case kStickMemoryRefused:
    case kStickEeRefused: {
        const bool ee = code == kStickEeRefused;
        if (state_ != StickState::Writing || writingEe_ != ee)
            ignore(code, effects);
        else
            onRefusedWrite(ee, effects);
        break;
    }
    case kStickFirmwarePartAccepted:
    case kStickFirmwareRefused:
    case kStickFirmwareRecordDone:
    case kStickFirmwareRecordRefused:
        onFirmwareAnswer(code, effects);
        break;
    default:
        effects.debugLines.push_back(unknownAnswerLogLine(code));
        break;
    }
    return effects;
}

void StickEngine::onIdentification(std::span<const std::uint8_t> report, StickEffects& effects) {
    std::array<std::uint8_t, kIdentificationLength> padded{};
    std::copy_n(report.begin(), std::min(report.size(), padded.size()), padded.begin());
    const std::optional<StickIdentification> id = parseStickIdentification(padded);
    std::copy(id->deviceNumber.begin(), id->deviceNumber.end(), stickId_.begin());
    stickId_[4] = id->unused;
    stickId_[5] = id->firmwareVersion;
    identified_ = true;
    StickEvent event{StickEvent::Kind::Identified};
    if (state_ == StickState::Waiting) {
        state_ = StickState::Identified;
        event.readStarted = true;
        effects.pauseMs = std::max(options_.identificationPauseMs, 0);
        startRead(effects);
    }
    effects.events.insert(effects.events.begin(), event);
}

void StickEngine::onBackToWaiting(StickEffects& effects) {
    // Whatever was going on ends: the stick will say who it is again.
    if (state_ == StickState::Writing)
        writeFailed(StickEnd::BackToWaiting, effects);
    else if (inFirmware())
        firmwareStopped(StickEnd::BackToWaiting, effects);
    else if (reading_)
        readFailed(StickEnd::BackToWaiting, effects);
    state_ = StickState::Waiting;
    reading_ = false;
    effects.events.push_back({StickEvent::Kind::BackToWaiting});
}

void StickEngine::onReadData(std::span<const std::uint8_t> report, StickEffects& effects) {
    if (!reading_) {
        ignore(kStickReadData, effects); // no read waits for it
        return;
    }
    const std::optional<StickMemoryData> data = parseStickMemoryData(report);
    // An answer that fails its CRC, is cut short or carries nothing is asked for again.
    if (!data || !data->crcHolds || data->count == 0) {
        if (++readRetries_ <= kStickFrameRepeats)
            sendRead(effects);
        else
            readFailed(StickEnd::BadCrc, effects);
        return;
    }
    // An answer for another address, or with more bytes than were asked for, is not the one awaited.
    if (data->address != stickAddr_ || data->count > stickReadCount(static_cast<std::uint8_t>(stickAddr_))) {
        ignore(kStickReadData, effects);
        return;
    }
    readRetries_ = 0;
    for (std::size_t i = 0; i < data->data.size() && data->address + i < memory_.size(); ++i)
        memory_[data->address + i] = data->data[i];
    const int end = data->address + data->count;
    if (end < static_cast<int>(kStickMemorySize) - 1) {
        stickAddr_ = end;
        sendRead(effects);
    } else {
        readComplete(effects);
    }
}

void StickEngine::readComplete(StickEffects& effects) {
    reading_ = false;
    memoryRead_ = true;
    stickFwVersion_ = stickId_[5] != kNoVersion ? stickId_[5] : 0;
    for (std::string& line : memoryDumpLines(memory_))
        effects.debugLines.push_back(std::move(line));
    effects.events.push_back({StickEvent::Kind::MemoryRead});
}

void StickEngine::readFailed(StickEnd reason, StickEffects& effects) {
    reading_ = false;
    readRetries_ = 0;
    effects.events.push_back({StickEvent::Kind::ReadFailed, reason});
}

void StickEngine::onAcceptedWrite(bool ee, StickEffects& effects) {
    retryCount_ = 0;
    if (!ee) {
        if (stickAddr_ + 2 * kStickMemoryWriteCount <= kStickWriteEnd) {
            stickAddr_ += static_cast<int>(kStickMemoryWriteCount);
            sendWriteMemory(effects);
        } else {
            writingEe_ = true;
            stickAddr_ = 0;
            sendWriteEe(effects);
        }
        return;
    }
    if (stickAddr_ + 2 * kStickEeWriteCount <= kStickEeWriteEnd) {
        stickAddr_ += static_cast<int>(kStickEeWriteCount);
        sendWriteEe(effects);
        return;
    }
    effects.debugLines.emplace_back("EE Write OK");
    state_ = StickState::Waiting;
    writingEe_ = false;
    effects.events.push_back({StickEvent::Kind::WriteDone});
}

void StickEngine::onRefusedWrite(bool ee, StickEffects& effects) {
    if (++retryCount_ > kStickFrameRepeats) {
        writeFailed(StickEnd::Refused, effects);
        return;
    }
    if (ee) {
        effects.debugLines.emplace_back("EE Write Repeat");
        sendWriteEe(effects);
    } else {
        sendWriteMemory(effects);
    }
}

void StickEngine::writeFailed(StickEnd reason, StickEffects& effects) {
    state_ = StickState::Waiting;
    writingEe_ = false;
    effects.events.push_back({StickEvent::Kind::WriteFailed, reason});
}

void StickEngine::onFirmwareAnswer(std::uint8_t code, StickEffects& effects) {
    const int phase = firmwarePhase();
    const bool fits = phase == 3 ? code == kStickFirmwareRecordDone || code == kStickFirmwareRecordRefused
                                 : phase != 0 && (code == kStickFirmwarePartAccepted || code == kStickFirmwareRefused);
    if (!fits) {
        ignore(code, effects);
        return;
    }
    switch (code) {
    case kStickFirmwarePartAccepted:
        state_ = phase == 1 ? StickState::FirmwarePhase2 : StickState::FirmwarePhase3;
        sendFirmwarePart(effects);
        break;
    case kStickFirmwareRecordDone:
        if (progressPosition_ < progressMaximum_) {
            state_ = StickState::FirmwarePhase1;
            sendFirmwarePart(effects);
            break;
        }
        state_ = StickState::Identified;
        effects.debugLines.emplace_back("FW Update done.");
        effects.events.push_back({StickEvent::Kind::FirmwareDone, StickEnd::None, progressPosition_, progressMaximum_});
        send(effects, stickResetFrame());
        break;
    default: // refused: the update ends here; only Update FW starts one again
        firmwareStopped(StickEnd::Refused, effects);
        break;
    }
}

void StickEngine::firmwareStopped(StickEnd reason, StickEffects& effects) {
    state_ = StickState::Identified;
    effects.events.push_back({StickEvent::Kind::FirmwareStopped, reason, progressPosition_, progressMaximum_});
}

bool StickEngine::rereadAccepted() const {
    const bool afterFailedRead = state_ == StickState::Waiting && identified_ && !memoryRead_ && !reading_;
    return state_ == StickState::Identified || afterFailedRead;
}

StickEffects StickEngine::reread() {
    StickEffects effects;
    if (!rereadAccepted())
        return effects;
    state_ = StickState::Identified;
    startRead(effects);
    return effects;
}

StickEffects StickEngine::store() {
    StickEffects effects;
    if (!memoryRead_) {
        effects.events.push_back({StickEvent::Kind::WriteFailed, StickEnd::NotRead});
        return effects;
    }
    state_ = StickState::Writing;
    writingEe_ = false;
    stickAddr_ = 0;
    retryCount_ = 0;
    reading_ = false;
    sendWriteMemory(effects);
    return effects;
}

StickEffects StickEngine::startFirmwareUpdate(std::span<const std::uint8_t> image, std::size_t length) {
    StickEffects effects;
    const std::size_t taken = std::min(image.size(), kFirmwareImageSize);
    length = std::min(length, kFirmwareImageSize);
    if (length == 0) {
        effects.events.push_back({StickEvent::Kind::FirmwareStopped, StickEnd::NoFirmware});
        return effects;
    }
    firmware_.assign(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(taken));
    reading_ = false; // a read going on is given up (the memory does not hold a complete read then)
    writingEe_ = false;
    state_ = StickState::FirmwarePhase1;
    stickAddr_ = 0;
    progressPosition_ = 0;
    progressMaximum_ = static_cast<int>(firmwareRecordCount(length));
    effects.events.push_back({StickEvent::Kind::FirmwareStarted, StickEnd::None, 0, progressMaximum_});
    sendFirmwarePart(effects);
    return effects;
}

StickEffects StickEngine::stickLost() {
    return endExchange(StickEnd::Lost);
}

StickEffects StickEngine::answerMissing() {
    return endExchange(StickEnd::NoAnswer);
}

StickEffects StickEngine::endExchange(StickEnd reason) {
    StickEffects effects;
    if (state_ == StickState::Writing)
        writeFailed(reason, effects);
    else if (inFirmware())
        firmwareStopped(reason, effects);
    else if (reading_)
        readFailed(reason, effects);
    return effects;
}

StickDriveEnd driveStick(StickAccess& stick, StickEngine& engine, const StickEffects& first, std::size_t inReportLength,
                         std::size_t outReportLength, StickDriveLimits limits,
                         const std::function<bool(const StickEffects&)>& done,
                         const std::function<void(const StickEffects&)>& seen) {
    using Clock = std::chrono::steady_clock;
    Bytes sendBuffer;
    // The time by which the answer to the request in flight must have come; set afresh by each request.
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(limits.firstMs, 0));
    const auto carryOut = [&](const StickEffects& effects) {
        if (effects.pauseMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(effects.pauseMs));
        for (const StickFrame& frame : effects.frames) {
            placeFrame(sendBuffer, frame.bytes, outReportLength);
            stick.writeData(sendBuffer);
        }
        if (!effects.frames.empty())
            deadline = Clock::now() + std::chrono::milliseconds(std::max(limits.answerMs, 0));
        if (seen)
            seen(effects);
    };
    carryOut(first);
    if (done && done(first))
        return StickDriveEnd::Done;
    Bytes buffer(std::max<std::size_t>(inReportLength, kIdentificationLength), 0x00);
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), 0x00);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const StickAccess::Wait wait =
            left > 0 ? stick.waitForReport(buffer, static_cast<int>(left)) : StickAccess::Wait::Nothing;
        switch (wait) {
        case StickAccess::Wait::Nothing: {
            const StickEffects ended = engine.answerMissing();
            if (seen)
                seen(ended);
            return StickDriveEnd::NoAnswer;
        }
        case StickAccess::Wait::Lost: {
            const StickEffects ended = engine.stickLost();
            carryOut(ended);
            return StickDriveEnd::Lost;
        }
        case StickAccess::Wait::Report:
            break;
        }
        const StickEffects effects = engine.feed(buffer);
        carryOut(effects);
        if (done && done(effects))
            return StickDriveEnd::Done;
    }
}

} // namespace lumeq
