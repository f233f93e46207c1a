#pragma once
// Every editor panel of the window, built from one table (editorset.cpp), and the routing of the
// diagram's clicks to them: a block or value label opens its editor, a switch picture goes to the editor
// it belongs to. The window and the editor tests build the panels through this class alike.

#include "diagram/blockdiagram.h"

#include <QObject>

#include <map>
#include <vector>

class QWidget;

namespace lumeq {

class EditorHost;
class EditorPanel;
class Panel;

class EditorSet : public QObject {
    Q_OBJECT

public:
    // Builds every panel, hidden, as children of `parent` (the widget that holds the diagram), and connects
    // the host's diagram to them.
    EditorSet(EditorHost& host, QWidget* parent);

    // Start-up: once the first image is on show.
    void startUp();

    // The panel of a type, or nullptr.
    template <typename T> T* find() const {
        for (Panel* panel : panels_) {
            if (auto* found = qobject_cast<T*>(panel))
                return found;
        }
        return nullptr;
    }
    // The editor a block opens, and the editor a switch picture belongs to (nullptr for none).
    EditorPanel* editorFor(BlockDiagram::Editor block) const;
    EditorPanel* editorFor(BlockDiagram::Picture switchPicture) const;
    const std::vector<Panel*>& panels() const { return panels_; }

    // Runs a switch's handler as a click on it does when the window is not locked.
    void actOnSwitch(BlockDiagram::Picture switchPicture);

private:
    std::vector<Panel*> panels_;
    std::map<BlockDiagram::Editor, EditorPanel*> byBlock_;
    std::map<BlockDiagram::Picture, EditorPanel*> bySwitch_;
};

} // namespace lumeq
