#include "base/DeveloperLog.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace lumenarc {
namespace {

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

DeveloperLog::Sink& currentSink() {
    static DeveloperLog::Sink sink;
    return sink;
}

} // namespace

void DeveloperLog::write(std::string_view text) {
    if (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
    }
    std::lock_guard lock(sinkMutex());
    if (currentSink()) {
        currentSink()(text);
        return;
    }
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

DeveloperLog::Sink DeveloperLog::setSink(Sink sink) {
    std::lock_guard lock(sinkMutex());
    auto previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

} // namespace lumenarc
