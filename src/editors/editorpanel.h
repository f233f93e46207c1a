#pragma once
// The one contract of the editor panels, and the pieces every panel is built from.
//
// A block editor (EditorPanel) opens when its block or value label is clicked: open() does nothing while
// the interlock is set, otherwise fill() sets the panel from the image, the panel shows and sets the
// interlock. OK runs apply(), which writes only the editor's own bytes (through the setting codecs of
// model/settings.h) and updates only its own block's pictures and labels; then the panel closes and the
// interlock clears. Cancel runs discard(), which writes nothing, and closes the panel. Switch pictures of
// the diagram that belong to the editor reach switchClicked().
//
// A new editor is a class derived from EditorPanel in its own file pair and one row in the table of
// editorset.cpp; the window does not change.

#include "diagram/blockdiagram.h"
#include "editors/editorhost.h"

#include <QColor>
#include <QFrame>
#include <QRect>

#include <functional>

class QGroupBox;
class QLabel;
class QScrollBar;
class QLineEdit;
class QPushButton;

namespace lumeq {

class EditorSet;
class ValueSlider;

// The colours of the editor panels.
namespace palette {
inline const QColor kMainGroup(192, 220, 192);      // money green: main settings, used steps
inline const QColor kSecondaryGroup(166, 202, 240); // sky blue: secondary settings
inline const QColor kEmptyStep(192, 192, 192);      // silver: empty dimming-engine steps
inline const QColor kTeal(0, 128, 128);             // value slider strips and the active edit
inline const QColor kCurve(255, 0, 0);              // curves drawn on charts

// Fills the widget's background with the colour.
void fill(QWidget* widget, const QColor& colour);
} // namespace palette

// A text label named `name`, placed in `parent`.
QLabel* addLabel(QWidget* parent, const QString& name, const QString& text, QRect place,
                 Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
// A horizontal scroll bar named `name` with its range and page step, placed in `parent`.
QScrollBar* addScrollBar(QWidget* parent, const QString& name, int minimum, int maximum, int pageStep, QRect place);
// Runs `pressed` on a left mouse press on `watched` and keeps the press from it (a help panel that closes
// on a click).
void onLeftPress(QWidget* watched, std::function<void()> pressed);

// A panel over the diagram: access to the host and the building blocks every panel uses.
class Panel : public QFrame {
    Q_OBJECT

public:
    Panel(EditorHost& host, const QString& objectName, QRect place, QWidget* parent);

    // Called once every panel of the set exists, so that a panel can find the panels it works with.
    virtual void connectPanels(EditorSet& /*set*/) {}
    // Start-up, once the first image is on show.
    virtual void startUp() {}

protected:
    EditorHost& host() const { return host_; }
    Image& image() const { return host_.image(); }
    BlockDiagram& diagram() const { return host_.diagram(); }
    // The image holds a configuration (96 bytes at least); panels leave anything shorter alone.
    bool imageUsable() const;

    // A group box in one of the palette's colours, placed in `parent`.
    QGroupBox* addGroup(QWidget* parent, const char* name, const QString& caption, const QColor& colour, QRect place);
    // A read-only, bold, right-aligned value edit with a hand cursor; `clicked` runs on a left click.
    QLineEdit* addValueEdit(QWidget* parent, const char* name, QRect place, std::function<void()> clicked);
    // The OK (tick) and Cancel (no-entry) buttons.
    QPushButton* addOkButton(QWidget* parent, const char* name, QRect place, std::function<void()> clicked);
    QPushButton* addCancelButton(QWidget* parent, const char* name, QRect place, std::function<void()> clicked);
    // The teal value-slider strip, hidden until an edit is clicked (its range selector shows only for
    // durations and fades).
    ValueSlider* addValueSlider(QWidget* parent, const char* stripName, const char* sliderName,
                                const char* selectorName, QRect place);

private:
    EditorHost& host_;
};

class EditorPanel : public Panel {
    Q_OBJECT

public:
    using Panel::Panel;

    // The block's opening routine (a click on the block or its label).
    void open();
    // OK and Cancel.
    void ok();
    void cancel();

    // A click on one of the editor's switch pictures; the diagram has checked the interlock.
    virtual void switchClicked(BlockDiagram::Picture /*which*/) {}
    // The diagram has been drawn afresh from the whole image.
    virtual void imageRedrawn() {}

protected:
    // Sets the panel from the image before it shows.
    virtual void fill() = 0;
    // OK: writes the editor's own bytes and updates its own block. Runs while the interlock is still set.
    virtual void apply() = 0;
    // Cancel: restores the block's pictures where a switch opened the editor; writes nothing.
    virtual void discard() {}
    // Hides the panel (and its slider strips) and clears the interlock.
    void close();
    // Every value slider strip of the panel is hidden and its active edit returns to the normal colour.
    void hideSliders();
};

} // namespace lumeq
