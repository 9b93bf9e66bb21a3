// The About box: the control's face, name, version and a mail link, closed with OK.
#pragma once

#include <windows.h>

namespace qcd::designtime {

// Shows a fresh box, modal to `owner` (disabled meanwhile), and returns once it is closed.
HRESULT ShowAboutBox(HWND owner) noexcept;

}  // namespace qcd::designtime
