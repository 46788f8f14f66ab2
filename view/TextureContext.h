#pragma once

#include "render/FrameTexture.h"
#include "view/RenderThread.h"

namespace lumenarc {

class Movie;

// Hands the chosen movie's frames to the view as GL textures of the view's context. It lives for
// the whole run; everything but setMovie runs on the render thread with the context current.
class TextureContext {
public:
    using TimeStamp = RenderThread::Clock::time_point;

    virtual ~TextureContext() = default;

    // Main thread: frames of this movie come from now on; nullptr ends delivery. No reference
    // to the movie is kept: a movie stops delivering on its own before it goes.
    virtual void setMovie(const Movie* movie) = 0;

    // Once, before anything else on the render thread: the GL context is ready.
    virtual void prepare() = 0;
    // The size of the drawable in pixels; frames need not be finer than this.
    virtual void setTargetSize(int width, int height) = 0;
    // True when a frame other than the last copied one is due.
    virtual bool isNewImageAvailable(TimeStamp outputTime) = 0;
    // The due frame, or nullptr when it cannot be had.
    virtual FrameTextureRef copyImageForTime(TimeStamp outputTime) = 0;
    // Housekeeping once after each drawn frame.
    virtual void task() = 0;
    // Frees everything the context holds in GL and in the decoder's renderer. Last.
    virtual void release() = 0;
};

} // namespace lumenarc
