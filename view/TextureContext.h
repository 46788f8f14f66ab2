#pragma once

#include "render/FrameTexture.h"
#include "view/RenderThread.h"

#include <memory>

namespace lumenarc {

class Movie;

// Hands the open movie's frames to the view as GL textures of the view's context. Created and
// used on the render thread, with the context current, except setMovie.
class TextureContext {
public:
    using TimeStamp = RenderThread::Clock::time_point;

    virtual ~TextureContext() = default;

    // Main thread: frames of this movie come from now on; nullptr ends delivery.
    virtual void setMovie(const std::shared_ptr<Movie>& movie) = 0;
    // True when a frame other than the last copied one is due.
    virtual bool isNewImageAvailable(TimeStamp outputTime) = 0;
    // The due frame, or nullptr when it cannot be had.
    virtual FrameTextureRef copyImageForTime(TimeStamp outputTime) = 0;
    // Housekeeping once after each drawn frame.
    virtual void task() = 0;
    // Frees what the context holds in GL and in the decoder, with the GL context current.
    virtual void release() = 0;
};

} // namespace lumenarc
