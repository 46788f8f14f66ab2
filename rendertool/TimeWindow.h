#pragma once

extern "C" {
#include <libavutil/rational.h>
}

#include <cstdint>
#include <optional>

namespace lumenarc {

// The part of a movie that is rendered, on frame boundaries. Times count from the video's
// first frame (`origin`, in the video stream's time base): --start S keeps the frames whose
// time is S or later, --duration D those earlier than S + D. Every kept packet and frame is
// moved by the same amount, so the output starts at the cut and keeps the input's spacing:
// a variable frame rate stays variable. Without a start (S = 0) nothing is cut at the front:
// sound that leads the first frame, such as an encoder's priming, is kept.
class TimeWindow {
public:
    enum class Place { Before, Inside, After };

    // Start and duration at most maxSeconds(timeBase) (larger ones are held there).
    TimeWindow(int64_t origin, AVRational timeBase, double startSeconds,
               std::optional<double> durationSeconds);

    // The longest start or duration that `timeBase` counts without overflow, with room for
    // both and the origin.
    static double maxSeconds(AVRational timeBase);

    // Where a time stamp in `timeBase` falls.
    Place place(int64_t ts, AVRational timeBase) const;
    // The output time stamp of an input one, both in `timeBase`.
    int64_t shift(int64_t ts, AVRational timeBase) const;
    // The cut's start, in the video stream's time base.
    int64_t begin() const { return m_begin; }
    std::optional<int64_t> end() const { return m_end; }
    AVRational timeBase() const { return m_timeBase; }
    // Seconds from the cut's start to `ts` (video time base).
    double secondsFromBegin(int64_t ts) const;

private:
    AVRational m_timeBase;
    int64_t m_begin;
    std::optional<int64_t> m_end;
    bool m_cutsFront;
};

} // namespace lumenarc
