#include "mesh/DistortionMatrix.h"

#include "mesh/NumberReader.h"
#include "mesh/ProjectionType.h"
#include "mesh/TextFile.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

namespace lumenarc {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// A text holding k numbers needs at least 2k - 1 bytes: every number but the last is followed
// by a byte that ends it. A grid claiming more nodes than its text can hold is refused before
// any storage is provided, so a tiny file cannot ask for gigabytes; so is a grid larger than
// the largest file could hold, whatever text it comes from.
bool textCanHold(uint64_t nodes, size_t remainingBytes) {
    // 10 * nodes - 1 <= remaining, written so that it cannot overflow
    return nodes <= (static_cast<uint64_t>(remainingBytes) + 1) / 10 &&
           nodes <= DistortionMatrix::kMaxNodes;
}

bool readNode(NumberReader& reader, MeshVertex& node) {
    for (double* field : {&node.x, &node.y, &node.u, &node.v, &node.i}) {
        const auto value = reader.scanDouble();
        if (!value) {
            return false;
        }
        *field = *value;
    }
    return true;
}

// What a text too short for its grid holds: its whole nodes counted (without storing them, and
// bounded by the text), against the nodes its header expects.
std::string tooShort(NumberReader& reader, uint64_t expected) {
    MeshVertex node;
    uint64_t found = 0;
    while (readNode(reader, node)) {
        ++found;
    }
    return "too short: " + std::to_string(found) + " nodes found of " + std::to_string(expected) +
           " expected";
}

} // namespace

std::unique_ptr<DistortionMatrix> DistortionMatrix::initFromFile(const std::string& path) {
    std::string why;
    return initFromFile(path, why);
}

std::unique_ptr<DistortionMatrix> DistortionMatrix::initFromText(std::string_view text) {
    std::string why;
    return initFromText(text, why);
}

std::unique_ptr<DistortionMatrix> DistortionMatrix::initFromFile(const std::string& path,
                                                                 std::string& why) {
    const auto file = TextFile::read(path, kMaxFileBytes, &why);
    if (!file) {
        return nullptr;
    }
    return initFromText(file->text(), why);
}

std::unique_ptr<DistortionMatrix> DistortionMatrix::initFromText(std::string_view text,
                                                                 std::string& why) {
    NumberReader reader(text);
    const auto type = reader.scanInt();
    if (!type) {
        why = "bad header: no projection type";
        return nullptr;
    }
    if (!ProjectionType::isValid(*type)) {
        why = "bad header: no projection type " + std::to_string(*type);
        return nullptr;
    }
    const auto width = reader.scanInt();
    const auto height = reader.scanInt();
    if (!width || !height) {
        why = "bad header: no grid size after the projection type";
        return nullptr;
    }
    if (ProjectionType::isStereo(*type) && *width % 2 != 0) {
        why = "bad header: a stereo mesh needs an even width, not " + std::to_string(*width);
        return nullptr;
    }
    // A width or height of 0 or less is a valid mesh without nodes.
    const uint64_t nodes = (*width > 0 && *height > 0)
                               ? static_cast<uint64_t>(*width) * static_cast<uint64_t>(*height)
                               : 0;
    if (nodes > kMaxNodes) {
        why = "bad header: " + std::to_string(*width) + " x " + std::to_string(*height) +
              " nodes are more than any mesh file can hold";
        return nullptr;
    }
    if (!textCanHold(nodes, reader.remaining())) {
        why = tooShort(reader, nodes);
        return nullptr;
    }
    auto matrix = withStorage(*width, *height, *type, nodes);
    if (!matrix) {
        why = "too large for the memory there is";
        return nullptr; // no memory for the nodes: refused rather than ending the program
    }
    // Every node is written by the reader, so the storage needs no zeroing pass first.
    for (size_t k = 0; k < matrix->m_nodeCount; ++k) {
        if (!readNode(reader, matrix->m_vertices[k])) {
            why = "too short: " + std::to_string(k) + " nodes found of " + std::to_string(nodes) +
                  " expected";
            return nullptr; // a truncated file never loads as a partly zero mesh
        }
    }
    return matrix;
}

uint64_t DistortionMatrix::nextSerial() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, kRelaxed);
}

std::unique_ptr<DistortionMatrix> DistortionMatrix::withStorage(int32_t width, int32_t height,
                                                                int32_t type, uint64_t nodes) {
    auto storage = LargeBuffer::allocate(static_cast<size_t>(nodes) * sizeof(MeshVertex));
    if (!storage) {
        return nullptr;
    }
    std::unique_ptr<DistortionMatrix> matrix(new DistortionMatrix);
    matrix->m_projectionType = type;
    matrix->m_xSize = width;
    matrix->m_ySize = height;
    matrix->m_storage = std::move(*storage);
    matrix->m_nodeCount = static_cast<size_t>(nodes);
    matrix->m_vertices = reinterpret_cast<MeshVertex*>(matrix->m_storage.data());
    std::uninitialized_default_construct_n(matrix->m_vertices, matrix->m_nodeCount);
    return matrix;
}

std::unique_ptr<DistortionMatrix> DistortionMatrix::fromNodes(int32_t width, int32_t height,
                                                              std::span<const MeshVertex> nodes,
                                                              int32_t projectionType) {
    if (width <= 0 || height <= 0 ||
        static_cast<uint64_t>(width) * static_cast<uint64_t>(height) != nodes.size()) {
        return nullptr;
    }
    auto matrix = withStorage(width, height, projectionType, nodes.size());
    if (matrix) {
        std::copy(nodes.begin(), nodes.end(), matrix->m_vertices);
    }
    return matrix;
}

void DistortionMatrix::setProjectionType(int32_t type) {
    m_projectionType.store(type, kRelaxed);
}

double DistortionMatrix::sampleU(const MeshVertex& node, double c, double s, double offsetX) {
    const double u = clamp01(node.u);
    const double v = clamp01(node.v);
    return ((2.0 * u - 1.0) * c + (2.0 * v - 1.0) * s + 1.0) * 0.5 + offsetX;
}

double DistortionMatrix::sampleV(const MeshVertex& node, double c, double s, double offsetY) {
    return ((2.0 * node.v - 1.0) * c - (2.0 * node.u - 1.0) * s + 1.0) * 0.5 + offsetY;
}

double DistortionMatrix::uCoordAtX(int32_t x, int32_t y) const {
    const double r = m_rotation.load(kRelaxed);
    return sampleU(node(x, y), std::cos(r), std::sin(r), m_offsetX.load(kRelaxed));
}

double DistortionMatrix::vCoordAtX(int32_t x, int32_t y) const {
    const double r = m_rotation.load(kRelaxed);
    return sampleV(node(x, y), std::cos(r), std::sin(r), m_offsetY.load(kRelaxed));
}

void DistortionMatrix::rotate(float angle) {
    m_rotation.fetch_add(static_cast<double>(angle), kRelaxed);
}

void DistortionMatrix::offsetX(float x, float y) {
    m_offsetX.fetch_add(static_cast<double>(x), kRelaxed);
    m_offsetY.fetch_add(static_cast<double>(y), kRelaxed);
}

void DistortionMatrix::resetInteraction() {
    m_rotation.store(0.0, kRelaxed);
    m_offsetX.store(0.0, kRelaxed);
    m_offsetY.store(0.0, kRelaxed);
}

void DistortionMatrix::setInteraction(const Interaction& interaction) {
    m_rotation.store(interaction.rotation, kRelaxed);
    m_offsetX.store(interaction.offsetX, kRelaxed);
    m_offsetY.store(interaction.offsetY, kRelaxed);
}

DistortionMatrix::Interaction DistortionMatrix::interaction() const {
    return {m_rotation.load(kRelaxed), m_offsetX.load(kRelaxed), m_offsetY.load(kRelaxed)};
}

} // namespace lumenarc
