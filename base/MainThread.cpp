#include "base/MainThread.h"

#include <mutex>
#include <thread>
#include <unistd.h>

namespace lumenarc {
namespace {

std::mutex& posterMutex() {
    static std::mutex mutex;
    return mutex;
}

MainThread::Poster& currentPoster() {
    static MainThread::Poster poster;
    return poster;
}

std::thread::id& mainThreadId() {
    static std::thread::id id;
    return id;
}

} // namespace

void MainThread::setPoster(Poster poster) {
    std::lock_guard lock(posterMutex());
    mainThreadId() = poster ? std::this_thread::get_id() : std::thread::id();
    currentPoster() = std::move(poster);
}

bool MainThread::isCurrent() {
    std::thread::id main;
    {
        std::lock_guard lock(posterMutex());
        main = mainThreadId();
    }
    if (main == std::thread::id()) {
        return gettid() == getpid();
    }
    return main == std::this_thread::get_id();
}

void MainThread::post(Task task) {
    Poster poster;
    {
        std::lock_guard lock(posterMutex());
        poster = currentPoster();
    }
    if (poster) {
        poster(std::move(task));
    } else {
        task();
    }
}

} // namespace lumenarc
