#pragma once

namespace lumenarc {

// Where the view draws a mesh position, in the view's window coordinates (points, origin at the
// lower left, y upward), and back. The same mapping as the drawing: the mesh's unit square
// scaled to the view's aspect (DrawPlan::aspectScale), then the -1..1 projection over the view.
// The pan and rotation move the picture, never the nodes, so they play no part.
class MeshScreen {
public:
    struct Point {
        double x = 0;
        double y = 0;
    };

    static Point toWindow(double meshX, double meshY, float viewWidth, float viewHeight);
    // The mesh position drawn at a window position.
    static Point toMesh(double windowX, double windowY, float viewWidth, float viewHeight);
    // The mesh units a move of the pointer by (dx, dy) points makes.
    static Point toMeshOffset(double dx, double dy, float viewWidth, float viewHeight);
};

} // namespace lumenarc
