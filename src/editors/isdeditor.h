#pragma once
// The astro clock: the astro switch of the diagram, which turns the astro clock with ISD and dimming
// engine 1 on and off at once, and the ISD editor pISD. The editor sets the ISD offset (how far the middle
// of the night lies from midnight on the clock), daylight saving on or off, and automatic daylight saving
// by the two lengths of night at which the module recognises the start and the end of summer time.
//
// One slider, sbISD in the teal strip pISDSLider, serves the three value edits; its tag says which edit it
// writes. The offset calculator pCalc (time zone and longitude) lies over the panel and keeps its settings
// from one use to the next; the night-length calculator pAstroCalc (AstroCalcPanel) is a panel of its own
// that hands its result back through handOverNightLength().

#include "editors/editorpanel.h"

#include <optional>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QSvgWidget;

namespace lumeq {

class AstroCalcPanel;

// Which edit the slider sbISD writes.
enum class IsdSliderTag { None = 0, Offset = 1, DstStart = 2, DstEnd = 3 };

class IsdEditor : public EditorPanel {
    Q_OBJECT

public:
    static constexpr QRect kPlace{29, 236, 470, 196};
    // Limits of the slider for the offset (count + 128) and for the two night lengths (units of 5 minutes;
    // 59 shows "0", automatic daylight saving off).
    static constexpr int kOffsetMin = 0;
    static constexpr int kOffsetMax = 255;
    static constexpr int kNightMin = 59;
    static constexpr int kNightMax = 216;

    IsdEditor(EditorHost& host, QWidget* parent);

    void connectPanels(EditorSet& set) override;
    void switchClicked(BlockDiagram::Picture which) override;

    // The astro switch.
    void sw_astro_openClick();
    void SW_astro_closeClick();

    // Activating a value edit: the slider takes it over and the strip shows.
    void eISDOffsetClick();
    void eW2SClick();
    void eS2WClick();

    // The night-length calculator's result ("10:45" or "0") for the start or the end of daylight saving.
    void handOverNightLength(IsdSliderTag field, const QString& text);

    IsdSliderTag sliderTag() const { return sliderTag_; }

protected:
    void fill() override;
    void apply() override;
    void discard() override;

private:
    void buildWidgets();
    void buildCalculator();
    void buildCalculatorHelp();

    // Tag, limits and position of sbISD in one go (the limits alone never change an edit); the edit of the
    // tag is then written from the position.
    void positionSlider(IsdSliderTag tag, int minimum, int maximum, int position);
    // The slider rule: the edit named by the tag shows the position.
    void sbISDChange();
    QLineEdit* editOf(IsdSliderTag tag) const;
    void activateNightEdit(IsdSliderTag tag);
    void colourEdits(QLineEdit* active);
    // The offset edit's slider position (getTime4); nullopt when the text is no time (the user was told).
    std::optional<int> offsetTextPosition();

    void cbDSTClick();
    void cbADSTEnableClick();
    void closeCalculators();

    // Offset calculator.
    void bAstroCalcClick();
    void sbUTCChange();
    void sbLengthChange();
    void calcOffset();
    void bCalcOKClick();
    void bCalcCancelClick();
    void bADSTCalcClick();

    AstroCalcPanel* astroCalc_ = nullptr;
    IsdSliderTag sliderTag_ = IsdSliderTag::None;

    QGroupBox* gbISD = nullptr;
    QLineEdit* eISDOffset = nullptr;
    QCheckBox* cbDST = nullptr;
    QPushButton* bAstroCalc = nullptr;
    QGroupBox* gbADST = nullptr;
    QCheckBox* cbADSTEnable = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    QLineEdit* eW2S = nullptr;
    QLineEdit* eS2W = nullptr;
    QPushButton* bADSTCalc = nullptr;
    QFrame* pISDSLider = nullptr;
    QScrollBar* sbISD = nullptr;

    QFrame* pCalc = nullptr;
    QWidget* iTimeZone = nullptr;
    QScrollBar* sbUTC = nullptr;
    QLineEdit* eUTC = nullptr;
    QScrollBar* sbLength = nullptr;
    QLineEdit* eLength = nullptr;
    QLineEdit* eOffset = nullptr;
    QFrame* pCalcHelp = nullptr;
    QSvgWidget* iCalcHelp = nullptr;
};

} // namespace lumeq
