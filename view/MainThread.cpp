#include "view/MainThread.h"

#include <mutex>

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

} // namespace

void MainThread::setPoster(Poster poster) {
    std::lock_guard lock(posterMutex());
    currentPoster() = std::move(poster);
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
