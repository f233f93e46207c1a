#pragma once
// The teal value-slider strip shared by the editor panels. Every value of a panel sits in a read-only
// edit; clicking an edit makes it the strip's active edit, and the scroll bar (with a range selector for
// durations and fades) then rewrites that edit's text. The strip applies the rules of model/valueentry.h
// so that an editor only has to wire its edits to clickEdit().

#include "model/valueentry.h"

#include <QFrame>
#include <QPointer>
#include <QString>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QScrollBar;

namespace lumeq {

class ValueSlider : public QFrame {
    Q_OBJECT

public:
    static constexpr int kDefaultWidth = 300;
    static constexpr int kDefaultHeight = 28;

    // The object names are those of the editor's design: the strip itself, its scroll bar and its range
    // selector (for example "pPOSlider", "sbPU", "combRange").
    ValueSlider(QWidget* parent, const QString& stripName, const QString& sliderName, const QString& selectorName);

    // Makes an edit the active edit. `tag` is step * 16 + entry mode (sliderTag()); the mode picks the edit:
    // Level the level edit, Duration and TimeOfDay the duration/time edit, Fade the fade edit. Sets the
    // limits, position and range from the edit's text, fills or hides the range selector and colours the
    // active edit teal and the other given edits (and a previously active one) in the normal text colour.
    // A level or clock-time edit is then rewritten from the slider; a duration or fade edit only when the
    // slider had to move (a value that lies on its position stays as it is shown, 15:45:00 included when
    // the slider already stood at 60). Any edit may be null. Returns false, changing nothing, when the tag holds no
    // entry mode, the edit for the mode is null, or the text cannot be read (conversionError is emitted then).
    bool clickEdit(int tag, QLineEdit* durationOrTimeEdit, QLineEdit* levelEdit, QLineEdit* fadeEdit, int minLevel);

    // Range and position for a duration or fade value (mode Duration or Fade), with the mode's ranges in
    // the selector. A non-null `edit` becomes the active edit first (an editor with a single duration
    // edit uses this instead of clickEdit); otherwise the active edit stays. Keeps the step of the tag.
    void initSlider(int value, EntryMode mode, QLineEdit* edit = nullptr);

    // Other texts for the four items of the range selector in the Duration or Fade mode, for an editor whose
    // design writes them its own way ("->00:01:00" for "-> 00:01:00"). Only the texts change: the ranges
    // behind the items and every rule stay those of the mode. A list of another length is ignored.
    void setRangeItems(EntryMode mode, const QStringList& items);

    // Forgets the active edit and gives it the normal text colour again (OK and Cancel of a panel).
    void deactivate();

    // Teal text for the active edit, the normal text colour otherwise. Editors use it to reset all edits.
    static void setEditColour(QLineEdit* edit, bool active);

    int tag() const { return tag_; }
    // Entry mode of the tag; Level before the first activation.
    EntryMode mode() const { return mode_; }
    QLineEdit* activeEdit() const;
    // Index of the selected range, kNoRange in level and time-of-day mode.
    int range() const { return range_; }
    QScrollBar* slider() const { return slider_; }
    QComboBox* rangeSelector() const { return selector_; }

    QSize sizeHint() const override;

signals:
    // The strip rewrote the text of the active edit (slider moved or range chosen).
    void valueChanged();
    // The active edit's text is no time the strip can read; nothing was changed.
    void conversionError(const QString& message);

private:
    void applySliderRule();
    void applyRangeRule(int index);
    void selectRange(int value);
    // Limits and position in one go; the slider rule runs once afterwards if the position moved, or
    // always when `alwaysWrite` is set.
    void applyLimits(int minimum, int maximum, int position, bool alwaysWrite);
    void fillSelector(EntryMode mode);
    void makeActive(QLineEdit* edit, QLineEdit* durationOrTimeEdit, QLineEdit* levelEdit, QLineEdit* fadeEdit);
    void writeActive(const QString& text);

    QScrollBar* slider_ = nullptr;
    QComboBox* selector_ = nullptr;
    QStringList durationItems_; // empty: the mode's own item texts
    QStringList fadeItems_;
    QPointer<QLineEdit> activeEdit_;
    int tag_ = 0;
    EntryMode mode_ = EntryMode::Level;
    int range_ = kNoRange;
    bool settingLimits_ = false;
};

} // namespace lumeq
