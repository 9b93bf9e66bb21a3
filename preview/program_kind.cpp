// The icons inside programs and libraries (.exe .dll .cpl .scr .ocx .vbx), stepped through with
// the buttons; "No Image" when there are none. The icons are found by our own reader of the
// program's resources and each is made from its bytes when it is first shown: the platform's
// own extraction crashes on damaged programs.
#include <windows.h>

#include "platform/handles.h"
#include "platform/mapped_file.h"
#include "preview/canvas.h"
#include "preview/icon_strip.h"
#include "preview/kind.h"
#include "readers/pe_icons.h"

namespace qcd {

namespace {

// Program icons are taken as 32 x 32 at 4 bits, whatever they really are.
constexpr StripImage kProgramIcon{32, 32, 4};
// Larger files are not mapped: the address space of a 32-bit host is the user's.
constexpr uint64_t kMaxProgramSize = 256 << 20;

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

    // The file is let go: the next preview is another's, and the file may be deleted.
    void Stop() override { file_.reset(); }

    void Refit() override { strip_.DrawAgain(); }

    void Press(PanelButton button) override {
        PressIconSet({canvas_, strip_, canvas_.State(), {}}, button);
    }

  private:
    int32_t Load(const std::u16string& path) {
        file_ = win::MappedFile::Open(path, kMaxProgramSize);
        if (!file_) return -1;
        info_ = ReadPeIcons(file_->Bytes());
        if (info_.count < 1) return info_.count;
        const bool ready = strip_.Prepare(
            std::vector<StripImage>(static_cast<size_t>(info_.count), kProgramIcon),
            [this](int32_t n, HDC dc, int x) { DrawProgramIcon(n, dc, x); });
        return ready ? info_.count : -1;
    }

    void DrawProgramIcon(int32_t n, HDC dc, int x) const {
        if (!file_ || n < 1 || static_cast<size_t>(n) > info_.icons.size()) return;
        const IconImagePlace& place = info_.icons[static_cast<size_t>(n - 1)].place;
        const auto bytes = file_->Bytes().subspan(place.offset, place.size);
        // The platform reads the image in place; it wants a writable pointer it does not write.
        win::unique_hicon icon(CreateIconFromResourceEx(const_cast<PBYTE>(bytes.data()),
                                                        static_cast<DWORD>(bytes.size()), TRUE,
                                                        0x00030000, IconStrip::kCell,
                                                        IconStrip::kCell, LR_DEFAULTCOLOR));
        if (icon) DrawIcon(dc, x, 0, icon.get());
    }

    Canvas& canvas_;
    IconStrip strip_;
    // The program shown, mapped for the icons made as they are stepped to.
    std::optional<win::MappedFile> file_;
    PeIconsInfo info_;
};

}  // namespace

std::unique_ptr<Kind> MakeProgramKind(Canvas& canvas) {
    return std::make_unique<ProgramKind>(canvas);
}

}  // namespace qcd
