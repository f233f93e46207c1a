#pragma once
// The thermal-management editor "Thermo-Management" (panel pThermoM) and its switch on the diagram. Up to
// three falling temperature thresholds, each with the level the output is limited to; at the first one the
// relay can be switched off as well. One teal slider strip serves the six edits; its tag says which.

#include "editors/editorpanel.h"

#include <array>

class QCheckBox;
class QFrame;
class QLineEdit;
class QScrollBar;

namespace lumeq {

class ThermalEditor : public EditorPanel {
    Q_OBJECT

public:
    // Where the panel opens over the diagram.
    static constexpr QRect kPlace{616, 35, 272, 182};

    // The slider tags of the six edits (the scroll bar's property "tag").
    enum Tag { T1 = 2, T2 = 3, T3 = 4, L1 = 5, L2 = 6, L3 = 7 };

    ThermalEditor(EditorHost& host, QWidget* parent);

    void switchClicked(BlockDiagram::Picture which) override;

    // The switch: closed (thermal management on) and open.
    void sw_tm_onClick();
    void sw_tm_offClick();

    // A click on one of the six edits: the strip serves it from now on.
    void editClicked(Tag tag);

protected:
    // The opening routine; it also removes an invalid table from the image.
    void fill() override;
    void apply() override;
    void discard() override;

private:
    void buildWidgets();
    int sliderTag() const;
    QLineEdit* edit(Tag tag) const;
    void sbThermoChange();
    void showSwitch(bool on);
    void endEditing();

    std::array<QLineEdit*, 3> thresholdEdits_{};
    std::array<QLineEdit*, 3> levelEdits_{};
    QCheckBox* cbOutput_Off = nullptr;
    QFrame* pThermo = nullptr;
    QScrollBar* sbThermo = nullptr;
};

} // namespace lumeq
