#pragma once

#include "mesh/MeshVertex.h"

#include <cstdint>
#include <span>
#include <string>

namespace lumenarc {

// Saves a mesh so that nothing is ever lost: the text (see MeshText) goes to a temporary file
// beside the mesh, which replaces the mesh only once it is complete and on the disk. The new
// file keeps the old one's permissions. A failed save leaves every file as it was and says why.
class MeshSaver {
public:
    // Saves to `path` (a symbolic link stays and the file it names is replaced). With
    // `keepOriginal`, a file already at `path` is first kept as originalPath(path), unless that
    // exists already; a save that cannot keep it does not replace the file.
    static bool save(const std::string& path, int32_t type, int32_t width, int32_t height,
                     std::span<const MeshVertex> nodes, bool keepOriginal, std::string& why);

    static std::string originalPath(const std::string& path) { return path + ".orig"; }
};

} // namespace lumenarc
