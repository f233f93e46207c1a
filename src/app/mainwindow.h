#pragma once
// The program's one window: owns the configuration image, the mode, the interlock and the caption, runs
// the start-up that chooses demo, module or stick mode for the whole run, and serves Load, Save and PDF.
// The block diagram, the editor panels (EditorSet) and module mode (ModuleSession) are its parts.

#include "app/modulesession.h"
#include "app/sticksession.h"
#include "editors/editorhost.h"
#include "files/firmwarecontainer.h"
#include "files/options.h"
#include "link/firmwarestate.h"
#include "model/dimmingcurve.h"
#include "model/image.h"

#include <QMainWindow>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace lumeq {

class BlockDiagram;
class Dialogs;
class EditorSet;
class PdfProjectPanel;
class ReportPump;
class StickAccess;

class MainWindow : public QMainWindow, public EditorHost, private ModuleSessionHost, private StickSessionHost {
    Q_OBJECT

public:
    static constexpr int kWidth = 1039;
    static constexpr int kHeight = 623;

    // Waits of the start-up and the polling interval; tests shorten them.
    struct Timing {
        int passMs = 50;         // one pass of the wait for a module's block
        int maxPass = 100;       // the wait ends after this pass
        int demoPauseMs = 2000;  // "Demo Mode" stays on show this long before the default image
        int pollMs = 1000;       // Timer2: looking for a stick in demo mode
        int stickPauseMs = 1000; // stick mode: after the identification, before the memory is read
        int stickAnswerMs = kStickAnswerTimeoutMs; // stick mode: the wait for each answer
    };

    // Where the built-in firmware containers come from (the program's resources; tests give their own).
    using FirmwareSource = std::function<std::optional<BuiltInFirmware>(bool sixtyHz)>;

    // The buttons of the bar under the diagram, besides the slot buttons. Buttons that never show together
    // share a place: Cancel and Update FW, Erase ALL and ReRead.
    enum class Action { bMemCancel, bUpdateFw, bErase, bReread, bMemClear, bMemStore, bLoad, bSave, bPdf };
    Q_ENUM(Action)
    static constexpr int kActionCount = static_cast<int>(Action::bPdf) + 1;
    static QString actionName(Action action);

    // The mode of the run, chosen by the start-up once and for all: without a stick the demo, a module
    // behind the stick, or the stick alone.
    enum class Mode { Starting, Demo, Module, Stick };

    // Receives the arguments of a self-restart instead of starting a new process (tests).
    using RestartHandler = std::function<void(const QStringList& arguments)>;

    // `stick` is the stick access (never null: without hidapi it is one whose library did not load);
    // `programDir` ends with a path separator; `parameters` are the command-line parameters.
    MainWindow(std::unique_ptr<StickAccess> stick, QString programDir, QStringList parameters,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    void setTiming(const Timing& timing);
    void setRestartHandler(RestartHandler handler);
    // The program file a self-restart starts (the running program's own file unless a test says otherwise).
    void setRestartProgram(const QString& program) { restartProgram_ = program; }
    // Replaces the dialogs and message boxes (tests answer them).
    void setDialogs(std::unique_ptr<Dialogs> dialogs);
    Dialogs& dialogs() override { return *dialogs_; }
    void setFirmwareSource(FirmwareSource source) { firmwareSource_ = std::move(source); }

    // State that the rest of the program and the tests read.
    const Image& image() const { return eeBlock; }
    Mode mode() const { return mode_; }
    bool isStickMode() const { return mode_ == Mode::Stick; }
    bool isFormDisabled() const { return formDisabled_; }
    bool startupFinished() const { return startupDone_; }
    const StartupOptions& options() const { return options_; }
    int curveIndex() const { return curves_.curveIndex; }
    QString restartParams() const { return options_.restartParams(); }
    // The stick-mode engine's state; none outside stick mode.
    std::optional<StickState> stickState() const;
    EditorSet& editors() const { return *editors_; }
    // Module mode: the slot bar and the module's contents (idle in the other modes).
    ModuleSession* moduleSession() const { return moduleSession_; }
    // Stick mode: the stick-mode engine and its widgets (null in the other modes).
    StickSession* stickSession() const { return stickSession_; }
    // The firmware the program can write (built in or loaded from a file).
    const FirmwareState& firmwareState() const { return firmware_; }
    FirmwareState& firmware() override { return firmware_; }

    // The start-up sequence; runs once, when the window is shown for the first time.
    void formActivate();

    // Shows or hides the action buttons of the current mode.
    void enableButtons();
    void disableButtons();

    // Redraws the whole diagram from the image.
    void setDisplay();

    // EditorHost
    Image& image() override { return eeBlock; }
    BlockDiagram& diagram() override { return *diagram_; }
    bool formDisabled() const override { return formDisabled_; }
    void setFormDisabled(bool disabled) override { formDisabled_ = disabled; }
    void redraw() override { setDisplay(); }
    void message(const QString& text) override;
    bool ask(const QString& text, const QString& accept, const QString& reject) override;
    QString programDir() const override { return programDir_; }
    bool isDemo() const override { return mode_ == Mode::Demo; }
    CurveState& curves() override { return curves_; }
    QString curveName() const override;

    // Starts the program again with the given parameters and ends this run. When the new process cannot be
    // started, says why and keeps this run going.
    void selfRestart(const QStringList& arguments);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // ModuleSessionHost, StickSessionHost
    void showActionButtons() override { enableButtons(); }
    void hideActionButtons() override { disableButtons(); }
    void setBusyCursor(bool busy) override;
    void appendCaptionDot() override;
    QString caption() const override { return windowTitle(); }
    void setCaption(const QString& caption) override { setWindowTitle(caption); }
    void showFirmwareIcon(const QString& hint) override;
    void hideFirmwareIcon() override;
    QString infoText() const override;
    void setInfoText(const QString& text) override;
    void showSixtyHzLabel(bool shown) override;
    void dropCurveChoice() override;
    void restart(const QStringList& arguments) override { selfRestart(arguments); }
    void showProgress(int done, int total) override;
    void setStatusLine(const QString& text) override;

    void buildWidgets();
    QPushButton* action(Action which) const { return actions_[static_cast<std::size_t>(which)]; }
    bool checkHID();
    void pause(int ms);
    // The pump has reports: for the module read at start-up, or for stick mode.
    void reportsWaiting();
    // Reads the built-in firmware container (start-up step 8).
    void loadRes();
    // The firmware branch of Load.
    void loadFirmwareFile(const std::string& text);

    void Timer2Timer();
    void actionClicked(Action which);
    void bLoadClick();
    void bSaveClick();
    void bPdfClick();
    void bPdfOKClick();
    void bPdfCancelClick();
    // Default in stick mode: the whole device memory 0xFF, then the defaults over its first 128 bytes.
    void clearStickMemory();

    std::unique_ptr<StickAccess> stick_;
    QString programDir_;
    QStringList parameters_;
    Timing timing_;
    RestartHandler restartHandler_;
    QString restartProgram_;
    std::unique_ptr<Dialogs> dialogs_;
    FirmwareSource firmwareSource_;
    // Takes the stick's reports as they arrive (start-up's read, stick mode). Declared after stick_, which
    // it reads: it goes first.
    std::unique_ptr<ReportPump> pump_;

    // The working configuration image.
    Image eeBlock;
    FirmwareState firmware_;

    // Mode and interlock.
    Mode mode_ = Mode::Starting;
    bool formDisabled_ = false;
    StartupOptions options_;
    CurveState curves_;
    int inReportLength = 0;
    int outReportLength = 0;
    int featureReportLength = 0;

    bool activated_ = false;
    bool startupDone_ = false;
    bool busyCursor_ = false;
    bool closing_ = false;

    QTimer* Timer2 = nullptr;

    BlockDiagram* diagram_ = nullptr;
    EditorSet* editors_ = nullptr;
    ModuleSession* moduleSession_ = nullptr;
    StickSession* stickSession_ = nullptr;
    PdfProjectPanel* pdfPanel_ = nullptr;
    std::array<QPushButton*, kActionCount> actions_{};
    QFrame* pLogo = nullptr;
    QLabel* pVersion = nullptr;
    QLabel* lInfo = nullptr;
    QLineEdit* eInfo = nullptr;
    QLabel* l60Hz = nullptr;
    QCheckBox* cbShowHints = nullptr;
    QCheckBox* cbStickDebug = nullptr;
    QFrame* pDebug = nullptr;
    QPlainTextEdit* mDebug = nullptr;
    QCheckBox* cbDebugHold = nullptr;
    QProgressBar* pbFWUpdate = nullptr;
    QGroupBox* gbLog = nullptr;
    QLabel* lOp = nullptr;
    QLabel* lSwCnt = nullptr;
    QLabel* lOverT = nullptr;
    QLabel* lMaxT = nullptr;
    QLabel* iFW = nullptr;
    QLabel* lStatus = nullptr;
};

} // namespace lumeq
