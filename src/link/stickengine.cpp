#include "link/stickengine.h"

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
constexpr const char* kReadErrorMessage =
    "The stick's memory could not be read: its answers kept failing their checksum. Try ReRead.";
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

void defaultStickMemory(Image& memory) {
    memory.assign(std::max(memory.size(), kStickMemorySize), 0xFF);
    std::copy(kDefaultImage.begin(), kDefaultImage.end(), memory.begin());
}

StickEngine::StickEngine(Image& memory, Options options) : memory_(memory), options_(options) {}

void StickEngine::ensureMemorySize() {
    if (memory_.size() < kStickMemorySize)
        memory_.resize(kStickMemorySize, 0x00);
}

void StickEngine::send(StickEffects& effects, const StickFrame& frame) {
    if (frame.bytes.empty())
        return;
    effects.frames.push_back(frame);
    if (!frame.logText.empty())
        effects.debugLines.push_back(sendLogLine(frame.logText));
}

void StickEngine::sendRead(StickEffects& effects) {
    reading_ = true;
    send(effects, stickReadMemoryFrame(static_cast<std::uint8_t>(stickAddr_)));
}

void StickEngine::sendWriteMemory(StickEffects& effects) {
    send(effects, stickWriteMemoryFrame(memory_, static_cast<std::uint8_t>(stickAddr_)));
}

void StickEngine::sendWriteEe(StickEffects& effects) {
    send(effects, stickWriteEeFrame(memory_, static_cast<std::uint8_t>(stickAddr_)));
}

void StickEngine::sendFirmwarePart(StickEffects& effects) {
    if (stickState_ < 3)
        return;
    const int phase = stickState_ - 2;
    const FirmwareFrame part = stickFirmwareFrame(firmware_, static_cast<std::size_t>(stickAddr_), phase);
    send(effects, part.frame);
    stickAddr_ += static_cast<int>(part.taken);
    if (phase == 3) {
        ++progressPosition_;
        effects.progressPosition = progressPosition_;
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
        effects.captionChange = StickEffects::Caption::Set;
        effects.caption = kStickCaption;
        stickState_ = 0;
        reading_ = false;
        effects.formDisabled = true;
        effects.buttons = StickEffects::Buttons::Hide;
        effects.normalCursor = true; // hiding the buttons shows the normal cursor
        break;
    case kStickReadData:
        onReadData(report, effects);
        break;
    case kStickMemoryWritten:
        if (stickState_ != 2)
            break; // no write is going on: nothing to go on with
        retryCount_ = 0;
        if (stickAddr_ < static_cast<int>(kStickWriteEnd - kStickMemoryWriteCount)) {
            stickAddr_ += static_cast<int>(kStickMemoryWriteCount);
            sendWriteMemory(effects);
        } else {
            stickAddr_ = 0;
            sendWriteEe(effects);
        }
        break;
    case kStickMemoryRefused:
        onRefusedWrite(false, effects);
        break;
    case kStickEeWritten:
        if (stickState_ != 2)
            break;
        if (stickAddr_ <= static_cast<int>(kStickEeWriteEnd - 2 * kStickEeWriteCount)) {
            retryCount_ = 0;
            stickAddr_ += static_cast<int>(kStickEeWriteCount);
            sendWriteEe(effects);
        } else {
            writeComplete(effects);
        }
        break;
    case kStickEeRefused:
        onRefusedWrite(true, effects);
        break;
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
    effects.normalCursor = true;
    std::copy(id->deviceNumber.begin(), id->deviceNumber.end(), stickId_.begin());
    stickId_[4] = id->unused;
    stickId_[5] = id->firmwareVersion;
    identified_ = true;
    effects.identified = true;
    if (stickState_ != 0)
        return;
    stickState_ = 1;
    ensureMemorySize();
    stickAddr_ = 0;
    readRetries_ = 0;
    effects.pauseMs = std::max(options_.identificationPauseMs, 0);
    sendRead(effects);
}

void StickEngine::onReadData(std::span<const std::uint8_t> report, StickEffects& effects) {
    if (!reading_)
        return; // no read waits for it
    const std::optional<StickMemoryData> data = parseStickMemoryData(report);
    // An answer that fails its CRC, is cut short or carries nothing is asked for again.
    if (!data || !data->crcHolds || data->count == 0) {
        if (++readRetries_ <= kStickFrameRepeats)
            sendRead(effects);
        else
            readFailed(effects);
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
    effects.readComplete = true;
    const std::string identity = stickIdentityText(stickId_);
    stickFwVersion_ = stickId_[5] != kNoVersion ? stickId_[5] : 0;
    if (options_.embeddedFwVersion && stickFwVersion_ != *options_.embeddedFwVersion && !options_.skipFW)
        effects.firmwareQuestion = firmwareQuestionText(stickFwVersion_, *options_.embeddedFwVersion);
    effects.captionChange = StickEffects::Caption::Set;
    effects.caption = identity + kReadyText;
    if (options_.showLog && stickFwVersion_ >= kLogFirmwareVersion)
        effects.log = std::optional<StickLogTexts>(stickLogTexts(memory_));
    else
        effects.log = std::optional<StickLogTexts>();
    for (std::string& line : memoryDumpLines(memory_))
        effects.debugLines.push_back(std::move(line));
    effects.redraw = true;
    effects.formDisabled = false;
    effects.buttons = StickEffects::Buttons::Show;
}

void StickEngine::readFailed(StickEffects& effects) {
    reading_ = false;
    readRetries_ = 0;
    effects.readFailed = true;
    effects.captionChange = StickEffects::Caption::Set;
    effects.caption = kReadErrorText;
    effects.message = kReadErrorMessage;
    effects.formDisabled = false;
    effects.buttons = StickEffects::Buttons::Show;
    effects.normalCursor = true;
}

void StickEngine::onRefusedWrite(bool ee, StickEffects& effects) {
    if (stickState_ != 2)
        return;
    if (++retryCount_ > kStickFrameRepeats) {
        writeFailed(effects);
        return;
    }
    if (ee) {
        effects.debugLines.emplace_back("EE Write Repeat");
        sendWriteEe(effects);
    } else {
        sendWriteMemory(effects);
    }
}

void StickEngine::writeComplete(StickEffects& effects) {
    effects.debugLines.emplace_back("EE Write OK");
    stickState_ = 0;
    effects.writeComplete = true;
    effects.buttons = StickEffects::Buttons::Show;
    effects.formDisabled = false;
    effects.normalCursor = true;
    effects.captionChange = StickEffects::Caption::Append;
    effects.caption = kTransferFinishedText;
}

void StickEngine::writeFailed(StickEffects& effects) {
    stickState_ = 0;
    effects.writeFailed = true;
    effects.buttons = StickEffects::Buttons::Show;
    effects.formDisabled = false;
    effects.normalCursor = true;
    effects.captionChange = StickEffects::Caption::Set;
    effects.caption = kTransferErrorText;
}

void StickEngine::onFirmwareAnswer(std::uint8_t code, StickEffects& effects) {
    if (stickState_ < 3)
        return; // no update is going on
    switch (code) {
    case kStickFirmwarePartAccepted:
        if (stickState_ < 5) {
            ++stickState_;
            sendFirmwarePart(effects);
        }
        break;
    case kStickFirmwareRecordDone:
        stickState_ = 3;
        if (progressPosition_ < progressMaximum_) {
            sendFirmwarePart(effects);
            break;
        }
        stickState_ = 1;
        effects.debugLines.emplace_back("FW Update done.");
        effects.captionChange = StickEffects::Caption::Append;
        effects.caption = kFirmwareUpdateFinishedText;
        effects.progressShown = false;
        send(effects, stickResetFrame());
        effects.formDisabled = false;
        effects.firmwareComplete = true;
        break;
    default: // refused: the update stops here
        updateStopped_ = true;
        effects.beep = true;
        effects.formDisabled = false;
        effects.firmwareFailed = true;
        break;
    }
}

StickEffects StickEngine::reread() {
    StickEffects effects;
    if (stickState_ != 1)
        return effects;
    ensureMemorySize();
    stickAddr_ = 0;
    readRetries_ = 0;
    sendRead(effects);
    return effects;
}

StickEffects StickEngine::store() {
    StickEffects effects;
    stickState_ = 2;
    stickAddr_ = 0;
    retryCount_ = 0;
    reading_ = false;
    sendWriteMemory(effects);
    return effects;
}

StickEffects StickEngine::startFirmwareUpdate(std::span<const std::uint8_t> image, std::size_t length) {
    StickEffects effects;
    firmware_.assign(image.begin(), image.end());
    reading_ = false;
    effects.formDisabled = true;
    stickState_ = 3;
    updateStopped_ = false;
    stickAddr_ = 0;
    progressPosition_ = 0;
    progressMaximum_ = static_cast<int>(firmwareRecordCount(length));
    effects.progressPosition = 0;
    effects.progressMaximum = progressMaximum_;
    effects.progressShown = true;
    sendFirmwarePart(effects);
    return effects;
}

StickEffects StickEngine::stickLost() {
    return endExchange(std::string(kUsbErrorMessage));
}

StickEffects StickEngine::answerMissing() {
    return endExchange(kStickNoAnswerMessage);
}

StickEffects StickEngine::endExchange(std::string message) {
    StickEffects effects;
    effects.message = std::move(message);
    if (stickState_ == 2) {
        writeFailed(effects);
    } else if (stickState_ >= 3) {
        stickState_ = 1;
        effects.progressShown = false;
        effects.formDisabled = false;
        effects.normalCursor = true;
        effects.firmwareFailed = true;
    } else if (reading_) {
        reading_ = false;
        effects.readFailed = true;
        effects.captionChange = StickEffects::Caption::Set;
        effects.caption = kReadErrorText;
        effects.formDisabled = false;
        effects.buttons = StickEffects::Buttons::Show;
        effects.normalCursor = true;
    }
    return effects;
}

StickDriveEnd driveStick(StickAccess& stick, StickEngine& engine, const StickEffects& first, std::size_t inReportLength,
                         std::size_t outReportLength, int answerTimeoutMs,
                         const std::function<bool(const StickEffects&)>& done,
                         const std::function<void(const StickEffects&)>& seen) {
    Bytes sendBuffer;
    const auto carryOut = [&](const StickEffects& effects) {
        if (effects.pauseMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(effects.pauseMs));
        for (const StickFrame& frame : effects.frames) {
            placeFrame(sendBuffer, frame.bytes, outReportLength);
            stick.writeData(sendBuffer);
        }
        if (seen)
            seen(effects);
    };
    carryOut(first);
    if (done && done(first))
        return StickDriveEnd::Done;
    Bytes buffer(std::max<std::size_t>(inReportLength, kIdentificationLength), 0x00);
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), 0x00);
        switch (stick.waitForReport(buffer, answerTimeoutMs)) {
        case StickAccess::Wait::Nothing:
            return StickDriveEnd::NoAnswer;
        case StickAccess::Wait::Lost:
            carryOut(engine.stickLost());
            return StickDriveEnd::Lost;
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
