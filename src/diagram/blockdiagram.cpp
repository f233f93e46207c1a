#include "diagram/blockdiagram.h"

#include "model/timecode.h"
#include "files/qtext.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QMetaEnum>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <QToolTip>

#include <initializer_list>
#include <utility>
#include <variant>

namespace lumeq {

namespace {

using Editor = BlockDiagram::Editor;
using Picture = BlockDiagram::Picture;
using Label = BlockDiagram::Label;

// What a click on a picture does: open an editor, act as a switch, or nothing (greyed pictures).
using Route = std::variant<std::monostate, Editor, Picture>;
constexpr std::monostate kNoClick;

// Where a picture sits, what it shows and what a click on it does. A greyed picture shows the drawing of
// its block greyed; a switch routes clicks to itself.
struct PicturePlacement {
    Picture picture;
    const char* drawing; // the SVG it shows
    QRect place;
    DiagramPicture::Look look;
    Route route;
};

constexpr auto Normal = DiagramPicture::Look::Normal;
constexpr auto Greyed = DiagramPicture::Look::Greyed;

// Places of the blocks in the diagram; the background drawing is made for them.
constexpr QRect kTBlock(36, 26, 150, 80);
constexpr QRect kTBlockSwitch(192, 48, 52, 36);
constexpr QRect kMff(300, 26, 160, 80);
constexpr QRect kMffSwitch(470, 48, 52, 36);
constexpr QRect kThermo(590, 26, 160, 80);
constexpr QRect kThermoSwitch(760, 48, 52, 36);
constexpr QRect kPowerOn(36, 140, 150, 104);
constexpr QRect kIsd(36, 286, 150, 80);
constexpr QRect kAstroSwitch(280, 308, 52, 36);
constexpr QRect kEngine1(384, 286, 166, 80);
constexpr QRect kControlInput(36, 440, 150, 80);
constexpr QRect kLstSwitch(190, 462, 52, 36);
constexpr QRect kHoldSwitch(280, 462, 52, 36);
constexpr QRect kHold(258, 522, 96, 52);
constexpr QRect kEngine2(384, 440, 166, 80);
constexpr QRect kOutput(722, 150, 150, 90);
constexpr QRect kOutputSelector(878, 150, 112, 90);
constexpr QRect kRemote(722, 254, 150, 84);
constexpr QRect kRemoteSelector(722, 350, 150, 80);
constexpr QRect kRelay(722, 456, 206, 90);

// In the order of the Picture enum, which is the stacking order.
const PicturePlacement kPictures[] = {
    {Picture::iTBlock_en, "iTBlock_en", kTBlock, Normal, Editor::BlockTime},
    {Picture::Block_dis, "iTBlock_en", kTBlock, Greyed, kNoClick},
    {Picture::SW_block_close, "SW_block_close", kTBlockSwitch, Normal, Picture::SW_block_close},
    {Picture::sw_block_open, "sw_block_open", kTBlockSwitch, Normal, Picture::sw_block_open},
    {Picture::iMFF_en, "iMFF_en", kMff, Normal, Editor::MFF},
    {Picture::MFF_dis, "iMFF_en", kMff, Greyed, kNoClick},
    {Picture::SW_mff_on, "SW_mff_on", kMffSwitch, Normal, Picture::SW_mff_on},
    {Picture::sw_mff_off, "sw_mff_off", kMffSwitch, Normal, Picture::sw_mff_off},
    {Picture::iTM, "iTM", kThermo, Normal, Editor::ThermoM},
    {Picture::iTM_dis, "iTM", kThermo, Greyed, kNoClick},
    {Picture::sw_tm_on, "sw_tm_on", kThermoSwitch, Normal, Picture::sw_tm_on},
    {Picture::sw_tm_off, "sw_tm_off", kThermoSwitch, Normal, Picture::sw_tm_off},
    {Picture::iTDpc_en, "iTDpc_en", kPowerOn, Normal, Editor::StartupDelay},
    {Picture::iISD_en, "iISD_en", kIsd, Normal, Editor::ISD},
    {Picture::Astro_dis, "iISD_en", kIsd, Greyed, kNoClick},
    {Picture::SW_astro_close, "SW_astro_close", kAstroSwitch, Normal, Picture::SW_astro_close},
    {Picture::sw_astro_open, "sw_astro_open", kAstroSwitch, Normal, Picture::sw_astro_open},
    {Picture::iISD1_en, "iISD1_en", kEngine1, Normal, Editor::Dimmer1},
    {Picture::dm1_dis, "iISD1_en", kEngine1, Greyed, kNoClick},
    {Picture::iLst_en, "iLst_en", kControlInput, Normal, Picture::iLst_en},
    {Picture::iLST_pol, "iLST_pol", kControlInput, Normal, Picture::iLST_pol},
    {Picture::LST_dis, "iLst_en", kControlInput, Greyed, kNoClick},
    {Picture::SW_lst_close, "SW_lst_close", kLstSwitch, Normal, Picture::SW_lst_close},
    {Picture::sw_lst_open, "sw_lst_open", kLstSwitch, Normal, Picture::sw_lst_open},
    {Picture::sw_hold_on, "sw_hold_on", kHoldSwitch, Normal, Picture::sw_hold_on},
    {Picture::sw_hold_off, "sw_hold_off", kHoldSwitch, Normal, Picture::sw_hold_off},
    {Picture::SW_hold_dis, "SW_hold_dis", kHoldSwitch, Normal, kNoClick},
    {Picture::iTHold_en, "iTHold_en", kHold, Normal, Editor::THold},
    {Picture::HOLD_dis, "iTHold_en", kHold, Greyed, kNoClick},
    {Picture::iISD2_en, "iISD2_en", kEngine2, Normal, Editor::Dimmer2},
    {Picture::dm2_dis, "iISD2_en", kEngine2, Greyed, kNoClick},
    {Picture::iTen, "iTen", kOutput, Normal, Editor::Output},
    {Picture::Dali, "Dali", kOutput, Normal, Editor::Output},
    {Picture::PWM, "PWM", kOutput, Normal, Editor::Output},
    {Picture::SW_Ten, "SW_Ten", kOutputSelector, Normal, Picture::SW_Ten},
    {Picture::SW_DALI, "SW_DALI", kOutputSelector, Normal, Picture::SW_DALI},
    {Picture::SW_PWM, "SW_PWM", kOutputSelector, Normal, Picture::SW_PWM},
    {Picture::iRemote_en, "iRemote_en", kRemote, Normal, Editor::Remote},
    {Picture::rem_dis, "iRemote_en", kRemote, Greyed, kNoClick},
    {Picture::rc_off, "rc_off", kRemoteSelector, Normal, Picture::rc_off},
    {Picture::rc_main, "rc_main", kRemoteSelector, Normal, Picture::rc_main},
    {Picture::rc_lst, "rc_lst", kRemoteSelector, Normal, Picture::rc_lst},
    {Picture::iRelay, "iRelay", kRelay, Normal, Editor::Relay},
};
static_assert(std::size(kPictures) == BlockDiagram::kPictureCount);

// Where a value label sits (its centre and least width) and the editor a click on it opens.
struct LabelPlacement {
    Label label;
    QPoint centre;
    int width;
    Editor editor;
};

constexpr int kRemoteLabelWidth = 94;

// In the order of the Label enum.
const LabelPlacement kLabels[] = {
    {Label::lBlock, {137, 84}, 70, Editor::BlockTime},
    {Label::lPO_Delay, {140, 174}, 80, Editor::StartupDelay},
    {Label::lPO_Fade, {140, 196}, 80, Editor::StartupDelay},
    {Label::lPO_Level, {140, 218}, 80, Editor::StartupDelay},
    {Label::lHold, {306, 559}, 62, Editor::THold},
    {Label::lMinLevel, {797, 222}, 116, Editor::Output},
    {Label::lRemote, {797, 324}, kRemoteLabelWidth, Editor::Remote},
};
static_assert(std::size(kLabels) == BlockDiagram::kLabelCount);

constexpr int kLabelHeight = 16;

// Hover hints: each names its block and says in a line or two what it does. A greyed picture has the
// hint of the picture it covers.
constexpr int kHintMs = 60000;
struct HintRow {
    std::initializer_list<Picture> pictures; // an aggregate keeps the list's array alive with the table
    const char* text;
};
const HintRow kHints[] = {
    {{Picture::MFF_dis, Picture::iMFF_en},
     "MFF (Maintenance Factor Function)\nReduction of the degree to which the luminous flux decreases\nover the "
     "service life of the light source.\n\nBBT (Burn-In Block Time)\nDisable dimming during the burn-in "
     "period\nof conventional light sources."},
    {{Picture::Block_dis, Picture::iTBlock_en},
     "Timer\nAfter power on disable the power reduction/ dimming for\na configurable period of time."},
    {{Picture::iTDpc_en},
     "Power On\nConfigurable delay, fade and level immediately after power on.\n\nDPC (Delayed Switching for "
     "Pedestrian Crossing)\nThe lighting is switched on after a delay or switched off\nmore quickly in the "
     "vicinity of pedestrian crossings.\n\nDOO (Dimmed ON/OFF)\nThe lighting system is fade-in/out."},
    {{Picture::LST_dis, Picture::iLst_en, Picture::iLST_pol}, "230Vac Control Input"},
    {{Picture::Astro_dis, Picture::iISD_en},
     "ISD(Intelligent Switching Time Dimming)\nThe dimming period is derived from the switch-on/off time."},
    {{Picture::HOLD_dis, Picture::iTHold_en}, "Timer\nHold time, increase the impulse width for the control input."},
    {{Picture::dm1_dis, Picture::iISD1_en}, "Dimming Engine 1\nTimer-controlled periods of dimmed light."},
    {{Picture::dm2_dis, Picture::iISD2_en}, "Dimming Engine 2\nTimer-controlled periods of dimmed light."},
    {{Picture::Dali, Picture::iTen}, "Control Output\nConfigurable DALI or 1-10V output"},
    {{Picture::rem_dis, Picture::iRemote_en}, "Remote Control\nAllowing the change of configuration parameters."},
    {{Picture::iRelay}, "Relay\nChangeover relay output"},
};

QString resourcePath(const QString& drawing) {
    return QStringLiteral(":/diagram/%1.svg").arg(drawing);
}

template <typename E> std::size_t index(E value) {
    return static_cast<std::size_t>(value);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// DiagramPicture

DiagramPicture::DiagramPicture(const QString& controlName, QSvgRenderer* renderer, Look look, bool clickable,
                               QWidget* parent)
    : QWidget(parent), renderer_(renderer), look_(look), clickable_(clickable) {
    setObjectName(controlName);
    setAttribute(Qt::WA_TransparentForMouseEvents, false);
    if (clickable_)
        setCursor(Qt::PointingHandCursor);
}

QImage DiagramPicture::greyed(const QImage& image) {
    QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            const QRgb pixel = line[x];
            // Lighten the grey towards white so that a greyed block reads as switched off.
            const int level = 255 - (255 - qGray(pixel)) * 45 / 100;
            line[x] = qRgba(level, level, qMin(255, level + 4), qAlpha(pixel));
        }
    }
    return grey;
}

void DiagramPicture::setHintShown(bool shown) {
    setToolTip(shown ? hint_ : QString());
    setToolTipDuration(shown ? kHintMs : -1);
    if (!shown && QToolTip::isVisible() && underMouse())
        QToolTip::hideText();
}

void DiagramPicture::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    // Without delay: the hint shows the moment the pointer arrives.
    if (!toolTip().isEmpty())
        QToolTip::showText(event->globalPosition().toPoint(), toolTip(), this, rect(), kHintMs);
}

void DiagramPicture::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (!toolTip().isEmpty())
        QToolTip::hideText();
}

void DiagramPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (look_ == Look::Normal) {
        renderer_->render(&painter, QRectF(rect()));
        return;
    }
    // The greyed form is rendered at the pixel density of the surface it goes to, so it stays as sharp as
    // the drawing (the screen's, or an image's when the diagram is rendered into one).
    const qreal ratio = qMax(devicePixelRatioF(), painter.device()->devicePixelRatioF());
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (greyCache_.size() != pixels || !qFuzzyCompare(greyCache_.devicePixelRatio(), ratio)) {
        QImage drawn(pixels, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        {
            QPainter imagePainter(&drawn);
            imagePainter.setRenderHint(QPainter::Antialiasing);
            renderer_->render(&imagePainter, QRectF(QPointF(0, 0), QSizeF(pixels)));
        }
        greyCache_ = greyed(drawn);
        greyCache_.setDevicePixelRatio(ratio);
    }
    painter.drawImage(QPointF(0, 0), greyCache_);
}

void DiagramPicture::mousePressEvent(QMouseEvent* event) {
    // Every picture takes its clicks, so that the one below it never gets them.
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void DiagramPicture::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click && clickable_)
        emit clicked();
}

// ---------------------------------------------------------------------------------------------------------
// DiagramLabel

DiagramLabel::DiagramLabel(const QString& controlName, QPoint centre, int minWidth, QWidget* parent)
    : QLabel(parent), centre_(centre), minWidth_(minWidth) {
    setObjectName(controlName);
    QFont bold = font();
    bold.setPointSize(8);
    bold.setBold(true);
    setFont(bold);
    setAlignment(Qt::AlignCenter);
    // White value field with a thin rim, so that it reads as a value printed on the block.
    setStyleSheet(
        QStringLiteral("QLabel { background: white; color: #1c2b36; border: 1px solid #9fb0bc; border-radius: 3px; }"));
    setCursor(Qt::PointingHandCursor);
    setValue(QString());
}

void DiagramLabel::setValue(const QString& text) {
    setText(text);
    const int width = qMax(minWidth_, QFontMetrics(font()).horizontalAdvance(text) + 8);
    setGeometry(centre_.x() - width / 2, centre_.y() - kLabelHeight / 2, width, kLabelHeight);
}

void DiagramLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void DiagramLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click)
        emit clicked();
}

// ---------------------------------------------------------------------------------------------------------
// BlockDiagram

BlockDiagram::BlockDiagram(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("blockDiagram"));
    setFixedSize(kWidth, kHeight);
    background_ = new QSvgRenderer(resourcePath(QStringLiteral("background")), this);

    for (const PicturePlacement& entry : kPictures) {
        const bool clickable = !std::holds_alternative<std::monostate>(entry.route);
        auto* picture = new DiagramPicture(name(entry.picture), renderer(QLatin1String(entry.drawing)), entry.look,
                                           clickable, this);
        picture->setGeometry(entry.place);
        if (const auto* editor = std::get_if<Editor>(&entry.route))
            connect(picture, &DiagramPicture::clicked, this, [this, e = *editor] { route(e); });
        else if (const auto* which = std::get_if<Picture>(&entry.route))
            connect(picture, &DiagramPicture::clicked, this, [this, w = *which] { route(w); });
        pictures_[index(entry.picture)] = picture;
    }
    for (const HintRow& row : kHints) {
        for (const Picture picture : row.pictures)
            pictures_[index(picture)]->setHint(QString::fromUtf8(row.text));
    }
    // Labels lie on top of every picture.
    for (const LabelPlacement& entry : kLabels) {
        auto* label = new DiagramLabel(name(entry.label), entry.centre, entry.width, this);
        connect(label, &DiagramLabel::clicked, this, [this, e = entry.editor] { route(e); });
        labels_[index(entry.label)] = label;
    }
    showDesignState();
}

BlockDiagram::~BlockDiagram() = default;

QString BlockDiagram::name(Picture picture) {
    return QLatin1String(QMetaEnum::fromType<Picture>().valueToKey(static_cast<int>(picture)));
}

QString BlockDiagram::name(Label label) {
    return QLatin1String(QMetaEnum::fromType<Label>().valueToKey(static_cast<int>(label)));
}

BlockDiagram::ClickKind BlockDiagram::clickKind(Picture picture) {
    const Route& route = kPictures[index(picture)].route;
    if (std::holds_alternative<Editor>(route))
        return ClickKind::OpensEditor;
    return std::holds_alternative<Picture>(route) ? ClickKind::Switch : ClickKind::None;
}

QSvgRenderer* BlockDiagram::renderer(const QString& file) {
    for (const auto& [drawing, renderer] : renderers_) {
        if (drawing == file)
            return renderer;
    }
    auto* renderer = new QSvgRenderer(resourcePath(file), this);
    renderers_.emplace_back(file, renderer);
    return renderer;
}

void BlockDiagram::setFormDisabledSource(std::function<bool()> source) {
    formDisabled_ = std::move(source);
}

bool BlockDiagram::formDisabled() const {
    return formDisabled_ && formDisabled_();
}

void BlockDiagram::route(Editor editor) {
    if (!formDisabled())
        emit openEditor(editor);
}

void BlockDiagram::route(Picture which) {
    if (!formDisabled())
        emit switchClicked(which);
}

DiagramPicture* BlockDiagram::picture(Picture picture) const {
    return pictures_[index(picture)];
}

DiagramLabel* BlockDiagram::label(Label label) const {
    return labels_[index(label)];
}

void BlockDiagram::setHintsEnabled(bool enabled) {
    hintsEnabled_ = enabled;
    for (DiagramPicture* picture : pictures_)
        picture->setHintShown(enabled && !picture->hint().isEmpty());
}

void BlockDiagram::setPictureShown(Picture picture, bool shown) {
    pictures_[index(picture)]->setVisible(shown);
}

bool BlockDiagram::pictureShown(Picture picture) const {
    return !pictures_[index(picture)]->isHidden();
}

QString BlockDiagram::labelText(Label label, ImageView image) {
    switch (label) {
    case Label::lBlock:
        return fromStd(displayTime(blocking::seconds(image)));
    case Label::lPO_Delay:
        return powerOn::randomDelay(image) ? QStringLiteral("D=Random")
                                           : QStringLiteral("D=") + fromStd(displayTime(powerOn::delaySeconds(image)));
    case Label::lPO_Fade:
        return QStringLiteral("F=") + fromStd(displayTime2(powerOn::fadeMillis(image)));
    case Label::lPO_Level:
        return QStringLiteral("L=%1%").arg(powerOn::level(image));
    case Label::lHold:
        return fromStd(displayTime(controlInput::holdSeconds(image)));
    case Label::lMinLevel:
        return QStringLiteral("Min. Level=%1%").arg(output::minLevel(image));
    case Label::lRemote:
        if (remote::mode(image) == RemoteMode::MidNight)
            return QStringLiteral("MidNight");
        return remote::input(image) == RemoteInput::Mains ? QStringLiteral("MidNight Protect")
                                                          : QStringLiteral("Remote DIM");
    }
    return {};
}

void BlockDiagram::showLabel(Label which, ImageView image) {
    DiagramLabel* shown = label(which);
    shown->setValue(labelText(which, image));
    shown->show();
}

void BlockDiagram::hideLabel(Label which) {
    label(which)->hide();
}

void BlockDiagram::showDesignState() {
    // Before the first image: every function off, analogue output, remote control off.
    for (DiagramPicture* picture : pictures_)
        picture->show();
    for (const Picture picture :
         {Picture::Dali, Picture::SW_DALI, Picture::PWM, Picture::SW_PWM, Picture::rc_main, Picture::rc_lst})
        hidePicture(picture);
    for (const Label label : {Label::lBlock, Label::lHold, Label::lRemote})
        hideLabel(label);
    // The power-on labels and the minimum level of an image of zeros.
    const std::array<std::uint8_t, kConfigSize> zeros{};
    for (const Label label : {Label::lMinLevel, Label::lPO_Level, Label::lPO_Delay, Label::lPO_Fade})
        this->label(label)->setValue(labelText(label, zeros));
}

IdleEnginesSwitchedOff BlockDiagram::setDisplay(Image& image) {
    if (image.size() < kConfigSize)
        return {};
    // The rule that an engine without steps is off is applied first; it touches only the two enable bits,
    // which the steps below read.
    const IdleEnginesSwitchedOff cleared = switchOffIdleEngines(image);

    // 1. Control output type.
    const OutputType type = output::type(image);
    const bool dali = output::isDali(type);
    setPictureShown(Picture::Dali, dali);
    setPictureShown(Picture::SW_DALI, dali);
    setPictureShown(Picture::PWM, type == OutputType::Pwm);
    setPictureShown(Picture::SW_PWM, type == OutputType::Pwm);

    // 2. Minimum level (3., the output editor's "Logarithmic" box, follows displayed()).
    showLabel(Label::lMinLevel, image);

    // 4. and 5. Control input and hold time.
    if (controlInput::on(image)) {
        for (const Picture picture : {Picture::LST_dis, Picture::sw_lst_open, Picture::SW_hold_dis, Picture::dm2_dis})
            hidePicture(picture);
        const bool highToLow = controlInput::polarity(image) == LstPolarity::HighToLow;
        setPictureShown(Picture::iLst_en, !highToLow);
        setPictureShown(Picture::iLST_pol, highToLow);
        const bool hold = controlInput::holdOn(image);
        setPictureShown(Picture::HOLD_dis, !hold);
        setPictureShown(Picture::sw_hold_off, !hold);
        if (hold)
            showLabel(Label::lHold, image);
        else
            hideLabel(Label::lHold);
    } else {
        // lHold and sw_hold_off keep their state.
        for (const Picture picture : {Picture::LST_dis, Picture::sw_lst_open, Picture::SW_hold_dis, Picture::HOLD_dis,
                                      Picture::dm2_dis, Picture::iLst_en, Picture::iLST_pol})
            showPicture(picture);
    }

    // 6. Blocking time.
    if (blocking::on(image)) {
        hidePicture(Picture::Block_dis);
        hidePicture(Picture::sw_block_open);
        showPicture(Picture::iTBlock_en);
        showPicture(Picture::SW_block_close);
        showLabel(Label::lBlock, image);
    } else {
        showPicture(Picture::Block_dis);
        showPicture(Picture::sw_block_open);
        hideLabel(Label::lBlock);
    }

    // 7. and 8. Astro clock with ISD and dimming engine 1.
    const bool astroOn = astro::on(image);
    for (const Picture picture : {Picture::Astro_dis, Picture::dm1_dis, Picture::sw_astro_open})
        setPictureShown(picture, !astroOn);

    // 9. Maintenance-factor function.
    const bool mffOn = mff::on(image);
    setPictureShown(Picture::MFF_dis, !mffOn);
    setPictureShown(Picture::sw_mff_off, !mffOn);

    // 10. Remote control.
    const RemoteInput remoteInput = remote::input(image);
    setPictureShown(Picture::rc_off, remoteInput == RemoteInput::Off);
    setPictureShown(Picture::rc_main, remoteInput == RemoteInput::Mains);
    setPictureShown(Picture::rc_lst, remoteInput == RemoteInput::Lst);
    setPictureShown(Picture::rem_dis, remoteInput == RemoteInput::Off);
    remoteDimActive_ = remote::remoteDim(image);
    if (remoteInput == RemoteInput::Off) {
        hideLabel(Label::lRemote);
    } else {
        // From the LSt input the remote editor opens, exactly as a click on the block: not while the window
        // is locked.
        if (remoteInput == RemoteInput::Lst)
            route(Editor::Remote);
        showLabel(Label::lRemote, image);
    }

    // 11. Thermal management.
    const bool thermalOn = thermal::enabled(image);
    setPictureShown(Picture::sw_tm_on, thermalOn);
    setPictureShown(Picture::sw_tm_off, !thermalOn);
    setPictureShown(Picture::iTM_dis, !thermalOn);

    // 12. to 14. Power-on level, delay and fade (13.'s "Random" box of the power-on editor follows displayed()).
    for (const Label label : {Label::lPO_Level, Label::lPO_Delay, Label::lPO_Fade})
        showLabel(label, image);

    emit displayed();
    return cleared;
}
void BlockDiagram::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    background_->render(&painter, QRectF(rect()));
}

} // namespace lumeq
