#pragma once
// The power-on editor "Power On Setup" (panel pStartupDelay) of the Power On block: the delay after the
// module is powered (fixed or random), the fade-in speed and the level the light settles at, and DPC/DOO
// (delayed switching at pedestrian crossings, dimmed on/off), which needs a delay. The block has no switch;
// it and its three value labels open the panel. A help panel shows the power-on profile of a night.
//
// Ticking or unticking "Random" writes the delay byte at once; Cancel puts back every power-on byte as the
// panel found it, so that Cancel leaves the image and the labels exactly as they were.

#include "editors/editorpanel.h"
#include "model/settings.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace lumeq {

class DiagramPicture;
class ValueSlider;

class PowerOnEditor : public EditorPanel {
    Q_OBJECT

public:
    // Where the panel opens over the diagram, and its size while the help is on show.
    static constexpr QRect kPlace{29, 149, 418, 161};
    static constexpr QSize kHelpSize{474, 212};

    PowerOnEditor(EditorHost& host, QWidget* parent);

    // A random delay in the redrawn image ticks "Random", with the effects of a click on it.
    void imageRedrawn() override;

    // The value edits make themselves the active edit of the slider strip.
    void ePOLevelClick();
    void ePORelayDelayClick();
    void ePOFadeClick();
    // "Random" changed, by the user or by the program.
    void cbRandomClick();
    // After every move of the slider: DPC/DOO is offered only while a delay is set.
    void sbPUChange();

    // The help panel: shown over the enlarged editor, closed by a click on its picture.
    void bHelpPowerOnClick();
    void Image4Click();

protected:
    void fill() override;
    void apply() override;
    void discard() override;

private:
    void buildWidgets();
    // Sets "Random" from the program; its effects run whether or not the box changes.
    void setRandom(bool checked);
    void showLabels();

    // The power-on bytes as the panel found them, for Cancel.
    powerOn::Stored opened_;

    QGroupBox* gbPowerOn = nullptr;
    QGroupBox* gbDPC = nullptr;
    QLineEdit* ePORelayDelay = nullptr;
    QLineEdit* ePOFade = nullptr;
    QLineEdit* ePOLevel = nullptr;
    QCheckBox* cbRandom = nullptr;
    QCheckBox* cbEnableDPC = nullptr;
    ValueSlider* pPOSlider = nullptr;
    QPushButton* bHelpPowerOn = nullptr;
    QFrame* pHelpPowerOn = nullptr;
    DiagramPicture* Image4 = nullptr;
};

} // namespace lumeq
