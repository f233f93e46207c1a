#pragma once
// Stick mode in the window: the stick-mode engine (link/stickengine.h) fed with the stick's answers as
// they arrive, and what happened shown: caption, action buttons, the operating log (gbLog), the debug memo
// (pDebug, mDebug), the firmware question and the progress bar (pbFWUpdate). ReRead, Default, Transfer and
// Update FW come here; Transfer and Update FW run the write jobs of link/stickjobs.h, which read back and
// log. The window hosts it through StickSessionHost and keeps the shell.
//
// Nothing is written that was not read: until a read of the memory has completed, Transfer and Default
// are refused with a message (ReRead stays). Each wait for an answer counts from the request it waits for;
// a report that does not answer it (an identification, a stray answer) does not extend it.
//
// Nothing waits on a timer tick: each answer is handled the moment the report pump hands it over. The
// pause after the identification is a single-shot timer, during which the window keeps working while the
// engine takes no answer (they wait, in order, in the pump) and clicks on ReRead, Transfer and Update FW
// are carried out when it ends. No answer is handled while another one is (a message box or the firmware
// question may be on show).

#include "files/options.h"
#include "link/firmwarestate.h"
#include "link/stickengine.h"
#include "link/stickjobs.h"
#include "model/image.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
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
// Update FW with an image older than the stick's firmware asks this first (No is the default).
inline constexpr const char* kOlderFirmwareQuestion = "Do you want to install older firmware on the stick?";
// What Default in stick mode loses.
inline constexpr const char* kStickDefaultDetail =
    "Default replaces the stick's configuration in the window with the default one and the rest of its memory "
    "with FF; Transfer then writes it to the stick.";
// A memory write whose read-back does not hold what was written, or that could not be read back.
inline constexpr const char* kStickReadBackMessage = "The stick's memory was written, but reading it back failed.";

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
    // Default in stick mode: refused until the memory was read, then "Are youe sure?" with No as the
    // default. True when the user agreed: the window then puts the defaults into the image.
    bool bMemClearClick();

    const StickEngine& engine() const { return engine_; }
    // Debug lines are added while "Debug" is ticked and "Stop" is not.
    bool debugLogging() const;
    // The engine is in the pause after the identification.
    bool pausing() const { return pausing_; }

private:
    enum class Watch { None, Answer, Restart };

    // A step of the engine: the write going on sees it first, then the window shows it.
    void handle(const StickEffects& effects);
    void apply(const StickEffects& effects);
    // The firmware question after a complete read; true for Yes.
    bool askFirmwareQuestion();
    // The write going on, if any, is told of the step; a job that ended says so when it must.
    void observe(const StickEffects& effects);
    void jobEnded();
    // A write going on is cut short (another write begins, the stick was pulled out).
    void interruptJob(StickInterruption why);
    void startFirmwareUpdate(bool olderAsked);
    // The version of the image Update FW sends: a loaded firmware file's, else the built-in one's.
    int imageVersion() const;
    void sendFrames(const std::vector<StickFrame>& frames, const std::vector<std::string>& lines);
    void addDebugLines(const std::vector<std::string>& lines);
    void endPause(std::vector<StickFrame> frames, std::vector<std::string> lines);
    // Runs the action now, or when the pause ends.
    void whenReady(std::function<void()> action);
    // The stick is there and its reports are read; looks for it again after it was lost.
    bool stickReady();
    void engineOptions();
    // The wait for the stick's answer: started afresh when a request went out, kept while the engine still
    // waits for the answer to it, stopped when nothing is awaited. After a memory write it waits for the
    // stick to start afresh.
    void watchAnswer(bool requestSent);
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
    Watch watching_ = Watch::None;
    int answerTimeoutMs_ = kStickAnswerTimeoutMs;
    // The write or firmware update going on (or just ended); empty when none is.
    std::unique_ptr<StickWriteJob> job_;
    StickMemoryWrite* memoryWrite_ = nullptr; // job_ when it is a memory write
    // The stick whose firmware question was answered No: not asked again in this run.
    std::optional<StickId> declinedFor_;
};

} // namespace lumeq
