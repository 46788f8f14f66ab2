#pragma once

#include "AppSession.h"
#include "playback/TestMovies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace lumenarc::test {

// A silent 320 x 320 test movie of the given length in the session's home folder, made once.
inline std::string squareMovie(const AppSession& app, const std::string& name,
                               double seconds = 30) {
    const auto path = (app.home().path() / name).string();
    if (std::filesystem::exists(path)) {
        return path;
    }
    EXPECT_TRUE(
        TestMovies::make(path, {.seconds = seconds, .width = 320, .height = 320, .audio = false}))
        << "ffmpeg could not make " << name;
    return path;
}

} // namespace lumenarc::test
