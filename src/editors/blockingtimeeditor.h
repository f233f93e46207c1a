#pragma once
// The blocking-time editor "Block Time Setup" (panel pBlockTime) of the T_BLOCK block and its switch:
// after power-on the module holds off every power reduction and dimming for the blocking time, 0 to
// 21:15 minutes in steps of 5 seconds (0 = off). A click on the closed switch turns the blocking time off
// at once; a click on the open switch opens the editor, whose OK or Cancel with no time leaves it off. A
// help panel shows full output for the blocking time after switch-on.

#include "editors/editorpanel.h"

class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace lumeq {

class DiagramPicture;

class BlockingTimeEditor : public EditorPanel {
    Q_OBJECT

public:
    // Where the panel opens over the diagram, and its size while the help is on show.
    static constexpr QRect kPlace{29, 27, 302, 116};
    static constexpr QSize kHelpSize{474, 212};

    BlockingTimeEditor(EditorHost& host, QWidget* parent);

    void switchClicked(BlockDiagram::Picture which) override;

    // The switch: closed (blocking time on) and open (off).
    void SW_block_closeClick();
    void sw_block_openClick();

    // The edit shows the slider strip; the slider writes the edit, 5 seconds a step.
    void eBlockTimeClick();
    void sbBlockTimeChange();

    // The help panel: shown over the enlarged editor, closed by a click on its picture.
    void SpeedButton2Click();
    void Image6Click();

protected:
    void fill() override;
    void apply() override;
    void discard() override;

private:
    void buildWidgets();
    void hideStrip();
    // The block greyed with its switch open and no label: the blocking time is off.
    void showOff();

    QGroupBox* gbBlockTime = nullptr;
    QLineEdit* eBlockTime = nullptr;
    QFrame* pBTSlider = nullptr;
    QScrollBar* sbBlockTime = nullptr;
    QPushButton* SpeedButton2 = nullptr;
    QFrame* pHelpBlock = nullptr;
    DiagramPicture* Image6 = nullptr;
};

} // namespace lumeq
