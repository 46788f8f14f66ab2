#pragma once

#include <string>

namespace lumenarc {

// What names a movie across machines: every machine plays its own copy of the same master, so
// the file's name, picture size and length must agree before one follows another.
struct MovieIdentity {
    std::string name; // the file's name, without its folder
    int width = 0;
    int height = 0;
    double duration = 0; // seconds

    // Lengths agree within this: containers round their durations differently.
    static constexpr double kDurationTolerance = 0.05;

    bool sameAs(const MovieIdentity& other) const;
    bool empty() const { return name.empty(); }
    // "name" (W×H, D s), for log lines.
    std::string describe() const;
    static MovieIdentity ofFile(const std::string& path, int width, int height, double duration);
};

} // namespace lumenarc
