// Names for screen readers of controls whose captions are symbols (the panel's "＞", "||").
#pragma once

#include <windows.h>

namespace qcd::win {

// Asked each time a client reads the accessible name; null leaves the platform's own name.
using AccessibleNameFn = const wchar_t* (*)(HWND window);

// Until `window` is destroyed, the accessible object of its client area is the platform's own,
// named by what `nameOf(window)` answers when asked.
void NameForAccessibility(HWND window, AccessibleNameFn nameOf);

}  // namespace qcd::win
