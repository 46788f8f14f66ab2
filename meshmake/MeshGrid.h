#pragma once

#include "mesh/MeshVertex.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace lumenarc::meshmake {

// A made mesh: projection type and a width x height grid of nodes, row by row from the bottom.
class MeshGrid {
public:
    MeshGrid(int32_t type, int32_t width, int32_t height);

    int32_t type() const { return m_type; }
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    MeshVertex& at(int32_t column, int32_t row) { return m_nodes[index(column, row)]; }
    const MeshVertex& at(int32_t column, int32_t row) const { return m_nodes[index(column, row)]; }
    const std::vector<MeshVertex>& nodes() const { return m_nodes; }

    // The share of nodes that give light (i > 0).
    double litShare() const;

    // Writes the player's text format. Numbers are fixed-point with ten decimals: the reader
    // takes no exponent with a sign, and ten decimals read back well within 1e-6.
    bool write(std::FILE* file) const;

private:
    size_t index(int32_t column, int32_t row) const {
        return static_cast<size_t>(row) * static_cast<size_t>(m_width) +
               static_cast<size_t>(column);
    }

    int32_t m_type;
    int32_t m_width;
    int32_t m_height;
    std::vector<MeshVertex> m_nodes;
};

} // namespace lumenarc::meshmake
