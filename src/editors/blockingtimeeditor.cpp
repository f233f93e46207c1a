#include "editors/blockingtimeeditor.h"

#include "editors/valueslider.h"
#include "model/settings.h"
#include "model/timecode.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSvgRenderer>

#include <optional>

namespace lumeq {

namespace {

using Picture = BlockDiagram::Picture;
using Label = BlockDiagram::Label;

QString blockTimeText(int units) {
    return QString::fromStdString(displayTime(units * blocking::kSecondsPerUnit));
}

} // namespace

BlockingTimeEditor::BlockingTimeEditor(EditorHost& host, QWidget* parent)
    : EditorPanel(host, QStringLiteral("pBlockTime"), kPlace, parent) {
    palette::fill(this, palette::kMainGroup);
    buildWidgets();
}

void BlockingTimeEditor::buildWidgets() {
    gbBlockTime =
        addGroup(this, "gbBlockTime", QStringLiteral("Block Time Setup"), palette::kMainGroup, QRect(4, 2, 242, 72));
    addLabel(gbBlockTime, "lBlockTimeCaption", QStringLiteral("Blocking Time"), QRect(8, 28, 88, 22));
    eBlockTime = addValueEdit(gbBlockTime, "eBlockTime", QRect(96, 28, 74, 22), [this] { eBlockTimeClick(); });
    addLabel(gbBlockTime, "lBlockTimeUnit", QStringLiteral("HH:MM:SS"), QRect(174, 28, 66, 22));

    // The teal strip with the slider, 5 seconds a step; it has no range selector.
    pBTSlider = new QFrame(this);
    pBTSlider->setObjectName(QStringLiteral("pBTSlider"));
    pBTSlider->setGeometry(4, 80, 242, 30);
    palette::fill(pBTSlider, palette::kTeal);
    sbBlockTime = new QScrollBar(Qt::Horizontal, pBTSlider);
    sbBlockTime->setObjectName(QStringLiteral("sbBlockTime"));
    sbBlockTime->setGeometry(4, 4, pBTSlider->width() - 8, pBTSlider->height() - 8);
    sbBlockTime->setRange(0, blocking::kMaxUnits);
    sbBlockTime->setPageStep(12); // a minute
    // The scroll bar keeps the window's colour inside the teal strip.
    QPalette normal = sbBlockTime->palette();
    const QPalette application = QApplication::palette(sbBlockTime);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        normal.setColor(group, QPalette::Window, application.color(group, QPalette::Window));
    sbBlockTime->setPalette(normal);
    connect(sbBlockTime, &QScrollBar::valueChanged, this, [this] { sbBlockTimeChange(); });
    pBTSlider->hide();

    addOkButton(this, "bTBlockOK", QRect(250, 4, 48, 34), [this] { ok(); });
    addCancelButton(this, "bTBlockCancel", QRect(250, 42, 48, 34), [this] { cancel(); });
    SpeedButton2 = new QPushButton(QStringLiteral("?"), this);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setToolTip(QStringLiteral("Help"));
    SpeedButton2->setCursor(Qt::PointingHandCursor);
    QFont helpFont = SpeedButton2->font();
    helpFont.setBold(true);
    helpFont.setPointSize(12);
    SpeedButton2->setFont(helpFont);
    SpeedButton2->setGeometry(250, 80, 48, 30);
    connect(SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2Click(); });

    // The help covers the whole panel, enlarged while it shows.
    pHelpBlock = new QFrame(this);
    pHelpBlock->setObjectName(QStringLiteral("pHelpBlock"));
    pHelpBlock->setGeometry(QRect(QPoint(0, 0), kHelpSize));
    palette::fill(pHelpBlock, Qt::white);
    Image6 =
        new DiagramPicture(QStringLiteral("Image6"), new QSvgRenderer(QStringLiteral(":/help/blockingtime.svg"), this),
                           DiagramPicture::Look::Normal, true, pHelpBlock);
    Image6->setGeometry(pHelpBlock->rect());
    Image6->setToolTip(QStringLiteral("Click to close the help"));
    connect(Image6, &DiagramPicture::clicked, this, [this] { Image6Click(); });
    pHelpBlock->hide();
}

void BlockingTimeEditor::switchClicked(Picture which) {
    if (!imageUsable())
        return;
    if (which == Picture::SW_block_close)
        SW_block_closeClick();
    else if (which == Picture::sw_block_open)
        sw_block_openClick();
}

void BlockingTimeEditor::SW_block_closeClick() {
    blocking::setUnits(image(), 0);
    showOff();
}

void BlockingTimeEditor::sw_block_openClick() {
    diagram().hidePicture(Picture::Block_dis);
    diagram().hidePicture(Picture::sw_block_open);
    diagram().showPicture(Picture::iTBlock_en);
    diagram().showPicture(Picture::SW_block_close);
    open();
}

void BlockingTimeEditor::showOff() {
    diagram().showPicture(Picture::Block_dis);
    diagram().showPicture(Picture::sw_block_open);
    diagram().hideLabel(Label::lBlock);
}

void BlockingTimeEditor::fill() {
    Image6Click(); // the panel opens at its own size, without the help
    hideStrip();
    eBlockTime->setText(blockTimeText(blocking::units(image())));
}

void BlockingTimeEditor::eBlockTimeClick() {
    const std::optional<int> seconds = getTime(eBlockTime->text().toStdString());
    if (!seconds) {
        host().message(QString::fromStdString(conversionErrorMessage(eBlockTime->text().toStdString())));
        return;
    }
    ValueSlider::setEditColour(eBlockTime, true);
    sbBlockTime->setValue(*seconds / blocking::kSecondsPerUnit);
    pBTSlider->show();
}

void BlockingTimeEditor::sbBlockTimeChange() {
    eBlockTime->setText(blockTimeText(sbBlockTime->value()));
}

void BlockingTimeEditor::apply() {
    hideStrip();
    const std::optional<int> seconds = getTime(eBlockTime->text().toStdString());
    if (!seconds) {
        host().message(QString::fromStdString(conversionErrorMessage(eBlockTime->text().toStdString())));
        return;
    }
    blocking::setUnits(image(), *seconds / blocking::kSecondsPerUnit);
    if (blocking::on(image()))
        diagram().showLabel(Label::lBlock, image());
    else
        showOff();
}

void BlockingTimeEditor::discard() {
    hideStrip();
    // Opened by its switch and cancelled with no time: the function stays off.
    if (imageUsable() && !blocking::on(image())) {
        diagram().showPicture(Picture::Block_dis);
        diagram().showPicture(Picture::sw_block_open);
    }
}

void BlockingTimeEditor::hideStrip() {
    pBTSlider->hide();
    ValueSlider::setEditColour(eBlockTime, false);
}

void BlockingTimeEditor::SpeedButton2Click() {
    resize(kHelpSize);
    pHelpBlock->show();
    pHelpBlock->raise();
}

void BlockingTimeEditor::Image6Click() {
    resize(kPlace.size());
    pHelpBlock->hide();
}

} // namespace lumeq
