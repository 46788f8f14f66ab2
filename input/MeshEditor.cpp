#include "input/MeshEditor.h"

#include "mesh/MeshSaver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace lumenarc {
namespace {

// What a step costs beyond its changes.
constexpr size_t kStepOverhead = 64;

size_t bytesOf(const std::vector<MeshVertex>::size_type changes, size_t changeSize) {
    return kStepOverhead + changes * changeSize;
}

bool sameNode(const MeshVertex& a, const MeshVertex& b) {
    // Bit for bit: -0 against 0 is a change worth keeping.
    return std::memcmp(&a, &b, sizeof(MeshVertex)) == 0;
}

} // namespace

MeshEditor::MeshEditor(int32_t width, int32_t height, std::span<const MeshVertex> nodes,
                       size_t historyBytes)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)),
      m_nodes(nodes.begin(), nodes.end()), m_selected(m_nodes.size(), 0),
      m_historyBytes(historyBytes) {}

double MeshEditor::viewPixel(double viewWidth, double viewHeight) {
    const double side = std::min(viewWidth, viewHeight);
    return side > 0 ? 2.0 / side : 0.0;
}

std::vector<size_t> MeshEditor::selection() const {
    std::vector<size_t> indices;
    indices.reserve(m_selectedCount);
    for (size_t k = 0; k < m_selected.size(); ++k) {
        if (m_selected[k] != 0) {
            indices.push_back(k);
        }
    }
    return indices;
}

void MeshEditor::setSelected(size_t index, bool on) {
    if ((m_selected[index] != 0) != on) {
        m_selected[index] = on ? 1 : 0;
        m_selectedCount += on ? 1 : size_t(-1);
    }
}

void MeshEditor::selectOnly(size_t index) {
    clearSelection();
    setSelected(index, true);
}

std::optional<size_t> MeshEditor::nearestNode(Point screen, const ToScreen& toScreen) const {
    std::optional<size_t> nearest;
    double best = std::numeric_limits<double>::infinity();
    for (size_t k = 0; k < m_nodes.size(); ++k) {
        const Point p = toScreen(m_nodes[k].x, m_nodes[k].y);
        const double d = std::hypot(p.x - screen.x, p.y - screen.y);
        if (d < best) { // NaN never wins
            best = d;
            nearest = k;
        }
    }
    return nearest;
}

void MeshEditor::selectNearest(Point screen, const ToScreen& toScreen, bool toggle) {
    const auto nearest = nearestNode(screen, toScreen);
    if (!nearest) {
        return;
    }
    if (toggle) {
        setSelected(*nearest, !isSelected(*nearest));
    } else {
        selectOnly(*nearest);
    }
}

void MeshEditor::selectRectangle(Point a, Point b, const ToScreen& toScreen, bool add) {
    if (!add) {
        clearSelection();
    }
    const double left = std::min(a.x, b.x), right = std::max(a.x, b.x);
    const double low = std::min(a.y, b.y), high = std::max(a.y, b.y);
    for (size_t k = 0; k < m_nodes.size(); ++k) {
        const Point p = toScreen(m_nodes[k].x, m_nodes[k].y);
        if (p.x >= left && p.x <= right && p.y >= low && p.y <= high) {
            setSelected(k, true);
        }
    }
}

void MeshEditor::selectAll() {
    std::fill(m_selected.begin(), m_selected.end(), 1);
    m_selectedCount = m_selected.size();
}

void MeshEditor::clearSelection() {
    std::fill(m_selected.begin(), m_selected.end(), 0);
    m_selectedCount = 0;
}

void MeshEditor::selectNext() {
    if (m_nodes.empty()) {
        return;
    }
    const auto last = std::find(m_selected.rbegin(), m_selected.rend(), 1);
    const size_t after = last == m_selected.rend()
                             ? 0
                             : static_cast<size_t>(m_selected.rend() - last) % m_nodes.size();
    selectOnly(after);
}

void MeshEditor::selectPrevious() {
    if (m_nodes.empty()) {
        return;
    }
    const auto first = std::find(m_selected.begin(), m_selected.end(), 1);
    const size_t at = static_cast<size_t>(first - m_selected.begin()); // size() without one
    selectOnly((at + m_nodes.size() - 1) % m_nodes.size());
}

void MeshEditor::setSoftRadius(double radius) {
    // Steps of kSoftRadiusStep add up to values just off 0; those are 0.
    m_softRadius = radius < kSoftRadiusStep / 2 ? 0.0 : std::min(radius, kSoftRadiusMax);
}

double MeshEditor::falloff(double distance, double radius) {
    if (!(distance < radius)) { // also NaN: a node at no real distance stays
        return distance == 0 ? 1.0 : 0.0;
    }
    const double t = distance / radius;
    return 1.0 - t * t * (3.0 - 2.0 * t);
}

std::vector<std::pair<size_t, double>> MeshEditor::moveWeights() const {
    std::vector<std::pair<size_t, double>> weights;
    const auto selected = selection();
    // Only nodes within the radius of the selection's bounds can move with it; the others skip
    // the search for their nearest selected node, which is what costs with a large selection.
    double left = std::numeric_limits<double>::infinity(), right = -left;
    double low = left, high = -left;
    for (const size_t s : selected) {
        left = std::min(left, m_nodes[s].x - m_softRadius);
        right = std::max(right, m_nodes[s].x + m_softRadius);
        low = std::min(low, m_nodes[s].y - m_softRadius);
        high = std::max(high, m_nodes[s].y + m_softRadius);
    }
    for (size_t k = 0; k < m_nodes.size(); ++k) {
        const MeshVertex& node = m_nodes[k];
        if (isSelected(k)) {
            weights.emplace_back(k, 1.0);
            continue;
        }
        if (m_softRadius <= 0 ||
            !(node.x >= left && node.x <= right && node.y >= low && node.y <= high)) {
            continue;
        }
        double nearest = std::numeric_limits<double>::infinity();
        for (const size_t s : selected) {
            nearest = std::min(nearest, std::hypot(node.x - m_nodes[s].x, node.y - m_nodes[s].y));
        }
        if (const double w = falloff(nearest, m_softRadius); w > 0) {
            weights.emplace_back(k, w);
        }
    }
    return weights;
}

bool MeshEditor::moveSelection(double dx, double dy) {
    endDrag();
    std::vector<Change> changes;
    for (const auto& [k, w] : moveWeights()) {
        MeshVertex after = m_nodes[k];
        after.x += w * dx;
        after.y += w * dy;
        changes.push_back({k, m_nodes[k], after});
    }
    return record(std::move(changes));
}

bool MeshEditor::moveTexture(double du, double dv) {
    endDrag();
    std::vector<Change> changes;
    for (const size_t k : selection()) {
        MeshVertex after = m_nodes[k];
        after.u += du;
        after.v += dv;
        changes.push_back({k, m_nodes[k], after});
    }
    return record(std::move(changes));
}

bool MeshEditor::changeBrightness(double di) {
    endDrag();
    std::vector<Change> changes;
    for (const size_t k : selection()) {
        MeshVertex after = m_nodes[k];
        after.i = std::clamp(after.i + di, 0.0, 1.0);
        changes.push_back({k, m_nodes[k], after});
    }
    return record(std::move(changes));
}

void MeshEditor::beginDrag() {
    endDrag();
    Drag drag;
    for (const auto& [k, w] : moveWeights()) {
        drag.indices.push_back(k);
        drag.weights.push_back(w);
        drag.start.push_back(m_nodes[k]);
    }
    m_drag = std::move(drag);
}

void MeshEditor::dragTo(double dx, double dy) {
    if (!m_drag) {
        return;
    }
    for (size_t n = 0; n < m_drag->indices.size(); ++n) {
        MeshVertex& node = m_nodes[m_drag->indices[n]];
        node.x = m_drag->start[n].x + m_drag->weights[n] * dx;
        node.y = m_drag->start[n].y + m_drag->weights[n] * dy;
    }
    ++m_revision;
}

void MeshEditor::endDrag() {
    if (!m_drag) {
        return;
    }
    std::vector<Change> changes;
    for (size_t n = 0; n < m_drag->indices.size(); ++n) {
        changes.push_back({m_drag->indices[n], m_drag->start[n], m_nodes[m_drag->indices[n]]});
    }
    m_drag.reset();
    // The nodes already stand where the drag left them: recording applies them again, alike.
    record(std::move(changes));
}

bool MeshEditor::record(std::vector<Change> changes) {
    std::erase_if(changes, [](const Change& c) { return sameNode(c.before, c.after); });
    if (changes.empty()) {
        return false;
    }
    for (const Change& c : changes) {
        m_nodes[c.index] = c.after;
    }
    while (m_steps.size() > m_done) {
        m_heldBytes -= bytesOf(m_steps.back().changes.size(), sizeof(Change));
        m_steps.pop_back();
    }
    m_heldBytes += bytesOf(changes.size(), sizeof(Change));
    m_steps.push_back({m_nextState++, std::move(changes)});
    m_done = m_steps.size();
    trimHistory();
    ++m_revision;
    return true;
}

void MeshEditor::trimHistory() {
    size_t drop = 0;
    while (m_heldBytes > m_historyBytes && m_steps.size() - drop > 1) {
        m_heldBytes -= bytesOf(m_steps[drop].changes.size(), sizeof(Change));
        m_baseState = m_steps[drop].state;
        ++drop;
    }
    m_steps.erase(m_steps.begin(), m_steps.begin() + static_cast<std::ptrdiff_t>(drop));
    m_done -= drop;
}

bool MeshEditor::undo() {
    endDrag();
    if (!canUndo()) {
        return false;
    }
    const Step& step = m_steps[--m_done];
    for (auto c = step.changes.rbegin(); c != step.changes.rend(); ++c) {
        m_nodes[c->index] = c->before;
    }
    ++m_revision;
    return true;
}

bool MeshEditor::redo() {
    endDrag();
    if (!canRedo()) {
        return false;
    }
    for (const Change& c : m_steps[m_done++].changes) {
        m_nodes[c.index] = c.after;
    }
    ++m_revision;
    return true;
}

bool MeshEditor::save(const std::string& path, int32_t projectionType, bool keepOriginal,
                      std::string& why) {
    endDrag();
    if (!MeshSaver::save(path, projectionType, m_width, m_height, m_nodes, keepOriginal, why)) {
        return false;
    }
    markSaved();
    return true;
}

} // namespace lumenarc
