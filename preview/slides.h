// The order of the two slideshows behind a sound: the built-in pictures stepping back and
// forth, and the folder's pictures as the folder lister gives them. Portable code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "preview/preview_kind.h"

namespace qcd {

constexpr int16_t kBuiltinPictureCount = 7;

// The built-in picture shown next and the way the index moves; a dialog starts at 0 upwards.
struct BuiltinCycle {
    int16_t index = 0;
    bool forward = true;
    // After a picture is drawn: one on, and at either end the same index once more with the
    // direction turned, so the pictures run 0 .. 6, 6 .. 0, 0, 1 ...
    void Step();
};

// The pattern the folder slideshow lists its folder with.
inline constexpr std::u16string_view kSlidePattern = u"*.bmp;*.dib;*.jpg;*.gif";
// The lister's count is 16-bit.
constexpr size_t kMaxSlides = 32767;

// Whether `name` matches one of the ';'-separated patterns ('*' any run, '?' one character),
// letters compared without case.
bool MatchesPattern(std::u16string_view name, std::u16string_view patterns);

// The names of a folder that match the pattern, in a stable order by name (without case,
// then as written), at most kMaxSlides of them.
std::vector<std::u16string> SlideNames(std::vector<std::u16string> names,
                                       std::u16string_view patterns = kSlidePattern);

// The folder with its trailing backslash.
std::u16string WithBackslash(std::u16string folder);

// The slide after `index` among `count`, back to 0 past the last.
int16_t NextSlide(int16_t index, size_t count);

// After a transition that a press cut short: whether the slide stays on the area. An MP3
// sound in a play state keeps it, and so does a paused MIDI or CD sound, whose pause has
// just drawn the slide as its snapshot; anything else blanks it.
bool SlideStaysAfterAbort(PreviewKind kind);

// The part of a path after its last backslash.
std::u16string_view FileNameOf(std::u16string_view path);

}  // namespace qcd
