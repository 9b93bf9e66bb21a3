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
        if (!strip_.Prepare(std::vector<StripImage>(static_cast<size_t>(count), kProgramIcon)))
            return -1;
        // One call extracts them all: the file is opened once, not once per icon.
        // Owners ready before the icons exist: nothing can fail between their making and owning.
        std::vector<HICON> handles(static_cast<size_t>(count), nullptr);
        std::vector<win::unique_hicon> icons;
        icons.reserve(handles.size());
        const UINT extracted =
            ExtractIconExW(win::Wide(path), 0, handles.data(), nullptr, static_cast<UINT>(count));
        for (HICON h : handles) icons.emplace_back(h);
        if (extracted == 0 || extracted == UINT_MAX) return -1;
        for (int32_t n = 1; n <= count; ++n) {
            const HICON icon = icons[static_cast<size_t>(n - 1)].get();
            if (!icon) continue;
            const auto cell = strip_.CellOf(n);
            DrawIcon(cell.Dc(), cell.X(), 0, icon);
        }
        return count;
    }

    Canvas& canvas_;
    IconStrip strip_;
};

}  // namespace

std::unique_ptr<Kind> MakeProgramKind(Canvas& canvas) {
    return std::make_unique<ProgramKind>(canvas);
}

}  // namespace qcd
