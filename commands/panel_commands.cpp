#include "commands/panel_commands.h"

namespace qcd {

int32_t OnPanelCommand(PanelActions& panel, ButtonTarget* shown, uintptr_t wParam) {
    panel.ClearCopy();
    if (const std::optional<PanelButton> button = ButtonOf(static_cast<int>(wParam & 0xFFFF))) {
        panel.StopTimersAndAbort();
        if (shown) shown->Press(*button);
    }
    panel.FocusFileList();
    return -1;
}

}  // namespace qcd
