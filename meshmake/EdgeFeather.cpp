#include "meshmake/EdgeFeather.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace lumenarc::meshmake {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Squared distances along one line of nodes spaced `h` apart: out[p] = min over q of
// (h (p - q))^2 + f[q], as the lower envelope of parabolas rooted at the finite entries.
void lowerEnvelope(const std::vector<double>& f, double h, std::vector<double>& out) {
    const size_t n = f.size();
    std::vector<size_t> roots(n);
    std::vector<double> bounds(n + 1);
    size_t k = 0;
    bool any = false;
    auto cross = [&](size_t q, size_t r) {
        const double pq = static_cast<double>(q) * h, pr = static_cast<double>(r) * h;
        return ((f[q] + pq * pq) - (f[r] + pr * pr)) / (2.0 * (pq - pr));
    };
    for (size_t q = 0; q < n; ++q) {
        if (!std::isfinite(f[q])) {
            continue;
        }
        if (!any) {
            any = true;
            roots[0] = q;
            bounds[0] = -kInfinity;
            bounds[1] = kInfinity;
            continue;
        }
        double s = cross(q, roots[k]);
        while (s <= bounds[k]) { // bounds[0] is -infinity, so k stays >= 0
            --k;
            s = cross(q, roots[k]);
        }
        ++k;
        roots[k] = q;
        bounds[k] = s;
        bounds[k + 1] = kInfinity;
    }
    if (!any) {
        std::fill(out.begin(), out.end(), kInfinity);
        return;
    }
    k = 0;
    for (size_t p = 0; p < n; ++p) {
        const double at = static_cast<double>(p) * h;
        while (bounds[k + 1] < at) {
            ++k;
        }
        const double gap = at - static_cast<double>(roots[k]) * h;
        out[p] = gap * gap + f[roots[k]];
    }
}

} // namespace

std::vector<double> EdgeFeather::distanceToUnlit(const std::vector<bool>& lit, int32_t width,
                                                 int32_t height, double dx, double dy) {
    // The grid with its unlit ring: (width + 2) x (height + 2).
    const auto w = static_cast<size_t>(width) + 2, h = static_cast<size_t>(height) + 2;
    std::vector<double> squared(w * h, 0.0);
    for (size_t row = 1; row + 1 < h; ++row) {
        for (size_t column = 1; column + 1 < w; ++column) {
            const size_t inner = (row - 1) * (w - 2) + (column - 1);
            squared[row * w + column] = lit[inner] ? kInfinity : 0.0;
        }
    }
    std::vector<double> line(h), out(h);
    for (size_t column = 0; column < w; ++column) {
        for (size_t row = 0; row < h; ++row) {
            line[row] = squared[row * w + column];
        }
        lowerEnvelope(line, dy, out);
        for (size_t row = 0; row < h; ++row) {
            squared[row * w + column] = out[row];
        }
    }
    line.resize(w);
    out.resize(w);
    std::vector<double> distances;
    distances.reserve((w - 2) * (h - 2));
    for (size_t row = 0; row < h; ++row) {
        std::copy_n(squared.begin() + static_cast<std::ptrdiff_t>(row * w), w, line.begin());
        lowerEnvelope(line, dx, out);
        if (row == 0 || row + 1 == h) {
            continue;
        }
        for (size_t column = 1; column + 1 < w; ++column) {
            distances.push_back(std::sqrt(out[column]));
        }
    }
    return distances;
}

double EdgeFeather::share(double distance, double width) {
    if (width <= 0.0) {
        return 1.0;
    }
    const double s = std::clamp(distance / width, 0.0, 1.0);
    return s * s * (3.0 - 2.0 * s);
}

} // namespace lumenarc::meshmake
