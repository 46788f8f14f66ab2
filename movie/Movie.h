#pragma once

#include "movie/MovieStatus.h"
#include "movie/MovieTime.h"

#include <memory>
#include <string>

namespace lumenarc {

// An open movie, as playback control sees it. Every operation is for the main thread; other
// threads read the movie's published status instead, and never hold the movie itself.
class Movie {
public:
    using Size = MovieStatus::Size;

    virtual ~Movie() = default;

    virtual Size naturalSize() const = 0;
    virtual std::string displayName() const = 0;
    // While set, the movie starts again at its end.
    virtual void setLoops(bool loops) = 0;

    // The rate as last given, or exactly 0 while stopped (paused, or at the end of a movie that
    // does not loop). 0 stops, a negative rate plays backward.
    virtual float rate() const = 0;
    virtual void setRate(float rate) = 0;
    // Plays at the preferred rate, 1.0.
    virtual void play() = 0;
    virtual void stepForward() = 0;
    virtual void stepBackward() = 0;

    virtual MovieTime currentTime() const = 0;
    virtual MovieTime duration() const = 0;
    virtual void setCurrentTime(const MovieTime& time) = 0;

    // 1.0 is full volume.
    virtual void setVolume(float volume) = 0;
    // True once playback reached the end and the movie does not loop.
    virtual bool isDone() const = 0;

    // Any thread: what the movie last reported, readable without the movie.
    virtual std::shared_ptr<const MovieStatus> status() const = 0;
    // The movie whose decoder delivers the pictures: itself, unless it stands for another.
    virtual const Movie* pictureSource() const { return this; }
};

} // namespace lumenarc
