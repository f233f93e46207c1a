#include "app/mainwindow.h"

#include "app/blockdiagram.h"
#include "app/dialogs.h"
#include "app/pdfprojectpanel.h"
#include "editors/dimmingcurvepanel.h"
#include "editors/outputeditor.h"
#include "files/configfile.h"
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

namespace lumeq {

namespace {

constexpr int kControlBlockAddress = 0xFF80;
constexpr int kBlockSize = 128;
constexpr int kDataReportSize = 8;
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
    }
    lInfo = new QLabel(QStringLiteral("Info:"), central);
    lInfo->setObjectName(QStringLiteral("lInfo"));
    lInfo->setGeometry(222, kBarY, 34, kButtonH);
    lInfo->hide();
    eInfo = new QLineEdit(central);
    eInfo->setObjectName(QStringLiteral("eInfo"));
    eInfo->setGeometry(256, kBarY + 2, 84, 24);
    eInfo->setMaxLength(8);
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

        readControlBlock();
        bool answered = false;
        for (int pass = 0; pass <= timing_.maxPass && !closing_; ++pass) {
            pause(timing_.passMs);
            if (pass % 10 == 0)
                setWindowTitle(windowTitle() + QLatin1Char('.'));
            if (!controlFlag || usbStick) {
                answered = true;
                break;
            }
        }
        if (answered) {
            if (usbStick) {
                setWindowTitle(QStringLiteral("USB Stick"));
                stickState_ = 0;
                cbStickDebug->setVisible(options_.debugMode);
                Timer3->start();
            } else {
                readSlots();
                setWindowTitle(QStringLiteral("Lumeq"));
            }
            setBusyCursor(false);
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

void MainWindow::readControlBlock() {
    controlBlock.assign(kBlockSize, 0);
    dataBuffer.assign(kDataReportSize, 0);
    const std::uint8_t request[kDataReportSize] = {
        0xAA, 0x55, 0xF2, 0x10, kControlBlockAddress & 0xFF, (kControlBlockAddress >> 8) & 0xFF, 0x00, 0x00};
    stick_->writeData(request);
    controlFlag = true;
    dataFlag = false;
    packetCountdown = 0;
    Timer1->start();
}

void MainWindow::Timer1Timer() {
    dataBuffer.assign(std::max(inReportLength, kDataReportSize), 0);
    if (!stick_->readData(dataBuffer))
        return;
    if (dataBuffer[0] == 0xC0 && dataBuffer[1] == 0x44) {
        packetCountdown = std::min<int>(dataBuffer[4] / kDataReportSize, kBlockSize / kDataReportSize);
        return;
    }
    if (dataBuffer[0] == 0xB2 && (dataBuffer[1] == 0x50 || dataBuffer[1] == 0x51)) {
        usbStick = true;
        Timer1->stop();
        return;
    }
    if (packetCountdown == 0)
        return;
    if (controlFlag) {
        const int offset = (kBlockSize / kDataReportSize - packetCountdown) * kDataReportSize;
        std::copy_n(dataBuffer.begin(), kDataReportSize, controlBlock.begin() + offset);
    }
    if (--packetCountdown == 0) {
        Timer1->stop();
        controlFlag = false;
        dataFlag = false;
    }
}

void MainWindow::readSlots() {
    // Filling the slots from the control block comes with module reading.
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

} // namespace lumeq
