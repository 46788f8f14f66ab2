#pragma once

#include "playback/MpvMovie.h"

#include <gtest/gtest.h>
#include <mpv/client.h>

#include <memory>
#include <string>

namespace lumenarc::test {

// Seconds of a movie time.
inline double seconds(const MovieTime& time) {
    return static_cast<double>(time.value) / time.scale;
}

// A real libmpv core on the file, loaded and paused at its start: no pictures, no sound, and
// one decoding thread, which keeps ThreadSanitizer to the threads it can see.
inline std::shared_ptr<MpvMovie> openQuietCore(const std::string& path) {
    MpvMovie::Options options;
    options.videoOutput = "null";
    options.audio = false;
    options.beforeLoad = [](MpvMovie& movie) {
        mpv_set_property_string(movie.handle(), "vd-lavc-threads", "1");
    };
    std::string error;
    auto movie = MpvMovie::open(path, options, &error);
    EXPECT_NE(movie, nullptr) << path << ": " << error;
    return movie;
}

} // namespace lumenarc::test
