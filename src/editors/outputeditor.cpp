#include "editors/outputeditor.h"

#include "editors/dimmingcurvepanel.h"
#include "editors/editorbuttons.h"
#include "editors/valueslider.h"
#include "model/layout.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace lumeq {

namespace {

const QColor kTeal(0, 128, 128);
const QColor kMainGroup(192, 220, 192);

constexpr int kMinLevelMax = 100;

using Switch = BlockDiagram::Switch;

void fill(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

OutputEditor::OutputEditor(EditorHost& host, QWidget* parent) : QFrame(parent), host_(host) {
    setObjectName(QStringLiteral("pOutput"));
    setGeometry(kPlace);
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    fill(this, kMainGroup);
    buildWidgets();
    hide();
}

void OutputEditor::buildWidgets() {
    gbOutput = new QGroupBox(QStringLiteral("Output Setup"), this);
    gbOutput->setObjectName(QStringLiteral("gbOutput"));
    gbOutput->setGeometry(4, 2, width() - 8, height() - 6);
    fill(gbOutput, kMainGroup);

    lOutputMinLevel = new QLabel(QStringLiteral("Minimum level"), gbOutput);
    lOutputMinLevel->setObjectName(QStringLiteral("lOutputMinLevel"));
    lOutputMinLevel->setGeometry(10, 24, 92, 22);

    eMinLevel = new QLineEdit(QStringLiteral("0"), gbOutput);
    eMinLevel->setObjectName(QStringLiteral("eMinLevel"));
    eMinLevel->setReadOnly(true);
    eMinLevel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = eMinLevel->font();
    bold.setBold(true);
    eMinLevel->setFont(bold);
    eMinLevel->setCursor(Qt::PointingHandCursor);
    eMinLevel->setGeometry(104, 24, 44, 22);
    eMinLevel->installEventFilter(this);

    lOutputPercent = new QLabel(QStringLiteral("%"), gbOutput);
    lOutputPercent->setObjectName(QStringLiteral("lOutputPercent"));
    lOutputPercent->setGeometry(152, 24, 16, 22);

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
    pMinLevel = new QFrame(gbOutput);
    pMinLevel->setObjectName(QStringLiteral("pMinLevel"));
    pMinLevel->setGeometry(6, 86, 204, 26);
    fill(pMinLevel, kTeal);
    sbMinLevel = new QScrollBar(Qt::Horizontal, pMinLevel);
    sbMinLevel->setObjectName(QStringLiteral("sbMinLevel"));
    sbMinLevel->setRange(0, kMinLevelMax);
    sbMinLevel->setSingleStep(1);
    sbMinLevel->setPageStep(10);
    QPalette normal = sbMinLevel->palette();
    normal.setColor(QPalette::Window, QApplication::palette(sbMinLevel).color(QPalette::Window));
    sbMinLevel->setPalette(normal);
    auto* strip = new QHBoxLayout(pMinLevel);
    strip->setContentsMargins(4, 3, 4, 3);
    strip->addWidget(sbMinLevel);
    pMinLevel->hide();
    connect(sbMinLevel, &QScrollBar::valueChanged, this, [this] { sbMinLevelChange(); });

    bOutput_OK = makeEditorButton(gbOutput, "bOutput_OK", EditorButton::Ok, QStringLiteral("OK"), 24);
    bOutput_OK->setGeometry(220, 22, 42, 40);
    connect(bOutput_OK, &QPushButton::clicked, this, [this] { bOutput_OKClick(); });

    bOutput_Cancel = makeEditorButton(gbOutput, "bOutput_Cancel", EditorButton::Cancel, QStringLiteral("Cancel"), 24);
    bOutput_Cancel->setGeometry(220, 70, 42, 40);
    connect(bOutput_Cancel, &QPushButton::clicked, this, [this] { bOutput_CancelClick(); });
}

void OutputEditor::connectDiagram(BlockDiagram& diagram) {
    connect(&diagram, &BlockDiagram::openEditor, this, [this](BlockDiagram::Editor editor) {
        if (editor == BlockDiagram::Editor::Output)
            handleOpen();
    });
    connect(&diagram, &BlockDiagram::switchClicked, this, [this](Switch which) { handleSelector(which); });
}

bool OutputEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == eMinLevel && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        eMinLevelClick();
    }
    return QFrame::eventFilter(watched, event);
}

bool OutputEditor::imageUsable() {
    return host_.image().size() >= kConfigSize;
}

bool OutputEditor::isDali() const {
    const DiagramPicture* dali = host_.diagram().picture(QStringLiteral("Dali"));
    return dali != nullptr && !dali->isHidden();
}

void OutputEditor::handleOpen() {
    if (host_.formDisabled())
        return;
    setOutput();
}

void OutputEditor::handleSelector(Switch which) {
    switch (which) {
    case Switch::SW_DALI:
        SW_DALIClick();
        break;
    case Switch::SW_Ten:
        SW_TenClick();
        break;
    case Switch::SW_PWM:
        SW_PWMClick();
        break;
    default:
        break;
    }
}

void OutputEditor::setDaliLog(bool checked) {
    cbDaliLog->setChecked(checked);
}

void OutputEditor::SW_DALIClick() {
    if (host_.formDisabled() || !imageUsable())
        return;
    BlockDiagram& diagram = host_.diagram();
    diagram.setShown(QStringLiteral("Dali"), false);
    diagram.setShown(QStringLiteral("SW_DALI"), false);
    // PWM lies above DALI; with both gone the 1-10V pictures beneath show.
    diagram.setShown(QStringLiteral("PWM"), false);
    diagram.setShown(QStringLiteral("SW_PWM"), false);
    std::uint8_t& flags = host_.image()[img::Flags];
    flags = ClearBit(ClearBit(flags, img::FlagDali), img::FlagLinearOrPwm);
}

void OutputEditor::SW_TenClick() {
    if (host_.formDisabled() || !imageUsable())
        return;
    BlockDiagram& diagram = host_.diagram();
    diagram.setShown(QStringLiteral("PWM"), true);
    diagram.setShown(QStringLiteral("SW_PWM"), true);
    std::uint8_t& flags = host_.image()[img::Flags];
    flags = SetBit(ClearBit(flags, img::FlagDali), img::FlagLinearOrPwm);
}

void OutputEditor::SW_PWMClick() {
    if (host_.formDisabled() || !imageUsable())
        return;
    BlockDiagram& diagram = host_.diagram();
    diagram.setShown(QStringLiteral("Dali"), true);
    diagram.setShown(QStringLiteral("SW_DALI"), true);
    diagram.setShown(QStringLiteral("PWM"), false);
    diagram.setShown(QStringLiteral("SW_PWM"), false);
    Image& image = host_.image();
    image[img::Flags] = ClearBit(SetBit(image[img::Flags], img::FlagDali), img::FlagLinearOrPwm);
    image[img::Options] = ClearBit(image[img::Options], img::OptStorePol);
}

void OutputEditor::setOutput() {
    if (!imageUsable())
        return;
    const Image& image = host_.image();
    const bool dali = isDali();

    // 1. The dimming-curve correction, for 1-10V and PWM when curve files exist.
    const bool curveControls = !dali && curvePanel_ != nullptr && host_.curves().curveFilesFound;
    cbDC->setVisible(curveControls);
    bDC->setVisible(curveControls);
    if (curveControls)
        curvePanel_->setUpOutputControls();

    // 2. to 4.
    eMinLevel->setText(QString::number(image[img::MinLevel]));
    cbDaliLog->setVisible(dali);
    cbStorePOL->setVisible(dali);
    cbDaliLog->setChecked(!TestBit(image[img::Flags], img::FlagLinearOrPwm));
    cbStorePOL->setChecked(TestBit(image[img::Options], img::OptStorePol));

    // 5.
    show();
    raise();
    host_.setFormDisabled(true);
}

void OutputEditor::eMinLevelClick() {
    pMinLevel->show();
    eOutputSlider(eMinLevel);
}

void OutputEditor::eOutputSlider(QLineEdit* edit) {
    ValueSlider::setEditColour(eMinLevel, false);
    ValueSlider::setEditColour(edit, true);
    bool ok = false;
    int value = edit->text().trimmed().toInt(&ok);
    value = ok ? std::clamp(value, 0, kMinLevelMax) : 0;
    sbMinLevel->setRange(0, kMinLevelMax);
    edit->setText(QString::number(value));
    sbMinLevel->setValue(value);
}

void OutputEditor::sbMinLevelChange() {
    eMinLevel->setText(QString::number(sbMinLevel->value()));
}

void OutputEditor::bOutput_OKClick() {
    pMinLevel->hide();
    if (imageUsable()) {
        Image& image = host_.image();
        bool ok = false;
        const int level = eMinLevel->text().trimmed().toInt(&ok);
        image[img::MinLevel] = static_cast<std::uint8_t>(ok ? std::clamp(level, 0, kMinLevelMax) : 0);
        if (isDali()) {
            image[img::Flags] = cbDaliLog->isChecked() ? ClearBit(image[img::Flags], img::FlagLinearOrPwm)
                                                       : SetBit(image[img::Flags], img::FlagLinearOrPwm);
            image[img::Options] = cbStorePOL->isChecked() ? SetBit(image[img::Options], img::OptStorePol)
                                                          : ClearBit(image[img::Options], img::OptStorePol);
        } else {
            image[img::Options] = ClearBit(image[img::Options], img::OptStorePol);
        }
    }
    hide();
    host_.setFormDisabled(false);
    ValueSlider::setEditColour(eMinLevel, false);
    setMinLevelLabel();
}

void OutputEditor::bOutput_CancelClick() {
    hide();
    host_.setFormDisabled(false);
    pMinLevel->hide();
    ValueSlider::setEditColour(eMinLevel, false);
}

void OutputEditor::setMinLevelLabel() {
    if (imageUsable()) {
        host_.diagram().setLabelText(QStringLiteral("lMinLevel"),
                                     QStringLiteral("Min. Level=%1%").arg(host_.image()[img::MinLevel]));
    }
}

} // namespace lumeq
