#pragma once

#include <cstdint>
#include <string>

namespace lumenarc {

// Whether a follower hears its leader, for the log: one line when the first timeline comes, one
// when the timelines stop for kLost, and one when they come again, never one per timeline.
// Times are wall-clock nanoseconds. Main thread.
class LeaderWatch {
public:
    // Timelines come ten times a second: this many missing in a row is no lost datagram.
    static constexpr int64_t kLost = 2'000'000'000;

    // A timeline from `leader` (its address) was taken at `now`: the line to write, or "".
    std::string heard(int64_t now, const std::string& leader);
    // A turn at `now`: the line to write when the leader has just gone quiet, or "".
    std::string check(int64_t now, const std::string& leader);

private:
    enum class State { Waiting, Following, Lost };

    State m_state = State::Waiting;
    int64_t m_last = 0; // when the last timeline came
};

} // namespace lumenarc
