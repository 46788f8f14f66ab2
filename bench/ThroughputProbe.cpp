// Decodes, converts and draws every frame of a movie through a mesh into an offscreen view as
// fast as it can (libmpv untimed), as the player's engine does it: the movie on this (main)
// thread, the texture context and the drawing on a render thread. Prints frames, wall time and
// the process's CPU time per frame; bench/throughput-bench compares it with mpv in the same run.
// Usage: throughput_probe MOVIE MESH WIDTHxHEIGHT

#include "mesh/DistortionMatrix.h"
#include "offscreen/OffscreenGL.h"
#include "playback/MpvMovie.h"
#include "playback/MpvTextureContext.h"
#include "render/FrameRenderer.h"
#include "render/ViewSetup.h"
#include "view/RenderThread.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <mpv/client.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

using namespace lumenarc;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void* procAddress(void*, const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

} // namespace

int main(int argc, char** argv) {
    int width = 0, height = 0;
    if (argc != 4 || std::sscanf(argv[3], "%dx%d", &width, &height) != 2) {
        std::fprintf(stderr, "usage: throughput_probe MOVIE MESH WIDTHxHEIGHT\n");
        return 2;
    }
    const auto mesh = DistortionMatrix::initFromFile(argv[2]);
    if (!mesh) {
        std::fprintf(stderr, "not a mesh: %s\n", argv[2]);
        return 1;
    }
    const auto shared = std::make_shared<RenderThread>(60);
    RenderThread& thread = *shared;
    std::unique_ptr<OffscreenGL> gl;
    thread.start([&] {
        gl = OffscreenGL::create(width, height);
        if (gl) {
            ViewSetup::prepare();
            ViewSetup::reshape(width, height);
        }
    });
    auto context = std::make_shared<MpvTextureContext>(shared, &procAddress, nullptr);
    thread.runAndWait([&] {
        context->prepare();
        context->setTargetSize(width, height);
    });
    if (!gl) {
        std::fprintf(stderr, "no offscreen GL context\n");
        return 1;
    }

    MpvMovie::Options options;
    options.audio = false;
    options.beforeLoad = [&](MpvMovie& movie) {
        mpv_set_option_string(movie.handle(), "untimed", "yes");
        context->attachCore(movie.handle(), movie.status());
    };
    options.beforeDestroy = [&](mpv_handle* core) { context->detachCore(core); };
    std::string error;
    auto movie = MpvMovie::open(argv[1], options, &error);
    if (!movie) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    context->setMovie(movie.get());

    FrameRenderer renderer;
    long frames = 0;
    const double cpuStart = cpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    movie->play();
    while (!movie->isDone()) {
        movie->processEvents();
        bool drew = false;
        thread.runAndWait([&] {
            const auto now = RenderThread::Clock::now();
            if (!context->isNewImageAvailable(now)) {
                return;
            }
            const FrameTextureRef frame = context->copyImageForTime(now);
            if (!frame) {
                return;
            }
            FrameRenderer::Inputs in;
            in.mesh = mesh.get();
            in.frame = frame.get();
            in.viewWidth = static_cast<float>(width);
            in.viewHeight = static_cast<float>(height);
            in.drawOverlay = false; // no overlay texture here; the frame and mesh are measured
            renderer.renderBits(in);
            glFinish();
            context->task();
            drew = true;
        });
        if (drew) {
            ++frames;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = cpuSeconds() - cpuStart;
    std::printf("frames %ld wall %.3f cpu %.3f path %s\n", frames, wall, cpu,
                context->framePath() == FramePath::Kind::Cpu ? "cpu" : "gl");
    context->setMovie(nullptr);
    movie.reset();
    thread.quit([&] {
        context->release();
        gl.reset();
    });
    return 0;
}
