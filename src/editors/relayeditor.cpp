#include "editors/relayeditor.h"

#include "model/settings.h"

#include <QCheckBox>

namespace lumeq {

RelayEditor::RelayEditor(EditorHost& host, QWidget* parent)
    : EditorPanel(host, QStringLiteral("pRelay"), kPlace, parent) {
    palette::fill(this, palette::kMainGroup);

    cbZCSwitch = new QCheckBox(QStringLiteral("Zero-Cross Switch"), this);
    cbZCSwitch->setObjectName(QStringLiteral("cbZCSwitch"));
    cbZCSwitch->setGeometry(24, 40, 180, 24);
    cbZCSwitch->setChecked(true);

    addOkButton(this, "bRelay_OK", QRect(222, 8, 42, 40), [this] { ok(); });
    addCancelButton(this, "bRelay_Cancel", QRect(222, 56, 42, 40), [this] { cancel(); });
}

void RelayEditor::fill() {
    cbZCSwitch->setChecked(relay::zeroCross(image()));
}

void RelayEditor::apply() {
    relay::setZeroCross(image(), cbZCSwitch->isChecked());
}

} // namespace lumeq
