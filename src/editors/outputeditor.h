#pragma once
// The control-output editor "Output Setup" (panel pOutput) and the three-way output selector of the
// diagram. The selector cycles DALI -> 1-10V -> PWM -> DALI and changes the image at once; the panel sets
// the minimum level, the DALI curve type ("Logarithmic"), "Store POL" and, for 1-10V and PWM, hosts the
// entry to the dimming-curve correction (cbDC and bDC, driven by DimmingCurvePanel).
//
// Wiring in the window:
//     auto* output = new OutputEditor(host, central);
//     auto* curves = new DimmingCurvePanel(host, *output, central);   // registers itself with `output`
//     output->connectDiagram(diagram);
//     hooks.setDaliLog = [output](bool checked) { output->setDaliLog(checked); };
//     ... after the first image is shown at start-up: curves->startUp();

#include "app/blockdiagram.h"
#include "editors/editorhost.h"

#include <QFrame>
#include <QIcon>
#include <QRect>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace lumeq {

class DimmingCurvePanel;

class OutputEditor : public QFrame {
    Q_OBJECT

public:
    // Where the panel opens over the diagram.
    static constexpr QRect kPlace{721, 134, 274, 125};

    // The panel is created hidden at its place; `parent` is the widget that holds the diagram.
    OutputEditor(EditorHost& host, QWidget* parent);

    // Routes the diagram's clicks: Dali, iTen, PWM and lMinLevel open the editor, the selector pictures
    // SW_DALI, SW_Ten and SW_PWM switch the output.
    void connectDiagram(BlockDiagram& diagram);
    // The curve chooser that drives cbDC and bDC; without one the curve controls stay hidden.
    void setCurvePanel(DimmingCurvePanel* panel) { curvePanel_ = panel; }

    // Entry points for the window: a click on the block or its label, and a click on a selector picture
    // (other switches are ignored). Both do nothing while an editor is open.
    void handleOpen();
    void handleSelector(BlockDiagram::Switch which);
    // The diagram's preset of "Logarithmic" when it draws an image.
    void setDaliLog(bool checked);

    // The output counts as DALI while the diagram shows the Dali picture.
    bool isDali() const;

    // The opening routine: fills the panel from the image, shows it and sets the interlock. It does not
    // look at the interlock itself (the chooser's OK calls it while the panel is open).
    void setOutput();

    // The selector, one handler per picture the selector shows.
    void SW_DALIClick();
    void SW_TenClick();
    void SW_PWMClick();

    void eMinLevelClick();
    void eOutputSlider(QLineEdit* edit);
    void sbMinLevelChange();
    void bOutput_OKClick();
    void bOutput_CancelClick();

    QCheckBox* curveCheckBox() const { return cbDC; }
    QPushButton* curveButton() const { return bDC; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWidgets();
    bool imageUsable();
    void setMinLevelLabel();

    EditorHost& host_;
    DimmingCurvePanel* curvePanel_ = nullptr;

    QGroupBox* gbOutput = nullptr;
    QLabel* lOutputMinLevel = nullptr;
    QLineEdit* eMinLevel = nullptr;
    QLabel* lOutputPercent = nullptr;
    QCheckBox* cbDaliLog = nullptr;
    QCheckBox* cbStorePOL = nullptr;
    QCheckBox* cbDC = nullptr;
    QPushButton* bDC = nullptr;
    QFrame* pMinLevel = nullptr;
    QScrollBar* sbMinLevel = nullptr;
    QPushButton* bOutput_OK = nullptr;
    QPushButton* bOutput_Cancel = nullptr;
};

} // namespace lumeq
