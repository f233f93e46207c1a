#include "editors/outputeditor.h"

#include "editors/dimmingcurvepanel.h"
#include "editors/editorset.h"
#include "editors/valueslider.h"
#include "model/settings.h"
#include "model/valueentry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace lumeq {

namespace {

using Picture = BlockDiagram::Picture;

} // namespace

OutputEditor::OutputEditor(EditorHost& host, QWidget* parent)
    : EditorPanel(host, QStringLiteral("pOutput"), kPlace, parent) {
    palette::fill(this, palette::kMainGroup);
    buildWidgets();
}

void OutputEditor::buildWidgets() {
    gbOutput = addGroup(this, "gbOutput", QStringLiteral("Output Setup"), palette::kMainGroup,
                        QRect(4, 2, width() - 8, height() - 6));

    auto* caption = new QLabel(QStringLiteral("Minimum level"), gbOutput);
    caption->setObjectName(QStringLiteral("lOutputMinLevel"));
    caption->setGeometry(10, 24, 92, 22);
    eMinLevel = addValueEdit(gbOutput, "eMinLevel", QRect(104, 24, 44, 22), [this] { eMinLevelClick(); });
    auto* unit = new QLabel(QStringLiteral("%"), gbOutput);
    unit->setObjectName(QStringLiteral("lOutputPercent"));
    unit->setGeometry(152, 24, 16, 22);

    // DALI: curve type and "Store POL"; 1-10V and PWM: the dimming-curve correction, in the same row.
    cbDaliLog = new QCheckBox(QStringLiteral("Logarithmic"), gbOutput);
    cbDaliLog->setObjectName(QStringLiteral("cbDaliLog"));
    cbDaliLog->setGeometry(10, 54, 104, 22);
    cbDaliLog->setChecked(true);

    cbStorePOL = new QCheckBox(QStringLiteral("Store POL"), gbOutput);
    cbStorePOL->setObjectName(QStringLiteral("cbStorePOL"));
    cbStorePOL->setGeometry(118, 54, 92, 22);

    cbDC = new QCheckBox(QStringLiteral("Correction OFF"), gbOutput);
    cbDC->setObjectName(QStringLiteral("cbDC"));
    cbDC->setGeometry(10, 54, 160, 22);
    cbDC->hide();

    bDC = new QPushButton(QStringLiteral("..."), gbOutput);
    bDC->setObjectName(QStringLiteral("bDC"));
    bDC->setToolTip(QStringLiteral("Choose a dimming curve"));
    bDC->setGeometry(174, 53, 34, 24);
    bDC->setEnabled(false);
    bDC->hide();

    // The teal strip with the minimum-level slider, shown once the edit is clicked.
    pMinLevel = addValueSlider(gbOutput, "pMinLevel", "sbMinLevel", "combMinLevel", QRect(6, 86, 204, 26));
    pMinLevel->slider()->setPageStep(10);

    addOkButton(gbOutput, "bOutput_OK", QRect(220, 22, 42, 40), [this] { ok(); });
    addCancelButton(gbOutput, "bOutput_Cancel", QRect(220, 70, 42, 40), [this] { cancel(); });
}

void OutputEditor::connectPanels(EditorSet& set) {
    curvePanel_ = set.find<DimmingCurvePanel>();
}

void OutputEditor::switchClicked(Picture which) {
    if (!imageUsable())
        return;
    switch (which) {
    case Picture::SW_DALI:
        SW_DALIClick();
        break;
    case Picture::SW_Ten:
        SW_TenClick();
        break;
    case Picture::SW_PWM:
        SW_PWMClick();
        break;
    default:
        break;
    }
}

void OutputEditor::imageRedrawn() {
    if (imageUsable())
        cbDaliLog->setChecked(output::logarithmic(image()));
}

bool OutputEditor::isDali() const {
    return diagram().pictureShown(Picture::Dali);
}

void OutputEditor::SW_DALIClick() {
    diagram().hidePicture(Picture::Dali);
    diagram().hidePicture(Picture::SW_DALI);
    // PWM lies above DALI; with both gone the 1-10V pictures beneath show.
    diagram().hidePicture(Picture::PWM);
    diagram().hidePicture(Picture::SW_PWM);
    output::setType(image(), OutputType::Analog1to10V);
}

void OutputEditor::SW_TenClick() {
    diagram().showPicture(Picture::PWM);
    diagram().showPicture(Picture::SW_PWM);
    output::setType(image(), OutputType::Pwm);
}

void OutputEditor::SW_PWMClick() {
    diagram().showPicture(Picture::Dali);
    diagram().showPicture(Picture::SW_DALI);
    diagram().hidePicture(Picture::PWM);
    diagram().hidePicture(Picture::SW_PWM);
    output::setType(image(), OutputType::DaliLogarithmic);
    output::setStorePol(image(), false);
}

void OutputEditor::fill() {
    setOutput();
}

void OutputEditor::setOutput() {
    if (!imageUsable())
        return;
    const bool dali = isDali();

    // The dimming-curve correction, for 1-10V and PWM when curve files exist.
    const bool curveControls = !dali && curvePanel_ != nullptr && host().curves().curveFilesFound;
    cbDC->setVisible(curveControls);
    bDC->setVisible(curveControls);
    if (curveControls)
        curvePanel_->setUpOutputControls();

    eMinLevel->setText(QString::number(output::minLevel(image())));
    cbDaliLog->setVisible(dali);
    cbStorePOL->setVisible(dali);
    cbDaliLog->setChecked(output::logarithmic(image()));
    cbStorePOL->setChecked(output::storePol(image()));
}

void OutputEditor::eMinLevelClick() {
    pMinLevel->show();
    pMinLevel->clickEdit(sliderTag(EntryMode::Level), nullptr, eMinLevel, nullptr, 0);
}

void OutputEditor::apply() {
    // Only the slider fills the edit, so it holds a level of 0..100.
    output::setMinLevel(image(), eMinLevel->text().trimmed().toInt());
    if (isDali()) {
        output::setLogarithmic(image(), cbDaliLog->isChecked());
        output::setStorePol(image(), cbStorePOL->isChecked());
    } else {
        output::setStorePol(image(), false);
    }
    diagram().showLabel(BlockDiagram::Label::lMinLevel, image());
}

} // namespace lumeq
