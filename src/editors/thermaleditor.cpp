#include "editors/thermaleditor.h"

#include "editors/valueslider.h"
#include "model/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>

namespace lumeq {

namespace {

using Picture = BlockDiagram::Picture;

// The scroll bar's tag: which of the six edits the strip serves.
constexpr const char* kTagProperty = "tag";

// A threshold edit is empty while its pair is not in use; the slider's lowest position empties it.
QString thresholdText(int celsius) {
    return celsius > thermal::kMinCelsius ? QString::number(celsius) : QString();
}

int number(const QLineEdit* edit) {
    return edit->text().trimmed().toInt(); // 0 for an empty edit
}

} // namespace

ThermalEditor::ThermalEditor(EditorHost& host, QWidget* parent)
    : EditorPanel(host, QStringLiteral("pThermoM"), kPlace, parent) {
    palette::fill(this, palette::kSecondaryGroup);
    buildWidgets();
}

void ThermalEditor::buildWidgets() {
    QGroupBox* group = addGroup(this, "gbThermo", QStringLiteral("Thermo-Management"), palette::kSecondaryGroup,
                                QRect(4, 2, width() - 8, height() - 6));

    struct Row {
        const char* caption;
        const char* threshold;
        const char* arrow;
        const char* level;
        const char* percent;
        Tag thresholdTag;
        Tag levelTag;
    };
    static constexpr Row kRows[] = {
        {"lThermoT1", "eOutput_T1", "lThermoT1Unit", "eOutput_L1", "lThermoL1Unit", T1, L1},
        {"lThermoT2", "eOutput_T2", "lThermoT2Unit", "eOutput_L2", "lThermoL2Unit", T2, L2},
        {"lThermoT3", "eOutput_T3", "lThermoT3Unit", "eOutput_L3", "lThermoL3Unit", T3, L3},
    };
    for (int i = 0; i < 3; ++i) {
        const Row& row = kRows[i];
        const int y = 24 + 30 * i;
        addLabel(group, row.caption, QStringLiteral("T%1").arg(i + 1), QRect(10, y, 22, 22));
        thresholdEdits_[i] = addValueEdit(group, row.threshold, QRect(32, y, 36, 22),
                                          [this, tag = row.thresholdTag] { editClicked(tag); });
        addLabel(group, row.arrow, QStringLiteral("C° -->"), QRect(72, y, 48, 22));
        levelEdits_[i] =
            addValueEdit(group, row.level, QRect(120, y, 36, 22), [this, tag = row.levelTag] { editClicked(tag); });
        addLabel(group, row.percent, QStringLiteral("%"), QRect(160, y, 14, 22));
    }
    cbOutput_Off = new QCheckBox(QStringLiteral("Off"), group);
    cbOutput_Off->setObjectName(QStringLiteral("cbOutput_Off"));
    cbOutput_Off->setGeometry(176, 24, 40, 22);

    // The teal strip, shown once an edit is clicked. The scroll bar keeps the normal window colour.
    pThermo = new QFrame(group);
    pThermo->setObjectName(QStringLiteral("pThermo"));
    pThermo->setGeometry(6, 116, 206, 28);
    palette::fill(pThermo, palette::kTeal);
    sbThermo = new QScrollBar(Qt::Horizontal, pThermo);
    sbThermo->setObjectName(QStringLiteral("sbThermo"));
    sbThermo->setGeometry(4, 4, pThermo->width() - 8, pThermo->height() - 8);
    sbThermo->setPalette(QApplication::palette(sbThermo));
    sbThermo->setAutoFillBackground(true);
    sbThermo->setPageStep(5);
    sbThermo->setProperty(kTagProperty, T1);
    pThermo->hide();
    connect(sbThermo, &QScrollBar::valueChanged, this, [this] { sbThermoChange(); });

    addOkButton(group, "bTMOk", QRect(218, 22, 42, 40), [this] { ok(); });
    addCancelButton(group, "bTMCancel", QRect(218, 70, 42, 40), [this] { cancel(); });
}

int ThermalEditor::sliderTag() const {
    return sbThermo->property(kTagProperty).toInt();
}

QLineEdit* ThermalEditor::edit(Tag tag) const {
    return tag <= T3 ? thresholdEdits_[tag - T1] : levelEdits_[tag - L1];
}

void ThermalEditor::switchClicked(Picture which) {
    if (!imageUsable())
        return;
    if (which == Picture::sw_tm_on)
        sw_tm_onClick();
    else if (which == Picture::sw_tm_off)
        sw_tm_offClick();
}

void ThermalEditor::showSwitch(bool on) {
    diagram().setPictureShown(Picture::sw_tm_on, on);
    diagram().setPictureShown(Picture::sw_tm_off, !on);
    diagram().setPictureShown(Picture::iTM_dis, !on);
}

void ThermalEditor::sw_tm_onClick() {
    // The table stays in the image.
    showSwitch(false);
    thermal::setEnabled(image(), false);
}

void ThermalEditor::sw_tm_offClick() {
    diagram().hidePicture(Picture::sw_tm_off);
    diagram().showPicture(Picture::sw_tm_on);
    open();
}

void ThermalEditor::fill() {
    for (QLineEdit* each : thresholdEdits_)
        each->clear();
    for (QLineEdit* each : levelEdits_)
        each->clear();
    cbOutput_Off->setChecked(false);

    ImageRef table = image();
    if (!thermal::enabled(table)) {
        thermal::clearFrom(table, 1);
        thermal::writeEndMark(table);
        return;
    }
    // Each pair is taken while its threshold is valid; the first invalid one ends the table.
    for (int n = 1; n <= thermal::kPairs; ++n) {
        const int celsius = thermal::threshold(table, n);
        if (!thermal::validThreshold(celsius)) {
            thermal::clearFrom(table, n);
            if (n == 1)
                thermal::writeEndMark(table);
            return;
        }
        thresholdEdits_[n - 1]->setText(QString::number(celsius));
        if (n == 1) {
            const bool relayOff = thermal::relayOffAtT1(table);
            cbOutput_Off->setChecked(relayOff);
            levelEdits_[0]->setText(QString::number(relayOff ? 0 : thermal::level(table, 1)));
        } else {
            levelEdits_[n - 1]->setText(QString::number(thermal::level(table, n)));
        }
    }
}

void ThermalEditor::editClicked(Tag tag) {
    pThermo->show();
    for (const Tag each : {T1, T2, T3, L1, L2, L3})
        ValueSlider::setEditColour(edit(each), each == tag);
    sbThermo->setProperty(kTagProperty, tag);
    QLineEdit* clicked = edit(tag);
    int value = number(clicked);
    {
        // The new limits alone do not count as a move of the slider.
        const QSignalBlocker quiet(sbThermo);
        if (tag <= T3)
            sbThermo->setRange(thermal::kMinCelsius, thermal::kMaxCelsius);
        else
            sbThermo->setRange(0, kMaxLevel);
    }
    if (tag <= T3) {
        if (value <= thermal::kMinCelsius)
            value = thermal::kMinCelsius;
        clicked->setText(thresholdText(value));
    } else {
        clicked->setText(QString::number(value));
    }
    // A move of the slider runs its rule; where the position stays, the rule runs all the same, so that a
    // lower threshold is limited by the one above it from the start and not only after the first move.
    const int before = sbThermo->value();
    sbThermo->setValue(value);
    if (sbThermo->value() == before)
        sbThermoChange();
}

void ThermalEditor::sbThermoChange() {
    const int tag = sliderTag();
    switch (tag) {
    case T1:
        thresholdEdits_[0]->setText(thresholdText(sbThermo->value()));
        break;
    case T2:
    case T3: {
        // A threshold lies below the one before it, and needs it.
        const int above = number(thresholdEdits_[tag - T2]);
        if (above > thermal::kMinCelsius) {
            sbThermo->setMaximum(above - 1);
            edit(static_cast<Tag>(tag))->setText(thresholdText(sbThermo->value()));
        }
        break;
    }
    case L1:
    case L2:
    case L3:
        edit(static_cast<Tag>(tag))->setText(QString::number(sbThermo->value()));
        break;
    default:
        break;
    }
}

void ThermalEditor::apply() {
    ImageRef table = image();
    if (!thresholdEdits_[0]->text().isEmpty()) {
        thermal::setPair(table, 1, {number(thresholdEdits_[0]), number(levelEdits_[0])}, cbOutput_Off->isChecked());
        if (!thresholdEdits_[1]->text().isEmpty()) {
            thermal::setPair(table, 2, {number(thresholdEdits_[1]), number(levelEdits_[1])});
            if (!thresholdEdits_[2]->text().isEmpty())
                thermal::setPair(table, 3, {number(thresholdEdits_[2]), number(levelEdits_[2])});
            else
                thermal::clearFrom(table, 3);
        } else {
            thermal::clearFrom(table, 2);
        }
        thermal::setEnabled(table, true);
        showSwitch(true);
    } else {
        thermal::clearFrom(table, 1);
        thermal::clearEndMark(table);
        thermal::setEnabled(table, false);
        showSwitch(false);
    }
    thermal::writeEndMark(table);
    endEditing();
}

void ThermalEditor::discard() {
    showSwitch(thermal::enabled(image()));
    endEditing();
}

void ThermalEditor::endEditing() {
    for (const Tag each : {T1, T2, T3, L1, L2, L3})
        ValueSlider::setEditColour(edit(each), false);
    pThermo->hide();
}

} // namespace lumeq
