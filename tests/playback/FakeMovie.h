#pragma once

#include "movie/Movie.h"

#include <memory>
#include <vector>

namespace lumenarc::test {

// A movie without a decoder, recording what playback asks of it.
class FakeMovie : public Movie {
public:
    Size size{640, 480};
    std::string name = "fake";
    float currentRate = 0;
    bool loops = false;
    bool done = false;
    float volume = -1;
    int plays = 0, stepsForward = 0, stepsBack = 0;
    MovieTime now{0, 600, 0};
    MovieTime length{1000, 600, 0};
    std::vector<MovieTime> seeks;

    Size naturalSize() const override { return size; }
    std::string displayName() const override { return name; }
    void setLoops(bool on) override { loops = on; }
    float rate() const override { return currentRate; }
    void setRate(float rate) override { currentRate = rate; }
    void play() override {
        ++plays;
        currentRate = 1.0f;
    }
    void stepForward() override { ++stepsForward; }
    void stepBackward() override { ++stepsBack; }
    MovieTime currentTime() const override { return now; }
    MovieTime duration() const override { return length; }
    void setCurrentTime(const MovieTime& time) override { seeks.push_back(time); }
    void setVolume(float v) override { volume = v; }
    bool isDone() const override { return done; }
    // A status made from the fields as they are now.
    std::shared_ptr<const MovieStatus> status() const override {
        auto published = std::make_shared<MovieStatus>(now.scale);
        published->setTime(now.value);
        published->setDuration(length.value);
        published->setEnded(done);
        published->setRate(currentRate);
        published->setPaused(currentRate == 0.0f);
        published->setVideoSize(size);
        return published;
    }
};

} // namespace lumenarc::test
