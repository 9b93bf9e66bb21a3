#include "dialoghost/dialog_record.h"

#include "base/checked.h"

namespace qcd {

int32_t FileBufferLength(int16_t maxFileSize) { return maxFileSize >= 1 ? maxFileSize : 260; }

char16_t BufferPadChar(bool nonNtPlatform) { return nonNtPlatform ? u' ' : u'\0'; }

std::u16string OpenFileBuffer(int32_t n, char16_t pad) {
    std::u16string buffer(static_cast<size_t>(n - 1), pad);
    buffer.push_back(u'\0');
    return buffer;
}

std::u16string SaveFileBuffer(std::u16string_view fileName, int32_t n, char16_t pad) {
    std::u16string buffer(fileName);
    buffer.append(static_cast<size_t>(n), pad);
    buffer.resize(static_cast<size_t>(n - 1));
    buffer.push_back(u'\0');
    return buffer;
}

std::u16string FileTitleBuffer(char16_t pad) { return OpenFileBuffer(kFileTitleBufferLength, pad); }

void ClearDialogResults(Properties& props) {
    props.FileName.clear();
    props.InitDir.clear();
    props.FileTitle.clear();
}

void AppendDefaultExt(Properties& props) {
    if (props.FileTitle.find(u'.') != std::u16string::npos || props.DefaultExt.empty()) return;
    const std::u16string suffix = u"." + props.DefaultExt;
    props.FileName += suffix;
    props.FileTitle += suffix;
}

std::optional<ScreenPoint> PlaceDialogAt(const ScreenRect& dialog, const ScreenRect& desktop,
                                         const Properties& props) {
    if (props.Position == 0) return ScreenPoint{props.DialogLeft, props.DialogTop};
    auto dlgW = CheckedSub(dialog.right, dialog.left);
    auto dlgH = CheckedSub(dialog.bottom, dialog.top);
    auto scrW = CheckedSub(desktop.right, desktop.left);
    auto scrH = CheckedSub(desktop.bottom, desktop.top);
    if (!dlgW || !dlgH || !scrW || !scrH) return std::nullopt;
    auto spareW = CheckedSub(*scrW, *dlgW);
    auto spareH = CheckedSub(*scrH, *dlgH);
    if (!spareW || !spareH) return std::nullopt;
    // Integer division truncating toward zero: a dialog larger than the screen goes negative.
    return ScreenPoint{*spareW / 2, *spareH / 2};
}

}  // namespace qcd
