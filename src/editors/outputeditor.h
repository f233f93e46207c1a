#pragma once
// The control-output editor "Output Setup" (panel pOutput) and the three-way output selector of the
// diagram. The selector cycles DALI -> 1-10V -> PWM -> DALI and changes the image at once; the panel sets
// the minimum level, the DALI curve type ("Logarithmic"), "Store POL" and, for 1-10V and PWM, hosts the
// entry to the dimming-curve correction (cbDC and bDC, driven by DimmingCurvePanel).

#include "editors/editorpanel.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lumeq {

class DimmingCurvePanel;
class ValueSlider;

class OutputEditor : public EditorPanel {
    Q_OBJECT

public:
    // Where the panel opens over the diagram.
    static constexpr QRect kPlace{721, 134, 274, 125};

    OutputEditor(EditorHost& host, QWidget* parent);

    void connectPanels(EditorSet& set) override;
    void switchClicked(BlockDiagram::Picture which) override;
    // The diagram's preset of "Logarithmic" when it draws an image.
    void imageRedrawn() override;

    // The output counts as DALI while the diagram shows the Dali picture.
    bool isDali() const;

    // The opening routine's filling: the chooser's OK calls it again while the panel is open.
    void setOutput();

    // The selector, one handler per picture the selector shows.
    void SW_DALIClick();
    void SW_TenClick();
    void SW_PWMClick();

    void eMinLevelClick();

    QCheckBox* curveCheckBox() const { return cbDC; }
    QPushButton* curveButton() const { return bDC; }

protected:
    void fill() override;
    void apply() override;

private:
    void buildWidgets();

    DimmingCurvePanel* curvePanel_ = nullptr;

    QGroupBox* gbOutput = nullptr;
    QLineEdit* eMinLevel = nullptr;
    QCheckBox* cbDaliLog = nullptr;
    QCheckBox* cbStorePOL = nullptr;
    QCheckBox* cbDC = nullptr;
    QPushButton* bDC = nullptr;
    ValueSlider* pMinLevel = nullptr;
};

} // namespace lumeq
