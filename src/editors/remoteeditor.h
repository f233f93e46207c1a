#pragma once
// The remote-control editor "Remote Control" (panel pRemote) and the three-position input selector of the
// diagram (rc_off, rc_main, rc_lst). The selector cycles OFF -> mains -> LSt -> OFF: the first two steps
// only move the pictures (the panel's OK stores the input), the step back to OFF switches remote control
// off in the image at once. On the mains input the modes are "MidNight" and "MidNight Protect", on the LSt
// input "MidNight" and "Remote DIM"; Remote DIM takes the control input and the astro clock over, switches
// both off and keeps their switches from closing.

#include "editors/editorpanel.h"

class QGroupBox;
class QRadioButton;

namespace lumeq {

class RemoteEditor : public EditorPanel {
    Q_OBJECT

public:
    // Where the panel opens over the diagram.
    static constexpr QRect kPlace{672, 254, 287, 144};

    RemoteEditor(EditorHost& host, QWidget* parent);

    void connectPanels(EditorSet& set) override;
    void switchClicked(BlockDiagram::Picture which) override;
    // The diagram's preset of the two modes when it draws an image.
    void imageRedrawn() override;

    // The selector, one handler per position it shows.
    void rc_offClick();
    void rc_mainClick();
    void rc_lstClick();

protected:
    void fill() override;
    void apply() override;
    void discard() override;

private:
    void buildWidgets();
    bool lstInput() const;
    bool modeChosen() const;
    // Remote control off: the selector at OFF, the block greyed, no mode and no input in the image.
    void switchOff();

    EditorSet* set_ = nullptr;

    QGroupBox* gbRemote = nullptr;
    QRadioButton* rbMN = nullptr;
    QRadioButton* rbRemote = nullptr;
};

} // namespace lumeq
