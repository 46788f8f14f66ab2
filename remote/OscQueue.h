#pragma once

#include "remote/OscCommand.h"

#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

namespace lumenarc {

// The commands received and not yet carried out, between the OSC thread and the main thread.
// Bounded: a flood of messages never grows it past its capacity. A setter that follows one of
// its own kind takes its place, so a fader sweep costs one command, not hundreds. Any thread.
class OscQueue {
public:
    enum class Pushed { First, Queued, Merged, Dropped };

    explicit OscQueue(size_t capacity = 256) : m_capacity(capacity) {}

    // `First` means the queue was empty: whoever drains it should be told.
    Pushed push(OscCommand command);
    // Takes up to `most` commands, oldest first.
    std::vector<OscCommand> take(size_t most);
    size_t size() const;

private:
    const size_t m_capacity;
    mutable std::mutex m_mutex;
    std::deque<OscCommand> m_commands;
};

} // namespace lumenarc
