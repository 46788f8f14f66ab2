#pragma once

#include "playback/MpvTextureContext.h"
#include "playback/PlaybackControl.h"
#include "view/MyOpenGLView.h"

namespace lumenarc {

// Joins libmpv movies to the view's texture context: a movie's render context is made before
// its file loads and freed before its core goes.
class MpvPlayback {
public:
    struct Settings {
        bool audio = true;
        std::string videoOutput = "libmpv";
    };
    static PlaybackControl::MovieOpener movieOpener(MyOpenGLView& view, Settings settings);
    static MyOpenGLView::TextureContextFactory
    textureContexts(MyOpenGLView& view, MpvTextureContext::GetProcAddress getProcAddress,
                    void* procContext);
};

} // namespace lumenarc
