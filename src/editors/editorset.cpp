#include "editors/editorset.h"

#include "editors/dimmingcurvepanel.h"
#include "editors/editorhost.h"
#include "editors/editorpanel.h"
#include "editors/outputeditor.h"

#include <initializer_list>
#include <optional>

namespace lumeq {

namespace {

using Editor = BlockDiagram::Editor;
using Picture = BlockDiagram::Picture;

// One row per panel: the block (with its value labels) that opens it, the switch pictures it handles, and
// how it is made. A panel without block is opened by another panel.
struct EditorRow {
    std::optional<Editor> block;
    std::initializer_list<Picture> switches;
    Panel* (*create)(EditorHost& host, QWidget* parent);
};

template <typename T> Panel* make(EditorHost& host, QWidget* parent) {
    return new T(host, parent);
}

const EditorRow kEditors[] = {
    {Editor::Output, {Picture::SW_DALI, Picture::SW_Ten, Picture::SW_PWM}, make<OutputEditor>},
    {std::nullopt, {}, make<DimmingCurvePanel>},
};

} // namespace

EditorSet::EditorSet(EditorHost& host, QWidget* parent) : QObject(parent) {
    for (const EditorRow& row : kEditors) {
        Panel* panel = row.create(host, parent);
        panels_.push_back(panel);
        auto* editor = qobject_cast<EditorPanel*>(panel);
        if (!editor)
            continue;
        if (row.block)
            byBlock_[*row.block] = editor;
        for (const Picture picture : row.switches)
            bySwitch_[picture] = editor;
    }
    for (Panel* panel : panels_)
        panel->connectPanels(*this);

    BlockDiagram& diagram = host.diagram();
    connect(&diagram, &BlockDiagram::openEditor, this, [this](Editor block) {
        if (EditorPanel* editor = editorFor(block))
            editor->open();
    });
    connect(&diagram, &BlockDiagram::switchClicked, this, [this](Picture which) { actOnSwitch(which); });
    connect(&diagram, &BlockDiagram::displayed, this, [this] {
        for (Panel* panel : panels_) {
            if (auto* editor = qobject_cast<EditorPanel*>(panel))
                editor->imageRedrawn();
        }
    });
}

void EditorSet::startUp() {
    for (Panel* panel : panels_)
        panel->startUp();
}

EditorPanel* EditorSet::editorFor(Editor block) const {
    const auto found = byBlock_.find(block);
    return found == byBlock_.end() ? nullptr : found->second;
}

EditorPanel* EditorSet::editorFor(Picture switchPicture) const {
    const auto found = bySwitch_.find(switchPicture);
    return found == bySwitch_.end() ? nullptr : found->second;
}

void EditorSet::actOnSwitch(Picture switchPicture) {
    if (EditorPanel* editor = editorFor(switchPicture))
        editor->switchClicked(switchPicture);
}

} // namespace lumeq
