// The icons inside programs and libraries (.exe .dll .cpl .scr .ocx .vbx), stepped through with
// the buttons; "No Image" when there are none.
#include <windows.h>

#include <shellapi.h>

#include "platform/handles.h"
#include "platform/text.h"
#include "preview/canvas.h"
#include "preview/icon_strip.h"
#include "preview/kind.h"

namespace qcd {

namespace {

// Program icons are taken as 32 x 32 at 4 bits, whatever they really are.
constexpr StripImage kProgramIcon{32, 32, 4};

class ProgramKind final : public Kind {
  public:
    explicit ProgramKind(Canvas& canvas) : canvas_(canvas), strip_(canvas) {}

    StartResult Start(const std::u16string& path) override {
        if (Load(path) < 1)
            canvas_.SetText(PanelLabel::Index, kNoImageText);
        else
            strip_.ShowImageSet();
        return StartResult::Shown;
    }

    void Press(PanelButton button) override {
        PressIconSet({canvas_, strip_, canvas_.State(), {}}, button);
    }

  private:
    int32_t Load(const std::u16string& path) {
        const auto count =
            static_cast<int32_t>(ExtractIconExW(win::Wide(path), -1, nullptr, nullptr, 0));
        if (count < 1) return count;
        path_ = path;
        const bool ready = strip_.Prepare(
            std::vector<StripImage>(static_cast<size_t>(count), kProgramIcon),
            [this](int32_t n, HDC dc, int x) {
                HICON handle = nullptr;
                ExtractIconExW(win::Wide(path_), n - 1, &handle, nullptr, 1);
                win::unique_hicon icon(handle);
                if (icon) DrawIcon(dc, x, 0, icon.get());
            });
        return ready ? count : -1;
    }

    Canvas& canvas_;
    IconStrip strip_;
    std::u16string path_;
};

}  // namespace

std::unique_ptr<Kind> MakeProgramKind(Canvas& canvas) {
    return std::make_unique<ProgramKind>(canvas);
}

}  // namespace qcd
