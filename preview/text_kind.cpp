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
        // Set once: filling a multi-line edit piece by piece is many times slower.
        SetWindowTextW(box, win::Wide(text));
        if (!canvas_.LetMessagesRun()) return StartResult::Overtaken;
        canvas_.PlaceTextView();
        return StartResult::Shown;
    }

  private:
    Canvas& canvas_;
};

}  // namespace

std::unique_ptr<Kind> MakeTextKind(Canvas& canvas) { return std::make_unique<TextKind>(canvas); }

}  // namespace qcd
