// The preview panel: the child dialog "QRCOMDLG" inside the Open dialog, its labels and
// buttons. A thin view over the panel window.
#pragma once

#include <windows.h>

#include <string>

#include "resources/resource_ids.h"

namespace qcd {

enum PanelId : int {
    kPreviewArea = IDC_PREVIEW_AREA,
    kTitleLabel = IDC_TITLE_LABEL,
    kSizeLabel = IDC_SIZE_LABEL,
    kIndexLabel = IDC_INDEX_LABEL,
    kStatusLabel = IDC_STATUS_LABEL,
    kPlayButton = IDC_PLAY_BUTTON,
    kForwardButton = IDC_FORWARD_BUTTON,
    kBackButton = IDC_BACK_BUTTON,
    kPauseButton = IDC_PAUSE_BUTTON,
    kFileNameBox = IDC_FILE_NAME_BOX,
};

inline constexpr wchar_t kPlayCaption[] = L"＞";
inline constexpr wchar_t kStopCaption[] = L"□";

class PanelView {
public:
    explicit PanelView(HWND panel) : panel_(panel) {}
    HWND Window() const { return panel_; }
    HWND Item(int id) const { return GetDlgItem(panel_, id); }

    void SetText(int id, std::u16string_view text) const { SetText(id, std::u16string(text)); }
    void SetText(int id, const std::u16string& text) const;
    void SetText(int id, const wchar_t* text) const { SetDlgItemTextW(panel_, id, text); }
    std::u16string Text(int id) const;
    void Enable(int id, bool enabled) const { EnableWindow(Item(id), enabled); }
    void ClearLabels() const;

    // Shows or hides the four buttons where they are.
    void ShowButtons() const;
    void HideButtons() const;

    // Pixel size of the preview area; false when it cannot be measured or overflows.
    bool AreaSize(int& width, int& height) const;

    // The keyboard focus back to the common dialog's file list.
    void FocusFileList() const;

private:
    void PlaceButtons(UINT showOrHide) const;
    HWND panel_;
};

}  // namespace qcd
