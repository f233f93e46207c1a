#pragma once
// The relay editor (panel pRelay, no caption): zero-cross switching of the changeover relay. The RELAY
// block has no switch and shows no state on the diagram; the report prints the setting.

#include "editors/editorpanel.h"

class QCheckBox;

namespace lumeq {

class RelayEditor : public EditorPanel {
    Q_OBJECT

public:
    // Where the panel opens over the diagram.
    static constexpr QRect kPlace{721, 450, 274, 106};

    RelayEditor(EditorHost& host, QWidget* parent);

protected:
    void fill() override;
    void apply() override;

private:
    QCheckBox* cbZCSwitch = nullptr;
};

} // namespace lumeq
