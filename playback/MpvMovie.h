#pragma once

#include "movie/Movie.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct mpv_handle;
struct mpv_event;
struct mpv_event_property;

namespace lumenarc {

// A movie played by its own libmpv core. The core runs on threads of its own; what it reports
// (position, duration, end, picture size, title) reaches this object as events, which are drained
// on the main thread and published in the movie's MovieStatus, so other threads read times and
// the end state without ever calling into libmpv, and without holding the movie.
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
        // to "null" when it cannot start (libmpv without a render context).
        std::string videoOutput = "libmpv";
        // False plays no sound (ao=null); true falls back to no sound on a machine without one.
        bool audio = true;
        // The sound's device as libmpv names it ("" for libmpv's default); one that cannot play
        // falls back to no sound.
        std::string audioDevice{};
        // Seconds the sound plays after the pictures (before them when negative).
        double audioDelay = 0;
        // Called by open() on the caller's thread with the started movie, before its file is
        // loaded: a libmpv render context must exist before mpv starts its video output.
        std::function<void(MpvMovie&)> beforeLoad;
        // Called by the destructor, on the destroying thread, before the core goes: any render
        // context of the core must be freed here.
        std::function<void(mpv_handle*)> beforeDestroy;
        // How the movie is destroyed once its last reference goes, on whatever thread that is;
        // by default at once, on that thread. The player hands it to its core reaper.
        std::function<void(MpvMovie*)> dispose;
        // How long open() waits for the file.
        std::chrono::milliseconds openTimeout{10000};
    };
    // Called once on the main thread when a load ends: empty reason on success.
    using LoadDone = std::function<void(const std::string& reason)>;
    // Main thread: each position the core reports, in seconds; `landed` when a seek has just
    // landed there.
    using PositionObserver = std::function<void(double seconds, bool landed)>;

    // Main thread: a started core with nothing loaded, or nullptr with the reason in *error.
    static std::shared_ptr<MpvMovie> create(const Options& options, std::string* error);
    // Main thread: starts loading the file and returns at once. `done` runs from the main
    // thread's queue, in a turn of its own after the event that ended the load (so it may run
    // the event loop), once the pictures can be decoded (or the file has none), or with the
    // reason the load failed, for example "file not found", "unrecognized file format" or a
    // decoder's refusal. It does not run once the movie is gone.
    void beginLoad(const std::string& path, LoadDone done);
    // The movie, loaded and paused at its start, or nullptr with the reason in *error: create,
    // beforeLoad, beginLoad, then the events drained here for at most openTimeout.
    static std::shared_ptr<MpvMovie> open(const std::string& path, const Options& options,
                                          std::string* error);
    // Runs where Options::dispose puts it. Any render context of handle() must be freed by
    // then, at the latest in Options::beforeDestroy.
    ~MpvMovie() override;
    MpvMovie(const MpvMovie&) = delete;
    MpvMovie& operator=(const MpvMovie&) = delete;

    mpv_handle* handle() const { return m_handle; }
    // The display size once the video output knows it, else the natural size. Any thread.
    Size videoSize() const;
    bool isLoaded() const { return m_load == LoadState::Loaded; }
    // Main thread: drains the core's events and updates the published state.
    void processEvents();
    // Extensions (lower case, no dots) of the files the decoder can open, sorted.
    static std::vector<std::string> movieUnfilteredFileTypes();

    Size naturalSize() const override { return m_naturalSize; }
    std::string displayName() const override { return m_displayName; }
    void setLoops(bool loops) override;

    float rate() const override { return m_status->rate(); }
    void setRate(float rate) override;
    void play() override { setRate(1.0f); }
    void stepForward() override;
    void stepBackward() override;

    // The time of the frame on show; after setCurrentTime, the time asked for until the seek
    // lands on the first frame at or after it.
    MovieTime currentTime() const override { return m_status->currentTime(); }
    MovieTime duration() const override { return m_status->duration(); }
    void setCurrentTime(const MovieTime& time) override;

    void setVolume(float volume) override;
    // Main thread: the device the sound goes to from now on ("" for libmpv's default).
    void setAudioDevice(const std::string& name);
    // Main thread: seconds the sound plays after the pictures from now on.
    void setAudioDelay(double seconds);
    // Main thread, before the file loads and before the core gets its render context: libmpv's
    // hwdec value. False, with libmpv's reason in *error, when it refuses the value.
    bool setHardwareDecoding(const std::string& hwdec, std::string* error);
    // Main thread: plays at the rate times `trim` without changing the rate the movie reports,
    // so that a follower can pull its picture in without the controls showing it.
    void setSpeedTrim(double trim);
    // Main thread: pauses with `rate` as the rate that playing on resumes. The core's sound is
    // made at that speed from the next seek on, so that starting needs no change of speed: a
    // change while playing moves the picture by the sound already buffered (a 1.25 to 0.8 change
    // jumps about 0.2 s ahead).
    void setPausedRate(float rate);
    // Main thread: replaces the observer of reported positions (none when empty).
    void setPositionObserver(PositionObserver observer) {
        m_positionObserver = std::move(observer);
    }
    // Main thread: new pictures wait until `instant` (steady clock) before they show; a time
    // point of 0 shows them as they come. Never more than a few seconds ahead.
    void holdPicturesUntil(std::chrono::steady_clock::time_point instant);
    // Frames per second as the file declares them, or 0 when it does not.
    double frameRate() const { return m_frameRate; }
    bool isDone() const override { return m_status->isDone(); }
    std::shared_ptr<const MovieStatus> status() const override { return m_status; }

private:
    enum class LoadState { Idle, Loading, WaitingForPictures, Loaded, Failed };

    MpvMovie(mpv_handle* handle, Options options);

    bool start(std::string* error);
    bool configure(std::string* error);
    void observeProperties();
    bool waitUntilLoaded(std::string* error);
    void readLoadedFile();
    void finishLoad(const std::string& reason);
    // A load that has failed ends once the events waiting behind the failure are read.
    void failLoad(std::string reason);
    void settleFailedLoad();
    void startEventDelivery(const std::shared_ptr<MpvMovie>& self);
    void postProcessEvents();
    static void wakeup(void* context);

    void handleEvent(const mpv_event& event);
    void handleLoadEvent(const mpv_event& event);
    void handlePropertyChange(uint64_t which, const mpv_event_property& property);
    std::string undecodablePictures() const;
    void stop();

    void setPaused(bool paused);
    void setBackward(bool backward);
    void applySpeed();
    void reportPosition(double seconds, bool landed);
    void command(std::initializer_list<const char*> words);

    mpv_handle* m_handle;
    const Options m_options;
    const std::shared_ptr<MovieStatus> m_status;
    std::weak_ptr<MpvMovie> m_self; // set once, before events are delivered

    // Main thread only.
    LoadState m_load = LoadState::Idle;
    LoadDone m_loadDone;
    std::string m_loadFailure;  // why the load failed, once it has
    bool m_draining = false;    // processEvents is reading the core's events
    bool m_drainAgain = false;  // a drain came while one was under way
    std::string m_decoderError; // the video decoder's last error, for a failed load
    // The core's reason for a failed load, held until the log messages are read: the core
    // hands out queued events before log messages, so the decoder's complaint comes after.
    std::optional<std::string> m_failedLoad;
    Size m_naturalSize;
    std::string m_displayName;
    bool m_backward = false;
    double m_speedTrim = 1.0;
    double m_frameRate = 0;
    PositionObserver m_positionObserver;
    int64_t m_displayWidth = 0;
    int64_t m_displayHeight = 0;

    std::atomic<bool> m_drainQueued{false}; // a processEvents task is on its way
};

} // namespace lumenarc
