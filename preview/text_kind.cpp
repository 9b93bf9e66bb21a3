// Text-like files: the first MiB decoded into the scrollable text box over the preview area.
#include <windows.h>

#include "platform/clock.h"
#include "platform/text.h"
#include "preview/canvas.h"
#include "preview/kind.h"
#include "preview/picture_loader.h"
#include "readers/text_decode.h"

namespace qcd {

using win::NowMs;

namespace {

// The system code page as the text decoder needs it.
const AnsiCodePage& SystemAnsiCodePage() {
    static const AnsiCodePage ansi{
        [](uint8_t b) { return IsDBCSLeadByte(b) != FALSE; },
        [](std::span<const uint8_t> bytes) {
            std::u16string text;
            if (bytes.empty()) return text;
            const auto n = static_cast<int>(bytes.size());
            const auto* in = reinterpret_cast<const char*>(bytes.data());
            const int wide = MultiByteToWideChar(CP_ACP, 0, in, n, nullptr, 0);
            if (wide <= 0) return text;
            text.resize(static_cast<size_t>(wide));
            MultiByteToWideChar(CP_ACP, 0, in, n, reinterpret_cast<wchar_t*>(text.data()), wide);
            return text;
        }};
    return ansi;
}

// The edit control lays out all it is given in one go (a MiB of short lines takes seconds
// under Wine): the first lines go into the shown box at once, the whole text into the hidden
// fill box in timed pieces with messages let run between them, so the dialog answers and the
// first lines can be read while it fills; then the fill box is shown instead.
constexpr size_t kFirstLines = 64;
constexpr size_t kFirstPiece = 2 << 10;

// A new font lays the whole text out again: the box is emptied before it gets one.
void Prepare(HWND box, WPARAM font) {
    SetWindowTextW(box, L"");
    if (static_cast<WPARAM>(SendMessageW(box, WM_GETFONT, 0, 0)) != font)
        SendMessageW(box, WM_SETFONT, font, FALSE);
    // The pieces are appended: no typing limit may cut them short.
    SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
}

class TextKind final : public Kind {
  public:
    explicit TextKind(Canvas& canvas) : canvas_(canvas) {}

    StartResult Start(const std::u16string& path) override {
        HWND box = canvas_.TextView();
        const auto file = FileBytes::Read(path, kTextReadSize);
        if (!file) return StartResult::Shown;
        const std::u16string text = DecodeTextPreview(file->Bytes(), SystemAnsiCodePage());
        if (canvas_.LetMessagesRun() != PumpResult::Continue) return StartResult::Overtaken;
        const auto font = static_cast<WPARAM>(SendMessageW(canvas_.Panel(), WM_GETFONT, 0, 0));
        Prepare(box, font);
        const size_t first = FirstLinesEnd(text, kFirstLines, kFirstPiece);
        const double t0 = NowMs();
        SetWindowTextW(box, win::Wide(text.substr(0, first)));
        // The first lines' time sizes the first piece of the fill.
        size_t piece = NextTextPiece(first, NowMs() - t0);
        if (canvas_.LetMessagesRun() != PumpResult::Continue) return StartResult::Overtaken;
        canvas_.PlaceTextView();
        if (first == text.size()) return StartResult::Shown;

        HWND fill = canvas_.FillView();
        Prepare(fill, font);
        for (size_t at = 0; at < text.size();) {
            // Shown and answering: a new selection here ends this fill.
            if (canvas_.LetMessagesRun() != PumpResult::Continue) return StartResult::Overtaken;
            const size_t end = TextPieceEnd(text, at, piece);
            const double t0 = NowMs();
            SendMessageW(fill, EM_REPLACESEL, FALSE,
                         reinterpret_cast<LPARAM>(win::Wide(text.substr(at, end - at))));
            piece = NextTextPiece(end - at, NowMs() - t0);
            at = end;
        }
        // The pieces left the view at the end; going back to the start costs as much as a
        // piece, so it is done on its own before the swap.
        SendMessageW(fill, EM_LINESCROLL, 0, -SendMessageW(fill, EM_GETFIRSTVISIBLELINE, 0, 0));
        if (canvas_.LetMessagesRun() != PumpResult::Continue) return StartResult::Overtaken;
        canvas_.SwapInFillView();
        return StartResult::Shown;
    }

  private:
    Canvas& canvas_;
};

}  // namespace

std::unique_ptr<Kind> MakeTextKind(Canvas& canvas) { return std::make_unique<TextKind>(canvas); }

}  // namespace qcd
