// A preview kind: how one sort of file is shown on the canvas, stopped, and driven by the
// panel's buttons and its own timers. A kind registers the handlers of the timers it owns
// with the canvas's timer owner when it is made.
#pragma once

#include <memory>
#include <string>

#include "preview/button_rows.h"

namespace qcd {

class Canvas;

enum class StartResult {
    Shown,       // done; the status line goes back to ""
    KeepStatus,  // done, and the status line holds what the kind wrote there
    Overtaken,   // a newer event took the panel while messages ran: leave it alone
};

class Kind : public ButtonTarget {
  public:
    // Loads `path` and draws it into the copy, writing the labels and the shown state. The
    // caller has cleared the panel and copies it onto the area afterwards.
    virtual StartResult Start(const std::u16string& path) = 0;
    // Ends whatever the kind started (devices, animation); the timers are already off.
    virtual void Stop() {}
    // The preview area has a new size and the copy is blank at it: what the kind shows is drawn
    // again to fit it, as it stands (image, frame, play state). Lets no messages run.
    virtual void Refit() {}
    // Kinds without buttons ignore presses.
    void Press(PanelButton) override {}
};

// Makes the kind of one row of the extension table.
using KindMaker = std::unique_ptr<Kind> (*)(Canvas& canvas);

}  // namespace qcd
