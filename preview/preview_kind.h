// Preview kinds, the extension table that chooses them, the Open dialog's notification
// actions and the panel's caption formats. Portable code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qcd {

// A kind's own value is its stopped state; +1 running, +2 paused, +3/+4 seeking.
enum class PreviewKind : int16_t {
    None = 0,
    Picture = 10,
    Icon = 20,
    IconSet = 30,
    AnimatedCursor = 40,
    AnimatedCursorRunning = 41,
    AnimatedCursorPaused = 42,
    Mp3Sound = 50,
    Mp3Playing = 51,
    Mp3Paused = 52,
    Mp3Forward = 53,
    Mp3Backward = 54,
    MciSound = 60,
    MciPlaying = 61,
    MciPaused = 62,
    Video = 70,
    VideoPlaying = 71,
    VideoPaused = 72,
    VideoForward = 73,
    VideoBackward = 74,
};

// What a selection is previewed as, in the order the extension table is searched.
enum class PreviewRow : uint8_t {
    RasterPicture = 1,
    Metafile,
    IconFile,
    AnimatedCursor,
    Video,
    Vbmp3Sound,
    MciSound,
    ProgramIcons,
    Text,
    Unknown,
};

// The title as drawn where `fits` says what fits: whole when it fits; otherwise as much of the
// start of its name as fits, then "\u2026" and its extension (from its last dot), never
// splitting a surrogate pair; when not even that fits, as much of its start as fits with the
// ellipsis after it.
std::u16string FitTitle(std::u16string_view title,
                        const std::function<bool(std::u16string_view)>& fits);

// The last four characters of the file name, ASCII letters lower-cased.
std::u16string ExtensionKey(std::u16string_view fileTitle);
PreviewRow RowForKey(std::u16string_view key);
// The row for a file's title: its key's, or a picture's for .jpeg, .jfif and .tiff.
PreviewRow RowForTitle(std::u16string_view fileTitle);
// Media, icon and program rows show the (disabled) buttons before loading.
bool RowShowsButtons(PreviewRow row);
// Media rows restore the status line and pointer right after their open call.
bool RowIsMedia(PreviewRow row);

// A kind's value and its play states, and what they are.
struct KindFamily {
    PreviewKind base;
    PreviewKind last;  // the highest play state
    bool sound;        // a sound plays behind the preview area
    bool vbmp3;        // the sound is VBMP3's
    bool video;        // the video window draws the area itself
};
// The family of `kind`; None's for a value outside every family.
const KindFamily& FamilyOf(PreviewKind kind);
inline bool IsSound(PreviewKind kind) { return FamilyOf(kind).sound; }
inline bool IsVbmp3Sound(PreviewKind kind) { return FamilyOf(kind).vbmp3; }
inline bool IsVideo(PreviewKind kind) { return FamilyOf(kind).video; }

// The Open dialog's notifications, by code (compared as signed 32-bit numbers).
enum class NotifyAction : uint8_t { Ignore, PlaceDialog, SelectionChange, Reset, FileOk };
// Constant, so the cross build checks it against the platform's CDN_* values
// (dialoghost/common_dialog.cpp).
constexpr NotifyAction ActionForNotification(int32_t code) {
    switch (code) {
        case -601: return NotifyAction::PlaceDialog;      // CDN_INITDONE
        case -602: return NotifyAction::SelectionChange;  // CDN_SELCHANGE
        case -603:                                         // CDN_FOLDERCHANGE
        case -604:                                         // CDN_SHAREVIOLATION
        case -607: return NotifyAction::Reset;            // CDN_TYPECHANGE
        case -606: return NotifyAction::FileOk;           // CDN_FILEOK
        default: return NotifyAction::Ignore;             // CDN_HELP and anything else
    }
}

struct PreviewState {
    PreviewKind kind = PreviewKind::None;
    int32_t imageCount = 0, imageIndex = 0;
    int32_t frameCount = 0, frameIndex = 0;
    int32_t pictureWidth = 0, pictureHeight = 0;
    int16_t pictureBits = 0;
    int32_t soundLength = 0, soundPosition = 0;
    int16_t cdTrackMode = 0;
    std::u16string cdTrack;

    // What ClearPreviewPanel resets (the sound fields belong to the sound preview).
    void ResetShown() {
        kind = PreviewKind::None;
        imageCount = imageIndex = frameCount = frameIndex = 0;
        pictureWidth = pictureHeight = 0;
        pictureBits = 0;
    }
};

// 1, 4 and 8 bits give "2", "16", "256"; anything else "Full".
std::u16string ColorDepthText(int16_t bits);
// "640x480x256"
std::u16string SizeCaption(int32_t width, int32_t height, int16_t bits);
// "?? x ?? x 256"
std::u16string UnknownSizeCaption(int16_t bits);
// "1/3  Image"
std::u16string ImageLine(int32_t index, int32_t count);
// "2/8  Frame"
std::u16string FrameLine(int32_t index, int32_t count);

inline constexpr std::u16string_view kLoadingText = u"Loading...";
inline constexpr std::u16string_view kNoImageText = u"No Image";

}  // namespace qcd
