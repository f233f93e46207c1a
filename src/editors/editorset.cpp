#include "editors/editorset.h"

#include "editors/astrocalcpanel.h"
#include "editors/blockingtimeeditor.h"
#include "editors/controlinputeditor.h"
#include "editors/dimmingcurvepanel.h"
#include "editors/dimmingengineeditor.h"
#include "editors/editorhost.h"
#include "editors/editorpanel.h"
#include "editors/isdeditor.h"
#include "editors/mffeditor.h"
#include "editors/outputeditor.h"
#include "editors/poweroneditor.h"
#include "editors/relayeditor.h"
#include "editors/remoteeditor.h"
#include "editors/thermaleditor.h"

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
    {Editor::Dimmer1, {}, make<DimmingEngine1Editor>},
    {Editor::Dimmer2, {}, make<DimmingEngine2Editor>},
    {Editor::StartupDelay, {}, make<PowerOnEditor>},
    {Editor::BlockTime, {Picture::SW_block_close, Picture::sw_block_open}, make<BlockingTimeEditor>},
    {Editor::THold,
     {Picture::sw_lst_open, Picture::SW_lst_close, Picture::iLst_en, Picture::iLST_pol, Picture::sw_hold_off,
      Picture::sw_hold_on},
     make<ControlInputEditor>},
    {Editor::ThermoM, {Picture::sw_tm_on, Picture::sw_tm_off}, make<ThermalEditor>},
    {Editor::Relay, {}, make<RelayEditor>},
    {Editor::MFF, {Picture::SW_mff_on, Picture::sw_mff_off}, make<MffEditor>},
    {Editor::Remote, {Picture::rc_off, Picture::rc_main, Picture::rc_lst}, make<RemoteEditor>},
    {Editor::ISD, {Picture::SW_astro_close, Picture::sw_astro_open}, make<IsdEditor>},
    {std::nullopt, {}, make<AstroCalcPanel>},
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
