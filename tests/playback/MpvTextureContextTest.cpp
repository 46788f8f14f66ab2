#include "playback/MpvTextureContext.h"
#include "offscreen/OffscreenGL.h"
#include "playback/MpvMovie.h"
#include "playback/TestMovies.h"
#include "support/TempDir.h"
#include "view/MainThread.h"
#include "view/RenderThread.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;

// A render thread that owns an offscreen GL context, a texture context on it, and a main-thread
// queue that the test drains while it waits.
class DecoderOnRenderThread : public ::testing::Test {
protected:
    void SetUp() override {
        MainThread::setPoster([this](MainThread::Task task) {
            std::lock_guard lock(m_mutex);
            m_mainTasks.push_back(std::move(task));
        });
        m_thread.start([this] {
            m_gl = OffscreenGL::create(64, 64);
            if (m_gl) {
                m_context = std::make_unique<MpvTextureContext>(
                    m_thread,
                    [](void*, const char* name) {
                        return reinterpret_cast<void*>(eglGetProcAddress(name));
                    },
                    nullptr);
            }
        });
        ASSERT_TRUE(m_thread.runAndWait([] {}));
        ASSERT_NE(m_context, nullptr);
    }

    void TearDown() override {
        m_movie.reset();
        drainMainThread();
        m_thread.quit([this] {
            m_frames.clear();
            if (m_context) {
                m_context->release();
            }
            m_context.reset();
            m_gl.reset();
        });
        MainThread::setPoster(nullptr);
    }

    void drainMainThread() {
        std::deque<MainThread::Task> tasks;
        {
            std::lock_guard lock(m_mutex);
            tasks.swap(m_mainTasks);
        }
        for (auto& task : tasks) {
            task();
        }
    }

    std::shared_ptr<MpvMovie> open(const std::string& path) {
        MpvMovie::Options options;
        options.audio = false;
        options.beforeLoad = [this](mpv_handle* core) { m_context->attachCore(core); };
        options.beforeDestroy = [this](mpv_handle* core) { m_context->detachCore(core); };
        std::string error;
        auto movie = MpvMovie::open(path, options, &error);
        EXPECT_NE(movie, nullptr) << error;
        return movie;
    }

    // Waits for a frame to be delivered; returns its RGBA texels (bottom row first).
    std::vector<uint8_t> nextFrame(int& width, int& height) {
        std::vector<uint8_t> texels;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (texels.empty() && std::chrono::steady_clock::now() < deadline) {
            drainMainThread();
            m_thread.runAndWait([&] {
                const auto now = RenderThread::Clock::now();
                if (!m_context->isNewImageAvailable(now)) {
                    return;
                }
                auto frame = m_context->copyImageForTime(now);
                if (!frame) {
                    return;
                }
                m_context->task();
                glBindTexture(frame->target, frame->name);
                glGetTexLevelParameteriv(frame->target, 0, GL_TEXTURE_WIDTH, &width);
                glGetTexLevelParameteriv(frame->target, 0, GL_TEXTURE_HEIGHT, &height);
                texels.resize(static_cast<size_t>(width) * height * 4);
                glPixelStorei(GL_PACK_ALIGNMENT, 1);
                glGetTexImage(frame->target, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
                m_frames.push_back(frame);
            });
            std::this_thread::sleep_for(5ms);
        }
        return texels;
    }

    RenderThread m_thread{100};
    std::unique_ptr<OffscreenGL> m_gl;
    std::unique_ptr<MpvTextureContext> m_context;
    std::shared_ptr<MpvMovie> m_movie;
    std::vector<FrameTextureRef> m_frames;
    std::mutex m_mutex;
    std::deque<MainThread::Task> m_mainTasks;
    test::TempDir m_dir;
};

// Red over blue: the picture's top lands at t = 1, as the drawing expects of a frame.
TEST_F(DecoderOnRenderThread, FramesArriveAsTexturesTheRightWayUp) {
    const auto path = (m_dir.path() / "redtop.mp4").string();
    test::MovieSpec spec;
    spec.width = 64;
    spec.height = 64;
    spec.audio = false;
    spec.video = "color=c=blue:s=64x64:r=25,drawbox=x=0:y=0:w=64:h=32:color=red:t=fill";
    ASSERT_TRUE(test::TestMovies::make(path, spec));
    m_movie = open(path);
    ASSERT_NE(m_movie, nullptr);
    m_context->setMovie(m_movie);
    m_movie->setRate(1.0f);
    int width = 0, height = 0;
    const auto texels = nextFrame(width, height);
    ASSERT_FALSE(texels.empty()) << "no frame arrived";
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 64);
    const auto at = [&](int x, int y) { return &texels[(static_cast<size_t>(y) * width + x) * 4]; };
    EXPECT_GT(at(32, 56)[0], 200); // near t = 1: red
    EXPECT_LT(at(32, 56)[2], 60);
    EXPECT_GT(at(32, 8)[2], 200); // near t = 0: blue
    EXPECT_LT(at(32, 8)[0], 60);
}

// Opening a second movie frees the first one's render context before its core goes, and the
// second one delivers frames of its own size.
TEST_F(DecoderOnRenderThread, ReplacingTheMovieMovesDeliveryToTheNewOne) {
    test::MovieSpec spec;
    spec.audio = false;
    spec.width = 96;
    spec.height = 48;
    const auto first = (m_dir.path() / "first.mp4").string();
    ASSERT_TRUE(test::TestMovies::make(first, spec));
    spec.width = 32;
    spec.height = 32;
    const auto second = (m_dir.path() / "second.mp4").string();
    ASSERT_TRUE(test::TestMovies::make(second, spec));
    m_movie = open(first);
    m_context->setMovie(m_movie);
    m_movie->setRate(1.0f);
    int width = 0, height = 0;
    ASSERT_FALSE(nextFrame(width, height).empty());
    EXPECT_EQ(width, 96);
    m_movie.reset(); // released while frames of it are still held
    m_movie = open(second);
    m_context->setMovie(m_movie);
    m_movie->setRate(1.0f);
    ASSERT_FALSE(nextFrame(width, height).empty());
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 32);
}

// A movie whose core was loaded before any render context existed gets its video back once
// the context is made.
TEST_F(DecoderOnRenderThread, AMovieOpenedBeforeTheContextStillDeliversFrames) {
    test::MovieSpec spec;
    spec.width = 48;
    spec.height = 32;
    const auto path = (m_dir.path() / "early.mp4").string();
    ASSERT_TRUE(test::TestMovies::make(path, spec)); // with sound, so the file plays without video
    MpvMovie::Options options;
    options.audio = false;
    options.beforeDestroy = [this](mpv_handle* core) { m_context->detachCore(core); };
    std::string error;
    m_movie = MpvMovie::open(path, options, &error);
    ASSERT_NE(m_movie, nullptr) << error;
    m_movie->setRate(1.0f);
    m_context->setMovie(m_movie); // makes the context now and reselects the video track
    int width = 0, height = 0;
    ASSERT_FALSE(nextFrame(width, height).empty());
    EXPECT_EQ(width, 48);
}

} // namespace
} // namespace lumenarc
