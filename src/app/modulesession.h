#pragma once
// Module mode: the read of the module at start-up, the slot bar (bM1..bM4), choosing a slot, Cancel,
// Default, Transfer and Erase ALL. The window hosts it through ModuleSessionHost and keeps the shell.

#include "files/options.h"
#include "link/blockreader.h"
#include "link/firmwarestate.h"
#include "model/dimmingcurve.h"
#include "model/image.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <array>
#include <memory>

class QEventLoop;
class QPushButton;
class QTimer;
class QWidget;

namespace lumeq {

class Dialogs;
class ModuleJobRunner;
struct ModuleJobResult;
class ReportPump;
class StickAccess;

// What the module session needs from the window.
class ModuleSessionHost {
public:
    virtual ~ModuleSessionHost() = default;

    virtual Image& image() = 0;
    // Redraws the whole diagram from the image.
    virtual void redraw() = 0;
    virtual bool formDisabled() const = 0;
    virtual void setFormDisabled(bool disabled) = 0;
    virtual Dialogs& dialogs() = 0;
    // enableButtons / disableButtons.
    virtual void showActionButtons() = 0;
    virtual void hideActionButtons() = 0;
    virtual void setBusyCursor(bool busy) = 0;
    virtual void appendCaptionDot() = 0;
    // The name in eInfo.
    virtual QString infoText() const = 0;
    virtual void setInfoText(const QString& text) = 0;
    virtual void showSixtyHzLabel(bool shown) = 0;
    virtual CurveState& curves() = 0;
    // The file name of the chosen dimming curve; empty when none is chosen.
    virtual QString curveName() const = 0;
    // Gives up the chosen curve: curve index -1, the correction box unticked.
    virtual void dropCurveChoice() = 0;
    virtual void restart(const QStringList& arguments) = 0;
    // The firmware the program may write with a Transfer, and the firmware icon iFW.
    virtual FirmwareState& firmware() = 0;
    virtual void showFirmwareIcon(const QString& hint) = 0;
    virtual void hideFirmwareIcon() = 0;
    // The progress bar pbFWUpdate: blocks written of the total; hidden when `total` is 0.
    virtual void showProgress(int done, int total) = 0;
    // The status line under the diagram: what the last write did, and what the next Transfer writes.
    virtual void setStatusLine(const QString& text) = 0;
};

class ModuleSession : public QObject {
    Q_OBJECT

public:
    // Waits of the read: one pass, and the pass after which a block counts as not coming.
    struct ReadTiming {
        int passMs = 50;
        int maxPass = 100;
    };

    // The slot buttons are created hidden in `bar`: the first at `firstSlotButton`, each next one
    // `slotButtonStep` pixels to the right.
    ModuleSession(ModuleSessionHost& host, StickAccess& stick, const StartupOptions& options, QWidget* bar,
                  QRect firstSlotButton, int slotButtonStep);
    ~ModuleSession() override;

    // Start-up: reads the control block and the filled slots, and fills the slot bar. Returns how the module
    // (or the stick) answered; after NoAnswer the message has been shown. The reports come from `pump`,
    // each the moment it arrives, and a block is done with as soon as its last report is in; Timer1 ends
    // the wait passes (the time-out of 101 passes and the caption's dots). The window's events run
    // meanwhile. Afterwards the pump is stopped, unless the stick answered by itself: its reports go on
    // to stick mode.
    ModuleReadOutcome readModule(const ReadTiming& timing, int inReportLength, ReportPump& pump);
    // The pump has reports for the read, or for a write.
    void reportsWaiting();
    bool reading() const { return read_ != nullptr; }
    // A Transfer or an erase is going on.
    bool writing() const;
    // The window closes: a read in progress ends at once, a write is logged as interrupted.
    void stopReading();
    // The slot buttons shown and enabled: no slot chosen (start-up, Cancel, a failed write).
    void showSlotBar();

    // The slot buttons' clicks; they work whatever the interlock says.
    void slotClick(int slot);
    // The action buttons (the window checks the interlock).
    void bMemCancelClick();
    void bMemClearClick();
    void bMemStoreClick();
    void bEraseClick();
    // Default: the image becomes the defaults and the chosen slot's name is given up.
    void clearMemory();
    // The status line as it stands: the last write of the log (when it is recent) and the firmware that
    // the next Transfer takes along.
    void updateStatusLine();

    int selectedSlot() const { return selectedSlot_; }
    const TMemory& memorySlot(int slot) const { return slots_[static_cast<std::size_t>(slot - 1)]; }
    const Block& controlBlockCopy() const { return controlBlock_; }
    bool moduleAnswered() const { return controlBlockRead_; }
    int moduleFwVersion() const { return host_.firmware().moduleFwVersion; }

private:
    void fillSlots(const ModuleContents& contents);
    void showSlotButton(int slot);
    void transferEnded(const ModuleJobResult& result, bool withFirmware);
    void eraseEnded(const ModuleJobResult& result);
    // Transfer takes the firmware along: asks first when it is older than the module's. False: not this time.
    bool firmwareGoesAlong();
    // What the last write in the log says, when it was written in the last minutes; empty otherwise.
    QString lastWriteText() const;
    bool stickPresent();
    // What the read says after a pass or a report: the next request, a dot, the end.
    void follow(const ModuleReadSequence::Step& step);

    ModuleSessionHost& host_;
    StickAccess& stick_;
    const StartupOptions& options_;
    int inReportLength_ = 0;
    ReadTiming readTiming_; // of start-up's read; a write reads the module back with the same waits

    Block controlBlock_{};
    // The control block as read: Cancel returns to it, so that a Default given up leaves the names alone.
    Block controlBlockAsRead_{};
    bool controlBlockRead_ = false; // the control block arrived complete: only then may it be written back
    std::array<TMemory, kSlotCount> slots_{};
    int selectedSlot_ = 0;

    // The read while it runs: the pump feeds it, Timer1 ends its passes.
    ModuleReadSequence* read_ = nullptr;
    ReportPump* pump_ = nullptr;
    QEventLoop* loop_ = nullptr;
    QTimer* Timer1 = nullptr;
    std::array<QPushButton*, kSlotCount> slotButtons_{};
    // Transfer and Erase ALL, while one runs.
    std::unique_ptr<ModuleJobRunner> runner_;
    QString lastWrite_;     // the status line's word on the last write
    bool slotOpen_ = false; // a slot is chosen and open for editing (until Cancel)
};

} // namespace lumeq
