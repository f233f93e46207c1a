#pragma once
// The OK (a green tick) and Cancel (a red no-entry sign) buttons that close the editor panels and
// the program's dialogs.

#include <QIcon>
#include <QString>

class QPushButton;
class QWidget;

namespace lumeq {

QIcon okButtonIcon();
QIcon cancelButtonIcon();

enum class EditorButton { Ok, Cancel };

// A button showing the OK or Cancel icon, named `name`, with a hand cursor and `tip` as its hint.
// The caller places it.
QPushButton* makeEditorButton(QWidget* parent, const char* name, EditorButton kind, const QString& tip, int iconSize);

} // namespace lumeq
