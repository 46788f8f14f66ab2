#pragma once

#include "movie/MovieTime.h"

#include <atomic>
#include <bit>
#include <cstdint>

namespace lumenarc {

// What a movie last reported about itself, published for every thread: times, the end state,
// the pause and rate, and the size of its pictures. It holds no decoder, so the render thread
// can read it, and drop it, without ever touching the movie behind it. Written by the movie on
// the main thread.
class MovieStatus {
public:
    struct Size {
        float width = 0;
        float height = 0;
    };

    explicit MovieStatus(int32_t timeScale) : m_scale(timeScale) {}

    MovieTime currentTime() const { return {m_time.load(), m_scale, 0}; }
    MovieTime duration() const { return {m_duration.load(), m_scale, 0}; }
    void setTime(int64_t units) { m_time = units; }
    void setDuration(int64_t units) { m_duration = units; }

    // True once playback reached the end and the movie does not loop, or the file is gone.
    bool isDone() const { return m_stopped || (m_ended && !m_loops); }
    void setEnded(bool ended) { m_ended = ended; }
    void setLoops(bool loops) { m_loops = loops; }
    bool loops() const { return m_loops; }
    void setStopped() { m_stopped = true; }

    // The rate last given, or exactly 0 while stopped: paused by us, paused by the decoder, or
    // done.
    float rate() const { return m_paused || m_decoderPaused || isDone() ? 0.0f : m_rate.load(); }
    void setRate(float rate) { m_rate = rate; }
    // The rate last given, also while stopped.
    float nominalRate() const { return m_rate; }
    bool paused() const { return m_paused; }
    void setPaused(bool paused) { m_paused = paused; }
    void setDecoderPaused(bool paused) { m_decoderPaused = paused; }

    // While set, new pictures wait until the refresh at or after this instant (steady clock,
    // nanoseconds since its epoch), so that machines that seek together show the result
    // together. 0 shows them as they come.
    int64_t heldUntil() const { return m_heldUntil.load(std::memory_order_relaxed); }
    void setHeldUntil(int64_t steadyNanoseconds) { m_heldUntil = steadyNanoseconds; }

    // The size the pictures come in (0 x 0 while unknown).
    Size videoSize() const {
        const uint64_t packed = m_videoSize.load();
        return {std::bit_cast<float>(static_cast<uint32_t>(packed >> 32)),
                std::bit_cast<float>(static_cast<uint32_t>(packed))};
    }
    void setVideoSize(Size size) {
        m_videoSize = (uint64_t{std::bit_cast<uint32_t>(size.width)} << 32) |
                      std::bit_cast<uint32_t>(size.height);
    }

private:
    const int32_t m_scale;
    std::atomic<int64_t> m_time{0};
    std::atomic<int64_t> m_duration{0};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_loops{false};
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_paused{true};
    std::atomic<bool> m_decoderPaused{false};
    std::atomic<float> m_rate{1.0f};
    std::atomic<int64_t> m_heldUntil{0};
    // Width and height as one word, so that no reader sees half of a change.
    std::atomic<uint64_t> m_videoSize{0};
};

} // namespace lumenarc
