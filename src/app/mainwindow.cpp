#include "app/mainwindow.h"

#include "app/blockdiagram.h"
#include "app/dialogs.h"
#include "app/pdfprojectpanel.h"
#include "editors/dimmingcurvepanel.h"
#include "editors/outputeditor.h"
#include "files/configfile.h"
#include "link/blockwriter.h"
#include "link/slotrecords.h"
#include "link/stickaccess.h"
#include "report/harupdfwriter.h"
#include "report/report.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSvgWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>
#include <thread>

namespace lumeq {

namespace {

// Slot button colours: a slot that holds a configuration, and an empty one.
const QColor kFilledSlotColour(166, 202, 240);
const QColor kEmptySlotColour(0, 255, 0);
constexpr const char* kConfirmText = "Are youe sure?";
constexpr const char* kNoAnswerMessage =
    "The module did not answer. Its memory slots could not be read, so nothing can be written to it "
    "in this run. Check the connection to the module and start the program again.";
// The debug panel lies this far below its place until the debug option brings it up.
constexpr int kDebugPanelOffset = 1000;

// The block diagram fills the upper area; the bar below holds the slot and action buttons.
constexpr int kDiagramHeight = 578;
constexpr int kBarY = kDiagramHeight + 8;
constexpr int kButtonW = 72;
constexpr int kButtonH = 28;
constexpr int kButtonStep = 78;
constexpr int kActionX = 350;

int actionX(int slot) {
    return kActionX + slot * kButtonStep;
}

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

MainWindow::MainWindow(std::unique_ptr<StickAccess> stick, QString programDir, QStringList parameters, QWidget* parent)
    : QMainWindow(parent), stick_(std::move(stick)), programDir_(std::move(programDir)),
      parameters_(std::move(parameters)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Lumeq Config"));
    setFixedSize(kWidth, kHeight);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, &MainWindow::Timer1Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(timing_.pollMs);
    connect(Timer2, &QTimer::timeout, this, &MainWindow::Timer2Timer);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(100);
    connect(Timer3, &QTimer::timeout, this, &MainWindow::Timer3Timer);

    buildWidgets();
    dialogs_ = std::make_unique<WidgetDialogs>(this);

    // All flags start clear; stick mode is not active.
    stickState_ = -1;
    eeBlock.assign(kImageSize, 0);
}

MainWindow::~MainWindow() {
    setBusyCursor(false);
}

void MainWindow::setTiming(const Timing& timing) {
    timing_ = timing;
    Timer2->setInterval(timing_.pollMs);
}

void MainWindow::setRestartHandler(RestartHandler handler) {
    restartHandler_ = std::move(handler);
}

void MainWindow::setDialogs(std::unique_ptr<Dialogs> dialogs) {
    dialogs_ = std::move(dialogs);
}

QPushButton* MainWindow::makeButton(const char* name, const QString& caption, int x, int y, int w, int h) {
    auto* button = new QPushButton(caption, centralWidget());
    button->setObjectName(QLatin1String(name));
    button->setGeometry(x, y, w, h);
    button->setCursor(Qt::PointingHandCursor);
    button->hide();
    return button;
}

void MainWindow::buildWidgets() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("pMain"));
    setCentralWidget(central);
    central->setAutoFillBackground(true);
    QPalette pal = central->palette();
    pal.setColor(QPalette::Window, QColor(240, 240, 240));
    central->setPalette(pal);

    diagram_ = new BlockDiagram(central);
    diagram_->move(0, 0);
    diagram_->setFormDisabledSource([this] { return formDisabled_; });
    QPalette white = central->palette();
    white.setColor(QPalette::Window, Qt::white);

    for (int i = 0; i < 4; ++i) {
        const QByteArray name = "bM" + QByteArray::number(i + 1);
        slotButtons_[i] =
            makeButton(name.constData(), QStringLiteral("M%1").arg(i + 1), 10 + i * 52, kBarY, 46, kButtonH);
        connect(slotButtons_[i], &QPushButton::clicked, this, [this, i] { slotClick(i + 1); });
    }
    lInfo = new QLabel(QStringLiteral("Info:"), central);
    lInfo->setObjectName(QStringLiteral("lInfo"));
    lInfo->setGeometry(222, kBarY, 34, kButtonH);
    lInfo->hide();
    eInfo = new QLineEdit(central);
    eInfo->setObjectName(QStringLiteral("eInfo"));
    eInfo->setGeometry(256, kBarY + 2, 84, 24);
    eInfo->hide();

    // Buttons that never show together share a place: Cancel/Update FW, Erase ALL/ReRead.
    bMemCancel = makeButton("bMemCancel", QStringLiteral("Cancel"), actionX(0), kBarY, kButtonW, kButtonH);
    bUpdateFw = makeButton("bUpdateFw", QStringLiteral("Update FW"), actionX(0), kBarY, kButtonW, kButtonH);
    bErase = makeButton("bErase", QStringLiteral("Erase ALL"), actionX(1), kBarY, kButtonW, kButtonH);
    bReread = makeButton("bReread", QStringLiteral("ReRead"), actionX(1), kBarY, kButtonW, kButtonH);
    bMemClear = makeButton("bMemClear", QStringLiteral("Default"), actionX(2), kBarY, kButtonW, kButtonH);
    bMemStore = makeButton("bMemStore", QStringLiteral("Transfer"), actionX(3), kBarY, kButtonW, kButtonH);
    bLoad = makeButton("bLoad", QStringLiteral("Load"), actionX(4), kBarY, kButtonW, kButtonH);
    bSave = makeButton("bSave", QStringLiteral("Save"), actionX(5), kBarY, kButtonW, kButtonH);
    bPdf = makeButton("bPdf", QStringLiteral("PDF"), actionX(6), kBarY, kButtonW, kButtonH);
    connect(bLoad, &QPushButton::clicked, this, [this] { actionClicked(&MainWindow::bLoadClick); });
    connect(bSave, &QPushButton::clicked, this, [this] { actionClicked(&MainWindow::bSaveClick); });
    connect(bPdf, &QPushButton::clicked, this, [this] { actionClicked(&MainWindow::bPdfClick); });
    connect(bMemCancel, &QPushButton::clicked, this, [this] { actionClicked(&MainWindow::bMemCancelClick); });
    connect(bMemClear, &QPushButton::clicked, this, [this] { actionClicked(&MainWindow::bMemClearClick); });
    connect(bMemStore, &QPushButton::clicked, this, [this] { actionClicked(&MainWindow::bMemStoreClick); });
    connect(bErase, &QPushButton::clicked, this, [this] { actionClicked(&MainWindow::bEraseClick); });

    pbFWUpdate = new QProgressBar(central);
    pbFWUpdate->setObjectName(QStringLiteral("pbFWUpdate"));
    pbFWUpdate->setGeometry(actionX(0), kBarY - 18, 7 * kButtonStep - 6, 12);
    pbFWUpdate->setTextVisible(false);
    pbFWUpdate->hide();

    l60Hz = new QLabel(QStringLiteral("60Hz Version"), central);
    l60Hz->setObjectName(QStringLiteral("l60Hz"));
    l60Hz->setGeometry(222, kBarY - 22, 140, 18);
    l60Hz->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0); font-weight: bold;"));
    l60Hz->hide();

    cbShowHints = new QCheckBox(QStringLiteral("Show Hints"), central);
    cbShowHints->setObjectName(QStringLiteral("cbShowHints"));
    cbShowHints->setGeometry(actionX(7) + 8, kBarY + 5, 110, 18);
    cbShowHints->hide();

    cbStickDebug = new QCheckBox(QStringLiteral("Debug"), central);
    cbStickDebug->setObjectName(QStringLiteral("cbStickDebug"));
    cbStickDebug->setGeometry(actionX(7) + 4, kBarY - 22, 80, 18);
    cbStickDebug->hide();

    pVersion = new QLabel(QStringLiteral("Ver.:"), central);
    pVersion->setObjectName(QStringLiteral("pVersion"));
    pVersion->setGeometry(8, kDiagramHeight - 20, 90, 18);
    pVersion->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    gbLog = new QGroupBox(QStringLiteral("Log"), central);
    gbLog->setObjectName(QStringLiteral("gbLog"));
    gbLog->setGeometry(700, 380, 330, 170);
    gbLog->hide();

    pDebug = new QFrame(central);
    pDebug->setObjectName(QStringLiteral("pDebug"));
    pDebug->setFrameShape(QFrame::StyledPanel);
    pDebug->setGeometry(700, 20 + kDebugPanelOffset, 330, 340);
    auto* debugLayout = new QVBoxLayout(pDebug);
    mDebug = new QPlainTextEdit(pDebug);
    mDebug->setObjectName(QStringLiteral("mDebug"));
    mDebug->setReadOnly(true);
    cbDebugHold = new QCheckBox(QStringLiteral("Stop"), pDebug);
    cbDebugHold->setObjectName(QStringLiteral("cbDebugHold"));
    debugLayout->addWidget(mDebug);
    debugLayout->addWidget(cbDebugHold);

    // Editor panels open over the diagram; the curve chooser covers the whole window.
    outputEditor_ = new OutputEditor(*this, central);
    curvePanel_ = new DimmingCurvePanel(*this, *outputEditor_, central);
    outputEditor_->connectDiagram(*diagram_);
    pdfPanel_ = new PdfProjectPanel(central);
    connect(pdfPanel_, &PdfProjectPanel::okClicked, this, &MainWindow::bPdfOKClick);
    connect(pdfPanel_, &PdfProjectPanel::cancelClicked, this, &MainWindow::bPdfCancelClick);
    DiagramHooks hooks;
    hooks.setDaliLog = [this](bool checked) { outputEditor_->setDaliLog(checked); };
    diagram_->setHooks(std::move(hooks));

    // The logo panel covers the window while the program starts.
    pLogo = new QFrame(central);
    pLogo->setObjectName(QStringLiteral("pLogo"));
    pLogo->setGeometry(0, 0, kWidth, kHeight);
    pLogo->setAutoFillBackground(true);
    pLogo->setPalette(white);
    auto* logoLayout = new QVBoxLayout(pLogo);
    logoLayout->addStretch();
    auto* logo = new QSvgWidget(QStringLiteral(":/logo.svg"), pLogo);
    logo->setObjectName(QStringLiteral("iLogo"));
    logo->setFixedSize(136 * 3, 24 * 3);
    logoLayout->addWidget(logo, 0, Qt::AlignHCenter);
    auto* logoText = new QLabel(QStringLiteral("Configuration tool for Lumeq lighting control modules"), pLogo);
    logoText->setObjectName(QStringLiteral("lLogoText"));
    logoText->setAlignment(Qt::AlignHCenter);
    logoLayout->addWidget(logoText);
    logoLayout->addStretch();
    pLogo->hide();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!activated_) {
        activated_ = true;
        // Start-up runs once the window is on screen, so that "Loading" and the logo are seen.
        QTimer::singleShot(0, this, &MainWindow::formActivate);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    closing_ = true;
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    setBusyCursor(false);
    QMainWindow::closeEvent(event);
}

void MainWindow::pause(int ms) {
    if (closing_)
        return;
    // Sleeping with the window's events running, so that Timer1 ticks collect the stick's answers.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void MainWindow::setBusyCursor(bool busy) {
    if (busy == busyCursor_)
        return;
    busyCursor_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool MainWindow::checkHID() {
    return stick_ && stick_->libraryLoaded() && stick_->findHidDevice(kStickVendorId, kStickProductId);
}

void MainWindow::formActivate() {
    pLogo->show();
    pLogo->raise();
    pVersion->setText(pVersion->text() + QStringLiteral(LUMEQ_VERSION_TEXT));

    formDisabled_ = true;
    demo = true;
    options_ = readOptions(programDir_, parameters_);
    curves_.curveIndex = options_.curveIndex;
    if (options_.debugMode)
        pDebug->move(pDebug->x(), pDebug->y() - kDebugPanelOffset);

    if (checkHID()) {
        Timer2->stop();
        setWindowTitle(QStringLiteral("Loading"));
        demo = false;
        inReportLength = stick_->getInputReportLength() & 0xFF;
        outReportLength = stick_->getOutputReportLength() & 0xFF;
        featureReportLength = stick_->getFeatureReportLength() & 0xFF;
        setBusyCursor(true);
        usbStick = false;

        const ModuleReadOutcome outcome = readModule();
        if (outcome == ModuleReadOutcome::StickAlone) {
            usbStick = true;
            setWindowTitle(QStringLiteral("USB Stick"));
            stickState_ = 0;
            cbStickDebug->setVisible(options_.debugMode);
            Timer3->start();
            setBusyCursor(false);
        } else if (outcome == ModuleReadOutcome::Module) {
            setWindowTitle(QStringLiteral("Lumeq"));
            setBusyCursor(false);
        } else if (!closing_) {
            // The caption keeps "Loading" with its dots; the slots stay unknown and cannot be written.
            setBusyCursor(false);
            dialogs_->message(QString::fromLatin1(kNoAnswerMessage));
        }
    }

    if (demo) {
        setWindowTitle(QStringLiteral("Demo Mode"));
        pause(timing_.demoPauseMs);
        eeBlock = defaultImage();
        setDisplay();
        bLoad->show();
        bSave->show();
        bPdf->show();
        formDisabled_ = false;
        if (stick_ && stick_->libraryLoaded() && !closing_)
            Timer2->start();
    } else {
        for (QPushButton* button : slotButtons_)
            button->setVisible(!usbStick);
        selectedSlot = 0;
    }

    listDimmingCurves();
    cbShowHints->show();
    pLogo->hide();
    startupDone_ = true;
}

ModuleReadOutcome MainWindow::readModule() {
    ModuleReadSequence read(timing_.maxPass);
    moduleRead_ = &read;
    stick_->writeData(read.start());
    Timer1->start();
    while (!closing_) {
        pause(timing_.passMs);
        const ModuleReadSequence::Step step = read.endOfPass();
        if (step.pass % 10 == 0)
            setWindowTitle(windowTitle() + QLatin1Char('.'));
        if (step.discardWaiting)
            discardWaitingReports(*stick_, static_cast<std::size_t>(inReportLength));
        if (!step.request.empty()) {
            stick_->writeData(step.request);
            Timer1->start();
        }
        if (step.finished)
            break;
    }
    Timer1->stop();
    moduleRead_ = nullptr;
    const ModuleContents& contents = read.contents();
    if (contents.outcome == ModuleReadOutcome::Module || contents.outcome == ModuleReadOutcome::NoAnswer)
        fillSlots(contents);
    return contents.outcome;
}

void MainWindow::Timer1Timer() {
    if (!moduleRead_) {
        Timer1->stop();
        return;
    }
    drainReports(*stick_, moduleRead_->reader(), static_cast<std::size_t>(inReportLength));
    if (!moduleRead_->reader().running())
        Timer1->stop();
}

void MainWindow::fillSlots(const ModuleContents& contents) {
    controlBlockRead_ = contents.controlBlockRead;
    controlBlock = contents.controlBlock;
    slots_ = contents.directory.memorySlots;
    if (!controlBlockRead_)
        return; // nothing is known about the slots: the buttons keep their design look
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const TMemory& slot = slots_[i];
        QPushButton* button = slotButtons_[i];
        const QString name = QString::fromStdString(slot.mString);
        button->setText(QStringLiteral("M%1").arg(i + 1));
        button->setToolTip(QString());
        if (slot.mEmpty) {
            setButtonColour(button, kEmptySlotColour);
            continue;
        }
        setButtonColour(button, kFilledSlotColour);
        QStringList hint;
        if (!name.isEmpty())
            hint << QStringLiteral("Info: ") + name;
        if (slot.unreadable) {
            button->setText(button->text() + QLatin1Char('?'));
            hint << QStringLiteral("Could not be read from the module");
        }
        button->setToolTip(hint.join(QLatin1Char('\n')));
    }
    fwUpdatePending = false;
    if (contents.directory.firmware.valid)
        moduleFwVersion_ = contents.directory.firmware.version;
}

void MainWindow::showSlotButtons() {
    for (QPushButton* button : slotButtons_) {
        button->setEnabled(true);
        button->show();
    }
}

void MainWindow::listDimmingCurves() {
    curvePanel_->startUp();
}

void MainWindow::Timer2Timer() {
    if (checkHID()) {
        Timer2->stop();
        selfRestart(options_.restartArgs);
    }
}

void MainWindow::Timer3Timer() {
    // The stick-mode engine is driven from here.
}

void MainWindow::selfRestart(const QStringList& arguments) {
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    if (restartHandler_) {
        restartHandler_(arguments);
        return;
    }
    QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
    close();
    QCoreApplication::quit();
}

void MainWindow::actionClicked(void (MainWindow::*handler)()) {
    if (formDisabled_)
        return;
    (this->*handler)();
}

void MainWindow::enableButtons() {
    const bool module = !usbStick;
    bUpdateFw->setVisible(usbStick);
    bReread->setVisible(usbStick);
    if (usbStick && options_.set60Hz)
        l60Hz->show();
    bMemCancel->setVisible(module);
    if (module && options_.enableErase)
        bErase->show();
    lInfo->setVisible(module);
    eInfo->setVisible(module);
    for (QPushButton* button : {bMemClear, bMemStore, bLoad, bSave, bPdf})
        button->show();
}

void MainWindow::disableButtons() {
    setBusyCursor(false);
    for (QWidget* widget : std::initializer_list<QWidget*>{bMemCancel, bMemClear, bMemStore, bErase, bLoad, bSave, bPdf,
                                                           lInfo, eInfo, bUpdateFw, pbFWUpdate, bReread})
        widget->hide();
}

void MainWindow::setDisplay() {
    diagram_->setDisplay(eeBlock);
}

void MainWindow::bSaveClick() {
    const QString path = dialogs_->saveFile(QStringLiteral("Configuration Save"),
                                            QStringLiteral("Configuration files (*.qcf)"), QStringLiteral("qcf"));
    if (path.isEmpty())
        return;
    const SaveResult result = saveConfigFile(path, eeBlock, eInfo->text().left(kConfigInfoLength).toStdString());
    if (!result.ok)
        dialogs_->message(QString::fromStdString(result.error));
}

void MainWindow::bLoadClick() {
    const QString path = dialogs_->openFile(QStringLiteral("Open File"), {QStringLiteral("Configuration files (*.qcf)"),
                                                                          QStringLiteral("Firmware files (*.qfw)")});
    if (path.isEmpty())
        return;
    const FileBytes bytes = readLoadFile(path);
    if (!bytes.ok) {
        dialogs_->message(QString::fromStdString(bytes.error));
        return;
    }
    const ConfigFile file = parseConfigFile(bytes.bytes);
    if (file.error == ConfigFileError::Firmware)
        return; // firmware containers are read by the firmware update
    if (!file.isConfiguration()) {
        const auto text = configFileMessage(file.error);
        if (!text.empty())
            dialogs_->message(QString::fromUtf8(text.data(), qsizetype(text.size())));
        return;
    }
    if (file.oldFormat)
        dialogs_->message(QString::fromUtf8(kOldFormatMessage.data(), qsizetype(kOldFormatMessage.size())));
    const auto loaded = applyConfigFile(eeBlock, file, {options_.noLoadCheck, options_.copyAstro});
    if (!loaded) {
        // A refused file changes nothing, not even the astro data.
        dialogs_->message(QString::fromUtf8(kFileCorruptedMessage.data(), qsizetype(kFileCorruptedMessage.size())));
        return;
    }
    eeBlock = *loaded;
    eInfo->setText(QString::fromStdString(file.info));
    setDisplay();
}

void MainWindow::bPdfClick() {
    formDisabled_ = true;
    pdfPanel_->open();
}

void MainWindow::bPdfCancelClick() {
    formDisabled_ = false;
    pdfPanel_->hide();
}

void MainWindow::bPdfOKClick() {
    HaruPdfWriter writer;
    const std::time_t now = reportTime();
    std::string error = writeReport(writer, eeBlock, pdfPanel_->project(), readHeaderLines(programDir_.toStdString()),
                                    reportDateText(now), pdfDateTime(now));
    if (error.empty()) {
        const QString chosen =
            dialogs_->saveFile(QStringLiteral("PDF"), QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf"));
        if (!chosen.isEmpty())
            error = writer.save(reportFilePath(chosen.toStdString()));
    }
    if (!error.empty()) {
        // The dialog stays open; its cancel button closes it.
        dialogs_->message(QString::fromStdString(error));
        return;
    }
    bPdfCancelClick();
}

void MainWindow::slotClick(int slot) {
    // Slot buttons work whatever the interlock says: choosing a slot is how module mode starts editing.
    const TMemory& memory = slots_[static_cast<std::size_t>(slot - 1)];
    if (!controlBlockRead_) {
        dialogs_->message(QString::fromLatin1(kNoAnswerMessage));
        return;
    }
    if (!memory.mEmpty && memory.unreadable) {
        dialogs_->message(QStringLiteral("The configuration in M%1 could not be read from the module: its data did "
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
    selectedSlot = slot;
    enableButtons();
    if (!options_.skipFW && options_.set60Hz)
        l60Hz->show();
    takeSlotIntoImage(memory, eeBlock, options_.copyAstro, [this](Image&) { curvePanel_->invCorrectDC(); });
    if (!memory.mString.empty())
        eInfo->setText(QString::fromStdString(memory.mString));
    setDisplay();
    formDisabled_ = false;
}

void MainWindow::bMemCancelClick() {
    showSlotButtons();
    eInfo->clear();
    disableButtons();
    l60Hz->hide();
    formDisabled_ = true;
    // Unticking the curve box gives up the chosen curve.
    curves_.curveIndex = -1;
    outputEditor_->curveCheckBox()->setChecked(false);
    curves_.levelsUncorrected = false;
}

void MainWindow::bMemClearClick() {
    if (dialogs_->confirm(QString::fromLatin1(kConfirmText)))
        clearMemory();
}

void MainWindow::clearMemory() {
    if (usbStick) {
        eeBlock.assign(std::max<std::size_t>(eeBlock.size(), 2 * kImageSize), 0xFF);
    } else if (selectedSlot >= 1 && selectedSlot <= kSlotCount) {
        TMemory& memory = slots_[static_cast<std::size_t>(selectedSlot - 1)];
        memory.mEmpty = true;
        memory.unreadable = false;
        memory.mString.clear();
        QPushButton* button = slotButtons_[static_cast<std::size_t>(selectedSlot - 1)];
        setButtonColour(button, kEmptySlotColour);
        button->setText(QStringLiteral("M%1").arg(selectedSlot));
        button->setToolTip(QString());
        clearSlotName(controlBlock, selectedSlot);
    }
    const Image defaults = defaultImage();
    if (eeBlock.size() < defaults.size())
        eeBlock.resize(defaults.size(), 0);
    std::copy(defaults.begin(), defaults.end(), eeBlock.begin());
    eInfo->setText(QStringLiteral("Default"));
    setDisplay();
}

void MainWindow::bMemStoreClick() {
    if (!checkHID()) {
        dialogs_->message(fromStd(kUsbErrorMessage));
        return;
    }
    if (usbStick)
        return; // the stick's device memory is written by the stick-mode engine
    disableButtons();
    formDisabled_ = true;
    setBusyCursor(true);

    curvePanel_->correctDC();
    TransferRequest request;
    request.controlBlock = controlBlock;
    request.controlBlockRead = controlBlockRead_;
    request.slot = selectedSlot;
    request.image = eeBlock;
    request.info = eInfo->text().toStdString();
    const TransferPlanResult planned = planTransfer(request);
    if (!planned.plan) {
        setBusyCursor(false);
        dialogs_->message(QString::fromStdString(planned.error));
        showSlotButtons();
        return;
    }
    TransferRun run(*planned.plan);
    // Each block waits up to about a second for its confirmation; the window takes no events meanwhile.
    const TransferResult result = runTransfer(*stick_, run, static_cast<std::size_t>(inReportLength), [](int ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    });
    if (result.firmwareFailed)
        dialogs_->message(fromStd(transferErrorMessage(kFirmwareError)));
    if (!result.ok) {
        transferError(result.errorCode);
        return;
    }
    controlBlock = result.controlBlockWritten;
    enableButtons();
    formDisabled_ = false;
    setBusyCursor(false);
    selfRestart(transferRestartArgs(options_, curves_.curveIndex));
}

void MainWindow::transferError(const std::string& code) {
    setBusyCursor(false);
    dialogs_->message(fromStd(transferErrorMessage(code)));
    showSlotButtons();
    disableButtons();
    // formDisabled stays set: a slot has to be chosen again.
}

void MainWindow::bEraseClick() {
    if (!checkHID()) {
        dialogs_->message(fromStd(kUsbErrorMessage));
        return;
    }
    if (!controlBlockRead_)
        return; // a module that did not answer is not erased blindly
    if (!dialogs_->confirm(QString::fromLatin1(kConfirmText)))
        return;
    eraseModule(*stick_);
    selfRestart(options_.restartArgs);
}

} // namespace lumeq
