// Raster pictures (.bmp .dib .gif .jpg): fitted into the preview area with their size caption.
// The icon kinds fall back to the same drawing for a bitmap under an icon's name, and the
// slideshow loads its next slide through it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "readers/exif_orientation.h"
#include "preview/kind.h"
#include "readers/picture_headers.h"
#include "preview/picture_loader.h"

namespace qcd {

class Canvas;

std::unique_ptr<Kind> MakePictureKind(Canvas& canvas);

// A picture whose header is read as `kind`, fitted into the copy with its size caption; a
// picture that cannot be loaded leaves the copy blank.
void ShowPicture(Canvas& canvas, const FileBytes& file, PictureHeaderKind kind);

// The work picture, loaded with its shown size and depth, fitted into the copy with its size
// caption.
void ShowWorkPicture(Canvas& canvas);

// A picture the platform's loader decoded (it knows nothing of Exif) turned or mirrored as `o`
// says, drawn at the size it takes in a boxWidth x boxHeight box; nothing when memory runs out.
std::optional<LoadedPicture> UprightPicture(LoadedPicture picture, Orientation o,
                                            int32_t boxWidth, int32_t boxHeight);

// Loads a picture file fitted into the icon strip at the preview area's size (the next slide).
bool LoadPictureFit(Canvas& canvas, const std::u16string& path);

}  // namespace qcd
