#pragma once
// The night-length calculator pAstroCalc, opened from the ISD editor's automatic daylight saving group
// (bADSTCalc). For a latitude, a date and a twilight angle it shows the length of the night in eLoN, the
// one time field the user may also type into, and hands it, rounded down to 5 minutes, to the editor's
// field for the start (bDSTOn) or the end (bDSTOff) of daylight saving. It changes no image byte; the
// editor's OK stores the fields. One panel for the program's life: latitude, date and twilight stay as
// the user left them. Its text help pHelpAstroCalc lies 700 pixels below its place until bACHelp moves it
// up; a click on it moves it down again.

#include "editors/editorpanel.h"

#include <QStringList>

class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace lumeq {

class IsdEditor;

class AstroCalcPanel : public Panel {
    Q_OBJECT

public:
    static constexpr QRect kPlace{120, 262, 432, 152};
    // Where the text help shows, and how far below it waits.
    static constexpr QRect kHelpPlace{120, 226, 460, 200};
    static constexpr int kHelpShift = 700;
    static const QStringList& helpLines();

    AstroCalcPanel(EditorHost& host, QWidget* parent);

    void connectPanels(EditorSet& set) override;

    // bADSTCalc: the night length for the settings on show, then the panel.
    void openCalculator();
    // The ISD editor closes: the calculator and its help go with it.
    void closeCalculator();

    // The night length into eLoN; with no night on that date the user is told and eLoN keeps its text.
    void CalcLoN();
    void bDSTOnClick();
    void bDSTOffClick();
    void bAstroCalcCancelClick();
    void bACHelpClick();
    bool helpShown() const;

private:
    void buildWidgets();
    void buildHelp();
    void sbLatitudeChange();
    void sbHorizonChange();
    void handOver(bool dstStart);
    void hideHelp();
    double latitude() const;
    double twilight() const;

    IsdEditor* isd_ = nullptr;

    QScrollBar* sbLatitude = nullptr;
    QLabel* lLatitude = nullptr;
    QDateEdit* DateTimePicker1 = nullptr;
    QScrollBar* sbHorizon = nullptr;
    QLabel* lHorizon = nullptr;
    QLineEdit* eLoN = nullptr;
    QFrame* pHelpAstroCalc = nullptr;
};

} // namespace lumeq
