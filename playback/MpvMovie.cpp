#include "playback/MpvMovie.h"

#include "base/MainThread.h"
#include "view/ThreadContract.h"

#include <mpv/client.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <thread>
#include <unistd.h>
#include <utility>

namespace lumenarc {
namespace {

// What the core reports to us; the value is the reply id of its observation.
enum Observed : uint64_t {
    kTimePos = 1,
    kDuration,
    kEofReached,
    kDisplayWidth,
    kDisplayHeight,
    kMediaTitle,
    kVideoTrack,
};

// mpv refuses speeds outside this range; the rate keeps its own value regardless.
constexpr double kMinSpeed = 0.01;
constexpr double kMaxSpeed = 100.0;
// Events handled per pass of processEvents before the main thread gets a turn.
constexpr int kEventsPerPass = 256;

// Set while libmpv's wakeup callback runs on this thread, where the client API must not be used.
thread_local bool t_insideWakeup = false;

double seconds(const MovieTime& time) {
    return static_cast<double>(time.value) / time.scale;
}

int64_t toUnits(double seconds) {
    if (!std::isfinite(seconds)) {
        return 0;
    }
    const double units = seconds * MpvMovie::kTimeScale;
    constexpr double kLimit = 9.0e18; // inside int64, with room for rounding
    return std::llround(std::clamp(units, -kLimit, kLimit));
}

std::string checkReadableFile(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        return "file not found";
    }
    if (std::filesystem::is_directory(status)) {
        return "a folder, not a movie file";
    }
    // A named pipe is a movie that arrives slowly; opening is asynchronous, so waiting for its
    // writer blocks nothing.
    if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_fifo(status)) {
        return "not a regular file";
    }
    if (::access(path.c_str(), R_OK) != 0) {
        return "the file cannot be read";
    }
    return {};
}

// A video output that cannot start (libmpv without a render context) falls back to no pictures
// instead of losing the file.
std::string videoOutputList(const std::string& videoOutput) {
    if (videoOutput.empty() || videoOutput == "null") {
        return "null";
    }
    return videoOutput + ",null";
}

std::vector<std::pair<std::string, std::string>> coreOptions(const MpvMovie::Options& options) {
    return {
        // Nothing from the user's mpv set-up, no terminal, keys, scripts or on-screen display:
        // every picture goes through the mesh and nothing may be drawn over it.
        {"config", "no"},
        {"terminal", "no"},
        {"input-default-bindings", "no"},
        {"input-vo-keyboard", "no"},
        {"input-terminal", "no"},
        {"osc", "no"},
        {"ytdl", "no"},
        {"load-scripts", "no"},
        {"load-stats-overlay", "no"},
        {"load-osd-console", "no"},
        {"load-auto-profiles", "no"},
        {"osd-level", "0"},
        // The pictures fill whatever size the frame texture has: its aspect is the movie's, and
        // the mesh, not the decoder, decides where the picture goes.
        {"keepaspect", "no"},
        // Conversion to RGB on the processor uses every core; the mesh resamples the picture
        // anyway, so a bilinear reduction is fine enough, and the cheapest that keeps a 4096 x
        // 4096 master with the clock on two cores (84 % of frames drawn against 77 % bicubic).
        {"zimg-threads", std::to_string(std::max(1u, std::thread::hardware_concurrency()))},
        {"zimg-scaler", "bilinear"},
        // Software decoding until the owner knows the renderer (setHardwareDecoding).
        {"hwdec", "no"},
        {"gpu-hwdec-interop", "no"},
        {"idle", "yes"},
        // A decoder that cannot keep up (a 4096 x 4096 master on two cores) skips frames to stay
        // with the clock, instead of falling further and further behind it.
        {"framedrop", "decoder+vo"},
        // At its end the movie stays on its last frame, paused, until told otherwise.
        {"keep-open", "yes"},
        // Nothing plays before the first setRate or play.
        {"pause", "yes"},
        {"vo", videoOutputList(options.videoOutput)},
        options.audio ? std::pair<std::string, std::string>{"audio-fallback-to-null", "yes"}
                      : std::pair<std::string, std::string>{"ao", "null"},
        {"audio-device", options.audioDevice.empty() ? "auto" : options.audioDevice},
    };
}

std::string endFileReason(const mpv_event_end_file& end) {
    switch (end.reason) {
    case MPV_END_FILE_REASON_ERROR:
        return mpv_error_string(end.error);
    case MPV_END_FILE_REASON_REDIRECT:
        return "a playlist, not a movie file";
    default:
        return "the file ended while loading";
    }
}

const mpv_node* mapValue(const mpv_node& map, const char* key) {
    if (map.format != MPV_FORMAT_NODE_MAP) {
        return nullptr;
    }
    for (int i = 0; i < map.u.list->num; ++i) {
        if (std::string_view(map.u.list->keys[i]) == key) {
            return &map.u.list->values[i];
        }
    }
    return nullptr;
}

int64_t mapInt(const mpv_node& map, const char* key) {
    const mpv_node* value = mapValue(map, key);
    return value != nullptr && value->format == MPV_FORMAT_INT64 ? value->u.int64 : 0;
}

bool mapFlag(const mpv_node& map, const char* key) {
    const mpv_node* value = mapValue(map, key);
    return value != nullptr && value->format == MPV_FORMAT_FLAG && value->u.flag != 0;
}

bool isVideoTrack(const mpv_node& track) {
    const mpv_node* type = mapValue(track, "type");
    return type != nullptr && type->format == MPV_FORMAT_STRING &&
           std::string_view(type->u.string) == "video";
}

struct VideoTrack {
    int64_t id = 0;
    int64_t width = 0;
    int64_t height = 0;
    bool selected = false;
};

// The selected video track, else the first one; its size as the file states it.
VideoTrack findVideoTrack(mpv_handle* handle) {
    mpv_node list{};
    if (mpv_get_property(handle, "track-list", MPV_FORMAT_NODE, &list) < 0) {
        return {};
    }
    VideoTrack found;
    if (list.format == MPV_FORMAT_NODE_ARRAY) {
        for (int i = 0; i < list.u.list->num; ++i) {
            const mpv_node& track = list.u.list->values[i];
            if (!isVideoTrack(track) || (found.id != 0 && !mapFlag(track, "selected"))) {
                continue;
            }
            found = {mapInt(track, "id"), mapInt(track, "demux-w"), mapInt(track, "demux-h"),
                     mapFlag(track, "selected")};
            if (mapFlag(track, "selected")) {
                break;
            }
        }
    }
    mpv_free_node_contents(&list);
    return found;
}

int64_t intProperty(mpv_handle* handle, const char* name) {
    int64_t value = 0;
    return mpv_get_property(handle, name, MPV_FORMAT_INT64, &value) >= 0 ? value : 0;
}

// The property's value, or fallback while it is unavailable.
double doubleProperty(mpv_handle* handle, const char* name, double fallback) {
    double value = 0;
    return mpv_get_property(handle, name, MPV_FORMAT_DOUBLE, &value) >= 0 ? value : fallback;
}

std::string stringProperty(mpv_handle* handle, const char* name) {
    char* value = mpv_get_property_string(handle, name);
    std::string text = value != nullptr ? value : "";
    mpv_free(value);
    return text;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void addExtensions(std::vector<std::string>& types, std::string_view list) {
    while (!list.empty()) {
        const size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        while (!item.empty() && std::isspace(static_cast<unsigned char>(item.front()))) {
            item.remove_prefix(1);
        }
        while (!item.empty() && std::isspace(static_cast<unsigned char>(item.back()))) {
            item.remove_suffix(1);
        }
        if (!item.empty()) {
            types.push_back(lowerCase(std::string(item)));
        }
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
}

std::vector<std::string> collectFileTypes() {
    // libavformat recognises these by their content and lists no extension for them.
    std::vector<std::string> types = {"mpg", "mpeg", "ts",  "m2ts", "vob", "wmv",  "asf",
                                      "gif", "png",  "jpg", "jpeg", "tif", "tiff", "bmp"};
    void* iterator = nullptr;
    while (const AVInputFormat* format = av_demuxer_iterate(&iterator)) {
        if (format->extensions != nullptr) {
            addExtensions(types, format->extensions);
        }
    }
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    return types;
}

} // namespace

std::shared_ptr<MpvMovie> MpvMovie::create(const Options& options, std::string* error) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    std::string reason;
    std::shared_ptr<MpvMovie> movie;
    if (mpv_handle* handle = mpv_create()) {
        auto* raw = new MpvMovie(handle, options);
        movie = std::shared_ptr<MpvMovie>(raw, [dispose = options.dispose](MpvMovie* gone) {
            if (dispose) {
                dispose(gone);
            } else {
                delete gone;
            }
        });
        if (!movie->start(&reason)) {
            movie.reset();
        }
    } else {
        reason = "the decoder cannot start";
    }
    if (movie) {
        movie->startEventDelivery(movie);
    } else if (error != nullptr) {
        *error = reason;
    }
    return movie;
}

std::shared_ptr<MpvMovie> MpvMovie::open(const std::string& path, const Options& options,
                                         std::string* error) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (const std::string refused = checkReadableFile(path); !refused.empty()) {
        if (error != nullptr) {
            *error = refused;
        }
        return nullptr;
    }
    std::shared_ptr<MpvMovie> movie = create(options, error);
    if (!movie) {
        return nullptr;
    }
    if (options.beforeLoad) {
        options.beforeLoad(*movie);
    }
    std::string reason;
    movie->beginLoad(path, {});
    if (!movie->waitUntilLoaded(&reason)) {
        if (error != nullptr) {
            *error = reason;
        }
        return nullptr;
    }
    return movie;
}

MpvMovie::MpvMovie(mpv_handle* handle, Options options)
    : m_handle(handle), m_options(std::move(options)),
      m_status(std::make_shared<MovieStatus>(kTimeScale)) {}

MpvMovie::~MpvMovie() {
    if (m_options.beforeDestroy) {
        m_options.beforeDestroy(m_handle);
    }
    // The wakeup callback may run until this returns; it touches only m_self and m_drainQueued,
    // which outlive the call.
    mpv_terminate_destroy(m_handle);
}

bool MpvMovie::start(std::string* error) {
    if (!configure(error)) {
        return false;
    }
    if (const int status = mpv_initialize(m_handle); status < 0) {
        *error = std::string("the decoder cannot start: ") + mpv_error_string(status);
        return false;
    }
    observeProperties();
    // Errors only: the reason a file's pictures cannot be decoded comes as a log message.
    mpv_request_log_messages(m_handle, "error");
    return true;
}

bool MpvMovie::configure(std::string* error) {
    for (const auto& [name, value] : coreOptions(m_options)) {
        if (const int status = mpv_set_option_string(m_handle, name.c_str(), value.c_str());
            status < 0) {
            *error = "the decoder refuses " + name + "=" + value + ": " + mpv_error_string(status);
            return false;
        }
    }
    double delay = m_options.audioDelay;
    if (const int status = mpv_set_option(m_handle, "audio-delay", MPV_FORMAT_DOUBLE, &delay);
        status < 0) {
        *error = "the decoder refuses audio-delay=" + std::to_string(delay) + ": " +
                 mpv_error_string(status);
        return false;
    }
    return true;
}

void MpvMovie::observeProperties() {
    mpv_observe_property(m_handle, kTimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_handle, kDuration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_handle, kEofReached, "eof-reached", MPV_FORMAT_FLAG);
    mpv_observe_property(m_handle, kDisplayWidth, "dwidth", MPV_FORMAT_INT64);
    mpv_observe_property(m_handle, kDisplayHeight, "dheight", MPV_FORMAT_INT64);
    mpv_observe_property(m_handle, kMediaTitle, "media-title", MPV_FORMAT_STRING);
    mpv_observe_property(m_handle, kVideoTrack, "vid", MPV_FORMAT_STRING);
}

void MpvMovie::beginLoad(const std::string& path, LoadDone done) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_loadDone = std::move(done);
    m_displayName = std::filesystem::path(path).filename().string();
    if (const std::string refused = checkReadableFile(path); !refused.empty()) {
        m_load = LoadState::Loading;
        // Reported like every other outcome: later, from the main thread's queue.
        MainThread::post([movie = m_self, refused] {
            if (const auto alive = movie.lock()) {
                alive->finishLoad(refused);
            }
        });
        return;
    }
    // An absolute path is never taken for a protocol or for standard input ("-").
    std::error_code ignored;
    const std::string absolute = std::filesystem::absolute(path, ignored).string();
    const char* words[] = {"loadfile", absolute.c_str(), nullptr};
    m_load = LoadState::Loading;
    if (const int status = mpv_command(m_handle, words); status < 0) {
        MainThread::post([movie = m_self, reason = std::string(mpv_error_string(status))] {
            if (const auto alive = movie.lock()) {
                alive->finishLoad(reason);
            }
        });
    }
}

bool MpvMovie::waitUntilLoaded(std::string* error) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + m_options.openTimeout;
    m_loadDone = {};
    while (m_load == LoadState::Loading || m_load == LoadState::WaitingForPictures) {
        const std::chrono::duration<double> left = deadline - Clock::now();
        if (left.count() <= 0) {
            *error = "the file took too long to open";
            return false;
        }
        const mpv_event* event =
            mpv_wait_event(m_handle, m_failedLoad ? 0 : std::min(left.count(), 0.05));
        if (event->event_id == MPV_EVENT_NONE) {
            settleFailedLoad();
        } else {
            handleEvent(*event);
        }
    }
    if (m_load != LoadState::Loaded) {
        *error = m_loadFailure;
        return false;
    }
    return true;
}

void MpvMovie::finishLoad(const std::string& reason) {
    if (m_load != LoadState::Loading && m_load != LoadState::WaitingForPictures) {
        return;
    }
    m_load = reason.empty() ? LoadState::Loaded : LoadState::Failed;
    m_loadFailure = reason;
    if (!reason.empty()) {
        m_status->setStopped();
    }
    // The owner hears of it in a turn of its own: what it does then (an alert, the move into
    // the full-screen window) may run the event loop, which must never run while an event of
    // the core is being read, as the next read of the core's events ends that one's life.
    if (auto done = std::exchange(m_loadDone, {})) {
        MainThread::post([movie = m_self, done = std::move(done), reason] {
            if (movie.lock()) {
                done(reason);
            }
        });
    }
}

void MpvMovie::failLoad(std::string reason) {
    if (!m_failedLoad) {
        m_failedLoad = std::move(reason);
    }
}

void MpvMovie::settleFailedLoad() {
    if (auto reason = std::exchange(m_failedLoad, std::nullopt)) {
        finishLoad(m_decoderError.empty() ? *reason : undecodablePictures());
    }
}

void MpvMovie::readLoadedFile() {
    const VideoTrack track = findVideoTrack(m_handle);
    if (track.width > 0 && track.height > 0) {
        m_naturalSize = {static_cast<float>(track.width), static_cast<float>(track.height)};
    } else {
        m_naturalSize = {static_cast<float>(intProperty(m_handle, "width")),
                         static_cast<float>(intProperty(m_handle, "height"))};
    }
    if (const std::string title = stringProperty(m_handle, "media-title"); !title.empty()) {
        m_displayName = title;
    }
    m_status->setDuration(toUnits(doubleProperty(m_handle, "duration", 0)));
    m_status->setTime(toUnits(doubleProperty(m_handle, "time-pos", 0)));
    m_frameRate = doubleProperty(m_handle, "container-fps", 0);
    if (!m_decoderError.empty() || (track.id != 0 && !track.selected)) {
        failLoad(undecodablePictures()); // the decoder gave up; the sound would play alone
    } else if (track.id == 0) {
        finishLoad({}); // sound only: nothing to wait for
    } else {
        m_load = LoadState::WaitingForPictures;
    }
}

void MpvMovie::startEventDelivery(const std::shared_ptr<MpvMovie>& self) {
    m_self = self;
    mpv_set_wakeup_callback(m_handle, &MpvMovie::wakeup, this);
    postProcessEvents(); // whatever arrived before the callback was set
}

void MpvMovie::wakeup(void* context) {
    auto* movie = static_cast<MpvMovie*>(context);
    // One queued drain takes all events that came before it runs; more would only pile up on a
    // busy main thread.
    if (movie->m_drainQueued.exchange(true)) {
        return;
    }
    t_insideWakeup = true;
    movie->postProcessEvents();
    t_insideWakeup = false;
}

void MpvMovie::postProcessEvents() {
    MainThread::post([movie = m_self] {
        // Without a main-thread queue this runs inside libmpv's wakeup callback, where the
        // client API must not be called; the owner drains the events itself then.
        if (t_insideWakeup) {
            return;
        }
        if (const auto alive = movie.lock()) {
            alive->processEvents();
        }
    });
}

void MpvMovie::processEvents() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // An event loop run from inside the handling of an event (by an observer) would come back
    // here, and the next read would end the life of the event still being handled: the drain
    // under way takes the events that come meanwhile.
    if (m_draining) {
        m_drainAgain = true; // this drain's task is spent: the one under way posts another
        return;
    }
    m_draining = true;
    m_drainQueued = false; // events from now on need another drain
    int handled = 0;
    for (; handled < kEventsPerPass; ++handled) {
        const mpv_event* event = mpv_wait_event(m_handle, 0);
        if (event->event_id == MPV_EVENT_NONE) {
            break;
        }
        handleEvent(*event);
    }
    m_draining = false;
    if (handled < kEventsPerPass) {
        settleFailedLoad();
    }
    // More are waiting, or came while an observer ran the event loop: a later turn takes them.
    if (std::exchange(m_drainAgain, false) || handled == kEventsPerPass) {
        postProcessEvents();
    }
}

void MpvMovie::handleEvent(const mpv_event& event) {
    if (m_load == LoadState::Loading || m_load == LoadState::WaitingForPictures) {
        handleLoadEvent(event);
    }
    switch (event.event_id) {
    case MPV_EVENT_PROPERTY_CHANGE:
        handlePropertyChange(event.reply_userdata,
                             *static_cast<const mpv_event_property*>(event.data));
        break;
    case MPV_EVENT_END_FILE:
    case MPV_EVENT_SHUTDOWN:
        stop();
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        // A seek has landed. Its position may equal the one last reported, which then comes
        // with no change event of its own.
        reportPosition(doubleProperty(m_handle, "time-pos", seconds(m_status->currentTime())),
                       true);
        break;
    default:
        break;
    }
}

void MpvMovie::handleLoadEvent(const mpv_event& event) {
    if (m_failedLoad && event.event_id != MPV_EVENT_LOG_MESSAGE) {
        return; // failed already: only the decoder's reason is still to come
    }
    switch (event.event_id) {
    case MPV_EVENT_LOG_MESSAGE: {
        // The video decoder's own complaint says best why pictures cannot be had.
        const auto* message = static_cast<const mpv_event_log_message*>(event.data);
        std::string text = message->text != nullptr ? message->text : "";
        while (!text.empty() && (text.back() == '\n' || text.back() == '.')) {
            text.pop_back();
        }
        if (message->prefix != nullptr && std::string_view(message->prefix) == "vd" &&
            !text.empty()) {
            m_decoderError = text;
        }
        break;
    }
    case MPV_EVENT_FILE_LOADED:
        if (m_load == LoadState::Loading) {
            readLoadedFile();
        }
        break;
    case MPV_EVENT_VIDEO_RECONFIG:
        if (m_load == LoadState::WaitingForPictures && intProperty(m_handle, "dwidth") > 0) {
            finishLoad({});
        }
        break;
    case MPV_EVENT_END_FILE: {
        failLoad(endFileReason(*static_cast<const mpv_event_end_file*>(event.data)));
        break;
    }
    case MPV_EVENT_SHUTDOWN:
        finishLoad("the decoder shut down");
        break;
    case MPV_EVENT_PROPERTY_CHANGE: {
        // The decoder gave up on the pictures but plays on without them (the sound remains).
        const auto& property = *static_cast<const mpv_event_property*>(event.data);
        if (m_load == LoadState::WaitingForPictures && event.reply_userdata == kVideoTrack &&
            property.format == MPV_FORMAT_STRING &&
            std::string_view(*static_cast<char* const*>(property.data)) == "no") {
            failLoad(undecodablePictures());
        }
        break;
    }
    default:
        break;
    }
}

std::string MpvMovie::undecodablePictures() const {
    return "the pictures cannot be decoded" +
           (m_decoderError.empty() ? std::string() : " (" + m_decoderError + ")");
}

void MpvMovie::handlePropertyChange(uint64_t which, const mpv_event_property& property) {
    if (property.format == MPV_FORMAT_NONE || property.data == nullptr) {
        return; // unavailable for a moment (loading, seeking): the last value stands
    }
    const auto number = [&] { return *static_cast<const double*>(property.data); };
    const auto integer = [&] { return *static_cast<const int64_t*>(property.data); };
    const auto flag = [&] { return *static_cast<const int*>(property.data) != 0; };
    switch (which) {
    case kTimePos:
        reportPosition(number(), false);
        break;
    case kDuration:
        m_status->setDuration(toUnits(number()));
        break;
    case kEofReached:
        m_status->setEnded(flag());
        if (flag() && !m_status->loops()) {
            m_status->setPaused(true); // kept open at its end, the core has paused itself
        }
        break;
    case kDisplayWidth:
    case kDisplayHeight:
        (which == kDisplayWidth ? m_displayWidth : m_displayHeight) = integer();
        if (m_displayWidth > 0 && m_displayHeight > 0) {
            m_status->setVideoSize(
                Size{static_cast<float>(m_displayWidth), static_cast<float>(m_displayHeight)});
        }
        break;
    case kMediaTitle:
        if (const char* title = *static_cast<char* const*>(property.data); title && *title) {
            m_displayName = title;
        }
        break;
    default:
        break;
    }
}

void MpvMovie::reportPosition(double seconds, bool landed) {
    m_status->setTime(toUnits(seconds));
    if (m_positionObserver && std::isfinite(seconds)) {
        m_positionObserver(seconds, landed);
    }
}

void MpvMovie::stop() {
    // The file is gone (an error after loading): the last frame stays and nothing plays.
    m_status->setStopped();
}

MpvMovie::Size MpvMovie::videoSize() const {
    const Size display = m_status->videoSize();
    return display.width > 0 && display.height > 0 ? display : m_naturalSize;
}

void MpvMovie::setLoops(bool loops) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_status->setLoops(loops);
    mpv_set_property_string(m_handle, "loop-file", loops ? "inf" : "no");
}

void MpvMovie::setRate(float rate) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (rate == 0.0f || std::isnan(rate)) {
        setPaused(true);
        return;
    }
    m_status->setRate(rate);
    applySpeed();
    setBackward(rate < 0);
    setPaused(false);
}

void MpvMovie::setPausedRate(float rate) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (rate != 0.0f && !std::isnan(rate)) {
        m_status->setRate(rate);
        applySpeed();
        setBackward(rate < 0);
    }
    setPaused(true);
}

void MpvMovie::setSpeedTrim(double trim) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!std::isfinite(trim) || trim <= 0 || trim == m_speedTrim) {
        return;
    }
    m_speedTrim = trim;
    applySpeed();
}

void MpvMovie::holdPicturesUntil(std::chrono::steady_clock::time_point instant) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // A hold is for a seek's short wait: one far ahead would freeze the picture.
    constexpr auto kLongest = std::chrono::seconds(3);
    const auto latest = std::chrono::steady_clock::now() + kLongest;
    const auto until = std::min(instant, latest);
    m_status->setHeldUntil(
        instant.time_since_epoch().count() == 0
            ? 0
            : std::chrono::duration_cast<std::chrono::nanoseconds>(until.time_since_epoch())
                  .count());
}

void MpvMovie::applySpeed() {
    const double rate = std::fabs(static_cast<double>(m_status->nominalRate()));
    double speed = std::clamp(rate * m_speedTrim, kMinSpeed, kMaxSpeed);
    mpv_set_property(m_handle, "speed", MPV_FORMAT_DOUBLE, &speed);
}

void MpvMovie::setPaused(bool paused) {
    // At its end (kept open) the core pauses by itself, and again at once when told to play on
    // there: the published pause follows the core without ever reading it back.
    m_status->setPaused(paused || m_status->isDone());
    int flag = paused ? 1 : 0;
    mpv_set_property(m_handle, "pause", MPV_FORMAT_FLAG, &flag);
}

void MpvMovie::setBackward(bool backward) {
    if (backward == m_backward) {
        return; // changing the direction makes the core seek
    }
    m_backward = backward;
    mpv_set_property_string(m_handle, "play-dir", backward ? "backward" : "forward");
}

void MpvMovie::stepForward() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    setBackward(false);
    // The core lifts its pause for the length of the step; the movie counts as paused throughout.
    m_status->setPaused(true);
    command({"frame-step"});
}

void MpvMovie::stepBackward() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    setBackward(false);
    m_status->setPaused(true);
    command({"frame-back-step"});
}

void MpvMovie::command(std::initializer_list<const char*> words) {
    std::vector<const char*> args(words);
    args.push_back(nullptr);
    mpv_command(m_handle, args.data());
}

void MpvMovie::setCurrentTime(const MovieTime& time) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (time.scale <= 0) {
        return; // no units per second: no time at all
    }
    // mpv counts a negative absolute time from the end; before the start is the start.
    const double target = std::max(0.0, static_cast<double>(time.value) / time.scale);
    char text[64];
    std::snprintf(text, sizeof text, "%.9f", target);
    command({"seek", text, "absolute+exact"});
    m_status->setTime(toUnits(target));
}

void MpvMovie::setVolume(float volume) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // 1.0 is full volume, mpv's 100; nothing louder, nothing below silence.
    double level = volume > 0 ? std::min(static_cast<double>(volume), 1.0) * 100.0 : 0.0;
    mpv_set_property(m_handle, "volume", MPV_FORMAT_DOUBLE, &level);
}

void MpvMovie::setAudioDevice(const std::string& name) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // The core reopens its sound output on the new device.
    mpv_set_property_string(m_handle, "audio-device", name.empty() ? "auto" : name.c_str());
}

void MpvMovie::setAudioDelay(double seconds) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    mpv_set_property(m_handle, "audio-delay", MPV_FORMAT_DOUBLE, &seconds);
}

bool MpvMovie::setHardwareDecoding(const std::string& hwdec, std::string* error) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // Pictures decoded on the graphics card reach the GL renderer through an interop, which the
    // render context loads when it is made; software decoding needs none, and probing for one
    // only fills the log with missing driver libraries.
    const std::pair<const char*, std::string> settings[] = {
        {"hwdec", hwdec}, {"gpu-hwdec-interop", hwdec == "no" ? "no" : "auto"}};
    for (const auto& [name, value] : settings) {
        if (const int status = mpv_set_property_string(m_handle, name, value.c_str()); status < 0) {
            if (error != nullptr) {
                *error = std::string("the decoder refuses ") + name + "=" + value + ": " +
                         mpv_error_string(status);
            }
            return false;
        }
    }
    return true;
}

std::vector<std::string> MpvMovie::movieUnfilteredFileTypes() {
    static const std::vector<std::string> types = collectFileTypes();
    return types;
}

} // namespace lumenarc
