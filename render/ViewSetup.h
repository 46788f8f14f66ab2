#pragma once

namespace lumenarc {

// The GL set-up every drawing of the picture starts from, shared by the video view, the preview
// tool and the tests, so that all of them draw exactly alike.
class ViewSetup {
public:
    // Smooth shading, clear colour black with alpha 0, clear depth 1.
    static void prepare();
    // Viewport over the whole drawable, projection -1..1 on both axes, identity modelview.
    static void reshape(int width, int height);
};

} // namespace lumenarc
