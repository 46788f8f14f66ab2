#include "mesh/ProjectionType.h"

#include <array>

namespace lumenarc {
namespace {

using W = WrapMode;
using D = DragKind;

constexpr std::array<ProjectionType, 10> kTable{{
    {1, "planar", false, W::ClampToEdge, W::ClampToEdge, D::PanUV, "m_planarMenuItem"},
    {2, "fisheye", false, W::ClampToEdge, W::ClampToEdge, D::Rotate, "m_fisheyeMenuItem"},
    {3, "cylindrical", false, W::Repeat, W::ClampToEdge, D::PanU, "m_cylindricalMenuItem"},
    {4, "spherical", false, W::Repeat, W::Repeat, D::PanU, "m_sphericalMenuItem"},
    {5, "cubic", false, W::ClampToEdge, W::ClampToEdge, D::None, "m_cubicMenuItem"},
    {11, "stereoscopic", true, W::ClampToEdge, W::ClampToEdge, D::PanUV, "m_stereoscopicMenuItem"},
    {12, "stereo fisheye", true, W::ClampToEdge, W::ClampToEdge, D::Rotate,
     "m_stereofisheyeMenuItem"},
    {13, "stereo cylindrical", true, W::Repeat, W::ClampToEdge, D::PanU,
     "m_stereocylindricalMenuItem"},
    {14, "stereo spherical", true, W::Repeat, W::Repeat, D::PanU, "m_stereosphericalMenuItem"},
    {15, "stereo cubic", true, W::ClampToEdge, W::ClampToEdge, D::None, "m_stereocubicMenuItem"},
}};

} // namespace

std::span<const ProjectionType> ProjectionType::all() {
    return kTable;
}

const ProjectionType* ProjectionType::find(int32_t code) {
    for (const auto& type : kTable) {
        if (type.code == code) {
            return &type;
        }
    }
    return nullptr;
}

WrapMode ProjectionType::wrapSFor(int32_t code) {
    const auto* type = find(code);
    return type != nullptr ? type->wrapS : WrapMode::ClampToEdge;
}

WrapMode ProjectionType::wrapTFor(int32_t code) {
    const auto* type = find(code);
    return type != nullptr ? type->wrapT : WrapMode::ClampToEdge;
}

DragKind ProjectionType::dragFor(int32_t code) {
    const auto* type = find(code);
    return type != nullptr ? type->drag : DragKind::None;
}

} // namespace lumenarc
