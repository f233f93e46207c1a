#pragma once
// The dimming-curve chooser (panel pDimmingCurve, over the whole window) and the curve state behind the
// output editor's cbDC and bDC. The curves are the *.dc files of the folder DimmingCurve in the
// program's directory; the chooser lists them, draws the selected one on a chart and, on OK, makes it
// the curve through which levels are corrected when a configuration is written to a module.
//
// The panel reads and writes the host's CurveState, through which a module write corrects the levels
// (correctForModule) and taking a slot undoes it (uncorrectFromModule).

#include "editors/editorpanel.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QFrame;
class QGroupBox;
class QListWidget;
class QPushButton;

namespace lumeq {

class OutputEditor;

// The chart iDimmingCurve: a grid with the input level across and the output level upwards, both
// 0..100 %, and the curve as a red line, or an error text in place of the curve.
class DimmingCurveChart : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSize = 500;
    static constexpr int kOriginX = 49;
    static constexpr int kOriginY = 446;
    static constexpr int kPixelsPerPercent = 4;
    static constexpr QPoint kMessageAt{100, 100};

    explicit DimmingCurveChart(QWidget* parent);

    // The empty grid.
    void clear();
    void showCurve(const std::vector<int>& points);
    void showMessage(const QString& message);

    const std::vector<int>& curve() const { return curve_; }
    QString message() const { return message_; }
    // Pixel of a point of the curve.
    static QPointF pointAt(int input, int output);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<int> curve_;
    QString message_;
};

class DimmingCurvePanel : public Panel {
    Q_OBJECT

public:
    static constexpr int kWidth = 1039;
    static constexpr int kHeight = 623;

    // Created hidden over the whole of `parent`.
    DimmingCurvePanel(EditorHost& host, QWidget* parent);

    // Connects itself to the output editor's cbDC and bDC.
    void connectPanels(EditorSet& set) override;
    // Start-up: lists the curves (curveFilesFound) and, when a curve index was given and lies within the
    // list, ticks cbDC with that curve's name, which loads the curve. An index beyond the list is dropped.
    void startUp() override;

    // Lists the curve files into lbDimmingCurve; false (nothing changed) without the folder or without a
    // usable file. `listOnly` (start-up) stops there; otherwise, with no curve chosen, the chooser opens
    // with the first curve drawn, and with a curve chosen that entry is selected and loaded undrawn.
    bool dimmCurve(bool listOnly);
    // Loads the selected entry into the curve state and the chart: an error text for a broken file (which
    // loads no curve), the curve drawn when `draw` is set.
    void paintDC(bool draw);

    void cbDCClick();
    void bDCClick();
    void lbDimmingCurveClick();
    void bDCOkClick();
    void bDCCancelClick();

    // The output editor's opening routine, for cbDC and bDC when they are shown.
    void setUpOutputControls();

    // Giving up the chosen slot: the curve choice goes (cbDC unticked) and the image no longer counts as
    // holding wanted levels.
    void dropChoice();

    // The list entries (file names) and an entry's name without its extension.
    QStringList curveNames() const { return names_; }
    QString entryCaption(int index) const;

    DimmingCurveChart* chart() const { return iDimmingCurve; }
    QString chartMessage() const;

    // The help panel over the chooser: the way of a level from the program to the lamp. It opens on bDcHelp
    // and closes on a click on it or its picture.
    void bDcHelpClick();
    void pDcHelpClick();

private:
    void buildWidgets();
    void selectRow(int row);
    void setCurveCheck(bool checked);
    void refreshLevelLabels();
    // The reason a curve file cannot be used, or nothing.
    QString curveProblem(int row) const;

    OutputEditor* output_ = nullptr;
    QStringList names_;
    int lbOldItemIdx = 0;

    QGroupBox* gbDimmingCurve = nullptr;
    QListWidget* lbDimmingCurve = nullptr;
    QPushButton* bDCOk = nullptr;
    QPushButton* bDCCancel = nullptr;
    QPushButton* bDcHelp = nullptr;
    DimmingCurveChart* iDimmingCurve = nullptr;
    QFrame* pDcHelp = nullptr;
};

} // namespace lumeq
