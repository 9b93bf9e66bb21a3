// What the video and MCI-sound kinds share: the file they opened and the context their
// routines are called with.
#pragma once

#include <string>

#include "media/media_session.h"
#include "preview/canvas.h"
#include "preview/kind.h"
#include "preview/media_steps.h"

namespace qcd {

class MediaKind : public Kind {
  protected:
    explicit MediaKind(Canvas& canvas) : canvas_(canvas) {}

    // Remembers the file for the routines that follow the start.
    void Opening(const std::u16string& path) {
        path_ = path;
        const size_t slash = path.find_last_of(u"\\/");
        title_ = slash == std::u16string::npos ? path : path.substr(slash + 1);
    }

    // Only while canvas_.Media() is there.
    MediaContext Context() {
        MediaSession& media = *canvas_.Media();
        return {canvas_,     canvas_.State(),      canvas_.Timers(),
                media.Mci(), media.VideoAlias(),   path_,
                title_,      canvas_.Background(), [this] { return canvas_.Generation(); },
                canvas_};
    }

    Canvas& canvas_;

  private:
    std::u16string path_, title_;
};

}  // namespace qcd
