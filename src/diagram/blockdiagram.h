#pragma once
// The block diagram: the module's wiring with one picture per function block, a switch picture on the
// line behind most blocks and small value labels. It is drawn from the configuration image by
// setDisplay() and routes every click on a block, a label or a switch to the editors.
//
// Pictures and labels are addressed by the enums Picture and Label, whose keys are the controls' object
// names; the texts of the labels are made here, from the image, and nowhere else.

#include "model/image.h"
#include "model/settings.h"

#include <QImage>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QSvgRenderer;

namespace lumeq {

// One picture of the diagram, drawn from its SVG resource. A greyed picture shows the picture it lies
// over, desaturated and lightened; it takes clicks so that the picture below gets none, and does nothing
// with them.
class DiagramPicture : public QWidget {
    Q_OBJECT

public:
    enum class Look { Normal, Greyed };

    DiagramPicture(const QString& controlName, QSvgRenderer* renderer, Look look, bool clickable, QWidget* parent);

    bool isClickable() const { return clickable_; }
    bool isGreyed() const { return look_ == Look::Greyed; }

    // The greyed form of an image: desaturated and lightened, alpha kept.
    static QImage greyed(const QImage& image);

    // The hover hint: shown at once when the pointer rests on the picture, for up to a minute, while
    // hints are switched on; an empty text means the picture has none.
    void setHint(const QString& text) { hint_ = text; }
    QString hint() const { return hint_; }
    void setHintShown(bool shown);

signals:
    void clicked();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QSvgRenderer* renderer_;
    Look look_;
    bool clickable_;
    bool pressed_ = false;
    QImage greyCache_;
    QString hint_;
};

// A value label printed on a block: 8-point bold on white, opens the block's editor when clicked.
class DiagramLabel : public QLabel {
    Q_OBJECT

public:
    DiagramLabel(const QString& controlName, QPoint centre, int minWidth, QWidget* parent);

    // Sets the text and widens the label around its centre when the text needs more than its width.
    void setValue(const QString& text);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPoint centre_;
    int minWidth_;
    bool pressed_ = false;
};

class BlockDiagram : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 1039;
    static constexpr int kHeight = 578;

    // The editor panel a block or a value label opens.
    enum class Editor { BlockTime, MFF, ThermoM, StartupDelay, ISD, Dimmer1, THold, Dimmer2, Output, Remote, Relay };
    Q_ENUM(Editor)

    // Every picture, named after its control, in stacking order from the bottom up: a greyed picture lies
    // above its block, an open switch above the closed one, PWM above DALI above 1-10V.
    enum class Picture {
        iTBlock_en,
        Block_dis,
        SW_block_close,
        sw_block_open,
        iMFF_en,
        MFF_dis,
        SW_mff_on,
        sw_mff_off,
        iTM,
        iTM_dis,
        sw_tm_on,
        sw_tm_off,
        iTDpc_en,
        iISD_en,
        Astro_dis,
        SW_astro_close,
        sw_astro_open,
        iISD1_en,
        dm1_dis,
        iLst_en,
        iLST_pol,
        LST_dis,
        SW_lst_close,
        sw_lst_open,
        sw_hold_on,
        sw_hold_off,
        SW_hold_dis,
        iTHold_en,
        HOLD_dis,
        iISD2_en,
        dm2_dis,
        iTen,
        Dali,
        PWM,
        SW_Ten,
        SW_DALI,
        SW_PWM,
        iRemote_en,
        rem_dis,
        rc_off,
        rc_main,
        rc_lst,
        iRelay,
    };
    Q_ENUM(Picture)
    static constexpr int kPictureCount = static_cast<int>(Picture::iRelay) + 1;

    // The value labels, named after their controls.
    enum class Label { lBlock, lPO_Delay, lPO_Fade, lPO_Level, lHold, lMinLevel, lRemote };
    Q_ENUM(Label)
    static constexpr int kLabelCount = static_cast<int>(Label::lRemote) + 1;

    // What a click on a picture does: opens an editor, acts as a switch (switchClicked), or nothing.
    enum class ClickKind { None, OpensEditor, Switch };
    static ClickKind clickKind(Picture picture);

    explicit BlockDiagram(QWidget* parent = nullptr);
    ~BlockDiagram() override;

    static QString name(Picture picture);
    static QString name(Label label);

    // The window's interlock: while it answers true, every click on the diagram does nothing.
    void setFormDisabledSource(std::function<bool()> source);
    bool formDisabled() const;

    // Redraws every picture and label from the image. Before it draws, it switches off in the image the
    // control input (byte 0 bit 3) and the astro clock (byte 0 bit 2) when their dimming engine holds no
    // step: those two bits are the only bytes it writes, and the result says which it cleared. An image
    // shorter than the configuration is left alone. Emits displayed() at the end.
    IdleEnginesSwitchedOff setDisplay(Image& image);

    // The text a value label shows for the image.
    static QString labelText(Label label, ImageView image);
    // Sets the label's text from the image and shows it.
    void showLabel(Label label, ImageView image);
    void hideLabel(Label label);

    void setPictureShown(Picture picture, bool shown);
    void showPicture(Picture picture) { setPictureShown(picture, true); }
    void hidePicture(Picture picture) { setPictureShown(picture, false); }
    bool pictureShown(Picture picture) const;

    // The remote control uses the LSt input with "Remote DIM" chosen; the LSt and astro switches then
    // refuse to close. setDisplay sets it from the image; the remote-control editor changes it.
    bool remoteDimActive() const { return remoteDimActive_; }
    void setRemoteDimActive(bool active) { remoteDimActive_ = active; }

    DiagramPicture* picture(Picture picture) const;
    DiagramLabel* label(Label label) const;

    // Hover hints of the pictures that have one ("Show Hints"); off at first.
    void setHintsEnabled(bool enabled);
    bool hintsEnabled() const { return hintsEnabled_; }

signals:
    void openEditor(lumeq::BlockDiagram::Editor editor);
    void switchClicked(lumeq::BlockDiagram::Picture which);
    // setDisplay has drawn the whole image.
    void displayed();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer* renderer(const QString& file);
    void route(Editor editor);
    void route(Picture which);
    void showDesignState();

    std::function<bool()> formDisabled_;
    bool remoteDimActive_ = false;
    bool hintsEnabled_ = false;

    QSvgRenderer* background_ = nullptr;
    std::vector<std::pair<QString, QSvgRenderer*>> renderers_;
    std::array<DiagramPicture*, kPictureCount> pictures_{};
    std::array<DiagramLabel*, kLabelCount> labels_{};
};

} // namespace lumeq
