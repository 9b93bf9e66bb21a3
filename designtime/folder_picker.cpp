#include "designtime/folder_picker.h"

#include <shlobj.h>

#include <cwchar>
#include <memory>

#include "platform/text.h"

namespace qcd::designtime {

namespace {

struct TaskMemFree {
    void operator()(void* p) const { CoTaskMemFree(p); }
};

}  // namespace

std::u16string BrowseFolder(HWND owner, std::u16string_view prompt) {
    const std::u16string title(prompt);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = win::Wide(title);
    // No restriction: virtual items can be chosen too, and give no path below.
    info.ulFlags = 0;
    const std::unique_ptr<ITEMIDLIST, TaskMemFree> chosen(SHBrowseForFolderW(&info));
    wchar_t path[MAX_PATH] = {};
    // Left untouched for an item that is not a file-system folder.
    if (chosen) SHGetPathFromIDListW(chosen.get(), path);
    return std::u16string(win::View(path, wcsnlen(path, MAX_PATH)));
}

}  // namespace qcd::designtime
