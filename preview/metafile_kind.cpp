// Metafiles (.wmf .emf): stretched over the whole preview area. A plain WMF has no size of its
// own and gets the area's, in memory.
#include "preview/canvas.h"
#include "preview/kind.h"
#include "readers/metafile_check.h"
#include "readers/picture_headers.h"
#include "preview/picture_loader.h"

namespace qcd {

namespace {

// The player trusts every count in the file and crashes or loops on damaged ones: only what
// our validator accepts reaches it, judged by the content as the loader judges it.
bool MayBePlayed(std::span<const uint8_t> file) {
    const bool enhanced = file.size() >= 44 && file[0] == 1 && file[1] == 0 && file[2] == 0 &&
                          file[3] == 0 && file[40] == ' ' && file[41] == 'E' && file[42] == 'M' &&
                          file[43] == 'F';
    return enhanced ? IsSafeEmf(file) : IsSafeWmf(file);
}

class MetafileKind final : public Kind {
  public:
    explicit MetafileKind(Canvas& canvas) : canvas_(canvas) {}

    StartResult Start(const std::u16string& path) override {
        const auto file = FileBytes::ReadWhole(path, kMaxMetafileSize);
        if (!file || !MayBePlayed(file->Bytes()))
            return StartResult::Shown;
        bool hasOwnSize = true;
        std::optional<FileBytes> placeable;
        if (ExtensionKey(path) == u".wmf" && !IsPlaceableMetafile(file->Bytes())) {
            const auto copy =
                MakePlaceableCopy(file->Bytes(), canvas_.AreaWidth(), canvas_.AreaHeight());
            if (!copy) return StartResult::Shown;
            placeable = FileBytes::Copy(*copy);
            if (!placeable) return StartResult::Shown;
            hasOwnSize = false;
            if (canvas_.LetMessagesRun() != PumpResult::Continue) return StartResult::Overtaken;
        }
        if (!Load(placeable ? *placeable : *file)) return StartResult::Shown;
        PreviewState& state = canvas_.State();
        if (!hasOwnSize) state.pictureWidth = state.pictureHeight = 0;
        state.kind = PreviewKind::Picture;
        state.imageCount = state.imageIndex = 1;
        canvas_.SetText(PanelLabel::Size,
                        state.pictureWidth != 0 && state.pictureHeight != 0
                            ? SizeCaption(state.pictureWidth, state.pictureHeight,
                                          state.pictureBits)
                            : UnknownSizeCaption(state.pictureBits));
        return StartResult::Shown;
    }

    void Refit() override {
        Surface& copy = canvas_.Copy();
        if (canvas_.State().kind == PreviewKind::Picture && canvas_.Work())
            canvas_.Work()->Draw(copy.Dc(), 0, 0, copy.Width(), copy.Height());
    }

  private:
    // Loads a metafile into the work picture and stretches it over the copy; false (the copy blank)
    // when the platform cannot load it.
    bool Load(const FileBytes& file) {
        Surface& copy = canvas_.Copy();
        auto picture = LoadedPicture::FromBytes(file);
        if (!picture) {
            copy.Clear();
            return false;
        }
        // Stretched over the whole area: a metafile has no pixels to keep in proportion.
        picture->Draw(copy.Dc(), 0, 0, copy.Width(), copy.Height());
        PreviewState& state = canvas_.State();
        state.pictureWidth = picture->Width();
        state.pictureHeight = picture->Height();
        // The depth of the surface it was drawn on: a metafile has none of its own.
        state.pictureBits = BitmapBits(copy.Bitmap());
        canvas_.Work() = std::move(picture);
        return true;
    }

    Canvas& canvas_;
};

}  // namespace

std::unique_ptr<Kind> MakeMetafileKind(Canvas& canvas) {
    return std::make_unique<MetafileKind>(canvas);
}

}  // namespace qcd
