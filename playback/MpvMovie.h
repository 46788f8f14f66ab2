#pragma once

#include "view/Movie.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct mpv_handle;
struct mpv_event;
struct mpv_event_property;

namespace lumenarc {

// A movie played by its own libmpv core. The core runs on threads of its own; what it reports
// (position, duration, end, display size, title) reaches this object as events, which are drained
// on the main thread and published as atomics, so the drawing thread reads times and the end state
// without ever calling into libmpv.
//
// Events arrive through MainThread::post. Without a main-thread queue installed, nothing drains
// them by itself: the owner then calls processEvents.
class MpvMovie final : public Movie {
public:
    // Units per second of every time a movie reports: the MPEG clock, which holds a whole number
    // of units per frame at 24, 25, 30, 50 and 60 frames per second, and 3003 at 29.97.
    static constexpr int32_t kTimeScale = 90000;

    struct Options {
        // The core's video output; "null" decodes without pictures. Any other output falls back
        // to "null" when it cannot start (libmpv without a render context), until reloadVideo.
        std::string videoOutput = "libmpv";
        // False plays no sound (ao=null); true falls back to no sound on a machine without one.
        bool audio = true;
        // Called on the caller's thread with the initialised core before the file is loaded: a
        // libmpv render context must exist before mpv starts its video output.
        std::function<void(mpv_handle*)> beforeLoad;
        // Called by the destructor, on the destroying thread, before the core goes: any render
        // context of the core must be freed here.
        std::function<void(mpv_handle*)> beforeDestroy;
        std::chrono::milliseconds openTimeout{10000};
    };

    // The movie, paused at its start, or nullptr with the reason in *error (for example "file
    // not found" or "unrecognized file format"). Waits at most openTimeout for the file to load.
    static std::shared_ptr<MpvMovie> open(const std::string& path, const Options& options,
                                          std::string* error);
    // Runs on the thread that lets go of the last reference. Any render context of handle() must
    // be freed by then, at the latest in Options::beforeDestroy.
    ~MpvMovie() override;
    MpvMovie(const MpvMovie&) = delete;
    MpvMovie& operator=(const MpvMovie&) = delete;

    mpv_handle* handle() const { return m_handle; }
    // The display size once the video output knows it, else the natural size. Any thread.
    Size videoSize() const;
    // Main thread: starts the configured video output again and selects the video track, for a
    // render context that appeared after the file was loaded.
    void reloadVideo();
    // Main thread: drains the core's events and updates the published state.
    void processEvents();
    // Extensions (lower case, no dots) of the files the decoder can open, sorted.
    static std::vector<std::string> movieUnfilteredFileTypes();

    Size naturalSize() const override { return m_naturalSize; }
    std::string displayName() const override { return m_displayName; }
    void setLoops(bool loops) override;

    // Main thread: also asks the core whether it paused by itself at the end.
    float rate() const override;
    void setRate(float rate) override;
    void play() override { setRate(1.0f); }
    void stepForward() override;
    void stepBackward() override;

    // The time of the frame on show; after setCurrentTime, the time asked for until the seek
    // lands on the first frame at or after it.
    MovieTime currentTime() const override;
    MovieTime duration() const override;
    void setCurrentTime(const MovieTime& time) override;

    void setVolume(float volume) override;
    bool isDone() const override;

private:
    MpvMovie(mpv_handle* handle, Options options, std::string fileName);

    bool start(std::string* error);
    bool configure(std::string* error);
    void observeProperties();
    bool load(const std::string& path, std::string* error);
    bool waitUntilLoaded(std::string* error);
    void readLoadedFile();
    void startEventDelivery(const std::shared_ptr<MpvMovie>& self);
    void postProcessEvents();
    static void wakeup(void* context);

    void handleEvent(const mpv_event& event);
    void handlePropertyChange(uint64_t which, const mpv_event_property& property);
    void stop();

    void setPaused(bool paused);
    bool corePaused() const;
    void setBackward(bool backward);
    void command(std::initializer_list<const char*> words);

    mpv_handle* m_handle;
    const Options m_options;
    const std::string m_fileName;
    std::weak_ptr<MpvMovie> m_self; // set once, before events are delivered

    // Main thread only.
    Size m_naturalSize;
    std::string m_displayName;
    int64_t m_videoTrack = 0;
    bool m_backward = false;
    int64_t m_displayWidth = 0;
    int64_t m_displayHeight = 0;

    // Read by any thread.
    std::atomic<float> m_rate{1.0f};    // the rate last given; applies while not paused
    std::atomic<bool> m_paused{true};   // by setRate or by stepping
    std::atomic<bool> m_ended{false};   // the core's eof-reached
    std::atomic<bool> m_stopped{false}; // the file is gone: an error after loading
    std::atomic<bool> m_loops{false};
    std::atomic<bool> m_drainQueued{false}; // a processEvents task is on its way
    std::atomic<int64_t> m_time{0};
    std::atomic<int64_t> m_duration{0};
    std::atomic<Size> m_displaySize{Size{}};
};

} // namespace lumenarc
