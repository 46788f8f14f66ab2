#pragma once

#include "base/DeveloperLog.h"
#include "offscreen/OffscreenGL.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <QGuiApplication>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

namespace lumenarc::texttest {

// Qt's fonts need a GUI application; the offscreen platform needs no display.
inline void ensureGuiApplication() {
    static QGuiApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "lumenarc-text-test";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}

// A context with window coordinates as GL coordinates, cleared black, drawing white.
inline std::unique_ptr<OffscreenGL> makeTextGL(int width, int height, std::string* error) {
    auto gl = OffscreenGL::create(width, height, error);
    if (!gl) {
        return gl;
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, width, 0, height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    return gl;
}

inline void setRaster(float x, float y) {
    glColor4f(1, 1, 1, 1);
    glRasterPos2f(x, y);
}

inline std::array<float, 4> rasterPosition() {
    std::array<float, 4> position{};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position.data());
    return position;
}

// Lit (non-black) pixels in the rectangle [x0, x1) x [y0, y1).
inline int litPixels(const OffscreenGL& gl, int x0, int y0, int x1, int y1) {
    const auto rgba = gl.readPixels();
    int lit = 0;
    for (int y = std::max(y0, 0); y < std::min(y1, gl.height()); ++y) {
        for (int x = std::max(x0, 0); x < std::min(x1, gl.width()); ++x) {
            const auto* p = &rgba[(static_cast<size_t>(y) * gl.width() + x) * 4];
            lit += (p[0] | p[1] | p[2]) != 0 ? 1 : 0;
        }
    }
    return lit;
}

inline int litPixels(const OffscreenGL& gl) {
    return litPixels(gl, 0, 0, gl.width(), gl.height());
}

inline GLint integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// Collects developer log lines while it lives.
class CapturedLog {
public:
    CapturedLog() {
        m_previous =
            DeveloperLog::setSink([this](std::string_view line) { lines.emplace_back(line); });
    }
    ~CapturedLog() { DeveloperLog::setSink(std::move(m_previous)); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    std::vector<std::string> lines;

private:
    DeveloperLog::Sink m_previous;
};

} // namespace lumenarc::texttest
