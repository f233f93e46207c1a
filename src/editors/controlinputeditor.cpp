#include "editors/controlinputeditor.h"

#include "editors/valueslider.h"
#include "model/settings.h"
#include "model/timecode.h"
#include "model/valueentry.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include <optional>

namespace lumeq {

namespace {

using Picture = BlockDiagram::Picture;
using Label = BlockDiagram::Label;

// The hold editor's design writes its duration ranges without the blank after the arrow.
const QStringList kHoldRanges = {QStringLiteral("->00:01:00"), QStringLiteral("->00:10:00"),
                                 QStringLiteral("->01:00:00"), QStringLiteral("->15:00:00")};

} // namespace

ControlInputEditor::ControlInputEditor(EditorHost& host, QWidget* parent)
    : EditorPanel(host, QStringLiteral("pTHold"), kPlace, parent) {
    palette::fill(this, palette::kMainGroup);
    buildWidgets();
}

void ControlInputEditor::buildWidgets() {
    gbHoldTime =
        addGroup(this, "gbHoldTime", QStringLiteral(" Hold Time Setup "), palette::kMainGroup, QRect(4, 2, 254, 64));
    addLabel(gbHoldTime, "lHoldTimeCaption", QStringLiteral("Input Hold Time"), QRect(10, 28, 98, 22));
    eHoldTime = addValueEdit(gbHoldTime, "eHoldTime", QRect(108, 28, 76, 22), [this] { eHoldTimeClick(); });
    addLabel(gbHoldTime, "lHoldTimeUnit", QStringLiteral("HH:MM:SS"), QRect(188, 28, 62, 22));

    pHoldTime = addValueSlider(this, "pHoldTime", "sbHold", "combHold", QRect(4, 72, 254, 30));
    pHoldTime->setRangeItems(EntryMode::Duration, kHoldRanges);
    connect(pHoldTime, &ValueSlider::conversionError, this, [this](const QString& text) { host().message(text); });

    addOkButton(this, "bTHoldOK", QRect(264, 6, 44, 44), [this] { ok(); });
    addCancelButton(this, "bTHoldCancel", QRect(264, 56, 44, 44), [this] { cancel(); });
}

void ControlInputEditor::switchClicked(Picture which) {
    if (!imageUsable())
        return;
    switch (which) {
    case Picture::sw_lst_open:
        sw_lst_openClick();
        break;
    case Picture::SW_lst_close:
        SW_lst_closeClick();
        break;
    case Picture::iLst_en:
        iLst_enClick();
        break;
    case Picture::iLST_pol:
        iLST_polClick();
        break;
    case Picture::sw_hold_off:
        sw_hold_offClick();
        break;
    case Picture::sw_hold_on:
        sw_hold_onClick();
        break;
    default:
        break;
    }
}

void ControlInputEditor::sw_lst_openClick() {
    // The remote control dims through the LSt input: the input stays off.
    if (diagram().remoteDimActive())
        return;
    diagram().hidePicture(Picture::LST_dis);
    diagram().hidePicture(Picture::sw_lst_open);
    diagram().hidePicture(Picture::SW_hold_dis);
    sw_hold_onClick();
    diagram().hidePicture(Picture::dm2_dis);
    // Switched off, both polarity pictures lie under the greyed block; only the stored one may stay visible.
    const bool highToLow = controlInput::polarity(image()) == LstPolarity::HighToLow;
    diagram().setPictureShown(Picture::iLst_en, !highToLow);
    diagram().setPictureShown(Picture::iLST_pol, highToLow);
    controlInput::setOn(image(), true);
}

void ControlInputEditor::SW_lst_closeClick() {
    for (const Picture picture :
         {Picture::LST_dis, Picture::SW_hold_dis, Picture::HOLD_dis, Picture::sw_lst_open, Picture::dm2_dis})
        diagram().showPicture(picture);
    controlInput::setOn(image(), false); // the hold time stays stored
}

void ControlInputEditor::iLst_enClick() {
    diagram().hidePicture(Picture::iLst_en);
    diagram().showPicture(Picture::iLST_pol);
    controlInput::setPolarity(image(), LstPolarity::HighToLow);
}

void ControlInputEditor::iLST_polClick() {
    diagram().showPicture(Picture::iLst_en);
    diagram().hidePicture(Picture::iLST_pol);
    controlInput::setPolarity(image(), LstPolarity::LowToHigh);
}

void ControlInputEditor::sw_hold_offClick() {
    diagram().hidePicture(Picture::HOLD_dis);
    diagram().hidePicture(Picture::sw_hold_off);
    // OK or Cancel of the editor decides whether the hold time stays on.
    open();
}

void ControlInputEditor::sw_hold_onClick() {
    diagram().showPicture(Picture::HOLD_dis);
    diagram().showPicture(Picture::sw_hold_off);
    controlInput::setHoldSeconds(image(), 0);
    diagram().hideLabel(Label::lHold);
}

void ControlInputEditor::showHoldOff() {
    diagram().showPicture(Picture::HOLD_dis);
    diagram().showPicture(Picture::sw_hold_off);
    diagram().hideLabel(Label::lHold);
}

void ControlInputEditor::fill() {
    eHoldTime->setText(QString::fromStdString(displayTime(controlInput::holdSeconds(image()))));
}

void ControlInputEditor::eHoldTimeClick() {
    const std::optional<int> seconds = getTime(eHoldTime->text().toStdString());
    if (!seconds) {
        host().message(QString::fromStdString(conversionErrorMessage(eHoldTime->text().toStdString())));
        return;
    }
    pHoldTime->initSlider(*seconds, EntryMode::Duration, eHoldTime);
    pHoldTime->show();
}

void ControlInputEditor::apply() {
    const std::optional<int> seconds = getTime(eHoldTime->text().toStdString());
    if (!seconds) {
        host().message(QString::fromStdString(conversionErrorMessage(eHoldTime->text().toStdString())));
        return;
    }
    controlInput::setHoldSeconds(image(), *seconds);
    if (controlInput::holdOn(image()))
        diagram().showLabel(Label::lHold, image());
    else
        showHoldOff();
}

void ControlInputEditor::discard() {
    // A hold switch that was just closed opens again when no hold time is stored.
    if (!imageUsable())
        return;
    if (controlInput::holdOn(image()))
        diagram().showLabel(Label::lHold, image());
    else
        showHoldOff();
}

} // namespace lumeq
