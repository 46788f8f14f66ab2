#pragma once

#include "render/DrawPlan.h"
#include "render/FrameTexture.h"
#include "render/NodeHandles.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumenarc {

class DistortionMatrix;
class Timer;

// Draws one complete picture into the current GL context: the frame through the mesh, the
// optional calibration grid and mesh lines, the overlay band, the optional frame-rate readout,
// then flushes.
class FrameRenderer {
public:
    // What one frame is drawn from; the view fills it from its fields under its lock.
    struct Inputs {
        const DistortionMatrix* mesh = nullptr; // none: a 0 x 0 mesh of type 0
        const FrameTexture* frame = nullptr;    // none: the frame pass is skipped
        // The frame already warped to the view's pixels (one texel a pixel): drawn as it is,
        // in place of the frame pass.
        const FrameTexture* warped = nullptr;
        bool showDistortionMatrix = false; // grid pass
        bool showGridLines = false;        // line pass
        bool showFPS = false;
        double position = 0;     // seconds into the movie, for the readout
        double duration = 0;     // the movie's length in seconds; 0 or less: no time line
        bool drawOverlay = true; // the preview tool can leave the overlay out
        const NodeHandles::Marks* nodeMarks = nullptr; // the mesh editor's, while it edits
        uint32_t gridTexture = 0;
        uint32_t overlayTexture = 0;
        uint32_t fontBase = 0;
        float viewWidth = 1;
        float viewHeight = 1;
        Timer* frameTimer = nullptr;
        std::function<void()> afterFlush; // the frame source's per-frame housekeeping
    };

    // How the mesh passes send their vertices. Immediate mode samples every node on every visit;
    // the batched path samples each node once per frame, with the rotation's cosine and sine
    // computed once, and sends the same values in the same order through vertex arrays.
    enum class Mode { Immediate, Batched };

    explicit FrameRenderer(Mode mode = Mode::Batched) : m_mode(mode) {}

    void renderBits(const Inputs& in);
    // Blending as the passes need it, and the mesh's unit square scaled to the view's aspect,
    // on a pushed model-view matrix (the caller pops it).
    static void enterMeshSpace(float viewWidth, float viewHeight);
    // The readout's time line: the time played and the time left, as H:MM:SS or M:SS; "" when
    // the length is not known.
    static std::string timeReadout(double position, double duration);
    void drawWithRangeX(const Inputs& in, int32_t x, int32_t y, int32_t xMax, int32_t yMax);

private:
    struct Vertex {
        float color[4];
        float texCoord[2];
        float position[2];
    };

    static void drawWarped(const FrameTexture& warped);
    void framePass(const Inputs& in, int32_t x, int32_t y, int32_t xMax, int32_t yMax);
    void gridPass(const Inputs& in, int32_t x, int32_t y, int32_t xMax, int32_t yMax);
    void linePass(const Inputs& in, int32_t x, int32_t y, int32_t xMax, int32_t yMax);
    void overlayPass(const Inputs& in);
    void readout(const Inputs& in);

    // Samples of every node for this frame (batched mode).
    struct NodeSample {
        double u, v, i;
        float x, y;
    };
    void sampleNodes(const DistortionMatrix& mesh);
    void drawStripsImmediate(const DistortionMatrix& mesh, const FrameTexture* frame, bool grid);
    void drawStripsBatched(const DistortionMatrix& mesh, const FrameTexture* frame, bool grid);
    Vertex makeVertex(const NodeSample& n, const FrameTexture* frame, bool grid,
                      bool firstRow) const;

    Mode m_mode;
    bool m_sampled = false;
    std::vector<DrawPlan::Strip> m_strips;
    std::vector<DrawPlan::Segment> m_segments;
    std::vector<NodeSample> m_samples;
    std::vector<Vertex> m_vertices;
    std::vector<int32_t> m_firsts;
    std::vector<int32_t> m_counts;
};

} // namespace lumenarc
