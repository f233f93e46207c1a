#pragma once
// The control input LSt and its hold time: the LSt switch and the polarity pictures of the Control Input
// block, which change the image at once, and the hold switch with the hold-time editor " Hold Time Setup "
// (panel pTHold). The LSt input drives dimming engine 2; the hold time lengthens the pulse seen on it.
//
// The remote control switches the input off through EditorSet::actOnSwitch(SW_lst_close): every switch
// handler here does its whole work itself, and the diagram checks the interlock before a click reaches it.

#include "editors/editorpanel.h"

class QGroupBox;
class QLineEdit;

namespace lumeq {

class ValueSlider;

class ControlInputEditor : public EditorPanel {
    Q_OBJECT

public:
    // Where the panel opens over the diagram: beside the switches and the hold block, which stay in view.
    static constexpr QRect kPlace{360, 380, 312, 106};

    ControlInputEditor(EditorHost& host, QWidget* parent);

    void switchClicked(BlockDiagram::Picture which) override;

    // The LSt switch. Switching on is refused while the remote control dims through the LSt input.
    void sw_lst_openClick();
    void SW_lst_closeClick();
    // The polarity pictures: "Low->High" and "High->Low".
    void iLst_enClick();
    void iLST_polClick();
    // The hold switch: closing it opens the editor; opening it turns the hold time off.
    void sw_hold_offClick();
    void sw_hold_onClick();

    // A click on the edit shows the slider strip, set for the hold time.
    void eHoldTimeClick();

protected:
    void fill() override;
    void apply() override;
    void discard() override;

private:
    void buildWidgets();
    // The hold block greyed with its switch open and no label: the hold time is off.
    void showHoldOff();

    QGroupBox* gbHoldTime = nullptr;
    QLineEdit* eHoldTime = nullptr;
    ValueSlider* pHoldTime = nullptr;
};

} // namespace lumeq
