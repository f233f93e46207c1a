#include "app/mainwindow.h"

#include "app/dialogs.h"
#include "app/pdfprojectpanel.h"
#include "diagram/blockdiagram.h"
#include "editors/dimmingcurvepanel.h"
#include "editors/editorset.h"
#include "files/configfile.h"
#include "link/reportpump.h"
#include "link/stickaccess.h"
#include "report/harupdfwriter.h"
#include "report/report.h"
#include "files/qtext.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaEnum>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSvgWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace lumeq {

namespace {

// The debug panel lies this far below its place until the debug option brings it up.
constexpr int kDebugPanelOffset = 1000;

// The block diagram fills the upper area; the bar below holds the slot and action buttons.
constexpr int kDiagramHeight = 578;
constexpr int kBarY = kDiagramHeight + 8;
constexpr int kButtonW = 72;
constexpr int kButtonH = 28;
constexpr int kButtonStep = 78;
constexpr int kActionX = 350;
const QRect kFirstSlotButton(10, kBarY, 46, kButtonH);
constexpr int kSlotButtonStep = 52;

using Action = MainWindow::Action;

// Caption and column of each action button.
struct ActionPlace {
    Action action;
    const char* caption;
    int column;
};
const ActionPlace kActions[] = {
    {Action::bMemCancel, "Cancel", 0}, {Action::bUpdateFw, "Update FW", 0}, {Action::bErase, "Erase ALL", 1},
    {Action::bReread, "ReRead", 1},    {Action::bMemClear, "Default", 2},   {Action::bMemStore, "Transfer", 3},
    {Action::bLoad, "Load", 4},        {Action::bSave, "Save", 5},          {Action::bPdf, "PDF", 6},
};

int actionX(int column) {
    return kActionX + column * kButtonStep;
}

} // namespace

QString MainWindow::actionName(Action which) {
    return QLatin1String(QMetaEnum::fromType<Action>().valueToKey(static_cast<int>(which)));
}

MainWindow::MainWindow(std::unique_ptr<StickAccess> stick, QString programDir, QStringList parameters, QWidget* parent)
    : QMainWindow(parent), stick_(std::move(stick)), programDir_(std::move(programDir)),
      parameters_(std::move(parameters)), restartProgram_(QCoreApplication::applicationFilePath()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Lumeq Config"));
    setFixedSize(kWidth, kHeight);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(timing_.pollMs);
    connect(Timer2, &QTimer::timeout, this, &MainWindow::Timer2Timer);

    buildWidgets();
    dialogs_ = std::make_unique<WidgetDialogs>(this);
    firmwareSource_ = builtInFirmware;
    pump_ = std::make_unique<ReportPump>(*stick_, [this] { reportsWaiting(); });

    // All flags start clear; no mode is chosen yet.
    eeBlock.assign(kImageSize, 0);
}

MainWindow::~MainWindow() {
    // A write still going on ends (logged as interrupted), and nobody reads the stick any more, before the
    // sessions and the stick go.
    moduleSession_->stopReading();
    pump_.reset();
    setBusyCursor(false);
}

std::optional<StickState> MainWindow::stickState() const {
    if (stickSession_)
        return stickSession_->engine().state();
    if (mode_ == Mode::Stick)
        return StickState::Waiting;
    return std::nullopt;
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

void MainWindow::message(const QString& text) {
    dialogs_->message(text);
}

bool MainWindow::ask(const QString& text, const QString& accept, const QString& reject) {
    return dialogs_->choose(text, accept, reject);
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

    for (const ActionPlace& place : kActions) {
        auto* button = new QPushButton(QLatin1String(place.caption), central);
        button->setObjectName(actionName(place.action));
        button->setGeometry(actionX(place.column), kBarY, kButtonW, kButtonH);
        button->setCursor(Qt::PointingHandCursor);
        button->hide();
        connect(button, &QPushButton::clicked, this, [this, which = place.action] { actionClicked(which); });
        actions_[static_cast<std::size_t>(place.action)] = button;
    }

    lInfo = new QLabel(QStringLiteral("Info:"), central);
    lInfo->setObjectName(QStringLiteral("lInfo"));
    lInfo->setGeometry(222, kBarY, 34, kButtonH);
    lInfo->hide();
    eInfo = new QLineEdit(central);
    eInfo->setObjectName(QStringLiteral("eInfo"));
    eInfo->setGeometry(256, kBarY + 2, 84, 24);
    eInfo->hide();

    auto* progress = new QProgressBar(central);
    progress->setObjectName(QStringLiteral("pbFWUpdate"));
    progress->setGeometry(actionX(0), kBarY - 18, 7 * kButtonStep - 6, 12);
    progress->setTextVisible(false);
    progress->hide();
    pbFWUpdate = progress;

    l60Hz = new QLabel(QStringLiteral("60Hz Version"), central);
    l60Hz->setObjectName(QStringLiteral("l60Hz"));
    l60Hz->setGeometry(222, kBarY - 22, 140, 18);
    l60Hz->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0); font-weight: bold;"));
    l60Hz->hide();

    cbShowHints = new QCheckBox(QStringLiteral("Show Hints"), central);
    cbShowHints->setObjectName(QStringLiteral("cbShowHints"));
    cbShowHints->setGeometry(actionX(7) + 8, kBarY + 5, 110, 18);
    cbShowHints->hide();
    connect(cbShowHints, &QCheckBox::toggled, diagram_, &BlockDiagram::setHintsEnabled);

    cbStickDebug = new QCheckBox(QStringLiteral("Debug"), central);
    cbStickDebug->setObjectName(QStringLiteral("cbStickDebug"));
    cbStickDebug->setGeometry(actionX(7) + 4, kBarY - 22, 80, 18);
    cbStickDebug->hide();

    pVersion = new QLabel(QStringLiteral("Ver.:"), central);
    pVersion->setObjectName(QStringLiteral("pVersion"));
    pVersion->setGeometry(8, kDiagramHeight - 20, 90, 18);
    pVersion->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The firmware icon: its hint tells the firmware version.
    iFW = new QLabel(QStringLiteral("FW"), central);
    iFW->setObjectName(QStringLiteral("iFW"));
    iFW->setGeometry(100, kDiagramHeight - 21, 28, 18);
    iFW->setAlignment(Qt::AlignCenter);
    iFW->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgb(0, 128, 128); font-weight: bold; "
                                      "border-radius: 3px; }"));
    iFW->hide();

    // The status line: what the last write did, and the firmware the next Transfer takes along.
    // It sits in the free corner right of the control input and the relay, a few lines high.
    lStatus = new QLabel(central);
    lStatus->setObjectName(QStringLiteral("lStatus"));
    lStatus->setGeometry(880, 236, 152, 136);
    lStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lStatus->setTextFormat(Qt::PlainText);
    lStatus->setWordWrap(true);
    QFont statusFont = lStatus->font();
    statusFont.setPointSizeF(statusFont.pointSizeF() * 0.9);
    lStatus->setFont(statusFont);

    // The stick's operating log (stick mode, -showLog).
    gbLog = new QGroupBox(QStringLiteral("Log"), central);
    gbLog->setObjectName(QStringLiteral("gbLog"));
    gbLog->setGeometry(700, 380, 330, 170);
    gbLog->hide();
    struct LogRow {
        const char* caption;
        const char* captionName;
        const char* valueName;
        QLabel** value;
    };
    const LogRow logRows[] = {{"Operation", "lOpCaption", "lOp", &lOp},
                              {"Switch cnt.", "lSwCntCaption", "lSwCnt", &lSwCnt},
                              {"Over T", "lOverTCaption", "lOverT", &lOverT},
                              {"Max. T", "lMaxTCaption", "lMaxT", &lMaxT}};
    int logY = 30;
    for (const LogRow& row : logRows) {
        auto* caption = new QLabel(QLatin1String(row.caption), gbLog);
        caption->setObjectName(QLatin1String(row.captionName));
        caption->setGeometry(14, logY, 130, 22);
        auto* value = new QLabel(gbLog);
        value->setObjectName(QLatin1String(row.valueName));
        value->setGeometry(150, logY, 166, 22);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        *row.value = value;
        logY += 32;
    }

    // The debug panel shows only while "Debug" is ticked.
    pDebug = new QFrame(central);
    pDebug->setObjectName(QStringLiteral("pDebug"));
    pDebug->setFrameShape(QFrame::StyledPanel);
    pDebug->setGeometry(700, 20 + kDebugPanelOffset, 330, 340);
    pDebug->hide();
    auto* debugLayout = new QVBoxLayout(pDebug);
    auto* debugGroup = new QGroupBox(QStringLiteral("Debug"), pDebug);
    debugGroup->setObjectName(QStringLiteral("gbDebug"));
    auto* debugGroupLayout = new QVBoxLayout(debugGroup);
    mDebug = new QPlainTextEdit(debugGroup);
    mDebug->setObjectName(QStringLiteral("mDebug"));
    mDebug->setReadOnly(true);
    QFont fixedPitch = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixedPitch.setStyleHint(QFont::TypeWriter);
    fixedPitch.setFixedPitch(true);
    mDebug->setFont(fixedPitch);
    mDebug->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mDebug->setLineWrapMode(QPlainTextEdit::NoWrap);
    cbDebugHold = new QCheckBox(QStringLiteral("Stop"), debugGroup);
    cbDebugHold->setObjectName(QStringLiteral("cbDebugHold"));
    debugGroupLayout->addWidget(mDebug);
    debugGroupLayout->addWidget(cbDebugHold);
    debugLayout->addWidget(debugGroup);
    connect(cbStickDebug, &QCheckBox::toggled, pDebug, &QWidget::setVisible);

    // The slot buttons and the module read; used in module mode only.
    moduleSession_ = new ModuleSession(*this, *stick_, options_, central, kFirstSlotButton, kSlotButtonStep);

    // Editor panels open over the diagram; the curve chooser covers the whole window.
    editors_ = new EditorSet(*this, central);
    pdfPanel_ = new PdfProjectPanel(central);
    connect(pdfPanel_, &PdfProjectPanel::okClicked, this, &MainWindow::bPdfOKClick);
    connect(pdfPanel_, &PdfProjectPanel::cancelClicked, this, &MainWindow::bPdfCancelClick);

    // The logo panel covers the window while the program starts.
    pLogo = new QFrame(central);
    pLogo->setObjectName(QStringLiteral("pLogo"));
    pLogo->setGeometry(0, 0, kWidth, kHeight);
    pLogo->setAutoFillBackground(true);
    QPalette white = central->palette();
    white.setColor(QPalette::Window, Qt::white);
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
    Timer2->stop();
    moduleSession_->stopReading();
    pump_->stop();
    setBusyCursor(false);
    QMainWindow::closeEvent(event);
}

void MainWindow::pause(int ms) {
    if (closing_)
        return;
    // Waiting with the window's events running, so that timer ticks collect the stick's answers.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void MainWindow::appendCaptionDot() {
    setWindowTitle(windowTitle() + QLatin1Char('.'));
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

QString MainWindow::infoText() const {
    return eInfo->text();
}

void MainWindow::setInfoText(const QString& text) {
    eInfo->setText(text);
}

void MainWindow::showSixtyHzLabel(bool shown) {
    l60Hz->setVisible(shown);
}

QString MainWindow::curveName() const {
    const auto* chooser = editors_->find<DimmingCurvePanel>();
    if (!chooser || !curves_.curveChosen())
        return {};
    const QStringList names = chooser->curveNames();
    return curves_.curveIndex < names.size() ? names.at(curves_.curveIndex) : QString();
}

void MainWindow::dropCurveChoice() {
    if (auto* chooser = editors_->find<DimmingCurvePanel>())
        chooser->dropChoice();
}

bool MainWindow::checkHID() {
    return stick_ && stick_->libraryLoaded() && stick_->findHidDevice(kStickVendorId, kStickProductId);
}

void MainWindow::formActivate() {
    pLogo->show();
    pLogo->raise();
    pVersion->setText(pVersion->text() + QStringLiteral(LUMEQ_VERSION_TEXT));

    formDisabled_ = true;
    mode_ = Mode::Demo;
    options_ = readOptions(programDir_, parameters_);
    curves_.curveIndex = options_.curveIndex;
    if (options_.debugMode)
        pDebug->move(pDebug->x(), pDebug->y() - kDebugPanelOffset);

    if (checkHID()) {
        Timer2->stop();
        setWindowTitle(QStringLiteral("Loading"));
        mode_ = Mode::Module;
        inReportLength = stick_->getInputReportLength() & 0xFF;
        outReportLength = stick_->getOutputReportLength() & 0xFF;
        featureReportLength = stick_->getFeatureReportLength() & 0xFF;
        setBusyCursor(true);

        const ModuleReadOutcome outcome =
            moduleSession_->readModule({timing_.passMs, timing_.maxPass}, inReportLength, *pump_);
        if (outcome == ModuleReadOutcome::StickAlone) {
            mode_ = Mode::Stick;
            setWindowTitle(QStringLiteral("USB Stick"));
            cbStickDebug->setVisible(options_.debugMode);
            setBusyCursor(false);
            StickWidgets widgets{gbLog, lOp, lSwCnt, lOverT, lMaxT, cbStickDebug, cbDebugHold, mDebug, pbFWUpdate};
            stickSession_ = new StickSession(*this, *stick_, *pump_, options_, widgets, this);
        } else if (outcome == ModuleReadOutcome::Module) {
            setWindowTitle(QStringLiteral("Lumeq"));
            setBusyCursor(false);
        }
    }

    if (mode_ == Mode::Demo) {
        setWindowTitle(QStringLiteral("Demo Mode"));
        pause(timing_.demoPauseMs);
        eeBlock = defaultImage();
        setDisplay();
        for (const Action shown : {Action::bLoad, Action::bSave, Action::bPdf})
            action(shown)->show();
        formDisabled_ = false;
        if (stick_ && stick_->libraryLoaded() && !closing_)
            Timer2->start();
    } else {
        if (mode_ == Mode::Module)
            moduleSession_->showSlotBar();
        // The built-in firmware: always in stick mode, in module mode unless -skipFW.
        if (mode_ == Mode::Stick || !options_.skipFW)
            loadRes();
        if (mode_ == Mode::Module)
            moduleSession_->updateStatusLine();
    }

    editors_->startUp();
    cbShowHints->show();
    pLogo->hide();
    startupDone_ = true;
    // Stick mode takes the stick's answers from here on: its identification may be waiting already.
    if (stickSession_ && !closing_) {
        stickSession_->setAnswerTimeout(timing_.stickAnswerMs);
        stickSession_->start(inReportLength, outReportLength, timing_.stickPauseMs);
    }
}

void MainWindow::showProgress(int done, int total) {
    if (total <= 0) {
        pbFWUpdate->hide();
        return;
    }
    pbFWUpdate->setMaximum(total);
    pbFWUpdate->setValue(done);
    pbFWUpdate->show();
}

void MainWindow::setStatusLine(const QString& text) {
    lStatus->setText(text);
}

void MainWindow::reportsWaiting() {
    if (moduleSession_->reading() || moduleSession_->writing())
        moduleSession_->reportsWaiting();
    else if (stickSession_)
        stickSession_->reportsWaiting();
}

void MainWindow::loadRes() {
    if (!firmwareSource_)
        return;
    const std::optional<BuiltInFirmware> builtIn = firmwareSource_(options_.set60Hz);
    if (!builtIn)
        return; // this build carries no firmware
    if (builtIn->testContainer && !stick_->simulated()) {
        static bool warned = false;
        if (!std::exchange(warned, true))
            qWarning("This build carries test firmware only; it is never offered to a real stick or module.");
        return;
    }
    const FirmwareContainer container = parseFirmwareContainer(builtIn->text);
    if (const auto icon =
            takeBuiltInFirmware(firmware_, container, mode_ == Mode::Stick ? FirmwareMode::Stick : FirmwareMode::Module))
        showFirmwareIcon(QString::fromStdString(icon->hint));
}

void MainWindow::showFirmwareIcon(const QString& hint) {
    iFW->setToolTip(hint);
    iFW->show();
}

void MainWindow::hideFirmwareIcon() {
    iFW->setToolTip(QString());
    iFW->hide();
}

void MainWindow::loadFirmwareFile(const std::string& text) {
    const FirmwareContainer container = parseFirmwareContainer(text);
    const FirmwareMode mode = mode_ == Mode::Demo    ? FirmwareMode::Demo
                              : mode_ == Mode::Stick ? FirmwareMode::Stick
                                                     : FirmwareMode::Module;
    const FirmwareFileResult result = takeFirmwareFile(firmware_, container, mode);
    if (!result.accepted) {
        dialogs_->message(fromStd(kFileCorruptedMessage));
        return;
    }
    if (result.icon)
        showFirmwareIcon(QString::fromStdString(result.icon->hint));
    if (mode_ == Mode::Module)
        moduleSession_->updateStatusLine();
}

void MainWindow::Timer2Timer() {
    if (checkHID()) {
        Timer2->stop();
        selfRestart(options_.restartArgs);
    }
}

void MainWindow::selfRestart(const QStringList& arguments) {
    Timer2->stop();
    if (restartHandler_) {
        restartHandler_(arguments);
        return;
    }
    QProcess process;
    process.setProgram(restartProgram_);
    process.setArguments(arguments);
    if (!process.startDetached()) {
        setBusyCursor(false);
        dialogs_->message(QStringLiteral("The program could not start again (%1: %2). This run goes on; close it and "
                                         "start the program again by hand.")
                              .arg(restartProgram_, process.errorString()));
        return;
    }
    close();
    QCoreApplication::quit();
}

void MainWindow::actionClicked(Action which) {
    if (formDisabled_)
        return;
    switch (which) {
    case Action::bLoad:
        bLoadClick();
        break;
    case Action::bSave:
        bSaveClick();
        break;
    case Action::bPdf:
        bPdfClick();
        break;
    case Action::bMemClear:
        if (mode_ == Mode::Module)
            moduleSession_->bMemClearClick();
        else if (stickSession_ && stickSession_->bMemClearClick())
            clearStickMemory();
        break;
    case Action::bMemCancel:
        moduleSession_->bMemCancelClick();
        break;
    case Action::bMemStore:
        if (stickSession_)
            stickSession_->bMemStoreClick();
        else if (mode_ == Mode::Module)
            moduleSession_->bMemStoreClick();
        break;
    case Action::bErase:
        moduleSession_->bEraseClick();
        break;
    case Action::bUpdateFw:
        if (stickSession_)
            stickSession_->bUpdateFwClick();
        break;
    case Action::bReread:
        if (stickSession_)
            stickSession_->bRereadClick();
        break;
    }
}

void MainWindow::enableButtons() {
    const bool stick = mode_ == Mode::Stick;
    const bool module = !stick;
    action(Action::bUpdateFw)->setVisible(stick);
    action(Action::bReread)->setVisible(stick);
    if (stick && options_.set60Hz)
        l60Hz->show();
    action(Action::bMemCancel)->setVisible(module);
    if (module && options_.enableErase)
        action(Action::bErase)->show();
    lInfo->setVisible(module);
    eInfo->setVisible(module);
    for (const Action shown : {Action::bMemClear, Action::bMemStore, Action::bLoad, Action::bSave, Action::bPdf})
        action(shown)->show();
}

void MainWindow::disableButtons() {
    setBusyCursor(false);
    for (QPushButton* button : actions_)
        button->hide();
    for (QWidget* widget : std::initializer_list<QWidget*>{lInfo, eInfo, pbFWUpdate})
        widget->hide();
}

void MainWindow::setDisplay() {
    diagram_->setDisplay(eeBlock);
}

void MainWindow::clearStickMemory() {
    defaultStickMemory(eeBlock);
    curves_.levelsUncorrected = true;
    eInfo->setText(QStringLiteral("Default"));
    setDisplay();
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
    if (file.error == ConfigFileError::Firmware) {
        loadFirmwareFile(bytes.bytes);
        return;
    }
    if (!file.isConfiguration()) {
        const auto text = configFileMessage(file.error);
        if (!text.empty())
            dialogs_->message(fromStd(text));
        return;
    }
    if (file.oldFormat)
        dialogs_->message(fromStd(kOldFormatMessage));
    const auto loaded = applyConfigFile(eeBlock, file, {options_.noLoadCheck, options_.copyAstro});
    if (!loaded) {
        // A refused file changes nothing, not even the astro data.
        dialogs_->message(fromStd(kFileCorruptedMessage));
        return;
    }
    eeBlock = *loaded;
    // A file holds the levels as the user wants them: a curve chosen later must not convert them.
    curves_.levelsUncorrected = true;
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
