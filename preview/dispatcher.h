// The selection's preview: the panel's set-up, the teardown between previews, and the choice
// of a kind by the file's extension. Which kinds exist is the kind table's business alone.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "preview/canvas.h"
#include "preview/kind.h"

namespace qcd {

class MediaSession;

class PreviewDispatcher {
  public:
    PreviewDispatcher(Canvas& canvas, MediaSession& media);
    PreviewDispatcher(const PreviewDispatcher&) = delete;
    PreviewDispatcher& operator=(const PreviewDispatcher&) = delete;
    ~PreviewDispatcher();

    // Before the Open dialog: remembers where the text box lives.
    void BeginDialog();
    // After it: everything stopped and closed, the text box back home.
    void EndDialog();

    // The panel is made: buttons captioned and disabled, labels empty, the area blank. False
    // when the area cannot be measured.
    bool InitPanel(HWND panel);
    // The panel's windows are going.
    void PanelDestroyed();
    // WM_PAINT of the panel: the area repainted from the surface it shows.
    void PaintPanel();
    // The title label is drawn here: on one line, a name too long for it shortened in the
    // middle with its extension kept; the whole name stays the label's text, and is its
    // tooltip while shortened.
    void DrawTitle(const DRAWITEMSTRUCT& item) const;

    // Stops whatever a preview may have started; with `withVolume` also puts the wave-out
    // volume back. Every routine that let messages run meanwhile sees it was overtaken. False
    // when a newer event was handled while the stop let messages run: that one owns the panel.
    bool StopPreviewMedia(bool withVolume);
    // Hides the buttons, empties the labels, blanks the area and resets the shown state.
    bool ClearPreviewPanel();
    // The preview of a newly selected file: the panel cleared, the file's kind chosen by the
    // name's extension and started. Stop the previous preview first. False when the panel
    // could not be cleared or a newer event took it while the kind let messages run.
    bool PreviewFile(const std::u16string& path, const std::u16string& title);

    // The preview area has a new size: the copy follows it and the shown preview is drawn
    // again to fit, where it stood.
    void AreaResized();

    // The kind whose preview is shown, for the buttons; none before the first.
    ButtonTarget* Shown() { return shown_; }

    // What a press of the panel button `controlId` does now, for its tooltip and accessible
    // name (static text); null for another control.
    const wchar_t* ButtonActionText(int controlId) const;
    // A tooltip asks for its text: the button's action; false when it is no button's tooltip.
    bool FillButtonTip(NMTTDISPINFOW& info) const;

  private:
    Kind* KindFor(PreviewRow row) const;

    Canvas& canvas_;
    MediaSession& media_;
    std::vector<std::pair<PreviewRow, std::unique_ptr<Kind>>> kinds_;
    Kind* shown_ = nullptr;
    // The tooltips of the title label and the buttons, owned by the panel (they go with it).
    HWND tips_ = nullptr;
};

// Sent to the panel by a button's accessible object: the button's action text (static) as
// the message's result, for the button whose id is wParam.
inline constexpr UINT kButtonActionQuery = WM_APP + 0x51;

// The kinds of the extension table's rows; a row without a kind (yet) only runs the frame.
struct KindTableRow {
    PreviewRow row;
    KindMaker make;
};
std::span<const KindTableRow> KindTable();

}  // namespace qcd
