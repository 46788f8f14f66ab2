#pragma once

#include "mesh/MeshVertex.h"

#include <cstdint>
#include <span>
#include <string>

namespace lumenarc {

// Writes a mesh in the text format the mesh reader takes, so that every number reads back as
// the very same double. Numbers are the shortest text that reads back exactly, with two
// changes for the reader: an exponent never has a '+' (the reader takes '+' for something
// between numbers, so "5e+20" would read as 5 and 20), and infinities are written as
// "1e999" and "-1e999", which the reader turns back into them. NaN has no spelling the reader
// takes, so a mesh holding one is refused.
class MeshText {
public:
    // The header line and one line per node, row by row. False, with a reason, when a value
    // cannot be written; `out` is then left as it was.
    static bool write(int32_t type, int32_t width, int32_t height,
                      std::span<const MeshVertex> nodes, std::string& out, std::string& why);
    // One number as written; false for NaN.
    static bool appendNumber(std::string& out, double value);
};

} // namespace lumenarc
