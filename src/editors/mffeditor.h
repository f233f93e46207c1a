#pragma once
// The maintenance-factor editor (panel pMFF, groups "MFF Setup" and "BBT Setup") and its switch on the
// diagram. The lifetime in steps of 500 hours, the start and stop levels with the three points in between
// (computed, or moved one by one), the burn-in hours and the reset of the module's operating hours. One teal
// slider strip serves the seven edits; its tag says which. The chart pHelpMFF draws the curve of the values
// on show.

#include "editors/editorpanel.h"

#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace lumeq {

// The chart of the MFF curve (Image7): output 0..100 % against the lifetime marks 1/4, 1/2, 3/4 and 1,
// with the curve through the five levels in red, or "Lifetime?" while no lifetime is set. Drawn in vector
// form, so it stays sharp at any pixel density. A click on it closes it.
class MffChart : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSize = 500;
    static constexpr QPoint kOrigin{49, 446};
    static constexpr int kPixelsPerPercent = 4;
    static constexpr int kPixelsPerQuarter = 100;
    static constexpr QPoint kQuestionAt{240, 240};

    MffChart(QWidget* parent, std::function<void()> clicked);

    // The curve through start, L1, L2, L3 and stop level; or the question for the lifetime.
    void showCurve(const std::array<int, 5>& levels);
    void showLifetimeQuestion();

    bool asksForLifetime() const { return asksForLifetime_; }
    // The corners of the red line, in the chart's pixels.
    std::array<QPoint, 5> curvePoints() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::function<void()> clicked_;
    bool asksForLifetime_ = true;
    std::array<int, 5> levels_{};
};

class MffEditor : public EditorPanel {
    Q_OBJECT

public:
    // Where the panel opens over the diagram, and its size while the chart is on show.
    static constexpr QRect kPlace{269, 27, 300, 205};
    static constexpr QSize kChartPanelSize{508, 508};

    // The slider tags of the seven edits (the scroll bar's property "tag").
    enum Tag { Lifetime = 1, Start = 2, BurnIn = 3, Stop = 4, Point1 = 5, Point2 = 6, Point3 = 7 };

    MffEditor(EditorHost& host, QWidget* parent);

    void switchClicked(BlockDiagram::Picture which) override;

    // The switch: closed (MFF active) and open.
    void SW_mff_onClick();
    void sw_mff_offClick();

    // A click on one of the seven edits: the strip serves it from now on.
    void editClicked(Tag tag);
    // The three intermediate points from the start and stop level.
    void calculatePoints();

    // The chart: shown by bMFFHelp, closed by a click on it.
    void bMFFHelpClick();
    void Image7Click();
    MffChart* chart() const { return Image7; }

protected:
    void fill() override;
    void apply() override;
    void discard() override;

private:
    void buildWidgets();
    int sliderTag() const;
    QLineEdit* edit(Tag tag) const;
    void sbMFFChange();
    void setLevelsShown(bool shown);
    void greyWhenUnused();
    void endEditing();

    std::array<QLineEdit*, 7> edits_{}; // by tag - 1
    QCheckBox* cbresetOH = nullptr;
    QFrame* pMFFSlider = nullptr;
    QScrollBar* sbMFF = nullptr;
    QFrame* pHelpMFF = nullptr;
    MffChart* Image7 = nullptr;
};

} // namespace lumeq
