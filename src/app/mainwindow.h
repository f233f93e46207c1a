#pragma once
// The program's one window: owns the configuration image, the mode flags, the interlock and the
// timers, and runs the start-up that chooses demo, module or stick mode for the whole run.

#include "app/options.h"
#include "editors/editorhost.h"
#include "link/blockreader.h"
#include "model/image.h"

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>

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
class DimmingCurvePanel;
class OutputEditor;
class PdfProjectPanel;
class StickAccess;

class MainWindow : public QMainWindow, public EditorHost {
    Q_OBJECT

public:
    static constexpr int kWidth = 1039;
    static constexpr int kHeight = 623;

    // Waits of the start-up and the polling interval; tests shorten them.
    struct Timing {
        int passMs = 50;        // one pass of the wait for the control block
        int maxPass = 100;      // the wait ends after this pass
        int demoPauseMs = 2000; // "Demo Mode" stays on show this long before the default image
        int pollMs = 1000;      // Timer2: looking for a stick in demo mode
    };

    // Receives the arguments of a self-restart instead of starting a new process (tests).
    using RestartHandler = std::function<void(const QStringList& arguments)>;

    // `programDir` ends with a path separator; `parameters` are the command-line parameters.
    MainWindow(std::unique_ptr<StickAccess> stick, QString programDir, QStringList parameters,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    void setTiming(const Timing& timing);
    void setRestartHandler(RestartHandler handler);
    // Replaces the dialogs and message boxes (tests answer them).
    void setDialogs(std::unique_ptr<Dialogs> dialogs);
    Dialogs& dialogs() { return *dialogs_; }

    // State that the rest of the program and the tests read.
    const Image& image() const { return eeBlock; }
    bool isStickMode() const { return usbStick; }
    bool isFormDisabled() const { return formDisabled_; }
    bool startupFinished() const { return startupDone_; }
    const StartupOptions& options() const { return options_; }
    int curveIndex() const { return curves_.curveIndex; }
    QString restartParams() const { return options_.restartParams(); }
    int stickState() const { return stickState_; }
    // Module mode: the chosen slot (1..4, 0 = none), the slots as read at start-up, the control-block copy
    // and the firmware version the module reported (0 when none).
    int selectedSlotNumber() const { return selectedSlot; }
    const TMemory& memorySlot(int slot) const { return slots_[static_cast<std::size_t>(slot - 1)]; }
    const Block& controlBlockCopy() const { return controlBlock; }
    bool moduleAnswered() const { return controlBlockRead_; }
    int moduleFwVersion() const { return moduleFwVersion_; }

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
    QString programDir() const override { return programDir_; }
    bool isDemo() const override { return demo; }
    CurveState& curves() override { return curves_; }

    // Starts the program again with the given parameters and ends this run.
    void selfRestart(const QStringList& arguments);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWidgets();
    QPushButton* makeButton(const char* name, const QString& caption, int x, int y, int w, int h);
    bool checkHID();
    // Reads the control block and the filled slots; returns how the module (or the stick) answered.
    ModuleReadOutcome readModule();
    void fillSlots(const ModuleContents& contents);
    void showSlotButtons();
    void listDimmingCurves();
    void setBusyCursor(bool busy);
    void pause(int ms);

    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void actionClicked(void (MainWindow::*handler)());
    void bLoadClick();
    void bSaveClick();
    void bPdfClick();
    void bPdfOKClick();
    void bPdfCancelClick();

    // Module mode: the memory slots and the writing of the module.
    void slotClick(int slot);
    void bMemCancelClick();
    void bMemClearClick();
    void clearMemory();
    void bMemStoreClick();
    void transferError(const std::string& code);
    void bEraseClick();

    std::unique_ptr<StickAccess> stick_;
    QString programDir_;
    QStringList parameters_;
    Timing timing_;
    RestartHandler restartHandler_;
    std::unique_ptr<Dialogs> dialogs_;

    // The working configuration image.
    Image eeBlock;
    Block controlBlock{};
    bool controlBlockRead_ = false; // the control block arrived complete: only then may it be written back
    std::array<TMemory, kSlotCount> slots_{};
    int moduleFwVersion_ = 0;
    bool fwUpdatePending = false;

    // Mode and interlock.
    bool demo = false;
    bool usbStick = false;
    bool formDisabled_ = false;
    StartupOptions options_;
    CurveState curves_;
    int selectedSlot = 0;
    int stickState_ = -1;
    int inReportLength = 0;
    int outReportLength = 0;
    int featureReportLength = 0;

    // The start-up read of the module while it runs; Timer1 feeds it.
    ModuleReadSequence* moduleRead_ = nullptr;

    bool activated_ = false;
    bool startupDone_ = false;
    bool busyCursor_ = false;
    bool closing_ = false;

    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;

    BlockDiagram* diagram_ = nullptr;
    OutputEditor* outputEditor_ = nullptr;
    DimmingCurvePanel* curvePanel_ = nullptr;
    PdfProjectPanel* pdfPanel_ = nullptr;
    QFrame* pLogo = nullptr;
    QLabel* pVersion = nullptr;
    std::array<QPushButton*, 4> slotButtons_{};
    QPushButton* bMemCancel = nullptr;
    QPushButton* bMemClear = nullptr;
    QPushButton* bMemStore = nullptr;
    QPushButton* bErase = nullptr;
    QPushButton* bLoad = nullptr;
    QPushButton* bSave = nullptr;
    QPushButton* bPdf = nullptr;
    QPushButton* bUpdateFw = nullptr;
    QPushButton* bReread = nullptr;
    QProgressBar* pbFWUpdate = nullptr;
    QLabel* lInfo = nullptr;
    QLineEdit* eInfo = nullptr;
    QLabel* l60Hz = nullptr;
    QCheckBox* cbShowHints = nullptr;
    QCheckBox* cbStickDebug = nullptr;
    QFrame* pDebug = nullptr;
    QPlainTextEdit* mDebug = nullptr;
    QCheckBox* cbDebugHold = nullptr;
    QGroupBox* gbLog = nullptr;
};

} // namespace lumeq
