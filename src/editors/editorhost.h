#pragma once
// What an editor panel needs from the window: the working image, the diagram it updates, the
// interlock and a few program-wide facts. The main window implements it; tests use a small host.
//
// Every editor follows one contract: its opening routine returns at once while formDisabled() is
// set, otherwise fills the panel from the image, shows it and sets the interlock; OK writes only the
// editor's own bytes and bits, updates its own block's pictures and labels, hides the panel and
// clears the interlock; Cancel writes nothing.

#include "model/image.h"

#include <QString>
#include <vector>

namespace lumeq {

class BlockDiagram;

// The dimming-curve choice, shared by the output editor, slot choice and writing.
struct CurveState {
    bool curveFilesFound = false;   // at least one curve file was listed at start-up
    int curveIndex = -1;            // list index of the chosen curve, -1 = none
    std::vector<int> dimmingCurve;  // the loaded curve: 101 points, or empty
    bool levelsUncorrected = false; // the inverse correction has been applied to the image
};

class EditorHost {
public:
    virtual ~EditorHost() = default;

    virtual Image& image() = 0;
    virtual BlockDiagram& diagram() = 0;
    virtual bool formDisabled() const = 0;
    virtual void setFormDisabled(bool disabled) = 0;
    // The program's directory with a trailing separator (curve files, pdf.ini).
    virtual QString programDir() const = 0;
    // Demo mode: no stick.
    virtual bool isDemo() const = 0;
    virtual CurveState& curves() = 0;
};

} // namespace lumeq
