#include "dialoghost/dialog_record.h"

#include <algorithm>

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

ColumnClearance ClearPreviewColumn(const ScreenRect& column, std::span<const ScreenRect> others,
                                   int32_t panelWidth, int32_t gap) {
    int64_t need = 0;
    for (const ScreenRect& o : others) {
        const bool overlaps = o.left < column.right && o.right > column.left &&
                              o.top < column.bottom && o.bottom > column.top;
        if (overlaps) need = std::max<int64_t>(need, int64_t{o.right} + gap - column.left);
    }
    const int64_t width = int64_t{column.right} - column.left;
    if (need <= 0 || 2 * need >= width) return {};
    const int64_t room = std::max<int64_t>(0, int64_t{panelWidth} - gap - column.right);
    const int64_t move = std::min(need, room);
    return {static_cast<int32_t>(move), static_cast<int32_t>(need - move)};
}

int32_t PreviewShare(int32_t extraWidth) { return std::max(extraWidth, 0) / 2; }

ScreenRect GrowColumn(const ScreenRect& first, ColumnPart part, int32_t extraWidth,
                      int32_t extraHeight) {
    // Narrower than at first (a platform that lets it): the column follows the panel's edge.
    const int32_t dw = extraWidth, dh = std::max(extraHeight, 0);
    const int32_t share = PreviewShare(dw), shift = dw - share;
    ScreenRect r = first;
    if (part == ColumnPart::Button) {
        const int32_t x = shift + share / 2;
        return {r.left + x, r.top + dh, r.right + x, r.bottom + dh};
    }
    r.left += shift;
    r.right += dw;
    if (part == ColumnPart::Area) r.bottom += dh;
    if (part == ColumnPart::Below) r.top += dh, r.bottom += dh;
    return r;
}

}  // namespace qcd
