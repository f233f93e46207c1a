#pragma once
// The editors of the two dimming engines' step tables: pDimmer1 (dimming engine 1, on the astro clock:
// a switching time per step) and pDimmer2 (dimming engine 2, on the control input LSt: a delay per step).
// Both are one editor, DimmingEngineEditor, parameterised by an EngineDesign (control names, places,
// texts) and by the few rules in which the engines differ, which the two thin subclasses supply.
//
// While the panel is open the editor works on a copy of the step table (the step buffer). Each step shows
// in an EngineStep: its first byte (time of day or delay), its fade speed and its level in read-only edits
// changed through the shared value slider, its relay state in two radio buttons, and a delete box beside
// it. Used steps are money green, empty ones silver; only the used steps and the first empty one can be
// edited, and activating the level edit of the first empty step adds it.
//
// OK stores the panel's texts: a step that breaks the engine's rule (engine 1: a switching time not later
// than the one before; engine 2: a delay of 0 after step 1) is dropped together with every later step.
// Before anything is stored the user is told which used steps that would drop, and why, and may go back
// to the panel. Cancel writes nothing. Each panel has a help picture (pHelpD1a, pHelpD1) over the whole
// panel, closed by a click on it.

#include "editors/editorpanel.h"
#include "model/settings.h"
#include "model/valueentry.h"

#include <QFrame>
#include <QGroupBox>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSvgWidget;

namespace lumeq {

class ValueSlider;

// What tells the two engines' panels apart besides their rules.
struct EngineDesign {
    Engine engine;
    const char* panelName;    // "pDimmer1"
    QRect place;              // where the panel opens over the diagram
    const char* title;        // caption of the panel
    const char* prefix;       // "D1": eD1_Fade1, rbD1_On1, ED1_gb1, ED1_cbDel2, ...
    const char* timeWord;     // "Time" (eD1_Time1) or "Delay" (eD2_Delay1): edit names and row caption
    EntryMode timeMode;       // TimeOfDay or Duration
    const char* firstCaption; // caption of step 1's group box (" 1" or "1")
    const char* deleteLabel;  // lDelete, lDelete2
    const char* strip;        // pD1Slider
    const char* slider;       // sbD1
    const char* selector;     // comboD1
    const char* okButton;
    const char* cancelButton;
    const char* helpButton;
    const char* helpPanel;
    const char* helpPicture;
    const char* helpResource; // ":/help/<name>.svg"
};

// A help panel over a whole editor panel: one picture, shown by the editor's help button and hidden by a
// click on the panel or its picture. It never touches the interlock or the image.
class HelpPicturePanel : public QFrame {
    Q_OBJECT

public:
    HelpPicturePanel(QWidget* editorPanel, const QString& panelName, const QString& pictureName,
                     const QString& resource);

    void open();
    QSvgWidget* picture() const { return picture_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSvgWidget* picture_ = nullptr;
};

// One step of a dimming engine (TBox): its group box with the three value edits and the relay buttons,
// and the delete box beside it (none for step 1).
class EngineStep : public QGroupBox {
    Q_OBJECT

public:
    static constexpr int kWidth = 88;
    static constexpr int kHeight = 136;

    // Makes a read-only value edit in a parent (Panel::addValueEdit of the editor).
    using EditMaker =
        std::function<QLineEdit*(QWidget* parent, const QString& name, QRect place, std::function<void()> clicked)>;

    // Step `number` (1..10) of the panel `panel`, at `topLeft` in it. `clicked` runs when one of the
    // step's edits is clicked (with the entry mode of that edit), `deleteClicked` when the delete box is.
    EngineStep(const EngineDesign& design, int number, QWidget* panel, QPoint topLeft, const EditMaker& makeEdit,
               std::function<void(EntryMode)> clicked, std::function<void()> deleteClicked);

    int number() const { return number_; }
    QLineEdit* timeEdit() const { return time_; } // the switching time or the delay
    QLineEdit* fadeEdit() const { return fade_; }
    QLineEdit* levelEdit() const { return level_; }
    QRadioButton* onButton() const { return on_; }
    QRadioButton* offButton() const { return off_; }
    QCheckBox* deleteBox() const { return delete_; }

    // Money green for a used step, silver for an empty one.
    void setUsedLook(bool used);
    // The three value edits in the window text colour.
    void resetEditColours();
    // The level the level edit shows; nullopt while it shows none ("-").
    std::optional<int> shownLevel() const;

private:
    int number_;
    QLineEdit* time_ = nullptr;
    QLineEdit* fade_ = nullptr;
    QLineEdit* level_ = nullptr;
    QRadioButton* on_ = nullptr;
    QRadioButton* off_ = nullptr;
    QCheckBox* delete_ = nullptr;
};

class DimmingEngineEditor : public EditorPanel {
    Q_OBJECT

public:
    // The answers of the question asked before used steps are dropped.
    static const QString kRemoveAnswer; // "Remove and store"
    static const QString kBackAnswer;   // "Back"

    const EngineDesign& design() const { return design_; }
    Engine engine() const { return design_.engine; }

    // TBox of step k (1..10).
    EngineStep* step(int k) const;
    // The working copy of the step table while the panel is open.
    const StepTable& stepBuffer() const { return buffer_; }
    ValueSlider* valueSlider() const { return strip_; }
    HelpPicturePanel* helpPanel() const { return help_; }

    // setGB1 / setGB2: shows step k (1..10) from the step buffer; `enabled` says whether every earlier step
    // is in use. Returns whether step k is in use.
    bool setGB(bool enabled, int k);
    // A click on an edit of step k: the edit becomes the value slider's active edit. Activating the "-"
    // level edit of the first empty step adds that step.
    void editClicked(int k, EntryMode mode);
    // The delete box of step k (2..10): step k and every later step are gone.
    void deleteClicked(int k);
    // The OK button: asks before used steps would be dropped, then stores (ok()).
    void okClicked();

protected:
    DimmingEngineEditor(EditorHost& host, QWidget* parent, const EngineDesign& design);

    void fill() override;
    void apply() override;
    void discard() override;

    // The engine's rules.
    // Text of a step's first byte, and that byte read back from the text (nullopt: not a time).
    virtual std::string timeText(std::uint8_t code) const = 0;
    virtual std::optional<std::uint8_t> readTime(std::string_view text) const = 0;
    // Step k (2..10) with first byte `code` may follow a step with first byte `before`.
    virtual bool mayFollow(std::uint8_t before, std::uint8_t code) const = 0;
    // Why step k (2..10, first byte `code`) may not follow the step before it (first byte `before`).
    virtual QString whyNot(int k, std::uint8_t before, std::uint8_t code) const = 0;
    // OK leaves step 1 empty: the engine's function is switched off. Runs before the table is stored.
    virtual void engineEmptied() = 0;

private:
    // What OK stores, worked out from the panel's texts without changing anything.
    struct StorePlan {
        StepTable table;
        std::array<bool, kStepCount> levelCleared{}; // the rule sets the level edit to "-"
        std::array<bool, kStepCount> stored{};       // the step is stored in use
        std::vector<int> dropped;                    // used steps (1..10) the panel shows but OK drops
        QString question;                            // what the user is asked when steps drop
    };
    // nullopt with `error` set when a text cannot be read.
    std::optional<StorePlan> plan(QString* error) const;
    QString droppedQuestion(const StorePlan& plan) const;

    void buildWidgets();
    void resetAllEditColours();
    void updateDeleteLabel();

    const EngineDesign& design_;
    StepTable buffer_{};
    std::array<EngineStep*, kStepCount> steps_{};
    QLabel* deleteLabel_ = nullptr;
    ValueSlider* strip_ = nullptr;
    HelpPicturePanel* help_ = nullptr;
};

// Dimming engine 1 (pDimmer1): switching times on the clock, 15:00 to 09:00, rising through the night.
class DimmingEngine1Editor : public DimmingEngineEditor {
    Q_OBJECT

public:
    DimmingEngine1Editor(EditorHost& host, QWidget* parent);

protected:
    std::string timeText(std::uint8_t code) const override;
    std::optional<std::uint8_t> readTime(std::string_view text) const override;
    bool mayFollow(std::uint8_t before, std::uint8_t code) const override;
    QString whyNot(int k, std::uint8_t before, std::uint8_t code) const override;
    // The astro clock is switched off with its block greyed.
    void engineEmptied() override;
};

// Dimming engine 2 (pDimmer2): delays after the LSt signal; every step after the first needs one.
class DimmingEngine2Editor : public DimmingEngineEditor {
    Q_OBJECT

public:
    DimmingEngine2Editor(EditorHost& host, QWidget* parent);

protected:
    std::string timeText(std::uint8_t code) const override;
    std::optional<std::uint8_t> readTime(std::string_view text) const override;
    bool mayFollow(std::uint8_t before, std::uint8_t code) const override;
    QString whyNot(int k, std::uint8_t before, std::uint8_t code) const override;
    // The control input is switched off and the whole diagram drawn again.
    void engineEmptied() override;
};

} // namespace lumeq
