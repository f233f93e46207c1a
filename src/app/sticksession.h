#pragma once
// Stick mode in the window: the stick-mode engine (link/stickengine.h) fed with the stick's answers as
// they arrive, and what it asks for shown: caption, action buttons, the operating log (gbLog), the debug
// memo (pDebug, mDebug), the firmware question and the progress bar (pbFWUpdate). ReRead, Transfer and
// Update FW come here. The window hosts it through StickSessionHost and keeps the shell.
//
// Nothing waits on a timer tick: each answer is handled the moment the report pump hands it over. The
// pause after the identification is a single-shot timer, during which the window keeps working while the
// engine takes no answer (they wait, in order, in the pump) and clicks on ReRead, Transfer and Update FW
// are carried out when it ends. No answer is handled while another one is (a message box or the firmware
// question may be on show).

#include "files/options.h"
#include "files/programmedlog.h"
#include "link/firmwarestate.h"
#include "link/stickengine.h"
#include "model/image.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QTimer;

namespace lumeq {

class Dialogs;
class ReportPump;
class StickAccess;

// What the stick session needs from the window.
class StickSessionHost {
public:
    virtual ~StickSessionHost() = default;

    virtual Image& image() = 0;
    virtual void redraw() = 0;
    virtual bool formDisabled() const = 0;
    virtual void setFormDisabled(bool disabled) = 0;
    virtual Dialogs& dialogs() = 0;
    virtual void showActionButtons() = 0;
    virtual void hideActionButtons() = 0;
    virtual void setBusyCursor(bool busy) = 0;
    virtual QString caption() const = 0;
    virtual void setCaption(const QString& caption) = 0;
    virtual FirmwareState& firmware() = 0;
    // The name in eInfo.
    virtual QString infoText() const = 0;
};

// The widgets of stick mode (made by the window).
struct StickWidgets {
    QGroupBox* gbLog = nullptr;
    QLabel* lOp = nullptr;
    QLabel* lSwCnt = nullptr;
    QLabel* lOverT = nullptr;
    QLabel* lMaxT = nullptr;
    QCheckBox* cbStickDebug = nullptr;
    QCheckBox* cbDebugHold = nullptr;
    QPlainTextEdit* mDebug = nullptr;
    QProgressBar* pbFWUpdate = nullptr;
};

// The message of Update FW when there is no firmware to send.
inline constexpr const char* kNoFirmwareMessage =
    "This build of the program carries no firmware image. Load a firmware file (*.qfw) to update the stick.";

class StickSession : public QObject {
public:
    StickSession(StickSessionHost& host, StickAccess& stick, ReportPump& pump, const StartupOptions& options,
                 StickWidgets widgets, QObject* parent);
    // A write still going on when the window closes is logged as interrupted.
    ~StickSession() override;

    // How long a read, write or firmware update waits for each answer before it ends with a message.
    void setAnswerTimeout(int ms) { answerTimeoutMs_ = ms; }
    // Stick mode begins (state 0, waiting for the identification). `pauseMs` is the pause after it; the
    // engine's options take the built-in firmware version when the program carries an image.
    void start(int inReportLength, int outReportLength, int pauseMs);

    // The pump has reports (or has lost the stick).
    void reportsWaiting();

    // The buttons (the window checks the interlock first).
    void bRereadClick();
    void bUpdateFwClick();
    // Transfer in stick mode: checks the stick, then storeUSBStick.
    void bMemStoreClick();

    const StickEngine& engine() const { return engine_; }
    // Debug lines are added while "Debug" is ticked and "Stop" is not.
    bool debugLogging() const;
    // The engine is in the pause after the identification.
    bool pausing() const { return pausing_; }

private:
    void apply(const StickEffects& effects);
    // The write or firmware update going on (started by this window) ends with the effects: its record goes
    // into the log of programmed modules. `lost`: the stick was unplugged.
    void recordEnd(const StickEffects& effects, bool lost);
    void appendRecord(ProgrammedOutcome outcome, const std::string& reason);
    void sendFrames(const std::vector<StickFrame>& frames, const std::vector<std::string>& lines);
    void addDebugLines(const std::vector<std::string>& lines);
    void endPause(std::vector<StickFrame> frames, std::vector<std::string> lines);
    // Runs the action now, or when the pause ends.
    void whenReady(std::function<void()> action);
    // The stick is there and its reports are read; looks for it again after it was lost.
    bool stickReady();
    void engineOptions();
    // Starts the wait for the stick's answer afresh while the engine waits for one; stops it otherwise.
    void watchAnswer();
    void answerMissing();

    StickSessionHost& host_;
    StickAccess& stick_;
    ReportPump& pump_;
    const StartupOptions& options_;
    StickWidgets w_;
    StickEngine engine_;
    Bytes sendBuffer_; // the report buffer frames are sent from (its tail keeps what it held)
    int inReportLength_ = 0;
    int outReportLength_ = 0;
    int pauseMs_ = kIdentificationPauseMs;
    bool handling_ = false;
    bool pausing_ = false;
    bool lostHandled_ = false;
    std::vector<std::function<void()>> afterPause_;
    QTimer* answerTimer_ = nullptr;
    int answerTimeoutMs_ = kStickAnswerTimeoutMs;
    // The log record of the write or firmware update going on; empty when none is.
    std::optional<ProgrammedRecord> pendingRecord_;
};

} // namespace lumeq
