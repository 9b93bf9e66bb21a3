// The shell's folder browser, as the property page asks for a folder.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace qcd::designtime {

// Runs the browser once, owned by `owner`, with `prompt` above its tree: the chosen folder's
// path, or "" after a cancel or for an item without a file-system path.
std::u16string BrowseFolder(HWND owner, std::u16string_view prompt);

}  // namespace qcd::designtime
