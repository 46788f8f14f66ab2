#include "view/DisplayLink.h"

namespace lumenarc {

void DisplayLink::setOutputCallback(OutputCallback callback, void* context) {
    m_thread.setTickCallback([this, callback, context](RenderThread::Clock::time_point output) {
        const TimeStamp now = RenderThread::Clock::now();
        uint64_t flagsOut = 0;
        callback(this, &now, &output, 0, &flagsOut, context);
    });
}

void DisplayLink::start() {
    m_thread.setTicking(true);
}

void DisplayLink::stop() {
    m_thread.setTicking(false); // waits for a callback in progress
}

bool DisplayLink::isRunning() const {
    return m_thread.isTicking();
}

} // namespace lumenarc
