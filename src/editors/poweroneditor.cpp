#include "editors/poweroneditor.h"

#include "editors/valueslider.h"
#include "model/timecode.h"
#include "model/valueentry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSvgRenderer>

#include <optional>

namespace lumeq {

namespace {

using Label = BlockDiagram::Label;

const QString kRandom = QStringLiteral("Random");
const QString kZero = QStringLiteral("0");

} // namespace

PowerOnEditor::PowerOnEditor(EditorHost& host, QWidget* parent)
    : EditorPanel(host, QStringLiteral("pStartupDelay"), kPlace, parent) {
    palette::fill(this, palette::kMainGroup);
    buildWidgets();
}

void PowerOnEditor::buildWidgets() {
    gbPowerOn =
        addGroup(this, "gbPowerOn", QStringLiteral("Power On Setup"), palette::kMainGroup, QRect(4, 2, 262, 124));
    addLabel(gbPowerOn, "lPODelayCaption", QStringLiteral("Delay"), QRect(10, 24, 72, 22));
    ePORelayDelay = addValueEdit(gbPowerOn, "ePORelayDelay", QRect(86, 24, 90, 22), [this] { ePORelayDelayClick(); });
    cbRandom = new QCheckBox(kRandom, gbPowerOn);
    cbRandom->setObjectName(QStringLiteral("cbRandom"));
    cbRandom->setGeometry(86, 48, 100, 20);
    connect(cbRandom, &QCheckBox::toggled, this, [this] { cbRandomClick(); });

    addLabel(gbPowerOn, "lPOFadeCaption", QStringLiteral("Fade Speed"), QRect(10, 72, 74, 22));
    ePOFade = addValueEdit(gbPowerOn, "ePOFade", QRect(86, 72, 90, 22), [this] { ePOFadeClick(); });
    addLabel(gbPowerOn, "lPOFadeUnit", QStringLiteral("s/%"), QRect(180, 72, 40, 22));

    addLabel(gbPowerOn, "lPOLevelCaption", QStringLiteral("Level"), QRect(10, 98, 72, 22));
    ePOLevel = addValueEdit(gbPowerOn, "ePOLevel", QRect(86, 98, 90, 22), [this] { ePOLevelClick(); });
    addLabel(gbPowerOn, "lPOLevelUnit", QStringLiteral("%"), QRect(180, 98, 40, 22));

    gbDPC = addGroup(this, "gbDPC", QStringLiteral("DPC/DOO"), palette::kSecondaryGroup, QRect(270, 2, 144, 58));
    cbEnableDPC = new QCheckBox(QStringLiteral("Enable DPC / DOO"), gbDPC);
    cbEnableDPC->setObjectName(QStringLiteral("cbEnableDPC"));
    cbEnableDPC->setGeometry(6, 26, 136, 22);

    addOkButton(this, "bDPC_OK", QRect(272, 70, 44, 44), [this] { ok(); });
    addCancelButton(this, "bDPC_Cancel", QRect(321, 70, 44, 44), [this] { cancel(); });
    bHelpPowerOn = new QPushButton(QStringLiteral("?"), this);
    bHelpPowerOn->setObjectName(QStringLiteral("bHelpPowerOn"));
    bHelpPowerOn->setToolTip(QStringLiteral("Help"));
    bHelpPowerOn->setCursor(Qt::PointingHandCursor);
    QFont helpFont = bHelpPowerOn->font();
    helpFont.setBold(true);
    helpFont.setPointSize(14);
    bHelpPowerOn->setFont(helpFont);
    bHelpPowerOn->setGeometry(370, 70, 44, 44);
    connect(bHelpPowerOn, &QPushButton::clicked, this, [this] { bHelpPowerOnClick(); });

    // One strip for the three edits: level, delay (with the duration ranges) and fade (with the fade ranges).
    pPOSlider = addValueSlider(this, "pPOSlider", "sbPU", "combRange", QRect(4, 130, 410, 28));
    connect(pPOSlider, &ValueSlider::conversionError, this, [this](const QString& text) { host().message(text); });
    // After the strip's own slider rule, which it connected first.
    connect(pPOSlider->slider(), &QScrollBar::valueChanged, this, [this] { sbPUChange(); });

    // The help covers the whole panel, enlarged while it shows.
    pHelpPowerOn = new QFrame(this);
    pHelpPowerOn->setObjectName(QStringLiteral("pHelpPowerOn"));
    pHelpPowerOn->setGeometry(QRect(QPoint(0, 0), kHelpSize));
    palette::fill(pHelpPowerOn, Qt::white);
    Image4 = new DiagramPicture(QStringLiteral("Image4"), new QSvgRenderer(QStringLiteral(":/help/poweron.svg"), this),
                                DiagramPicture::Look::Normal, true, pHelpPowerOn);
    Image4->setGeometry(pHelpPowerOn->rect());
    Image4->setToolTip(QStringLiteral("Click to close the help"));
    connect(Image4, &DiagramPicture::clicked, this, [this] { Image4Click(); });
    pHelpPowerOn->hide();
}

void PowerOnEditor::imageRedrawn() {
    if (imageUsable() && powerOn::randomDelay(image()))
        setRandom(true);
}

void PowerOnEditor::setRandom(bool checked) {
    if (cbRandom->isChecked() != checked)
        cbRandom->setChecked(checked); // runs cbRandomClick through toggled
    else
        cbRandomClick();
}

void PowerOnEditor::fill() {
    opened_ = powerOn::stored(image());
    Image4Click(); // the panel opens at its own size, without the help
    ePOLevel->setText(QString::number(powerOn::level(image())));
    if (powerOn::randomDelay(image())) {
        setRandom(true);
    } else {
        ePORelayDelay->setText(QString::fromStdString(displayTime(powerOn::delaySeconds(image()))));
        setRandom(false);
    }
    ePOFade->setText(QString::fromStdString(displayTime2(powerOn::fadeMillis(image()))));
    if (ePORelayDelay->text() == kZero) {
        cbEnableDPC->setEnabled(false);
        cbEnableDPC->setChecked(false);
    } else {
        cbEnableDPC->setEnabled(true);
        cbEnableDPC->setChecked(powerOn::dpcDoo(image()));
    }
}

void PowerOnEditor::cbRandomClick() {
    if (!imageUsable())
        return;
    if (cbRandom->isChecked()) {
        powerOn::setRandomDelay(image());
        ePORelayDelay->setText(kRandom);
        ePORelayDelay->setEnabled(false);
        pPOSlider->deactivate();
        pPOSlider->hide();
        pPOSlider->rangeSelector()->hide();
        cbEnableDPC->setEnabled(true);
        return;
    }
    if (powerOn::randomDelay(image())) {
        powerOn::setDelaySeconds(image(), 0);
        ePORelayDelay->setText(kZero);
    }
    ePORelayDelay->setEnabled(true);
    cbEnableDPC->setEnabled(false); // its tick stays
}

void PowerOnEditor::ePOLevelClick() {
    if (pPOSlider->clickEdit(sliderTag(EntryMode::Level), ePORelayDelay, ePOLevel, ePOFade, output::minLevel(image())))
        pPOSlider->show();
}

void PowerOnEditor::ePORelayDelayClick() {
    if (pPOSlider->clickEdit(sliderTag(EntryMode::Duration), ePORelayDelay, ePOLevel, ePOFade,
                             output::minLevel(image())))
        pPOSlider->show();
}

void PowerOnEditor::ePOFadeClick() {
    if (pPOSlider->clickEdit(sliderTag(EntryMode::Fade), ePORelayDelay, ePOLevel, ePOFade, output::minLevel(image())))
        pPOSlider->show();
}

void PowerOnEditor::sbPUChange() {
    if (ePORelayDelay->text() == kZero) {
        cbEnableDPC->setEnabled(false);
        cbEnableDPC->setChecked(false);
    } else {
        cbEnableDPC->setEnabled(true);
    }
}

void PowerOnEditor::apply() {
    // Every text is read before anything is written, so that a text that cannot be read changes nothing.
    bool levelRead = false;
    const int level = ePOLevel->text().trimmed().toInt(&levelRead);
    if (!levelRead) {
        host().message(QString::fromStdString(conversionErrorMessage(ePOLevel->text().toStdString())));
        return;
    }
    const bool random = ePORelayDelay->text() == kRandom;
    const std::optional<int> delay = random ? std::optional<int>(0) : getTime(ePORelayDelay->text().toStdString());
    if (!delay) {
        host().message(QString::fromStdString(conversionErrorMessage(ePORelayDelay->text().toStdString())));
        return;
    }
    const std::optional<int> fade = getTime2(ePOFade->text().toStdString());
    if (!fade) {
        host().message(QString::fromStdString(conversionErrorMessage(ePOFade->text().toStdString())));
        return;
    }

    powerOn::setLevel(image(), level);
    if (random)
        powerOn::setRandomDelay(image());
    else
        powerOn::setDelaySeconds(image(), *delay);
    powerOn::setFadeMillis(image(), *fade);
    // DPC/DOO needs a power-on delay: a tick left behind when "Random" was unticked to a delay of 0 is not stored.
    powerOn::setDpcDoo(image(), cbEnableDPC->isChecked() && (random || *delay > 0));
    showLabels();
}

void PowerOnEditor::discard() {
    // "Random" may have changed the delay byte while the panel was open.
    if (!imageUsable())
        return;
    powerOn::restore(image(), opened_);
    showLabels();
}

void PowerOnEditor::showLabels() {
    for (const Label label : {Label::lPO_Level, Label::lPO_Delay, Label::lPO_Fade})
        diagram().showLabel(label, image());
}

void PowerOnEditor::bHelpPowerOnClick() {
    resize(kHelpSize);
    pHelpPowerOn->show();
    pHelpPowerOn->raise();
}

void PowerOnEditor::Image4Click() {
    resize(kPlace.size());
    pHelpPowerOn->hide();
}

} // namespace lumeq
