#pragma once

#include "movie/MovieTime.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace lumenarc {

// The sync log: one line per presented frame, "<wall-clock seconds> <movie time in seconds>",
// after a header line starting with '#'. The logs of several machines side by side give the
// offsets between them (scripts/sync-offsets). Written on the render thread only.
class FrameLog {
public:
    // Creates (or empties) the file and writes the header through; nullptr with the reason
    // when either fails.
    static std::unique_ptr<FrameLog> create(const std::string& path, const std::string& header,
                                            std::string& why);
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // Render thread: a frame of movie time `time` goes on screen at `wall` (CLOCK_REALTIME, ns).
    void presented(int64_t wall, const MovieTime& time);
    // Render thread: where the times of the lines that follow come from, written as a comment
    // line whenever it changes (the first frame's, and a switch to the display's own word).
    void source(const std::string& what);
    // The line for a frame, as written.
    static std::string line(int64_t wallNanoseconds, const MovieTime& time);

    // Lines between flushes, so that a machine that goes down keeps all but the last second.
    static constexpr int kFlushEvery = 30;

private:
    explicit FrameLog(std::FILE* file) : m_file(file) {}

    std::FILE* m_file;
    int m_unflushed = 0;
    bool m_failed = false; // a write failed, and was said
    std::string m_source;
};

} // namespace lumenarc
