#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace lumenarc {

enum class WrapMode { ClampToEdge, Repeat };

// How a horizontal/vertical mouse drag acts on the mesh.
enum class DragKind { None, PanUV, PanU, Rotate };

// The known projection types: the codes a mesh file may name, and what each one means to the
// drawing, to drags and to the projection menu.
struct ProjectionType {
    int32_t code;
    std::string_view name;
    bool stereo;
    WrapMode wrapS;
    WrapMode wrapT;
    DragKind drag;
    std::string_view menuItem; // field name of the projection menu item

    static std::span<const ProjectionType> all();
    // The table entry for a code, or nullptr for a code outside the table.
    static const ProjectionType* find(int32_t code);
    static bool isValid(int32_t code) { return find(code) != nullptr; }
    // Side-by-side stereo: drawn as two strips per row.
    static bool isStereo(int32_t code) { return code > 10 && code <= 15; }
    // Codes outside the table clamp on both axes and ignore drags.
    static WrapMode wrapSFor(int32_t code);
    static WrapMode wrapTFor(int32_t code);
    static DragKind dragFor(int32_t code);
};

} // namespace lumenarc
