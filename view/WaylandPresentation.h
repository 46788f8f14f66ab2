#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct wl_callback;
struct wl_display;
struct wl_event_queue;
struct wl_surface;
struct wp_presentation;
struct wp_presentation_feedback;

namespace lumenarc {

// The compositor's own word on when each committed picture went on screen (the Wayland
// presentation-time protocol). A thin layer: it asks for feedback on the next commit and hands
// back what came, on a private event queue that the render thread reads without blocking, so
// the toolkit's queues are never touched. Render thread only.
class WaylandPresentation {
public:
    struct Feedback {
        uint64_t token = 0;
        bool shown = false;  // false: the picture was discarded, never shown
        int64_t instant = 0; // nanoseconds of the clock named by clockId()
        uint64_t msc = 0;    // the refresh counter, 0 when the output has none
        int64_t refresh = 0; // the output's period as the compositor states it, 0 unknown
    };

    // nullptr when the compositor offers no presentation feedback.
    static std::unique_ptr<WaylandPresentation> create(wl_display* display, wl_surface* surface);
    ~WaylandPresentation();
    WaylandPresentation(const WaylandPresentation&) = delete;
    WaylandPresentation& operator=(const WaylandPresentation&) = delete;

    // The POSIX clock the compositor stamps in.
    int clockId() const { return m_clockId; }
    // Feedback on the surface's next commit, to come back with `token`.
    void request(uint64_t token);
    // A frame callback on the surface's next commit: the compositor says when it took that
    // picture, after which the next commit can no longer replace it unseen.
    void requestFrame();
    // Waits, up to `timeout` ns, until the picture of the last frame callback was taken. False
    // on a time-out; after one, it waits no more until a callback comes again (a window the
    // compositor does not show gets none).
    bool waitForFrame(int64_t timeout);
    // Reads what the compositor sent, without waiting, and moves the finished feedback to `out`.
    void collect(std::vector<Feedback>& out);
    // Requests whose feedback has not come yet.
    size_t pending() const { return m_pending.size(); }
    static constexpr size_t kMaxPending = 32;

    // Called by the protocol's listeners.
    struct Request;
    void finished(Request* request, const Feedback& feedback);
    void setClockId(uint32_t id) { m_clockId = static_cast<int>(id); }
    void frameDone();

private:
    WaylandPresentation(wl_display* display, wl_surface* surface, wl_event_queue* queue);
    // Reads and dispatches this queue, waiting up to `timeout` ns for something to read.
    void readEvents(int64_t timeout = 0);

    wl_display* m_display;
    wl_surface* m_surface;
    wl_event_queue* m_queue;
    wp_presentation* m_presentation = nullptr;
    wl_surface* m_surfaceOnQueue = nullptr; // the surface, its requests' answers on our queue
    wl_callback* m_frame = nullptr;         // the frame callback waited for
    bool m_framesCome = true;
    int m_clockId = 1; // CLOCK_MONOTONIC until the compositor says otherwise
    std::vector<std::unique_ptr<Request>> m_pending;
    std::vector<Feedback> m_done;
};

} // namespace lumenarc
