#include "view/FramePump.h"
#include "view/ThreadContract.h"

#include "base/MainThread.h"
#include "movie/MovieStatus.h"
#include "view/MyOpenGLView.h"
#include "view/TextureContext.h"

namespace lumenarc {

int32_t FramePump::MyRenderCallback(DisplayLink*, const DisplayLink::TimeStamp*,
                                    const DisplayLink::TimeStamp* outputTime, uint64_t,
                                    uint64_t* flagsOut, void* displayLinkContext) {
    auto* pump = static_cast<FramePump*>(displayLinkContext);
    return pump->getFrameForTime(*outputTime, flagsOut);
}

int32_t FramePump::getFrameForTime(const DisplayLink::TimeStamp& timerGuess, uint64_t*) {
    LUMENARC_ASSERT_THREAD(m_view.renderThread().isRenderThread());
    m_view.choosePacingOnce();
    reportShown();
    const DisplayLink::TimeStamp outputTime = m_view.outputTimeFor(timerGuess);
    TextureContext* context = m_view.textureContext();
    const auto status = m_view.movieStatus();
    if (status && held(*status, outputTime)) {
        return 0; // the frame on show stays until the instant the pictures are held for
    }
    if (context == nullptr || !context->isNewImageAvailable(outputTime)) {
        if (m_view.warpMapDue()) {
            drawRect(); // the picture on show, now through the map
        } else {
            drawOnceAtTheEnd();
        }
        return 0;
    }
    // The old frame goes before the copy, so a failed copy leaves no frame. The swap takes the
    // view's lock: a frame is never released while a drawing uses it.
    m_view.setCurrentFrame(nullptr);
    // The frame's time as published when it is taken: the main thread may seek meanwhile.
    const MovieTime frameTime = status ? status->currentTime() : MovieTime{};
    FrameTextureRef frame = context->copyImageForTime(outputTime);
    m_view.setCurrentFrame(frame);
    if (frame) {
        drawRect();
        m_framesDrawn.fetch_add(1, std::memory_order_relaxed);
        if (const auto& hook = m_view.presentedHook(); hook && status) {
            if (m_view.lastPresentTimed()) {
                awaitShown(m_view.lastPresentToken(), frameTime); // told when it really was
            } else {
                hook(outputTime, frameTime);
            }
        }
    }
    return 0;
}

void FramePump::awaitShown(uint64_t token, const MovieTime& time) {
    m_awaiting.push_back({token, time});
    if (m_awaiting.size() > kMaxAwaiting) {
        m_awaiting.pop_front(); // its instant never came
    }
}

void FramePump::reportShown() {
    m_view.takePresentationTimes([this](uint64_t token, DisplayLink::TimeStamp instant) {
        while (!m_awaiting.empty() && m_awaiting.front().token < token) {
            m_awaiting.pop_front(); // discarded, or never answered
        }
        if (m_awaiting.empty() || m_awaiting.front().token != token) {
            return; // a redraw of a frame already shown
        }
        const MovieTime time = m_awaiting.front().time;
        m_awaiting.pop_front();
        if (const auto& hook = m_view.presentedHook()) {
            hook(instant, time);
        }
    });
}

bool FramePump::held(const MovieStatus& status, const DisplayLink::TimeStamp& outputTime) {
    const int64_t until = status.heldUntil();
    return until != 0 &&
           std::chrono::duration_cast<std::chrono::nanoseconds>(outputTime.time_since_epoch())
                   .count() < until;
}

void FramePump::drawOnceAtTheEnd() {
    // The decoder may report its end only after it delivered the last frame; one more drawing
    // then runs the end-of-movie test, which would otherwise wait for a frame that never comes.
    const auto status = m_view.movieStatus();
    const bool done = status && status->isDone();
    if (done && !m_endDrawn) {
        drawRect();
    }
    m_endDrawn = done;
}

float FramePump::sliderPosition(const MovieTime& current, const MovieTime& duration) {
    const float total = static_cast<float>(duration.value);
    if (total == 0.0f) {
        return 0.0f;
    }
    return static_cast<float>(current.value) / total;
}

void FramePump::drawRect() {
    LUMENARC_ASSERT_THREAD(m_view.renderThread().isRenderThread());
    // The movie is seen only through its status: this thread never holds a movie.
    const auto status = m_view.movieStatus();
    if (status) {
        const float position = sliderPosition(status->currentTime(), status->duration());
        MainThread::post([&view = m_view, position] { view.showProgress(position); });
    }
    m_view.drawPicture();
    const bool done = status && status->isDone();
    const bool quit = m_view.quitWhenMovieFinishes();
    if (done && !m_view.looping()) {
        reportEnd(status, quit);
    }
}

void FramePump::reportEnd(const std::shared_ptr<const MovieStatus>& status, bool quit) {
    if (status == m_endReported && (m_endReportedQuit || !quit)) {
        return;
    }
    m_endReported = status;
    m_endReportedQuit = quit;
    // The main thread decides: a play list may go on with its next movie; otherwise the run
    // ends in its orderly way (save, then clean up), which stops this thread's display link and
    // so must not run inside its own callback.
    MainThread::post([&view = m_view, status, quit] { view.movieDidFinish(status, quit); });
}

} // namespace lumenarc
