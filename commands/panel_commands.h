// A press on one of the preview panel's controls: the steps every press shares, around the
// rows of the kind whose preview is shown. Portable code.
#pragma once

#include <cstdint>

#include "preview/button_rows.h"

namespace qcd {

// WM_COMMAND of the panel. Only the low word of `wParam` (the control id) counts. A button
// stops the timers and effects, then `shown` (none: nothing is previewed) runs its row;
// every command ends with the focus back on the file list. The result is the hook's, -1.
int32_t OnPanelCommand(PanelActions& panel, ButtonTarget* shown, uintptr_t wParam);

}  // namespace qcd
