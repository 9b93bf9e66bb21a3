#include "preview/button_rows.h"

namespace qcd {

std::u16string_view ButtonAction(PreviewKind kind, PanelButton button) {
    using K = PreviewKind;
    switch (button) {
        case PanelButton::Play:
            switch (kind) {
                case K::AnimatedCursorRunning: case K::Mp3Playing: case K::MciPlaying: case K::VideoPlaying:
                    return u"Stop";
                // Paused or seeking, a sound or an animation goes on from where it stands.
                case K::AnimatedCursorPaused: case K::Mp3Paused: case K::Mp3Forward: case K::Mp3Backward:
                case K::MciPaused:
                    return u"Resume";
                default:
                    return u"Play";
            }
        case PanelButton::Pause:
            switch (kind) {
                case K::AnimatedCursorPaused: case K::Mp3Paused: case K::MciPaused: case K::VideoPaused:
                    return u"Resume";
                default:
                    return u"Pause";
            }
        case PanelButton::Forward:
        case PanelButton::Back: {
            const bool forward = button == PanelButton::Forward;
            switch (kind) {
                // Still: a frame at a time.
                case K::AnimatedCursorPaused: case K::Video: case K::VideoPaused:
                    return forward ? u"Next frame" : u"Previous frame";
                // A video scans while it plays; a paused sound seeks.
                case K::VideoPlaying: case K::VideoForward: case K::VideoBackward:
                case K::Mp3Sound: case K::Mp3Playing: case K::Mp3Paused: case K::Mp3Forward: case K::Mp3Backward:
                case K::MciSound: case K::MciPlaying: case K::MciPaused:
                    return forward ? u"Fast forward" : u"Rewind";
                default:
                    return forward ? u"Next image" : u"Previous image";
            }
        }
    }
    return u"";
}

}  // namespace qcd
