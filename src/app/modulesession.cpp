#include "app/modulesession.h"

#include "app/dialogs.h"
#include "files/programmedlog.h"
#include "link/blockwriter.h"
#include "link/modulejobrunner.h"
#include "link/modulejobs.h"
#include "link/reportpump.h"
#include "link/slotrecords.h"
#include "link/stickaccess.h"
#include "files/qtext.h"

#include <QEventLoop>
#include <QPushButton>
#include <QTime>
#include <QTimer>

namespace lumeq {

namespace {

// Slot button colours: a slot that holds a configuration, and an empty one.
const QColor kFilledSlotColour(166, 202, 240);
const QColor kEmptySlotColour(0, 255, 0);
constexpr const char* kConfirmText = "Are youe sure?";
constexpr const char* kNoStickDetail = "The programming stick was not found: check that it is plugged in and that "
                                       "the module sits on it. Nothing was written; the configuration stays here.";
constexpr const char* kNoAnswerMessage =
    "The module did not answer. Its memory slots could not be read, so nothing can be written to it "
    "in this run. Check the connection to the module and start the program again.";

void setButtonColour(QPushButton* button, const QColor& colour) {
    QPalette pal = button->palette();
    pal.setColor(QPalette::Button, colour);
    button->setPalette(pal);
    button->setAutoFillBackground(true);
}

} // namespace

ModuleSession::ModuleSession(ModuleSessionHost& host, StickAccess& stick, const StartupOptions& options, QWidget* bar,
                             QRect firstSlotButton, int slotButtonStep)
    : QObject(bar), host_(host), stick_(stick), options_(options) {
    // The end of each wait pass of the read.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kReadPassMs);
    connect(Timer1, &QTimer::timeout, this, [this] {
        if (read_)
            follow(read_->endOfPass());
    });

    for (int i = 0; i < kSlotCount; ++i) {
        auto* button = new QPushButton(QStringLiteral("M%1").arg(i + 1), bar);
        button->setObjectName(QStringLiteral("bM%1").arg(i + 1));
        button->setGeometry(firstSlotButton.translated(i * slotButtonStep, 0));
        button->setCursor(Qt::PointingHandCursor);
        button->hide();
        connect(button, &QPushButton::clicked, this, [this, i] { slotClick(i + 1); });
        slotButtons_[static_cast<std::size_t>(i)] = button;
    }
}

ModuleSession::~ModuleSession() {
    for (QPushButton* button : slotButtons_)
        delete button;
}

bool ModuleSession::stickPresent() {
    return stick_.libraryLoaded() && stick_.findHidDevice(kStickVendorId, kStickProductId);
}

ModuleReadOutcome ModuleSession::readModule(const ReadTiming& timing, int inReportLength, ReportPump& pump) {
    inReportLength_ = inReportLength;
    readTiming_ = timing;
    ModuleReadSequence read(timing.maxPass);
    QEventLoop loop;
    read_ = &read;
    pump_ = &pump;
    loop_ = &loop;
    Timer1->setInterval(timing.passMs);
    stick_.writeData(read.start());
    pump.start(static_cast<std::size_t>(inReportLength_));
    Timer1->start();
    loop.exec();
    Timer1->stop();
    read_ = nullptr;
    loop_ = nullptr;
    const ModuleContents& contents = read.contents();
    // In module mode nothing more is read this way: a Transfer waits for its confirmations itself.
    if (contents.outcome != ModuleReadOutcome::StickAlone)
        pump.stop();
    if (contents.outcome == ModuleReadOutcome::Module || contents.outcome == ModuleReadOutcome::NoAnswer)
        fillSlots(contents);
    if (contents.outcome == ModuleReadOutcome::NoAnswer) {
        // The caption keeps "Loading" with its dots; the slots stay unknown and cannot be written.
        host_.setBusyCursor(false);
        host_.dialogs().message(QString::fromLatin1(kNoAnswerMessage));
    }
    return contents.outcome;
}

bool ModuleSession::writing() const {
    return runner_ && runner_->running();
}

void ModuleSession::reportsWaiting() {
    if (writing()) {
        runner_->reportsWaiting();
        return;
    }
    if (!read_ || !pump_)
        return;
    // Only while a block is awaited: reports after it (a stick's identification) stay in the pump.
    while (read_ && read_->reader().running()) {
        const std::optional<Bytes> report = pump_->take();
        if (!report)
            break;
        read_->reader().receive(*report);
        follow(read_->afterReport());
    }
}

void ModuleSession::follow(const ModuleReadSequence::Step& step) {
    if (step.passEnded && step.pass % 10 == 0)
        host_.appendCaptionDot();
    if (step.discardWaiting)
        pump_->discard();
    if (!step.request.empty()) {
        stick_.writeData(step.request);
        Timer1->start(); // the next block's passes count from its request
    }
    if (step.finished && loop_)
        loop_->quit();
}

void ModuleSession::stopReading() {
    if (loop_)
        loop_->quit();
    if (runner_)
        runner_->interrupt("the program was closed before the write ended");
}

void ModuleSession::fillSlots(const ModuleContents& contents) {
    controlBlockRead_ = contents.controlBlockRead;
    controlBlock_ = contents.controlBlock;
    controlBlockAsRead_ = contents.controlBlock;
    slots_ = contents.directory.memorySlots;
    if (!controlBlockRead_)
        return; // nothing is known about the slots: the buttons keep their design look
    for (int n = 1; n <= kSlotCount; ++n)
        showSlotButton(n);
    lastWrite_ = lastWriteText();
    FirmwareState& firmware = host_.firmware();
    firmware.fwUpdatePending = false;
    if (contents.directory.firmware.valid) {
        firmware.moduleFwVersion = contents.directory.firmware.version;
        host_.showFirmwareIcon(QString::fromStdString(moduleFirmwareIcon(contents.directory.firmware.version).hint));
    } else {
        host_.hideFirmwareIcon();
    }
}

// The look of a slot's button: colour, caption and hint from its record.
void ModuleSession::showSlotButton(int n) {
    const TMemory& slot = slots_[static_cast<std::size_t>(n - 1)];
    QPushButton* button = slotButtons_[static_cast<std::size_t>(n - 1)];
    button->setText(QStringLiteral("M%1").arg(n));
    button->setToolTip(QString());
    if (slot.mEmpty) {
        setButtonColour(button, kEmptySlotColour);
        return;
    }
    setButtonColour(button, kFilledSlotColour);
    QStringList hint;
    const QString name = QString::fromStdString(slot.mString);
    if (!name.isEmpty())
        hint << QStringLiteral("Info: ") + name;
    if (slot.unreadable) {
        button->setText(button->text() + QLatin1Char('?'));
        hint << QStringLiteral("Could not be read from the module");
    }
    button->setToolTip(hint.join(QLatin1Char('\n')));
}

void ModuleSession::showSlotBar() {
    for (QPushButton* button : slotButtons_) {
        button->setEnabled(true);
        button->show();
    }
}

void ModuleSession::slotClick(int slot) {
    // Slot buttons work whatever the interlock says: choosing a slot is how module mode starts editing.
    const TMemory& memory = slots_[static_cast<std::size_t>(slot - 1)];
    if (!controlBlockRead_) {
        host_.dialogs().message(QString::fromLatin1(kNoAnswerMessage));
        return;
    }
    if (!memory.mEmpty && memory.unreadable) {
        host_.dialogs().message(
            QStringLiteral("The configuration in M%1 could not be read from the module: its data did "
                           "not arrive in time. Start the program again to read the module afresh.")
                .arg(slot));
        return;
    }
    for (int i = 0; i < kSlotCount; ++i) {
        QPushButton* button = slotButtons_[static_cast<std::size_t>(i)];
        if (i + 1 == slot) {
            button->setEnabled(false);
            button->setDown(false);
        } else {
            button->hide();
        }
    }
    selectedSlot_ = slot;
    host_.showActionButtons();
    if (!options_.skipFW && options_.set60Hz)
        host_.showSixtyHzLabel(true);
    // The defaults of an empty slot hold wanted levels; a stored configuration holds the levels the curve
    // made of them, and goes back through the curve's inverse when one is chosen.
    CurveState& curves = host_.curves();
    curves.levelsUncorrected = memory.mEmpty;
    takeSlotIntoImage(memory, host_.image(), options_.copyAstro,
                      [&curves](Image& image) { uncorrectFromModule(image, curves); });
    if (!memory.mString.empty())
        host_.setInfoText(QString::fromStdString(memory.mString));
    host_.redraw();
    host_.setFormDisabled(false);
    slotOpen_ = true;
    updateStatusLine();
}

void ModuleSession::bMemCancelClick() {
    showSlotBar();
    host_.setInfoText(QString());
    host_.hideActionButtons();
    host_.showSixtyHzLabel(false);
    host_.setFormDisabled(true);
    // A Default given up is no change of the module: its directory stays as read. (The slot's button keeps
    // its look until the next run reads the module afresh.)
    controlBlock_ = controlBlockAsRead_;
    host_.dropCurveChoice();
    slotOpen_ = false;
    updateStatusLine();
}

void ModuleSession::bMemClearClick() {
    const QString detail =
        QStringLiteral("Default replaces the configuration of M%1 in this window with the default settings and gives "
                       "up the slot's name; the module keeps what it holds until the next Transfer.")
            .arg(selectedSlot_);
    if (host_.dialogs().confirmDefaultNo(QString::fromLatin1(kConfirmText), detail))
        clearMemory();
}

void ModuleSession::clearMemory() {
    if (selectedSlot_ >= 1 && selectedSlot_ <= kSlotCount) {
        TMemory& memory = slots_[static_cast<std::size_t>(selectedSlot_ - 1)];
        memory.mEmpty = true;
        memory.unreadable = false;
        memory.mString.clear();
        showSlotButton(selectedSlot_);
        clearSlotName(controlBlock_, selectedSlot_);
    }
    Image& image = host_.image();
    if (image.size() < kImageSize)
        image.resize(kImageSize, 0);
    std::copy(kDefaultImage.begin(), kDefaultImage.end(), image.begin());
    host_.curves().levelsUncorrected = true;
    host_.setInfoText(QStringLiteral("Default"));
    host_.redraw();
}

bool ModuleSession::firmwareGoesAlong() {
    const FirmwareState& firmware = host_.firmware();
    if (!firmware.fwUpdatePending || !firmware.hasImage())
        return false;
    const int from = firmware.moduleFwVersion;
    if (from == 0 || firmware.fwVersion >= from)
        return true;
    const QString text = QStringLiteral("Transfer would also write firmware 1.%1 into the module, which has firmware 1.%2.")
                             .arg(firmware.fwVersion)
                             .arg(from);
    const QString detail = QString::fromStdString(firmwareDowngradeText("module", from, firmware.fwVersion)) +
                           QStringLiteral(" Yes writes the older firmware with the configuration; No writes the "
                                          "configuration alone.");
    return host_.dialogs().warningQuestionDefaultNo(text, detail);
}

void ModuleSession::bMemStoreClick() {
    if (writing())
        return;
    if (!stickPresent()) {
        host_.dialogs().message(fromStd(kUsbErrorMessage), QString::fromLatin1(kNoStickDetail));
        return;
    }
    const bool withFirmware = firmwareGoesAlong();
    // The working image keeps the levels as the user wants them: the curve corrects a copy, which is what
    // goes to the module.
    SlotWriteRequest request;
    request.transfer.image = host_.image();
    if (correctForModule(request.transfer.image, host_.curves()))
        request.curveName = host_.curveName().toStdString();
    request.transfer.controlBlock = controlBlock_;
    request.transfer.controlBlockRead = controlBlockRead_;
    request.transfer.slot = selectedSlot_;
    request.transfer.info = host_.infoText().toStdString();
    request.readBack = {readTiming_.passMs, readTiming_.maxPass};
    FirmwareState& firmware = host_.firmware();
    if (withFirmware)
        request.transfer.firmware = FirmwareToWrite{firmware.image(), firmware.fwLength, firmware.fwVersion};
    SlotWritePlan planned = planSlotWrite(request);
    if (!planned.job) {
        host_.dialogs().message(QStringLiteral("Nothing was written."), QString::fromStdString(planned.error));
        return;
    }
    host_.hideActionButtons();
    host_.setFormDisabled(true);
    host_.setBusyCursor(true);
    if (!runner_)
        runner_ = std::make_unique<ModuleJobRunner>(stick_, *pump_);
    host_.setStatusLine(QStringLiteral("Transfer: writing M%1...").arg(selectedSlot_));
    // The bar counts the blocks when firmware goes along (the slot and the control block alone are two).
    ModuleJobRunner::Progress progress;
    if (withFirmware)
        progress = [this](int done, int total) { host_.showProgress(done, total); };
    runner_->start(std::move(planned.job), static_cast<std::size_t>(inReportLength_), std::move(progress),
                   [this, withFirmware](const ModuleJobResult& result) { transferEnded(result, withFirmware); });
}

void ModuleSession::transferEnded(const ModuleJobResult& result, bool withFirmware) {
    host_.showProgress(0, 0);
    host_.setBusyCursor(false);
    const QString when = QTime::currentTime().toString(QStringLiteral("HH:mm"));
    if (!result.logError.empty())
        host_.dialogs().message(QStringLiteral("This Transfer could not be added to the log of programmed modules."),
                                QString::fromStdString(result.logError));
    // The configuration is in the module and reads back as written, the firmware aside.
    const bool configurationKept = result.ok || (result.firmwareFailed && result.record.readBack == "identical");
    if (!configurationKept) {
        // Nothing is lost: the slot stays chosen with the edits as they were, for another Transfer or Save.
        lastWrite_ = QStringLiteral("%1 Transfer to M%2 failed: %3")
                         .arg(when)
                         .arg(selectedSlot_)
                         .arg(QString::fromStdString(result.message));
        updateStatusLine();
        host_.dialogs().message(QString::fromStdString(result.message), QString::fromStdString(result.detail()));
        host_.showActionButtons();
        host_.setFormDisabled(false);
        return;
    }
    if (result.firmwareFailed) {
        // The firmware descriptor keeps the old record and the update stays due.
        host_.dialogs().message(QString::fromStdString(result.message), QString::fromStdString(result.detail()));
    } else if (withFirmware) {
        FirmwareState& firmware = host_.firmware();
        firmware.fwImage.clear();
        firmware.fwUpdatePending = false;
    }
    if (result.controlBlockWritten)
        controlBlock_ = *result.controlBlockWritten;
    host_.showActionButtons();
    host_.setFormDisabled(false);
    host_.restart(transferRestartArgs(options_, host_.curves().curveIndex));
}

void ModuleSession::bEraseClick() {
    if (writing())
        return;
    if (!stickPresent()) {
        host_.dialogs().message(fromStd(kUsbErrorMessage), QString::fromLatin1(kNoStickDetail));
        return;
    }
    if (!controlBlockRead_)
        return; // a module that did not answer is not erased blindly
    if (!host_.dialogs().confirmDefaultNo(
            QString::fromLatin1(kConfirmText),
            QStringLiteral("Erase ALL wipes all four slots and the directory of this module, its firmware "
                           "record included. It cannot be undone.")))
        return;
    host_.hideActionButtons();
    host_.setFormDisabled(true);
    host_.setBusyCursor(true);
    if (!runner_)
        runner_ = std::make_unique<ModuleJobRunner>(stick_, *pump_);
    runner_->start(eraseJob({readTiming_.passMs, readTiming_.maxPass}), static_cast<std::size_t>(inReportLength_), {},
                   [this](const ModuleJobResult& result) { eraseEnded(result); });
}

void ModuleSession::eraseEnded(const ModuleJobResult& result) {
    host_.setBusyCursor(false);
    if (!result.logError.empty())
        host_.dialogs().message(QStringLiteral("This erase could not be added to the log of programmed modules."),
                                QString::fromStdString(result.logError));
    if (!result.ok)
        host_.dialogs().message(QString::fromStdString(result.message), QString::fromStdString(result.detail()));
    // The module is read afresh in any case: what it holds now is what the next run shows.
    host_.showActionButtons();
    host_.setFormDisabled(false);
    host_.restart(options_.restartArgs);
}

QString ModuleSession::lastWriteText() const {
    const std::optional<ProgrammedRecord> found = lastProgrammedRecord(programmedLogPath());
    if (!found)
        return {};
    const ProgrammedRecord& last = *found;
    constexpr int kRecentSeconds = 10 * 60;
    if (last.mode != ProgrammedMode::Module || last.time.secsTo(QDateTime::currentDateTimeUtc()) > kRecentSeconds)
        return {};
    const QString when = last.time.toLocalTime().toString(QStringLiteral("HH:mm"));
    const QString name = QString::fromStdString(last.name);
    QString what = last.slot > 0 ? QStringLiteral("Transfer to M%1").arg(last.slot) : QStringLiteral("Erase ALL");
    if (last.slot > 0 && !name.isEmpty())
        what += QStringLiteral(" \"%1\"").arg(name.trimmed());
    if (last.outcome == ProgrammedOutcome::Ok) {
        const QString readBack = QString::fromStdString(last.readBack);
        return QStringLiteral("%1 %2: done, read back %3").arg(when, what, readBack);
    }
    return QStringLiteral("%1 %2: %3").arg(when, what, QString::fromStdString(programmedOutcomeText(last)));
}

void ModuleSession::updateStatusLine() {
    QStringList parts;
    if (!lastWrite_.isEmpty())
        parts << lastWrite_;
    const FirmwareState& firmware = host_.firmware();
    if (slotOpen_ && firmware.fwUpdatePending && firmware.hasImage()) {
        const QString from = firmware.moduleFwVersion > 0 ? QStringLiteral("1.%1").arg(firmware.moduleFwVersion)
                                                           : QStringLiteral("none");
        QString line = QStringLiteral("Transfer also writes firmware: %1 \u2192 1.%2").arg(from).arg(firmware.fwVersion);
        if (firmware.moduleFwVersion > 0 && firmware.fwVersion < firmware.moduleFwVersion)
            line += QStringLiteral(" (older: asked first)");
        parts << line;
    }
    host_.setStatusLine(parts.join(QStringLiteral("\n\n")));
}

} // namespace lumeq
