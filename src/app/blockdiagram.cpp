#include "app/blockdiagram.h"

#include "model/layout.h"
#include "model/timecode.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>

#include <utility>
#include <variant>

namespace lumeq {

namespace {

using Editor = BlockDiagram::Editor;
using Switch = BlockDiagram::Switch;

// What a click on a picture does: open an editor, act as a switch, or nothing (greyed pictures).
using Route = std::variant<std::monostate, Editor, Switch>;

struct PictureSpec {
    const char* name;
    const char* drawing; // the SVG it shows; a greyed picture shows its enabled picture greyed
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

// Bottom to top: a greyed picture lies above its block, an open switch above the closed one, PWM above
// DALI above 1-10V.
const PictureSpec kPictures[] = {
    {"iTBlock_en", "iTBlock_en", kTBlock, Normal, Editor::BlockTime},
    {"Block_dis", "iTBlock_en", kTBlock, Greyed, {}},
    {"SW_block_close", "SW_block_close", kTBlockSwitch, Normal, Switch::SW_block_close},
    {"sw_block_open", "sw_block_open", kTBlockSwitch, Normal, Switch::sw_block_open},
    {"iMFF_en", "iMFF_en", kMff, Normal, Editor::MFF},
    {"MFF_dis", "iMFF_en", kMff, Greyed, {}},
    {"SW_mff_on", "SW_mff_on", kMffSwitch, Normal, Switch::SW_mff_on},
    {"sw_mff_off", "sw_mff_off", kMffSwitch, Normal, Switch::sw_mff_off},
    {"iTM", "iTM", kThermo, Normal, Editor::ThermoM},
    {"iTM_dis", "iTM", kThermo, Greyed, {}},
    {"sw_tm_on", "sw_tm_on", kThermoSwitch, Normal, Switch::sw_tm_on},
    {"sw_tm_off", "sw_tm_off", kThermoSwitch, Normal, Switch::sw_tm_off},
    {"iTDpc_en", "iTDpc_en", kPowerOn, Normal, Editor::StartupDelay},
    {"iISD_en", "iISD_en", kIsd, Normal, Editor::ISD},
    {"Astro_dis", "iISD_en", kIsd, Greyed, {}},
    {"SW_astro_close", "SW_astro_close", kAstroSwitch, Normal, Switch::SW_astro_close},
    {"sw_astro_open", "sw_astro_open", kAstroSwitch, Normal, Switch::sw_astro_open},
    {"iISD1_en", "iISD1_en", kEngine1, Normal, Editor::Dimmer1},
    {"dm1_dis", "iISD1_en", kEngine1, Greyed, {}},
    {"iLst_en", "iLst_en", kControlInput, Normal, Switch::iLst_en},
    {"iLST_pol", "iLST_pol", kControlInput, Normal, Switch::iLST_pol},
    {"LST_dis", "iLst_en", kControlInput, Greyed, {}},
    {"SW_lst_close", "SW_lst_close", kLstSwitch, Normal, Switch::SW_lst_close},
    {"sw_lst_open", "sw_lst_open", kLstSwitch, Normal, Switch::sw_lst_open},
    {"sw_hold_on", "sw_hold_on", kHoldSwitch, Normal, Switch::sw_hold_on},
    {"sw_hold_off", "sw_hold_off", kHoldSwitch, Normal, Switch::sw_hold_off},
    {"SW_hold_dis", "SW_hold_dis", kHoldSwitch, Normal, {}},
    {"iTHold_en", "iTHold_en", kHold, Normal, Editor::THold},
    {"HOLD_dis", "iTHold_en", kHold, Greyed, {}},
    {"iISD2_en", "iISD2_en", kEngine2, Normal, Editor::Dimmer2},
    {"dm2_dis", "iISD2_en", kEngine2, Greyed, {}},
    {"iTen", "iTen", kOutput, Normal, Editor::Output},
    {"Dali", "Dali", kOutput, Normal, Editor::Output},
    {"PWM", "PWM", kOutput, Normal, Editor::Output},
    {"SW_Ten", "SW_Ten", kOutputSelector, Normal, Switch::SW_Ten},
    {"SW_DALI", "SW_DALI", kOutputSelector, Normal, Switch::SW_DALI},
    {"SW_PWM", "SW_PWM", kOutputSelector, Normal, Switch::SW_PWM},
    {"iRemote_en", "iRemote_en", kRemote, Normal, Editor::Remote},
    {"rem_dis", "iRemote_en", kRemote, Greyed, {}},
    {"rc_off", "rc_off", kRemoteSelector, Normal, Switch::rc_off},
    {"rc_main", "rc_main", kRemoteSelector, Normal, Switch::rc_main},
    {"rc_lst", "rc_lst", kRemoteSelector, Normal, Switch::rc_lst},
    {"iRelay", "iRelay", kRelay, Normal, Editor::Relay},
};

struct LabelSpec {
    const char* name;
    QPoint centre;
    int width;
    Editor editor;
};

constexpr int kRemoteLabelWidth = 94;

const LabelSpec kLabels[] = {
    {"lBlock", {137, 84}, 70, Editor::BlockTime},
    {"lPO_Delay", {140, 174}, 80, Editor::StartupDelay},
    {"lPO_Fade", {140, 196}, 80, Editor::StartupDelay},
    {"lPO_Level", {140, 218}, 80, Editor::StartupDelay},
    {"lHold", {306, 559}, 62, Editor::THold},
    {"lMinLevel", {797, 222}, 116, Editor::Output},
    {"lRemote", {797, 324}, kRemoteLabelWidth, Editor::Remote},
};

constexpr int kLabelHeight = 16;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QString resourcePath(const QString& drawing) {
    return QStringLiteral(":/diagram/%1.svg").arg(drawing);
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

    for (const PictureSpec& entry : kPictures) {
        const QString name = QLatin1String(entry.name);
        const bool clickable = !std::holds_alternative<std::monostate>(entry.route);
        auto* picture = new DiagramPicture(name, renderer(QLatin1String(entry.drawing)), entry.look, clickable, this);
        picture->setGeometry(entry.place);
        if (const auto* editor = std::get_if<Editor>(&entry.route))
            connect(picture, &DiagramPicture::clicked, this, [this, e = *editor] { route(e); });
        else if (const auto* which = std::get_if<Switch>(&entry.route))
            connect(picture, &DiagramPicture::clicked, this, [this, w = *which] { route(w); });
        pictures_.insert(name, picture);
        pictureOrder_.append(name);
    }
    // Labels lie on top of every picture.
    for (const LabelSpec& entry : kLabels) {
        const QString name = QLatin1String(entry.name);
        auto* label = new DiagramLabel(name, entry.centre, entry.width, this);
        connect(label, &DiagramLabel::clicked, this, [this, e = entry.editor] { route(e); });
        labels_.insert(name, label);
    }
    showDesignState();
}

BlockDiagram::~BlockDiagram() = default;

QSvgRenderer* BlockDiagram::renderer(const QString& file) {
    QSvgRenderer*& renderer = renderers_[file];
    if (!renderer)
        renderer = new QSvgRenderer(resourcePath(file), this);
    return renderer;
}

void BlockDiagram::setHooks(DiagramHooks hooks) {
    hooks_ = std::move(hooks);
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

void BlockDiagram::route(Switch which) {
    if (!formDisabled())
        emit switchClicked(which);
}

void BlockDiagram::setShown(const QString& name, bool shown) {
    if (DiagramPicture* picture = pictures_.value(name))
        picture->setVisible(shown);
    else if (DiagramLabel* label = labels_.value(name))
        label->setVisible(shown);
}

void BlockDiagram::setLabelText(const QString& name, const QString& text) {
    if (DiagramLabel* label = labels_.value(name))
        label->setValue(text);
}

RemoteChoice BlockDiagram::remoteChoice() const {
    return hooks_.remoteChoice ? hooks_.remoteChoice() : remote_;
}

void BlockDiagram::showDesignState() {
    // Before the first image: every function off, analogue output, remote control off.
    for (DiagramPicture* picture : std::as_const(pictures_))
        picture->show();
    for (const char* name : {"Dali", "SW_DALI", "PWM", "SW_PWM", "rc_main", "rc_lst"})
        hideControl(name);
    for (const char* name : {"lBlock", "lHold", "lRemote"})
        hideControl(name);
    setLabelText(QStringLiteral("lMinLevel"), QStringLiteral("Min. Level=0%"));
    setLabelText(QStringLiteral("lPO_Level"), QStringLiteral("L=0%"));
    setLabelText(QStringLiteral("lPO_Delay"), QStringLiteral("D=0"));
    setLabelText(QStringLiteral("lPO_Fade"), QStringLiteral("F=0"));
}

void BlockDiagram::displayRemote() {
    const RemoteChoice choice = remoteChoice();
    DiagramLabel* lRemote = labels_.value(QStringLiteral("lRemote"));
    lRemote->setValue(choice.midnight ? QStringLiteral("MidNight") : choice.remoteCaption);
    lRemote->show();
}

void BlockDiagram::setDisplay(Image& image) {
    if (image.size() < kConfigSize)
        return;
    std::uint8_t& flags = image[img::Flags];

    // 1. Control output type.
    if (TestBit(flags, img::FlagDali)) {
        showControl("Dali");
        showControl("SW_DALI");
        hideControl("PWM");
        hideControl("SW_PWM");
    } else {
        hideControl("Dali");
        hideControl("SW_DALI");
        const bool pwm = TestBit(flags, img::FlagLinearOrPwm);
        setShown(QStringLiteral("PWM"), pwm);
        setShown(QStringLiteral("SW_PWM"), pwm);
    }

    // 2. Minimum level.
    setLabelText(QStringLiteral("lMinLevel"), QStringLiteral("Min. Level=%1%").arg(image[img::MinLevel]));
    showControl("lMinLevel");

    // 3. The output editor's "Logarithmic" box.
    if (hooks_.setDaliLog)
        hooks_.setDaliLog(!TestBit(flags, img::FlagLinearOrPwm));

    // 4. A control input without a step of dimming engine 2 is off.
    if (image[img::Engine2FirstLevel] == img::EmptyStep)
        flags = ClearBit(flags, img::FlagLst);

    // 5. Control input and hold time.
    if (TestBit(flags, img::FlagLst)) {
        for (const char* name : {"LST_dis", "sw_lst_open", "SW_hold_dis", "dm2_dis"})
            hideControl(name);
        const bool highToLow = TestBit(flags, img::FlagLstHighLow);
        setShown(QStringLiteral("iLst_en"), !highToLow);
        setShown(QStringLiteral("iLST_pol"), highToLow);
        if (image[img::HoldTime] != 0) {
            hideControl("HOLD_dis");
            hideControl("sw_hold_off");
            setLabelText(QStringLiteral("lHold"), qs(displayTime(DecodeTime(image[img::HoldTime]))));
            showControl("lHold");
        } else {
            showControl("HOLD_dis");
            showControl("sw_hold_off");
            hideControl("lHold");
        }
    } else {
        // lHold and sw_hold_off keep their state.
        for (const char* name : {"LST_dis", "sw_lst_open", "SW_hold_dis", "HOLD_dis", "dm2_dis", "iLst_en", "iLST_pol"})
            showControl(name);
    }

    // 6. Blocking time.
    if (image[img::BlockTime] != 0) {
        hideControl("Block_dis");
        hideControl("sw_block_open");
        showControl("iTBlock_en");
        showControl("SW_block_close");
        setLabelText(QStringLiteral("lBlock"), qs(displayTime(image[img::BlockTime] * 5)));
        showControl("lBlock");
    } else {
        showControl("Block_dis");
        showControl("sw_block_open");
        hideControl("lBlock");
    }

    // 7. An astro clock without a step of dimming engine 1 is off.
    if (image[img::Engine1FirstLevel] == img::EmptyStep)
        flags = ClearBit(flags, img::FlagAstro);

    // 8. Astro clock with ISD and dimming engine 1.
    const bool astro = TestBit(flags, img::FlagAstro);
    for (const char* name : {"Astro_dis", "dm1_dis", "sw_astro_open"})
        setShown(QLatin1String(name), !astro);

    // 9. Maintenance-factor function.
    const bool mff = image[img::MffLifetime] != 0;
    setShown(QStringLiteral("MFF_dis"), !mff);
    setShown(QStringLiteral("sw_mff_off"), !mff);

    // 10. Remote control.
    const std::uint8_t mode = image[img::Options] & img::RemoteModeMask;
    if (TestBit(flags, img::FlagRemoteMains)) {
        hideControl("rc_off");
        showControl("rc_main");
        hideControl("rc_lst");
        hideControl("rem_dis");
        remote_ = RemoteChoice{mode == 0x10, mode == 0x30, QStringLiteral("MidNight Protect")};
        if (hooks_.presetRemote)
            hooks_.presetRemote(remote_);
        remoteDimActive_ = false;
        displayRemote();
    } else if (TestBit(flags, img::FlagRemoteLst)) {
        hideControl("rc_main");
        showControl("rc_lst");
        hideControl("rc_off");
        hideControl("rem_dis");
        // Exactly as a click on the block: opens the remote editor unless the window is locked.
        route(Editor::Remote);
        remote_ = RemoteChoice{mode == 0x10, mode == 0x20, QStringLiteral("Remote DIM")};
        if (hooks_.presetRemote)
            hooks_.presetRemote(remote_);
        remoteDimActive_ = remote_.remoteChecked;
        displayRemote();
    } else {
        showControl("rc_off");
        hideControl("rc_main");
        hideControl("rc_lst");
        showControl("rem_dis");
        hideControl("lRemote");
        remoteDimActive_ = false;
    }

    // 11. Thermal management.
    const bool thermal = TestBit(flags, img::FlagThermal);
    setShown(QStringLiteral("sw_tm_on"), thermal);
    setShown(QStringLiteral("sw_tm_off"), !thermal);
    setShown(QStringLiteral("iTM_dis"), !thermal);

    // 12. Power-on level.
    setLabelText(QStringLiteral("lPO_Level"), QStringLiteral("L=%1%").arg(image[img::PowerOnLevel]));

    // 13. Power-on delay.
    if (image[img::PowerOnDelay] == 255) {
        setLabelText(QStringLiteral("lPO_Delay"), QStringLiteral("D=Random"));
        if (hooks_.checkRandomDelay)
            hooks_.checkRandomDelay();
    } else {
        setLabelText(QStringLiteral("lPO_Delay"),
                     QStringLiteral("D=") + qs(displayTime(DecodeTime(image[img::PowerOnDelay]))));
    }

    // 14. Power-on fade.
    setLabelText(QStringLiteral("lPO_Fade"),
                 QStringLiteral("F=") + qs(displayTime2(DecodeTime(image[img::PowerOnFade]))));
}

void BlockDiagram::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    background_->render(&painter, QRectF(rect()));
}

} // namespace lumeq
