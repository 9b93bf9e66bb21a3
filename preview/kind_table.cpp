// The kind of each row of the extension table. Adding a kind: its own file with its maker,
// and a row here.
#include <array>

#include "preview/dispatcher.h"

namespace qcd {

std::unique_ptr<Kind> MakePictureKind(Canvas& canvas);
std::unique_ptr<Kind> MakeMetafileKind(Canvas& canvas);
std::unique_ptr<Kind> MakeIconKind(Canvas& canvas);
std::unique_ptr<Kind> MakeAniKind(Canvas& canvas);
std::unique_ptr<Kind> MakeProgramKind(Canvas& canvas);
std::unique_ptr<Kind> MakeTextKind(Canvas& canvas);
std::unique_ptr<Kind> MakeSoundKind(Canvas& canvas);
std::unique_ptr<Kind> MakeVideoKind(Canvas& canvas);
std::unique_ptr<Kind> MakeMciSoundKind(Canvas& canvas);

std::span<const KindTableRow> KindTable() {
    static constexpr KindTableRow kRows[] = {
        {PreviewRow::RasterPicture, MakePictureKind},
        {PreviewRow::Metafile, MakeMetafileKind},
        {PreviewRow::IconFile, MakeIconKind},
        {PreviewRow::AnimatedCursor, MakeAniKind},
        {PreviewRow::Video, MakeVideoKind},
        {PreviewRow::MciSound, MakeMciSoundKind},
        {PreviewRow::ProgramIcons, MakeProgramKind},
        {PreviewRow::Text, MakeTextKind},
        {PreviewRow::Vbmp3Sound, MakeSoundKind},
    };
    return kRows;
}

}  // namespace qcd
