#include "dialoghost/panel_commands.h"

namespace qcd {

namespace {

// Button notification codes (the high word of a command's wParam).
constexpr uintptr_t kClicked = 0;
constexpr uintptr_t kDoubleClicked = 5;

}  // namespace

int32_t OnPanelCommand(PanelActions& panel, ButtonTarget* shown, uintptr_t wParam) {
    const uintptr_t code = (wParam >> 16) & 0xFFFF;
    const std::optional<PanelButton> button = ButtonOf(static_cast<int>(wParam & 0xFFFF));
    if (!button || (code != kClicked && code != kDoubleClicked)) return 0;
    panel.ClearCopy();
    panel.StopTimersAndAbort();
    if (shown) shown->Press(*button);
    panel.FocusFileList();
    return -1;
}

}  // namespace qcd
