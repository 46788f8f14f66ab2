#include "playback/MpvTextureContext.h"

#include "MainQueue.h"
#include "base/MainThread.h"
#include "playback/MpvMovie.h"
#include "playback/TestMovies.h"
#include "render/GLTestScene.h"
#include "render/ViewSetup.h"
#include "support/TempDir.h"
#include "view/RenderThread.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using Kind = FramePath::Kind;

void* glProcAddress(void*, const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba; // bottom row first
    const uint8_t* at(int x, int y) const {
        return &rgba[(static_cast<size_t>(y) * width + x) * 4];
    }
};

// A render thread with an offscreen scene, texture contexts made on this (the main) thread, and a
// main-thread queue the test drains while it waits. Frames are drawn through a mesh exactly as
// the player draws them, and read back.
class DecoderOnRenderThread : public ::testing::Test {
protected:
    static constexpr int kView = 160;

    void SetUp() override {
        m_thread.start([this] { m_scene = std::make_unique<test::GLTestScene>(kView, kView); });
        ASSERT_TRUE(m_thread.runAndWait([] {}));
        ASSERT_TRUE(m_scene && m_scene->ok()) << (m_scene ? m_scene->error() : "");
    }

    void TearDown() override {
        m_movies.clear(); // each detaches its core before it goes
        drainMainThread();
        m_thread.quit([this] {
            m_frames.clear();
            for (auto& context : m_contexts) {
                context->release();
            }
            m_scene.reset();
        });
        m_contexts.clear();
    }

    // A texture context on the given path, preparing for drawables of the given size.
    MpvTextureContext& makeContext(Kind kind, int target = kView) {
        auto context = std::make_shared<MpvTextureContext>(m_threadOwner, &glProcAddress, nullptr);
        ::setenv("LUMENARC_FRAME_PATH", kind == Kind::Cpu ? "cpu" : "gl", 1);
        m_thread.runAndWait([&] {
            context->prepare();
            context->setTargetSize(target, target);
        });
        ::unsetenv("LUMENARC_FRAME_PATH");
        EXPECT_EQ(context->framePath(), kind);
        m_contexts.push_back(context);
        return *context;
    }

    std::shared_ptr<MpvMovie> open(MpvTextureContext& context, const std::string& path) {
        MpvMovie::Options options;
        options.audio = false;
        options.beforeLoad = [&context](MpvMovie& movie) {
            context.attachCore(movie.handle(), movie.status());
        };
        options.beforeDestroy = [&context](mpv_handle* core) { context.detachCore(core); };
        std::string error;
        auto movie = MpvMovie::open(path, options, &error);
        EXPECT_NE(movie, nullptr) << error;
        if (movie) {
            context.setMovie(movie.get());
            m_movies.push_back(movie);
        }
        return movie;
    }

    std::string makeMovie(const std::string& name, const test::MovieSpec& spec) {
        const auto path = (m_dir.path() / name).string();
        EXPECT_TRUE(test::TestMovies::make(path, spec)) << name;
        return path;
    }

    void drainMainThread() { m_main.run(); }

    // Waits for the context's next frame and draws it through `mesh` into a view of the given
    // size; also reports the frame texture's own size.
    Picture nextPicture(MpvTextureContext& context, const DistortionMatrix& mesh, int viewWidth,
                        int viewHeight, int* textureWidth = nullptr) {
        Picture picture;
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (picture.rgba.empty() && std::chrono::steady_clock::now() < deadline) {
            drainMainThread();
            m_thread.runAndWait([&] {
                const auto now = RenderThread::Clock::now();
                if (!context.isNewImageAvailable(now)) {
                    return;
                }
                auto frame = context.copyImageForTime(now);
                if (!frame) {
                    return;
                }
                context.task();
                if (textureWidth != nullptr) {
                    glBindTexture(frame->target, frame->name);
                    glGetTexLevelParameteriv(frame->target, 0, GL_TEXTURE_WIDTH, textureWidth);
                }
                picture = draw(*frame, mesh, viewWidth, viewHeight);
                m_frames.push_back(frame);
            });
            std::this_thread::sleep_for(5ms);
        }
        return picture;
    }

    // Render thread: one picture through the mesh, as the player draws it.
    Picture draw(const FrameTexture& frame, const DistortionMatrix& mesh, int width, int height) {
        m_scene->gl().resize(width, height);
        ViewSetup::reshape(width, height);
        FrameRenderer renderer;
        auto in = m_scene->inputs(&mesh, &frame);
        in.viewWidth = static_cast<float>(width);
        in.viewHeight = static_cast<float>(height);
        renderer.renderBits(in);
        return {width, height, m_scene->gl().readPixels()};
    }

    static std::unique_ptr<DistortionMatrix> planar(int type = 1) {
        return test::GLTestScene::gridMesh(type, 2, 2);
    }

    const std::shared_ptr<RenderThread> m_threadOwner = std::make_shared<RenderThread>(100);
    RenderThread& m_thread = *m_threadOwner;
    std::unique_ptr<test::GLTestScene> m_scene;
    std::vector<std::shared_ptr<MpvTextureContext>> m_contexts;
    std::vector<std::shared_ptr<MpvMovie>> m_movies;
    std::vector<FrameTextureRef> m_frames;
    test::MainQueue m_main;
    test::TempDir m_dir;
};

// Per-channel differences between two pictures of the same size.
struct Difference {
    int largest = 0;
    double mean = 0;
};

Difference compare(const Picture& a, const Picture& b) {
    Difference d;
    if (a.rgba.size() != b.rgba.size() || a.rgba.empty()) {
        return {255, 255};
    }
    double sum = 0;
    size_t count = 0;
    for (size_t k = 0; k < a.rgba.size(); k += 4) {
        for (size_t c = 0; c < 3; ++c) {
            const int delta = std::abs(int{a.rgba[k + c]} - int{b.rgba[k + c]});
            d.largest = std::max(d.largest, delta);
            sum += delta;
            ++count;
        }
    }
    d.mean = sum / static_cast<double>(count);
    return d;
}

class BothFramePaths : public DecoderOnRenderThread, public ::testing::WithParamInterface<Kind> {};

// Red over blue: the picture's top lands at the top of the view on either path.
TEST_P(BothFramePaths, FramesArriveTheRightWayUp) {
    auto& context = makeContext(GetParam());
    test::MovieSpec spec{.width = 64, .height = 64, .audio = false};
    spec.video = "color=c=blue:s=64x64:r=25,drawbox=x=0:y=0:w=64:h=32:color=red:t=fill";
    ASSERT_NE(open(context, makeMovie("redtop.mp4", spec)), nullptr);
    const auto mesh = planar();
    const Picture picture = nextPicture(context, *mesh, kView, kView);
    ASSERT_FALSE(picture.rgba.empty()) << "no frame arrived";
    EXPECT_GT(picture.at(80, 140)[0], 200); // top: red
    EXPECT_LT(picture.at(80, 140)[2], 60);
    EXPECT_GT(picture.at(80, 20)[2], 200); // bottom: blue
    EXPECT_LT(picture.at(80, 20)[0], 60);
}

// A second movie of another size replaces the first; frames of the first may still be held.
TEST_P(BothFramePaths, ReplacingTheMovieMovesDeliveryToTheNewOne) {
    auto& context = makeContext(GetParam());
    const auto mesh = planar();
    test::MovieSpec spec{.width = 96, .height = 48, .audio = false};
    spec.video = "color=c=red:s=96x48:r=25";
    open(context, makeMovie("first.mp4", spec));
    int width = 0;
    ASSERT_FALSE(nextPicture(context, *mesh, kView, kView, &width).rgba.empty());
    EXPECT_EQ(width, 96);
    m_movies.clear(); // released while a frame of it is still held
    spec = {.width = 32, .height = 32, .audio = false};
    spec.video = "color=c=lime:s=32x32:r=25";
    open(context, makeMovie("second.mp4", spec));
    const Picture picture = nextPicture(context, *mesh, kView, kView, &width);
    ASSERT_FALSE(picture.rgba.empty());
    EXPECT_EQ(width, 32);
    EXPECT_GT(picture.at(80, 80)[1], 200);
    EXPECT_LT(picture.at(80, 80)[0], 60);
}

// Sizes whose rows are no multiple of 64 bytes, an odd size, and a picture of one pixel.
TEST_P(BothFramePaths, OddSizesKeepTheirPicture) {
    auto& context = makeContext(GetParam());
    const auto mesh = planar();
    struct Case {
        int width, height;
        const char* pixelFormat;
    };
    for (const Case c : {Case{854, 480, "yuv420p"}, Case{85, 47, "yuv444p"}}) {
        m_movies.clear();
        test::MovieSpec spec{.width = c.width, .height = c.height, .audio = false};
        spec.pixelFormat = c.pixelFormat;
        spec.video = "color=c=blue:s=" + std::to_string(c.width) + "x" + std::to_string(c.height) +
                     ":r=25,drawbox=x=0:y=0:w=iw/2:h=ih:color=yellow:t=fill";
        open(context, makeMovie("odd.mp4", spec));
        const Picture picture = nextPicture(context, *mesh, kView, kView);
        ASSERT_FALSE(picture.rgba.empty()) << c.width << "x" << c.height;
        EXPECT_GT(picture.at(30, 80)[0], 200) << c.width; // left: yellow
        EXPECT_GT(picture.at(30, 80)[1], 200) << c.width;
        EXPECT_GT(picture.at(130, 80)[2], 200) << c.width; // right: blue
        EXPECT_LT(picture.at(130, 80)[0], 60) << c.width;
    }
    m_movies.clear();
    const auto dot = (m_dir.path() / "dot.png").string();
    ASSERT_TRUE(test::TestMovies::makeColourImage(dot, 1, 1, "orange"));
    open(context, dot);
    int width = 0;
    const Picture picture = nextPicture(context, *mesh, kView, kView, &width);
    ASSERT_FALSE(picture.rgba.empty());
    EXPECT_EQ(width, 1);
    EXPECT_GT(picture.at(80, 80)[0], 220);
    EXPECT_NEAR(picture.at(80, 80)[1], 165, 12);
    EXPECT_LT(picture.at(80, 80)[2], 40);
}

// A panned cylinder wraps around: the right half of the picture comes round on the left.
TEST_P(BothFramePaths, APannedCylinderWraps) {
    auto& context = makeContext(GetParam());
    test::MovieSpec spec{.width = 64, .height = 32, .audio = false};
    spec.video = "color=c=blue:s=64x32:r=25,drawbox=x=0:y=0:w=32:h=32:color=red:t=fill";
    open(context, makeMovie("halves.mp4", spec));
    const auto mesh = test::GLTestScene::gridMesh(3, 17, 2); // cylindrical: wraps sideways
    mesh->offsetX(0.5, 0);
    const Picture picture = nextPicture(context, *mesh, kView, kView);
    ASSERT_FALSE(picture.rgba.empty());
    EXPECT_GT(picture.at(40, 80)[2], 200); // left quarter now shows the blue right half
    EXPECT_LT(picture.at(40, 80)[0], 60);
    EXPECT_GT(picture.at(120, 80)[0], 200); // and the red left half has wrapped to the right
    EXPECT_LT(picture.at(120, 80)[2], 60);
}

INSTANTIATE_TEST_SUITE_P(Paths, BothFramePaths, ::testing::Values(Kind::Gl, Kind::Cpu),
                         [](const auto& info) { return info.param == Kind::Cpu ? "Cpu" : "Gl"; });

// The two paths draw the same picture of a real movie, within the rounding of two converters.
TEST_F(DecoderOnRenderThread, BothPathsDrawTheSamePixels) {
    const auto path = makeMovie("same.mp4", {.width = 320, .height = 240, .audio = false});
    const auto mesh = planar();
    auto& gl = makeContext(Kind::Gl);
    auto& cpu = makeContext(Kind::Cpu, 320);
    // A paused movie offers its first picture once: each is taken as soon as it has loaded.
    open(cpu, path);
    const Picture b = nextPicture(cpu, *mesh, 320, 240);
    open(gl, path);
    const Picture a = nextPicture(gl, *mesh, 320, 240);
    ASSERT_FALSE(a.rgba.empty());
    ASSERT_FALSE(b.rgba.empty());
    const Difference d = compare(a, b);
    EXPECT_LT(d.mean, 2.0);
    EXPECT_LE(d.largest, 48) << "beyond the converters' chroma filtering";
    std::printf("gl against cpu: mean %.3f, largest %d\n", d.mean, d.largest);
}

// A view smaller than the movie gets a smaller texture on the processor path, and the drawing
// from it matches the full-size drawing within filtering.
TEST_F(DecoderOnRenderThread, AReducedTextureDrawsLikeTheFullOne) {
    const auto path = makeMovie("big.mp4", {.width = 640, .height = 360, .audio = false});
    const auto mesh = planar();
    auto& full = makeContext(Kind::Cpu, 1024);
    auto& reduced = makeContext(Kind::Cpu, 100);
    // A paused movie offers its first picture once: each is taken as soon as it has loaded.
    int fullWidth = 0, reducedWidth = 0;
    open(full, path);
    const Picture a = nextPicture(full, *mesh, 100, 56, &fullWidth);
    open(reduced, path);
    const Picture b = nextPicture(reduced, *mesh, 100, 56, &reducedWidth);
    EXPECT_EQ(fullWidth, 640);
    EXPECT_EQ(reducedWidth, 128); // 100 rounded up to a power of two
    ASSERT_FALSE(a.rgba.empty());
    ASSERT_FALSE(b.rgba.empty());
    const Difference d = compare(a, b);
    EXPECT_LT(d.mean, 8.0);
    std::printf("reduced against full: mean %.3f, largest %d\n", d.mean, d.largest);
}

TEST(FramePathChoice, SoftwareRasterisersConvertOnTheProcessor) {
    EXPECT_EQ(FramePath::choose("llvmpipe (LLVM 15.0.6, 256 bits)", nullptr), Kind::Cpu);
    EXPECT_EQ(FramePath::choose("softpipe", nullptr), Kind::Cpu);
    EXPECT_EQ(FramePath::choose("Mesa Intel(R) UHD Graphics 620", nullptr), Kind::Gl);
    EXPECT_EQ(FramePath::choose("llvmpipe", "gl"), Kind::Gl);
    EXPECT_EQ(FramePath::choose("AMD Radeon", "cpu"), Kind::Cpu);
    EXPECT_EQ(FramePath::choose("AMD Radeon", "bogus"), Kind::Gl);
}

TEST(FramePathChoice, ConversionSizeIsBoundedByTheDrawable) {
    using Size = FramePath::Size;
    EXPECT_EQ(FramePath::conversionSize(Kind::Cpu, 1920, 1080, 800, 581), (Size{1024, 576}));
    EXPECT_EQ(FramePath::conversionSize(Kind::Cpu, 4096, 4096, 1920, 1080), (Size{2048, 2048}));
    EXPECT_EQ(FramePath::conversionSize(Kind::Cpu, 1920, 1080, 3840, 1080), (Size{1920, 1080}));
    EXPECT_EQ(FramePath::conversionSize(Kind::Cpu, 640, 360, 1024, 1024), (Size{640, 360}));
    EXPECT_EQ(FramePath::conversionSize(Kind::Cpu, 1920, 1080, 1, 1), (Size{1920, 1080}));
    EXPECT_EQ(FramePath::conversionSize(Kind::Cpu, 3, 1000, 100, 100), (Size{1, 128}));
    EXPECT_EQ(FramePath::conversionSize(Kind::Gl, 4096, 4096, 640, 480), (Size{4096, 4096}));
    EXPECT_EQ(FramePath::conversionSize(Kind::Cpu, 0, 1080, 640, 480), (Size{}));
    EXPECT_EQ(FramePath::conversionSize(Kind::Gl, 16385, 16, 640, 480), (Size{}));
    EXPECT_EQ(FramePath::conversionSize(Kind::Cpu, std::nanf(""), 16, 640, 480), (Size{}));
    EXPECT_EQ(FramePath::conversionSize(Kind::Cpu, 1920, 1080, 1 << 30, 1), (Size{1920, 1080}));
    EXPECT_EQ(FramePath::rowBytes(854), 3456u);
    EXPECT_EQ(FramePath::rowBytes(16), 64u);
    EXPECT_EQ(FramePath::rowBytes(1), 64u);
}

} // namespace
} // namespace lumenarc
