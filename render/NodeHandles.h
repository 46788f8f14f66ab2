#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace lumenarc {

class DistortionMatrix;

// The mesh editor's marks over the picture: the mesh lines, a handle on every node (the
// selected ones larger and in another colour) and the rectangle being dragged out.
class NodeHandles {
public:
    // What the editor shows besides the mesh itself. Made on the main thread and never changed
    // after: the view hands the render thread a new one with each change.
    struct Marks {
        int32_t width = 0; // the mesh the selection belongs to
        int32_t height = 0;
        std::vector<uint8_t> selected; // one per node, row by row; nonzero: selected
        struct Band {
            double x0, y0, x1, y1; // corners in mesh units
        };
        std::optional<Band> band;
    };

    // Render thread, in the mesh's drawing space (FrameRenderer::enterMeshSpace). A selection
    // made for a mesh of another size marks no node.
    static void draw(const DistortionMatrix& mesh, const Marks& marks);
};

} // namespace lumenarc
