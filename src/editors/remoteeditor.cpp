#include "editors/remoteeditor.h"

#include "editors/editorset.h"
#include "model/settings.h"

#include <QGroupBox>
#include <QRadioButton>

namespace lumeq {

namespace {

using Picture = BlockDiagram::Picture;
using Label = BlockDiagram::Label;

const QString kDesignCaption = QStringLiteral("Remote Control");
const QString kMainsCaption = QStringLiteral("Remote Control, Input=230V");
const QString kLstCaption = QStringLiteral("Remote Control, Input=LST");
const QString kMidNight = QStringLiteral("MidNight");
const QString kMidNightProtect = QStringLiteral("MidNight Protect");
const QString kRemoteDim = QStringLiteral("Remote DIM");

// Radio buttons of one group uncheck each other, but the checked one cannot be unchecked on its own.
void setRadio(QRadioButton* button, bool checked) {
    if (checked || !button->isChecked()) {
        button->setChecked(checked);
        return;
    }
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
}

} // namespace

RemoteEditor::RemoteEditor(EditorHost& host, QWidget* parent)
    : EditorPanel(host, QStringLiteral("pRemote"), kPlace, parent) {
    palette::fill(this, palette::kMainGroup);
    buildWidgets();
}

void RemoteEditor::buildWidgets() {
    gbRemote = addGroup(this, "gbRemote", kDesignCaption, palette::kMainGroup, QRect(4, 2, 220, height() - 6));

    rbMN = new QRadioButton(kMidNight, gbRemote);
    rbMN->setObjectName(QStringLiteral("rbMN"));
    rbMN->setGeometry(16, 36, 196, 24);

    rbRemote = new QRadioButton(kMidNightProtect, gbRemote);
    rbRemote->setObjectName(QStringLiteral("rbRemote"));
    rbRemote->setGeometry(16, 76, 196, 24);

    addOkButton(this, "bRC_OK", QRect(234, 20, 42, 40), [this] { ok(); });
    addCancelButton(this, "bRemoteCancel", QRect(234, 76, 42, 40), [this] { cancel(); });
}

void RemoteEditor::connectPanels(EditorSet& set) {
    set_ = &set;
}

void RemoteEditor::switchClicked(Picture which) {
    if (!imageUsable())
        return;
    switch (which) {
    case Picture::rc_off:
        rc_offClick();
        break;
    case Picture::rc_main:
        rc_mainClick();
        break;
    case Picture::rc_lst:
        rc_lstClick();
        break;
    default:
        break;
    }
}

void RemoteEditor::imageRedrawn() {
    if (!imageUsable())
        return;
    const RemoteMode mode = remote::mode(image());
    switch (remote::input(image())) {
    case RemoteInput::Mains:
        setRadio(rbMN, mode == RemoteMode::MidNight);
        rbRemote->setText(kMidNightProtect);
        setRadio(rbRemote, mode == RemoteMode::MidNightProtect);
        break;
    case RemoteInput::Lst:
        // The opening routine has set both already unless the window was locked.
        if (mode == RemoteMode::MidNight)
            setRadio(rbMN, true);
        rbRemote->setText(kRemoteDim);
        if (mode == RemoteMode::RemoteDim)
            setRadio(rbRemote, true);
        break;
    case RemoteInput::Off:
        break;
    }
}

bool RemoteEditor::lstInput() const {
    return diagram().pictureShown(Picture::rc_lst);
}

bool RemoteEditor::modeChosen() const {
    return rbMN->isChecked() || rbRemote->isChecked();
}

// ---- The selector ----

void RemoteEditor::rc_offClick() {
    gbRemote->setTitle(kMainsCaption);
    diagram().hidePicture(Picture::rc_off);
    diagram().showPicture(Picture::rc_main);
    diagram().hidePicture(Picture::rc_lst);
    diagram().hidePicture(Picture::rem_dis);
    diagram().setRemoteDimActive(false);
    diagram().hideLabel(Label::lRemote);
}

void RemoteEditor::rc_mainClick() {
    gbRemote->setTitle(kLstCaption);
    diagram().hidePicture(Picture::rc_main);
    diagram().showPicture(Picture::rc_lst);
    diagram().hidePicture(Picture::rc_off);
    diagram().hidePicture(Picture::rem_dis);
    diagram().hideLabel(Label::lRemote);
}

void RemoteEditor::rc_lstClick() {
    switchOff();
}

void RemoteEditor::switchOff() {
    diagram().showPicture(Picture::rc_off);
    diagram().hidePicture(Picture::rc_main);
    diagram().hidePicture(Picture::rc_lst);
    diagram().showPicture(Picture::rem_dis);
    remote::setMode(image(), RemoteMode::None);
    remote::setInput(image(), RemoteInput::Off);
    diagram().setRemoteDimActive(false);
    diagram().hideLabel(Label::lRemote);
}

// ---- The panel ----

void RemoteEditor::fill() {
    const RemoteMode mode = remote::mode(image());
    setRadio(rbMN, mode == RemoteMode::MidNight);
    if (lstInput()) {
        rbRemote->setText(kRemoteDim);
        setRadio(rbRemote, mode == RemoteMode::RemoteDim);
        diagram().setRemoteDimActive(rbRemote->isChecked());
    } else {
        rbRemote->setText(kMidNightProtect);
        setRadio(rbRemote, mode == RemoteMode::MidNightProtect);
    }
}

void RemoteEditor::apply() {
    // The mode from the two buttons; the caption of the second says which input it belongs to.
    RemoteMode mode = rbMN->isChecked() ? RemoteMode::MidNight : RemoteMode::None;
    if (rbRemote->text() == kRemoteDim) {
        if (rbRemote->isChecked())
            mode = RemoteMode::RemoteDim;
        diagram().setRemoteDimActive(rbRemote->isChecked());
    } else if (rbRemote->isChecked()) {
        mode = RemoteMode::MidNightProtect;
    }
    remote::setMode(image(), mode);
    host().setFormDisabled(false);
    hide();

    const bool chosen = modeChosen();
    if (!chosen)
        switchOff();
    else if (lstInput())
        remote::setInput(image(), RemoteInput::Lst);
    else if (diagram().pictureShown(Picture::rc_main))
        remote::setInput(image(), RemoteInput::Mains);

    // Remote DIM takes the control input and the astro clock: both are switched off as their closed
    // switches do it (the window is unlocked by now, as for a click).
    if (diagram().remoteDimActive() && set_ != nullptr) {
        set_->actOnSwitch(Picture::SW_lst_close);
        set_->actOnSwitch(Picture::SW_astro_close);
    }

    if (chosen)
        diagram().showLabel(Label::lRemote, image());
}

void RemoteEditor::discard() {
    host().setFormDisabled(false);
    hide();
    if (!modeChosen())
        switchOff();
}

} // namespace lumeq
