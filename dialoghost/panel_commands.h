// A press on one of the preview panel's controls: the steps every press shares, around the
// rows of the kind whose preview is shown. Portable code.
#pragma once

#include <cstdint>

#include "preview/button_rows.h"

namespace qcd {

// WM_COMMAND of the panel. A click of one of the four buttons (the low word of `wParam` its id,
// the high word BN_CLICKED or BN_DOUBLECLICKED) clears the copy, stops the timers and effects,
// lets `shown` (none: nothing is previewed) run its row and puts the focus back on the file
// list; the result is then -1. Any other command (a click on the title label, which notifies
// for its tooltip, the text box's notifications) changes nothing and gives 0.
int32_t OnPanelCommand(PanelActions& panel, ButtonTarget* shown, uintptr_t wParam);

}  // namespace qcd
