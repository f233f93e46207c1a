#include "app/sticksession.h"

#include "app/dialogs.h"
#include "link/blockwriter.h"
#include "link/reportpump.h"
#include "link/stickaccess.h"
#include "files/qtext.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>

namespace lumeq {

namespace {

// Where the write jobs put their records: the log of programmed modules.
StickWriteJob::Sink programmedLog() {
    return programmedLogSink([](const std::string& problem) {
        qWarning("%s", ("this write is not in the log of programmed modules: " + problem).c_str());
    });
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

StickSession::~StickSession() {
    if (job_)
        job_->interrupt(StickInterruption::Closed);
}

void StickSession::watchAnswer(bool requestSent) {
    if (pausing_) {
        // The request goes out when the pause ends; its wait starts then.
        answerTimer_->stop();
        watching_ = Watch::None;
        return;
    }
    if (engine_.awaitingAnswer()) {
        if (requestSent || watching_ != Watch::Answer || !answerTimer_->isActive()) {
            answerTimer_->start(answerTimeoutMs_);
            watching_ = Watch::Answer;
        }
    } else if (memoryWrite_ && memoryWrite_->awaitingRestart()) {
        if (watching_ != Watch::Restart) {
            answerTimer_->start(std::max(answerTimeoutMs_, kStickIdentificationTimeoutMs));
            watching_ = Watch::Restart;
        }
    } else {
        answerTimer_->stop();
        watching_ = Watch::None;
    }
}

// A stick that falls silent would otherwise leave the read, the write or the update waiting for good (an
// update with the window's interlock set).
void StickSession::answerMissing() {
    if (handling_ || pausing_) {
        // Taken up again when the answer in hand is done or the pause has ended.
        answerTimer_->start(answerTimeoutMs_);
        return;
    }
    const Watch watched = watching_;
    watching_ = Watch::None;
    if (watched == Watch::Restart) {
        if (memoryWrite_) {
            memoryWrite_->restartMissing();
            jobEnded();
        }
        return;
    }
    if (!engine_.awaitingAnswer())
        return;
    handling_ = true;
    handle(engine_.answerMissing());
    handling_ = false;
}

void StickSession::observe(const StickEffects& effects) {
    if (!job_)
        return;
    job_->observe(effects);
    if (job_->finished())
        jobEnded();
}

void StickSession::jobEnded() {
    if (!job_ || !job_->finished())
        return;
    std::unique_ptr<StickWriteJob> ended = std::move(job_);
    memoryWrite_ = nullptr;
    // The write's own end (refused, no answer, unplugged) is shown by the engine's events; what only the
    // read-back found is said here.
    if (!ended->succeeded() && !ended->record().readBack.empty())
        host_.dialogs().message(QString::fromLatin1(kStickReadBackMessage), fromStd(ended->message()));
}

void StickSession::interruptJob(StickInterruption why) {
    if (!job_)
        return;
    job_->interrupt(why);
    job_.reset();
    memoryWrite_ = nullptr;
}

void StickSession::engineOptions() {
    StickEngine::Options options;
    options.identificationPauseMs = pauseMs_;
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
        handle(engine_.feed(*report));
    }
    if (!pausing_ && pump_.lost() && !lostHandled_) {
        lostHandled_ = true;
        pump_.stop();
        handle(engine_.stickLost());
        // A write that had no answer outstanding ends too: written but not read back when it waited for the
        // stick to start afresh.
        if (memoryWrite_ && memoryWrite_->awaitingRestart()) {
            memoryWrite_->restartMissing();
            jobEnded();
        }
        interruptJob(StickInterruption::Unplugged);
    }
    handling_ = false;
}

void StickSession::handle(const StickEffects& effects) {
    observe(effects);
    apply(effects);
}

int StickSession::imageVersion() const {
    const FirmwareState& firmware = host_.firmware();
    // A loaded firmware file sets fwVersion (and an update due); otherwise the image is the built-in one.
    if (firmware.fwUpdatePending || !firmware.embeddedFwVersion)
        return firmware.fwVersion;
    return *firmware.embeddedFwVersion;
}

bool StickSession::askFirmwareQuestion() {
    const FirmwareState& firmware = host_.firmware();
    const std::optional<std::uint8_t> embedded =
        firmware.embeddedImage ? firmware.embeddedFwVersion : std::optional<std::uint8_t>();
    const std::optional<FirmwareOffer> offer = firmwareOffer(engine_.stickId(), embedded, options_.skipFW);
    if (!offer || declinedFor_ == engine_.stickId())
        return false;
    Dialogs& dialogs = host_.dialogs();
    const bool yes = offer->older ? dialogs.warningQuestionDefaultNo(fromStd(offer->question), fromStd(offer->detail))
                                  : dialogs.warningQuestion(fromStd(offer->question));
    if (!yes)
        declinedFor_ = engine_.stickId();
    return yes;
}

void StickSession::apply(const StickEffects& effects) {
    using Kind = StickEvent::Kind;
    // What the window shows of the step's events.
    enum class Caption { Keep, Set, Append };
    Caption captionChange = Caption::Keep;
    QString caption;
    std::optional<std::optional<StickLogTexts>> log;
    bool redraw = false;
    std::optional<bool> formDisabled;
    std::optional<bool> buttonsShown;
    bool normalCursor = false;
    std::optional<int> progressMaximum;
    std::optional<int> progressPosition;
    std::optional<bool> progressShown;
    bool beep = false;
    std::optional<QString> message;
    bool askQuestion = false;

    const auto setCaption = [&](const char* text) {
        captionChange = Caption::Set;
        caption = QString::fromUtf8(text);
    };
    const auto appendCaption = [&](const char* text) {
        captionChange = Caption::Append;
        caption = QString::fromUtf8(text);
    };
    const auto endMessage = [&](StickEnd reason) {
        if (reason == StickEnd::NoAnswer)
            message = QString::fromUtf8(kStickNoAnswerMessage);
        else if (reason == StickEnd::Lost)
            message = fromStd(kUsbErrorMessage);
        else if (reason == StickEnd::NotRead)
            message = QString::fromUtf8(kStickNotReadMessage);
    };
    for (const StickEvent& event : effects.events) {
        switch (event.kind) {
        case Kind::Identified:
            normalCursor = true;
            break;
        case Kind::MemoryRead:
            askQuestion = true;
            setCaption((stickIdentityText(engine_.stickId()) + kReadyText).c_str());
            log = stickLogToShow(host_.image(), engine_.stickFwVersion(), options_.showLog);
            redraw = true;
            formDisabled = false;
            buttonsShown = true;
            break;
        case Kind::ReadFailed:
            if (event.end == StickEnd::BackToWaiting || event.end == StickEnd::None)
                break; // B2 51 follows and says what the window shows
            setCaption(kReadErrorText);
            if (event.end == StickEnd::BadCrc)
                message = QString::fromUtf8(kStickReadErrorMessage);
            endMessage(event.end);
            formDisabled = false;
            buttonsShown = true;
            normalCursor = true;
            break;
        case Kind::WriteDone:
            buttonsShown = true;
            formDisabled = false;
            normalCursor = true;
            appendCaption(kTransferFinishedText);
            break;
        case Kind::WriteFailed:
            if (event.end == StickEnd::BackToWaiting || event.end == StickEnd::None)
                break;
            if (event.end == StickEnd::NotRead) {
                endMessage(event.end); // nothing was sent: the window stays as it is
                break;
            }
            endMessage(event.end);
            buttonsShown = true;
            formDisabled = false;
            normalCursor = true;
            setCaption(kTransferErrorText);
            break;
        case Kind::FirmwareStarted:
            formDisabled = true;
            progressPosition = 0;
            progressMaximum = event.total;
            progressShown = true;
            break;
        case Kind::FirmwareProgress:
            progressPosition = event.done;
            break;
        case Kind::FirmwareDone:
            appendCaption(kFirmwareUpdateFinishedText);
            progressShown = false;
            formDisabled = false;
            break;
        case Kind::FirmwareStopped:
            switch (event.end) {
            case StickEnd::Refused: // the bar stays where it stopped
                beep = true;
                formDisabled = false;
                break;
            case StickEnd::NoAnswer:
            case StickEnd::Lost:
                endMessage(event.end);
                progressShown = false;
                formDisabled = false;
                normalCursor = true;
                break;
            default:
                break;
            }
            break;
        case Kind::BackToWaiting:
            setCaption(kStickCaption);
            formDisabled = true;
            buttonsShown = false;
            normalCursor = true; // hiding the buttons shows the normal cursor
            break;
        }
    }

    // The firmware question comes first, while the window still shows what it showed; a Yes starts the
    // update once everything else is shown.
    const bool updateRequested = askQuestion && askFirmwareQuestion();

    const bool requestSent = !effects.frames.empty() && effects.pauseMs <= 0;
    if (effects.pauseMs > 0) {
        pausing_ = true;
        QTimer::singleShot(effects.pauseMs, this,
                           [this, frames = effects.frames, lines = effects.debugLines] { endPause(frames, lines); });
    } else {
        sendFrames(effects.frames, effects.debugLines);
    }

    switch (captionChange) {
    case Caption::Keep:
        break;
    case Caption::Set:
        host_.setCaption(caption);
        break;
    case Caption::Append:
        host_.setCaption(host_.caption() + caption);
        break;
    }
    if (log) {
        if (const std::optional<StickLogTexts>& texts = *log) {
            w_.lOp->setText(fromStd(texts->operation));
            w_.lSwCnt->setText(fromStd(texts->switchCount));
            w_.lOverT->setText(fromStd(texts->overTemperature));
            w_.lMaxT->setText(fromStd(texts->maxTemperature));
            w_.gbLog->show();
        } else {
            w_.gbLog->hide();
        }
    }
    if (redraw)
        host_.redraw();
    if (formDisabled)
        host_.setFormDisabled(*formDisabled);
    if (buttonsShown) {
        if (*buttonsShown)
            host_.showActionButtons();
        else
            host_.hideActionButtons();
    }
    if (normalCursor)
        host_.setBusyCursor(false);
    if (progressMaximum)
        w_.pbFWUpdate->setMaximum(*progressMaximum);
    if (progressPosition)
        w_.pbFWUpdate->setValue(*progressPosition);
    if (progressShown)
        w_.pbFWUpdate->setVisible(*progressShown);
    if (beep)
        host_.dialogs().beep();
    if (message)
        host_.dialogs().message(*message);
    if (updateRequested)
        startFirmwareUpdate(true);
    watchAnswer(requestSent);
}

void StickSession::endPause(std::vector<StickFrame> frames, std::vector<std::string> lines) {
    pausing_ = false;
    sendFrames(frames, lines);
    watchAnswer(!frames.empty());
    std::vector<std::function<void()>> actions;
    actions.swap(afterPause_);
    for (const auto& action : actions)
        action();
    reportsWaiting();
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
        if (host_.formDisabled() || !engine_.rereadAccepted())
            return;
        if (!stickReady())
            return;
        apply(engine_.reread());
    });
}

bool StickSession::bMemClearClick() {
    if (pausing_ || !engine_.memoryRead()) {
        host_.dialogs().message(QString::fromUtf8(kStickNotReadMessage));
        return false;
    }
    return host_.dialogs().confirmDefaultNo(QStringLiteral("Are youe sure?"), QString::fromUtf8(kStickDefaultDetail));
}

void StickSession::bUpdateFwClick() {
    whenReady([this] {
        if (!host_.formDisabled())
            startFirmwareUpdate(false);
    });
}

void StickSession::startFirmwareUpdate(bool olderAsked) {
    const FirmwareState& firmware = host_.firmware();
    if (!firmware.hasImage()) {
        host_.dialogs().message(QString::fromLatin1(kNoFirmwareMessage));
        return;
    }
    const int version = imageVersion();
    if (!olderAsked && firmwareIsOlder(engine_.stickId(), version) &&
        !host_.dialogs().warningQuestionDefaultNo(
            QString::fromUtf8(kOlderFirmwareQuestion),
            fromStd(firmwareDowngradeText(*reportedFirmwareVersion(engine_.stickId()), version))))
        return;
    if (!stickReady())
        return;
    interruptJob(StickInterruption::AnotherWrite);
    job_ = std::make_unique<StickFirmwareUpdate>(engine_, firmware.image(), firmware.fwLength, version,
                                                 programmedLog());
    apply(job_->start());
    jobEnded();
}

void StickSession::bMemStoreClick() {
    whenReady([this] {
        if (host_.formDisabled())
            return;
        if (!engine_.memoryRead()) {
            host_.dialogs().message(QString::fromUtf8(kStickNotReadMessage));
            return;
        }
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
        interruptJob(StickInterruption::AnotherWrite);
        auto job = std::make_unique<StickMemoryWrite>(engine_, host_.image(), host_.infoText().toStdString(),
                                                      programmedLog());
        memoryWrite_ = job.get();
        job_ = std::move(job);
        apply(job_->start());
        jobEnded();
        host_.showActionButtons();
        host_.setFormDisabled(false);
        host_.setBusyCursor(false);
    });
}

} // namespace lumeq
