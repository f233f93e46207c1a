#pragma once
// What the editor panels need from the window: the working image, the diagram they update, the
// interlock, messages and a few program-wide facts. The main window implements it; the editor tests use a
// small host of their own, with the same EditorSet.

#include "model/dimmingcurve.h"
#include "model/image.h"

#include <QString>

namespace lumeq {

class BlockDiagram;

class EditorHost {
public:
    virtual ~EditorHost() = default;

    virtual Image& image() = 0;
    virtual BlockDiagram& diagram() = 0;
    // The interlock: set while an editor panel is open; diagram clicks do nothing meanwhile.
    virtual bool formDisabled() const = 0;
    virtual void setFormDisabled(bool disabled) = 0;
    // Redraws the whole diagram from the image (setDisplay).
    virtual void redraw() = 0;
    // A message box with an OK button.
    virtual void message(const QString& text) = 0;
    // A question with two named answers ("Store", "Back"): true for `accept`.
    virtual bool ask(const QString& text, const QString& accept, const QString& reject) = 0;
    // The program's directory with a trailing separator (curve files).
    virtual QString programDir() const = 0;
    // Demo mode: no stick.
    virtual bool isDemo() const = 0;
    virtual CurveState& curves() = 0;
};

} // namespace lumeq
