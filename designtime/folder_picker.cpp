#include "designtime/folder_picker.h"

#include <shlobj.h>

#include <cstring>
#include <memory>

#include "platform/text.h"

namespace qcd::designtime {

namespace {

struct TaskMemFree {
    void operator()(void* p) const { CoTaskMemFree(p); }
};

}  // namespace

std::u16string BrowseFolder(HWND owner, std::u16string_view prompt) {
    const std::string title = win::ToAnsi(prompt);
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = title.c_str();
    // No restriction: virtual items can be chosen too, and give no path below.
    info.ulFlags = 0;
    const std::unique_ptr<ITEMIDLIST, TaskMemFree> chosen(SHBrowseForFolderA(&info));
    char path[MAX_PATH] = {};
    // Left untouched for an item that is not a file-system folder.
    if (chosen) SHGetPathFromIDListA(chosen.get(), path);
    return win::FromAnsi(std::string_view(path, strnlen(path, MAX_PATH)));
}

}  // namespace qcd::designtime
