#include "app/sticksession.h"

#include "app/dialogs.h"
#include "link/blockwriter.h"
#include "link/reportpump.h"
#include "link/stickaccess.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>

namespace lumeq {

namespace {

QString fromStd(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

StickSession::StickSession(StickSessionHost& host, StickAccess& stick, ReportPump& pump, const StartupOptions& options,
                           StickWidgets widgets, QObject* parent)
    : QObject(parent), host_(host), stick_(stick), pump_(pump), options_(options), w_(widgets),
      engine_(host.image(), {}) {
    answerTimer_ = new QTimer(this);
    answerTimer_->setSingleShot(true);
    connect(answerTimer_, &QTimer::timeout, this, &StickSession::answerMissing);
}

void StickSession::watchAnswer() {
    if (!pausing_ && engine_.awaitingAnswer())
        answerTimer_->start(answerTimeoutMs_);
    else
        answerTimer_->stop();
}

// A stick that falls silent would otherwise leave the read, the write or the update waiting for good (an
// update with the window's interlock set).
void StickSession::answerMissing() {
    if (handling_ || pausing_) {
        watchAnswer();
        return;
    }
    if (!engine_.awaitingAnswer())
        return;
    handling_ = true;
    const StickEffects effects = engine_.answerMissing();
    if (pendingRecord_)
        appendRecord(ProgrammedOutcome::Failed, "the stick did not answer");
    apply(effects);
    handling_ = false;
}

StickSession::~StickSession() {
    if (pendingRecord_)
        appendRecord(ProgrammedOutcome::Interrupted, "the program was closed before the stick answered");
}

void StickSession::appendRecord(ProgrammedOutcome outcome, const std::string& reason) {
    ProgrammedRecord record = std::move(*pendingRecord_);
    pendingRecord_.reset();
    record.outcome = outcome;
    record.reason = reason;
    const ProgrammedLogAppend logged = appendProgrammedRecord(programmedLogPath(), record);
    if (!logged.ok)
        qWarning("%s", ("this write is not in the log of programmed modules: " + logged.error).c_str());
}

void StickSession::recordEnd(const StickEffects& effects, bool lost) {
    if (!pendingRecord_)
        return;
    const bool firmware = !pendingRecord_->firmware.empty();
    const bool ok = firmware ? effects.firmwareComplete : effects.writeComplete;
    const bool failed = firmware ? effects.firmwareFailed : effects.writeFailed;
    if (ok)
        appendRecord(ProgrammedOutcome::Ok, {});
    else if (failed && lost)
        appendRecord(ProgrammedOutcome::Interrupted, "the stick was unplugged");
    else if (failed)
        appendRecord(ProgrammedOutcome::Failed,
                     firmware ? "the stick refused the firmware" : "the stick refused a frame six times");
}

void StickSession::engineOptions() {
    StickEngine::Options options;
    options.skipFW = options_.skipFW;
    options.showLog = options_.showLog;
    options.identificationPauseMs = pauseMs_;
    const FirmwareState& firmware = host_.firmware();
    if (firmware.embeddedImage)
        options.embeddedFwVersion = firmware.embeddedFwVersion;
    engine_.setOptions(options);
}

void StickSession::start(int inReportLength, int outReportLength, int pauseMs) {
    inReportLength_ = inReportLength;
    outReportLength_ = outReportLength;
    pauseMs_ = pauseMs;
    engineOptions();
    if (!pump_.running())
        pump_.start(static_cast<std::size_t>(inReportLength_));
    // Reports that came with the stick's first answer (its identification) wait in the pump.
    reportsWaiting();
}

bool StickSession::debugLogging() const {
    return w_.cbStickDebug->isChecked() && !w_.cbDebugHold->isChecked();
}

void StickSession::addDebugLines(const std::vector<std::string>& lines) {
    if (!debugLogging())
        return;
    for (const std::string& line : lines)
        w_.mDebug->appendPlainText(fromStd(line));
}

void StickSession::sendFrames(const std::vector<StickFrame>& frames, const std::vector<std::string>& lines) {
    for (const StickFrame& frame : frames) {
        placeFrame(sendBuffer_, frame.bytes, static_cast<std::size_t>(outReportLength_));
        stick_.writeData(sendBuffer_);
    }
    addDebugLines(lines);
}

void StickSession::reportsWaiting() {
    if (handling_ || pausing_)
        return; // taken when the answer in hand is done, or when the pause ends
    handling_ = true;
    while (!pausing_) {
        const std::optional<Bytes> report = pump_.take();
        if (!report)
            break;
        const StickEffects effects = engine_.feed(*report);
        recordEnd(effects, false);
        apply(effects);
    }
    if (!pausing_ && pump_.lost() && !lostHandled_) {
        lostHandled_ = true;
        pump_.stop();
        const StickEffects effects = engine_.stickLost();
        recordEnd(effects, true);
        apply(effects);
    }
    handling_ = false;
}

void StickSession::apply(const StickEffects& effects) {
    // The firmware question comes first, while the window still shows what it showed; a Yes starts the
    // update once everything else is shown.
    bool updateRequested = false;
    if (effects.firmwareQuestion)
        updateRequested = host_.dialogs().warningQuestion(fromStd(*effects.firmwareQuestion));

    if (effects.pauseMs > 0) {
        pausing_ = true;
        QTimer::singleShot(effects.pauseMs, this,
                           [this, frames = effects.frames, lines = effects.debugLines] { endPause(frames, lines); });
    } else {
        sendFrames(effects.frames, effects.debugLines);
    }

    switch (effects.captionChange) {
    case StickEffects::Caption::Keep:
        break;
    case StickEffects::Caption::Set:
        host_.setCaption(fromStd(effects.caption));
        break;
    case StickEffects::Caption::Append:
        host_.setCaption(host_.caption() + fromStd(effects.caption));
        break;
    }
    if (effects.log) {
        if (const std::optional<StickLogTexts>& texts = *effects.log) {
            w_.lOp->setText(fromStd(texts->operation));
            w_.lSwCnt->setText(fromStd(texts->switchCount));
            w_.lOverT->setText(fromStd(texts->overTemperature));
            w_.lMaxT->setText(fromStd(texts->maxTemperature));
            w_.gbLog->show();
        } else {
            w_.gbLog->hide();
        }
    }
    if (effects.redraw)
        host_.redraw();
    if (effects.formDisabled)
        host_.setFormDisabled(*effects.formDisabled);
    switch (effects.buttons) {
    case StickEffects::Buttons::Keep:
        break;
    case StickEffects::Buttons::Show:
        host_.showActionButtons();
        break;
    case StickEffects::Buttons::Hide:
        host_.hideActionButtons();
        break;
    }
    if (effects.normalCursor)
        host_.setBusyCursor(false);
    if (effects.progressMaximum)
        w_.pbFWUpdate->setMaximum(*effects.progressMaximum);
    if (effects.progressPosition)
        w_.pbFWUpdate->setValue(*effects.progressPosition);
    if (effects.progressShown)
        w_.pbFWUpdate->setVisible(*effects.progressShown);
    if (effects.beep)
        host_.dialogs().beep();
    if (effects.message)
        host_.dialogs().message(fromStd(*effects.message));
    if (updateRequested)
        bUpdateFwClick();
    watchAnswer();
}

void StickSession::endPause(std::vector<StickFrame> frames, std::vector<std::string> lines) {
    pausing_ = false;
    sendFrames(frames, lines);
    std::vector<std::function<void()>> actions;
    actions.swap(afterPause_);
    for (const auto& action : actions)
        action();
    reportsWaiting();
    watchAnswer();
}

void StickSession::whenReady(std::function<void()> action) {
    if (pausing_)
        afterPause_.push_back(std::move(action));
    else
        action();
}

bool StickSession::stickReady() {
    if (pump_.running() && !pump_.lost())
        return true;
    // Lost before: look for it again; a stick that is back is read afresh.
    pump_.stop();
    if (!stick_.libraryLoaded() || !stick_.findHidDevice(kStickVendorId, kStickProductId)) {
        host_.dialogs().message(fromStd(kUsbErrorMessage));
        return false;
    }
    pump_.discard();
    pump_.clearLost();
    lostHandled_ = false;
    pump_.start(static_cast<std::size_t>(inReportLength_));
    return true;
}

void StickSession::bRereadClick() {
    whenReady([this] {
        if (host_.formDisabled() || engine_.stickState() != 1)
            return;
        if (!stickReady())
            return;
        apply(engine_.reread());
    });
}

void StickSession::bUpdateFwClick() {
    whenReady([this] {
        if (host_.formDisabled())
            return;
        const FirmwareState& firmware = host_.firmware();
        if (!firmware.hasImage()) {
            host_.dialogs().message(QString::fromLatin1(kNoFirmwareMessage));
            return;
        }
        if (!stickReady())
            return;
        if (pendingRecord_)
            appendRecord(ProgrammedOutcome::Interrupted, "another write began before the stick answered");
        ProgrammedRecord record;
        record.time = programmedNow();
        record.mode = ProgrammedMode::Stick;
        record.firmware = "1." + std::to_string(firmware.fwVersion);
        pendingRecord_ = std::move(record);
        apply(engine_.startFirmwareUpdate(firmware.image(), firmware.fwLength));
    });
}

void StickSession::bMemStoreClick() {
    whenReady([this] {
        if (host_.formDisabled())
            return;
        // The stick is looked for as before every Transfer; nobody reads it meanwhile.
        pump_.stop();
        const bool present = stick_.libraryLoaded() && stick_.findHidDevice(kStickVendorId, kStickProductId);
        if (!present) {
            host_.dialogs().message(fromStd(kUsbErrorMessage));
            return;
        }
        pump_.clearLost();
        lostHandled_ = false;
        pump_.start(static_cast<std::size_t>(inReportLength_));
        host_.hideActionButtons();
        host_.setFormDisabled(true);
        host_.setBusyCursor(true);
        if (pendingRecord_)
            appendRecord(ProgrammedOutcome::Interrupted, "another write began before the stick answered");
        ProgrammedRecord record;
        record.time = programmedNow();
        record.mode = ProgrammedMode::Stick;
        record.name = host_.infoText().toStdString();
        record.crc = configurationCrc(host_.image());
        pendingRecord_ = std::move(record);
        apply(engine_.store());
        host_.showActionButtons();
        host_.setFormDisabled(false);
        host_.setBusyCursor(false);
    });
}

} // namespace lumeq
