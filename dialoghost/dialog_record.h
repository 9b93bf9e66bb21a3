// What the Open and Save dialogs are given and what comes back: buffer sizes and contents,
// flags, the default-extension rule and the dialog's placement. Portable code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/properties.h"

namespace qcd {

// OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_PATHMUSTEXIST |
// OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING: a hooked dialog is resizable only when
// asked to be.
inline constexpr uint32_t kOpenFlags = 0x881864;
// OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_PATHMUSTEXIST | OFN_EXPLORER |
// OFN_ENABLESIZING. No OFN_FILEMUSTEXIST: a Save As dialog must accept the name of a file that
// does not exist yet.
inline constexpr uint32_t kSaveFlags = 0x880826;
inline constexpr int32_t kFileTitleBufferLength = 260;

// N: MaxFileSize when it is 1 or more, else 260.
int32_t FileBufferLength(int16_t maxFileSize);
// Systems outside the NT family get buffers of spaces, NT ones buffers of NULs.
char16_t BufferPadChar(bool nonNtPlatform);

// N - 1 pad characters and a NUL.
std::u16string OpenFileBuffer(int32_t n, char16_t pad);
// FileName followed by pad characters, cut to N - 1 characters, then a NUL.
std::u16string SaveFileBuffer(std::u16string_view fileName, int32_t n, char16_t pad);
// 259 pad characters and a NUL.
std::u16string FileTitleBuffer(char16_t pad);

// A cancelled or failed dialog empties the three results, in this order.
void ClearDialogResults(Properties& props);
// After a successful Save: a FileTitle without "." gets "." & DefaultExt on both names.
void AppendDefaultExt(Properties& props);

struct ScreenPoint {
    int32_t x;
    int32_t y;
};
struct ScreenRect {
    int32_t left, top, right, bottom;
    bool operator==(const ScreenRect&) const = default;
};
// Where a dialog goes when it is up: centred for any non-zero Position, else at
// (DialogLeft, DialogTop). Nothing when 32-bit arithmetic would overflow.
std::optional<ScreenPoint> PlaceDialogAt(const ScreenRect& dialog, const ScreenRect& desktop,
                                         const Properties& props);

// How the preview column (the box around the area and its labels, in the panel's coordinates)
// clears the file dialog's own controls that reach into it: moved right by `move` as far as
// the panel's width allows with `gap` left at its edge, then narrowed from the left by `trim`.
// Both 0 when nothing reaches in, or when clearing would take half the column or more.
struct ColumnClearance {
    int32_t move = 0, trim = 0;
};
ColumnClearance ClearPreviewColumn(const ScreenRect& column, std::span<const ScreenRect> others,
                                   int32_t panelWidth, int32_t gap);

// A dialog made larger than its first size: the platform widens the file list by all of the
// extra width and moves the preview column right by as much; the column takes half of it back.
// `PreviewShare` is the width the list side gives up, `GrowColumn` where a column control that
// stood at `first` (panel coordinates at the first size) stands now: the area keeps its right
// margin and grows by the share and by all of the extra height, the title stays above it, the
// labels below move down and span it, the buttons stay centred under it. Lower than at first
// counts as the first height; narrower moves the column with the panel's right edge.
enum class ColumnPart { Area, Above, Below, Button };
int32_t PreviewShare(int32_t extraWidth);
ScreenRect GrowColumn(const ScreenRect& first, ColumnPart part, int32_t extraWidth,
                      int32_t extraHeight);

}  // namespace qcd
