#pragma once

#include "movie/MovieTime.h"
#include "view/DisplayLink.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>

namespace lumenarc {

class MovieStatus;
class MyOpenGLView;

// Moves decoded frames to the screen, once per display refresh: the display link's callback
// asks the texture context for a due frame, swaps it in and draws. Everything here runs on the
// render thread; widget updates and the application's end are handed to the main thread.
class FramePump {
public:
    explicit FramePump(MyOpenGLView& view) : m_view(view) {}

    static int32_t MyRenderCallback(DisplayLink* displayLink, const DisplayLink::TimeStamp* now,
                                    const DisplayLink::TimeStamp* outputTime, uint64_t flagsIn,
                                    uint64_t* flagsOut, void* displayLinkContext);
    int32_t getFrameForTime(const DisplayLink::TimeStamp& outputTime, uint64_t* flagsOut);
    // One whole picture: position slider, the frame through the mesh, the end-of-movie test.
    void drawRect();

    // Play position as a slider value: current / duration in single precision; 0 when the
    // duration is 0, where the ratio has no meaning.
    static float sliderPosition(const MovieTime& current, const MovieTime& duration);
    // Frames delivered by the texture context and drawn, over the whole run.
    uint64_t framesDrawn() const { return m_framesDrawn.load(std::memory_order_relaxed); }

    // Whether new pictures wait at the refresh of `outputTime`.
    static bool held(const MovieStatus& status, const DisplayLink::TimeStamp& outputTime);

    static bool shouldTerminate(bool movieDone, bool looping, bool quitWhenMovieFinishes) {
        return movieDone && !looping && quitWhenMovieFinishes;
    }

private:
    void drawOnceAtTheEnd();
    // A frame whose instant on screen the platform will tell; and the instants that came, each
    // handed to the presented hook with its frame's movie time.
    void awaitShown(uint64_t token, const MovieTime& time);
    void reportShown();
    // Hands the end of a movie to the main thread: once per movie, and once more should the
    // run have come to want to quit at the end since.
    void reportEnd(const std::shared_ptr<const MovieStatus>& status, bool quit);

    MyOpenGLView& m_view;
    bool m_endDrawn = false; // render thread only
    std::atomic<uint64_t> m_framesDrawn{0};
    std::shared_ptr<const MovieStatus> m_endReported; // render thread only
    bool m_endReportedQuit = false;
    struct Awaiting {
        uint64_t token;
        MovieTime time;
    };
    std::deque<Awaiting> m_awaiting; // render thread only
    static constexpr size_t kMaxAwaiting = 32;
};

} // namespace lumenarc
