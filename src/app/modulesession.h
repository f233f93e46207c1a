#pragma once
// Module mode: the read of the module at start-up, the slot bar (bM1..bM4), choosing a slot, Cancel,
// Default, Transfer and Erase ALL. The window hosts it through ModuleSessionHost and keeps the shell.

#include "files/options.h"
#include "link/blockreader.h"
#include "model/dimmingcurve.h"
#include "model/image.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <array>

class QPushButton;
class QTimer;
class QWidget;

namespace lumeq {

class Dialogs;
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
    // One wait pass of the read with the window's events running (Timer1 ticks collect the answers);
    // false when the window is closing and the read must stop.
    virtual bool waitPass(int ms) = 0;
    virtual void appendCaptionDot() = 0;
    // The name in eInfo.
    virtual QString infoText() const = 0;
    virtual void setInfoText(const QString& text) = 0;
    virtual void showSixtyHzLabel(bool shown) = 0;
    virtual CurveState& curves() = 0;
    // Gives up the chosen curve: curve index -1, the correction box unticked.
    virtual void dropCurveChoice() = 0;
    virtual void restart(const QStringList& arguments) = 0;
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
    // (or the stick) answered; after NoAnswer the message has been shown.
    ModuleReadOutcome readModule(const ReadTiming& timing, int inReportLength);
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

    int selectedSlot() const { return selectedSlot_; }
    const TMemory& memorySlot(int slot) const { return slots_[static_cast<std::size_t>(slot - 1)]; }
    const Block& controlBlockCopy() const { return controlBlock_; }
    bool moduleAnswered() const { return controlBlockRead_; }
    int moduleFwVersion() const { return moduleFwVersion_; }

private:
    void fillSlots(const ModuleContents& contents);
    void showSlotButton(int slot);
    void transferError(const std::string& code);
    bool stickPresent();

    ModuleSessionHost& host_;
    StickAccess& stick_;
    const StartupOptions& options_;
    int inReportLength_ = 0;

    Block controlBlock_{};
    // The control block as read: Cancel returns to it, so that a Default given up leaves the names alone.
    Block controlBlockAsRead_{};
    bool controlBlockRead_ = false; // the control block arrived complete: only then may it be written back
    std::array<TMemory, kSlotCount> slots_{};
    int moduleFwVersion_ = 0;
    bool fwUpdatePending_ = false;
    int selectedSlot_ = 0;

    // The read while it runs; Timer1 feeds it.
    ModuleReadSequence* read_ = nullptr;
    QTimer* Timer1 = nullptr;
    std::array<QPushButton*, kSlotCount> slotButtons_{};
};

} // namespace lumeq
