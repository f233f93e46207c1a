#pragma once
// The block diagram: the module's wiring with one picture per function block, a switch picture on the
// line behind most blocks and small value labels. It is drawn from the configuration image by
// setDisplay() and routes every click on a block, a label or a switch to the window.

#include "model/image.h"

#include <QHash>
#include <QImage>
#include <QLabel>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

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

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QSvgRenderer* renderer_;
    Look look_;
    bool clickable_;
    bool pressed_ = false;
    QImage greyCache_;
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

// The two radio buttons of the remote-control editor, as the diagram presets and reads them.
struct RemoteChoice {
    bool midnight = false;                                      // rbMN checked
    bool remoteChecked = false;                                 // rbRemote checked
    QString remoteCaption = QStringLiteral("MidNight Protect"); // rbRemote caption

    bool operator==(const RemoteChoice&) const = default;
};

// What setDisplay() asks of the editor panels. Every hook is optional; without a host the diagram keeps
// the remote choice itself and draws its labels from that.
struct DiagramHooks {
    std::function<void(bool checked)> setDaliLog;                 // cbDaliLog of the output editor
    std::function<void()> checkRandomDelay;                       // tick cbRandom, with its click effects
    std::function<void(const RemoteChoice& choice)> presetRemote; // set rbMN / rbRemote
    std::function<RemoteChoice()> remoteChoice;                   // rbMN / rbRemote as the editor shows them
};

class BlockDiagram : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 1039;
    static constexpr int kHeight = 578;

    // The editor panel a block or a value label opens.
    enum class Editor { BlockTime, MFF, ThermoM, StartupDelay, ISD, Dimmer1, THold, Dimmer2, Output, Remote, Relay };
    Q_ENUM(Editor)

    // Switch pictures and the two polarity pictures of the control input, named after their controls.
    enum class Switch {
        SW_block_close,
        sw_block_open,
        SW_mff_on,
        sw_mff_off,
        sw_tm_on,
        sw_tm_off,
        SW_astro_close,
        sw_astro_open,
        SW_lst_close,
        sw_lst_open,
        sw_hold_on,
        sw_hold_off,
        SW_Ten,
        SW_PWM,
        SW_DALI,
        rc_off,
        rc_main,
        rc_lst,
        iLst_en,
        iLST_pol,
    };
    Q_ENUM(Switch)

    explicit BlockDiagram(QWidget* parent = nullptr);
    ~BlockDiagram() override;

    void setHooks(DiagramHooks hooks);
    // The window's interlock: while it answers true, every click on the diagram does nothing.
    void setFormDisabledSource(std::function<bool()> source);
    bool formDisabled() const;

    // Redraws every picture and label from the image and writes back the enable bits of the control
    // input (byte 0 bit 3) and the astro clock (byte 0 bit 2) when their engine holds no step. An image
    // shorter than the configuration is left alone.
    void setDisplay(Image& image);

    // lRemote: "MidNight" when rbMN is checked, otherwise the caption of rbRemote; shown, 94 pixels wide.
    void displayRemote();

    // The remote control uses the LSt input with "Remote DIM" chosen; the LSt and astro switches then
    // refuse to close.
    bool remoteDimActive() const { return remoteDimActive_; }
    void setRemoteDimActive(bool active) { remoteDimActive_ = active; }

    // The remote choice displayRemote() reads: the host's, else the diagram's own copy.
    RemoteChoice remoteChoice() const;
    void setRemoteChoice(const RemoteChoice& choice) { remote_ = choice; }

    // Pictures and labels by control name (nullptr for an unknown name).
    DiagramPicture* picture(const QString& name) const { return pictures_.value(name); }
    DiagramLabel* label(const QString& name) const { return labels_.value(name); }
    QStringList pictureNames() const { return pictureOrder_; }
    QStringList labelNames() const { return labels_.keys(); }
    void setShown(const QString& name, bool shown);
    // Editors set label texts through this, so that the label keeps its place and fits its text.
    void setLabelText(const QString& name, const QString& text);

signals:
    void openEditor(lumeq::BlockDiagram::Editor editor);
    void switchClicked(lumeq::BlockDiagram::Switch which);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer* renderer(const QString& file);
    void route(Editor editor);
    void route(Switch which);
    void showDesignState();
    void showControl(const char* name) { setShown(QLatin1String(name), true); }
    void hideControl(const char* name) { setShown(QLatin1String(name), false); }

    DiagramHooks hooks_;
    std::function<bool()> formDisabled_;
    RemoteChoice remote_;
    bool remoteDimActive_ = false;

    QSvgRenderer* background_ = nullptr;
    QHash<QString, QSvgRenderer*> renderers_;
    QHash<QString, DiagramPicture*> pictures_;
    QStringList pictureOrder_;
    QHash<QString, DiagramLabel*> labels_;
};

} // namespace lumeq
