#include "app/modulesession.h"

#include "app/dialogs.h"
#include "files/programmedlog.h"
#include "link/blockwriter.h"
#include "link/reportpump.h"
#include "link/slotrecords.h"
#include "link/stickaccess.h"

#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

namespace lumeq {

namespace {

// Slot button colours: a slot that holds a configuration, and an empty one.
const QColor kFilledSlotColour(166, 202, 240);
const QColor kEmptySlotColour(0, 255, 0);
constexpr const char* kConfirmText = "Are youe sure?";
constexpr const char* kNoAnswerMessage =
    "The module did not answer. Its memory slots could not be read, so nothing can be written to it "
    "in this run. Check the connection to the module and start the program again.";

QString fromStd(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

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
    pump_ = nullptr;
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

void ModuleSession::reportsWaiting() {
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
}

void ModuleSession::bMemClearClick() {
    if (host_.dialogs().confirm(QString::fromLatin1(kConfirmText)))
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

void ModuleSession::bMemStoreClick() {
    if (!stickPresent()) {
        host_.dialogs().message(fromStd(kUsbErrorMessage));
        return;
    }
    host_.hideActionButtons();
    host_.setFormDisabled(true);
    host_.setBusyCursor(true);

    const bool curveApplied = correctForModule(host_.image(), host_.curves());
    TransferRequest request;
    request.controlBlock = controlBlock_;
    request.controlBlockRead = controlBlockRead_;
    request.slot = selectedSlot_;
    request.image = host_.image();
    request.info = host_.infoText().toStdString();
    FirmwareState& firmware = host_.firmware();
    if (firmware.fwUpdatePending && firmware.hasImage())
        request.firmware = FirmwareToWrite{firmware.image(), firmware.fwLength, firmware.fwVersion};
    const TransferPlanResult planned = planTransfer(request);
    if (!planned.plan) {
        host_.setBusyCursor(false);
        host_.dialogs().message(QString::fromStdString(planned.error));
        showSlotBar();
        return;
    }
    // Every Transfer goes into the log of programmed modules, whatever its outcome. The window reads the
    // module afresh after its restart but compares nothing, so there is no read-back to record.
    ProgrammedRecord record;
    record.time = programmedNow();
    record.mode = ProgrammedMode::Module;
    record.slot = selectedSlot_;
    record.name = request.info;
    record.crc = configurationCrc(request.image);
    if (curveApplied)
        record.curve = host_.curveName().toStdString();
    if (request.firmware)
        record.firmware = "1." + std::to_string(request.firmware->version);
    TransferRun run(*planned.plan);
    // Each block waits up to about a second for its confirmation, taking it the moment it comes; the
    // window takes no events meanwhile.
    const TransferResult result = runTransfer(stick_, run, static_cast<std::size_t>(inReportLength_), kWaitOnDevice);
    if (!result.ok) {
        record.outcome = ProgrammedOutcome::Failed;
        const QString address = QStringLiteral("%1").arg(result.failedAddress, 4, 16, QLatin1Char('0')).toUpper();
        record.reason = transferErrorMessage(result.errorCode) + " (" + blockWriteOutcomeText(result.failure) +
                        " at address " + address.toStdString() + ")";
    } else if (result.firmwareFailed) {
        record.outcome = ProgrammedOutcome::Failed;
        record.reason = transferErrorMessage(kFirmwareError) + " (the firmware descriptor keeps its old record)";
    }
    const ProgrammedLogAppend logged = appendProgrammedRecord(programmedLogPath(), record);
    if (!logged.ok)
        host_.dialogs().message(QStringLiteral("This Transfer could not be added to the log of programmed "
                                               "modules: ") +
                                QString::fromStdString(logged.error));
    if (result.firmwareFailed) {
        // The firmware descriptor keeps the old record and the update stays due; the control block follows.
        host_.dialogs().message(fromStd(transferErrorMessage(kFirmwareError)));
    } else if (result.ok && result.firmwareWritten) {
        firmware.fwImage.clear();
        firmware.fwUpdatePending = false;
    }
    if (!result.ok) {
        transferError(result.errorCode);
        return;
    }
    controlBlock_ = result.controlBlockWritten;
    host_.showActionButtons();
    host_.setFormDisabled(false);
    host_.setBusyCursor(false);
    host_.restart(transferRestartArgs(options_, host_.curves().curveIndex));
}

void ModuleSession::transferError(const std::string& code) {
    host_.setBusyCursor(false);
    host_.dialogs().message(fromStd(transferErrorMessage(code)));
    showSlotBar();
    host_.hideActionButtons();
    // The interlock stays set: a slot has to be chosen again.
}

void ModuleSession::bEraseClick() {
    if (!stickPresent()) {
        host_.dialogs().message(fromStd(kUsbErrorMessage));
        return;
    }
    if (!controlBlockRead_)
        return; // a module that did not answer is not erased blindly
    if (!host_.dialogs().confirm(QString::fromLatin1(kConfirmText)))
        return;
    eraseModule(stick_);
    host_.restart(options_.restartArgs);
}

} // namespace lumeq
