#pragma once

#include <functional>

namespace lumenarc {

// Hands work to the main (toolkit) thread: widgets and the application may only be touched
// there. The application installs the toolkit's queue; tests may install their own.
class MainThread {
public:
    using Task = std::function<void()>;
    using Poster = std::function<void(Task)>;

    // Installs the queue; the calling thread becomes the main thread (nullptr forgets both).
    static void setPoster(Poster poster);
    // Queues the task for the main thread; runs it at once when no poster is installed.
    static void post(Task task);
    // True on the main thread only: the one that installed the poster, or, while none is
    // installed, the process's first thread (where the toolkit, and a test, runs).
    static bool isCurrent();
};

} // namespace lumenarc
