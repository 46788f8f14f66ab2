#pragma once

#include "render/FrameTexture.h"
#include "softwarp/SoftWarper.h"
#include "softwarp/WarpMapKey.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace lumenarc {

class DistortionMatrix;

// The view's warp of frames kept in memory (FrameTexture::inMemory): the picture sampled through
// the mesh's warp map on the processor into a view-sized texture, which the frame pass draws as
// one quad instead of the mesh's triangles. Where the map cannot draw the frame now, the picture
// goes into a texture for the triangles instead: a mesh the map cannot draw (a fold, nodes too
// far out), said once in the log per mesh; and inputs that keep changing faster than a map
// builds (a drag, a rotation, a resize), until they have rested for one map's build time.
// Render thread only, with the context current; nothing here refers to a frame after the
// drawing it was prepared for.
class ProcessorWarp {
public:
    using Clock = std::chrono::steady_clock;

    // What the frame pass draws: the warped frame as it is, or the picture through the
    // triangles; neither when there is no mesh to draw through.
    struct Drawing {
        const FrameTexture* warped = nullptr;
        const FrameTexture* triangles = nullptr;
    };
    Drawing prepare(const DistortionMatrix* mesh, const FrameTexture::Picture& picture,
                    Clock::time_point now);
    // Whether a map of inputs that last changed `sinceChange` ago is built now: once they have
    // stayed for as long as the last map took to build (at once for the first).
    static bool rested(Clock::duration sinceChange, Clock::duration buildTime) {
        return sinceChange >= buildTime;
    }
    // Whether the last drawing drew the triangles only because the inputs were still changing,
    // and they have rested since: drawn again now, the frame would go through the map. A paused
    // picture is drawn again then, so that it ends as the map draws it.
    bool mapDue(Clock::time_point now) const {
        return m_waiting && rested(now - m_changedAt, m_buildTime);
    }
    // Frees the textures, with the context current.
    void release();

private:
    bool mapReady(const DistortionMatrix& mesh, const WarpMapKey& key, Clock::time_point now);
    const FrameTexture* warp(const FrameTexture::Picture& picture, int width, int height);
    const FrameTexture* upload(const FrameTexture::Picture& picture);

    SoftWarper m_soft;
    WarpMapKey m_seen;             // the inputs of the last frame
    Clock::time_point m_changedAt; // when they last changed
    Clock::duration m_buildTime{}; // what the last map took
    bool m_waiting = false;        // the last drawing waited for the inputs to rest
    uint64_t m_refusedMesh = 0;    // the serial of the last mesh the map could not draw
    std::vector<uint8_t> m_warped; // the view's pixels, rows bottom first
    FrameTexture m_warpedTexture;  // view-sized, nearest: one texel a pixel
    int m_warpedWidth = 0;
    int m_warpedHeight = 0;
    FrameTexture m_pictureTexture; // the picture, for the triangles
    int m_pictureWidth = 0;
    int m_pictureHeight = 0;
};

} // namespace lumenarc
