#pragma once

#include "mesh/LargeBuffer.h"
#include "mesh/MeshVertex.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace lumenarc {

// The mesh every frame is drawn through: a width x height grid of nodes, its projection type,
// and the user's pan and rotation. The grid never changes after loading. The interaction state
// and the type are written on the main thread while the drawing thread reads them, so each is
// atomic: a value is never read torn, and a frame may see one change before another.
class DistortionMatrix {
public:
    // The pan and rotation as one snapshot.
    struct Interaction {
        double rotation = 0;
        double offsetX = 0;
        double offsetY = 0;
    };

    // The largest mesh file read: 1 GiB, far beyond any real mesh (a 1024 x 1024 mesh written
    // with nine digits per number is about 59 MB). Larger files, and anything that is not a
    // regular file (a FIFO, a device, a folder), are refused before a byte is read.
    static constexpr size_t kMaxFileBytes = size_t{1} << 30;
    // The most nodes a mesh may have: as many as the largest file can hold (every number but
    // the last needs a byte after it, so a node takes at least 10 bytes). A text claiming more
    // is refused too, so that everything sized from the node count stays small.
    static constexpr uint64_t kMaxNodes = (kMaxFileBytes + 1) / 10;

    // The loaded mesh, or nullptr when the file is missing, unreadable or not a valid mesh.
    static std::unique_ptr<DistortionMatrix> initFromFile(const std::string& path);
    static std::unique_ptr<DistortionMatrix> initFromText(std::string_view text);
    // The same, saying why a file is refused: missing, not a regular file, not readable, too
    // short (the nodes found against the nodes expected), or a bad header.
    static std::unique_ptr<DistortionMatrix> initFromFile(const std::string& path,
                                                          std::string& why);
    static std::unique_ptr<DistortionMatrix> initFromText(std::string_view text, std::string& why);
    // A mesh of the given nodes (row by row, width * height of them), as an edit makes it;
    // nullptr for a size that does not match or no memory.
    static std::unique_ptr<DistortionMatrix> fromNodes(int32_t width, int32_t height,
                                                       std::span<const MeshVertex> nodes,
                                                       int32_t projectionType);

    // Unique to this object for the whole run, never reused: caches built from a mesh key on it,
    // as a new mesh may be allocated where a released one was.
    uint64_t serial() const { return m_serial; }

    int32_t width() const { return m_xSize; }
    int32_t height() const { return m_ySize; }
    int32_t projectionType() const { return m_projectionType.load(std::memory_order_relaxed); }
    void setProjectionType(int32_t type);

    double xCoordAtX(int32_t x, int32_t y) const { return node(x, y).x; }
    double yCoordAtX(int32_t x, int32_t y) const { return node(x, y).y; }
    double uCoordAtX(int32_t x, int32_t y) const;
    double vCoordAtX(int32_t x, int32_t y) const;
    double luminanceAtX(int32_t x, int32_t y) const { return clamp01(node(x, y).i); }

    void rotate(float angle);
    void offsetX(float x, float y);
    void resetInteraction();
    Interaction interaction() const;
    // Takes over another mesh's pan and rotation, as an edited mesh replacing it must.
    void setInteraction(const Interaction& interaction);

    std::span<const MeshVertex> vertices() const { return {m_vertices, m_nodeCount}; }

    // The sampler formulas, with the cosine and sine of the rotation given, so that a caller
    // sampling many nodes under one rotation gets results identical to the per-node samplers.
    static double sampleU(const MeshVertex& node, double c, double s, double offsetX);
    static double sampleV(const MeshVertex& node, double c, double s, double offsetY);
    static double clamp01(double value) { return value > 1.0 ? 1.0 : (value < 0.0 ? 0.0 : value); }

private:
    DistortionMatrix() = default;
    const MeshVertex& node(int32_t x, int32_t y) const {
        return m_vertices[static_cast<size_t>(y) * static_cast<size_t>(m_xSize) +
                          static_cast<size_t>(x)];
    }

    static uint64_t nextSerial();
    // Storage for `nodes` nodes of a width x height grid, or nullptr without the memory.
    static std::unique_ptr<DistortionMatrix> withStorage(int32_t width, int32_t height,
                                                         int32_t type, uint64_t nodes);

    const uint64_t m_serial = nextSerial();
    std::atomic<int32_t> m_projectionType{0};
    int32_t m_xSize = 0;
    int32_t m_ySize = 0;
    LargeBuffer m_storage;
    MeshVertex* m_vertices = nullptr; // in m_storage, row by row: node (x, y) is y * width + x
    size_t m_nodeCount = 0;
    std::atomic<double> m_rotation{0};
    std::atomic<double> m_offsetX{0};
    std::atomic<double> m_offsetY{0};
};

} // namespace lumenarc
