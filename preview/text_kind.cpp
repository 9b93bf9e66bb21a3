// Text-like files: the first MiB decoded into the scrollable text box over the preview area.
#include <windows.h>

#include "platform/text.h"
#include "preview/canvas.h"
#include "preview/kind.h"
#include "preview/picture_loader.h"
#include "preview/text_decode.h"

namespace qcd {

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

// The edit control lays out all it is given in one go (a MiB took 1.1 s under Wine): the first
// screenful goes in at once, the rest in pieces with messages let run between them, so the
// dialog answers and the box can be read and scrolled while it fills.
constexpr size_t kFirstPiece = 4 << 10;
constexpr size_t kPiece = 64 << 10;
constexpr size_t kLongestPiecedLine = 16 << 10;

// Appends to the box's text without moving the reader's view or selection. The caret is left
// at the end between pieces, where the next one goes: placing it costs as much as a piece.
// `caretAtEnd` is where the last append left it; a selection the reader made since is kept.
void AppendKeepingView(HWND box, std::u16string_view piece, DWORD& caretAtEnd) {
    DWORD selStart = 0, selEnd = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                 reinterpret_cast<LPARAM>(&selEnd));
    const bool readerMoved = selStart != caretAtEnd || selEnd != caretAtEnd;
    const auto top = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
    const int column = GetScrollPos(box, SB_HORZ);
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    if (readerMoved) {
        const auto length = static_cast<WPARAM>(GetWindowTextLengthW(box));
        SendMessageW(box, EM_SETSEL, length, static_cast<LPARAM>(length));
    }
    SendMessageW(box, EM_REPLACESEL, FALSE,
                 reinterpret_cast<LPARAM>(win::Wide(std::u16string(piece))));
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&caretAtEnd), 0);
    if (readerMoved) SendMessageW(box, EM_SETSEL, selStart, static_cast<LPARAM>(selEnd));
    // Scrolling to the new caret moved the view: put it back.
    if (GetScrollPos(box, SB_HORZ) != column)
        SendMessageW(box, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, column), 0);
    const auto nowTop = SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0);
    if (nowTop != top) SendMessageW(box, EM_LINESCROLL, 0, top - nowTop);
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    // The scroll bars too: their range grew while nothing was drawn.
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

class TextKind final : public Kind {
  public:
    explicit TextKind(Canvas& canvas) : canvas_(canvas) {}

    StartResult Start(const std::u16string& path) override {
        HWND box = canvas_.TextView();
        const auto file = FileBytes::Read(path, kTextReadSize);
        if (!file) return StartResult::Shown;
        const std::u16string text = DecodeTextPreview(file->Bytes(), SystemAnsiCodePage());
        // A new font lays the whole text out again: change it while the box is empty.
        const auto font = SendMessageW(canvas_.Panel(), WM_GETFONT, 0, 0);
        if (SendMessageW(box, WM_GETFONT, 0, 0) != font) {
            SetWindowTextW(box, L"");
            SendMessageW(box, WM_SETFONT, font, FALSE);
        }
        // The pieces are appended: no typing limit may cut them short.
        SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
        // A text of one piece goes in whole: appending to a shown box costs several times as
        // much per character as setting a hidden one. So does one with lines too long to end
        // a piece: each piece would lay its whole line out again.
        const bool inPieces = text.size() > kPiece && LongestLine(text) <= kLongestPiecedLine;
        size_t at = inPieces ? TextPieceEnd(text, 0, kFirstPiece) : text.size();
        SetWindowTextW(box, win::Wide(text.substr(0, at)));
        if (!canvas_.LetMessagesRun()) return StartResult::Overtaken;
        canvas_.PlaceTextView();
        if (at == text.size()) return StartResult::Shown;
        // Where the pieces go; a caret still there at the end goes back to the start, as
        // setting the whole text at once leaves it.
        const auto length = static_cast<DWORD>(GetWindowTextLengthW(box));
        DWORD caret = length;
        SendMessageW(box, EM_SETSEL, length, static_cast<LPARAM>(length));
        while (at < text.size()) {
            // Shown and answering: a new selection here ends this fill.
            if (!canvas_.LetMessagesRun()) return StartResult::Overtaken;
            const size_t end = TextPieceEnd(text, at, kPiece);
            AppendKeepingView(box, std::u16string_view(text).substr(at, end - at), caret);
            at = end;
        }
        DWORD selStart = 0, selEnd = 0;
        SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                     reinterpret_cast<LPARAM>(&selEnd));
        if (selStart == caret && selEnd == caret) SendMessageW(box, EM_SETSEL, 0, 0);
        return StartResult::Shown;
    }

  private:
    Canvas& canvas_;
};

}  // namespace

std::unique_ptr<Kind> MakeTextKind(Canvas& canvas) { return std::make_unique<TextKind>(canvas); }

}  // namespace qcd
