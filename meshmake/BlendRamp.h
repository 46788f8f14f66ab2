#pragma once

namespace lumenarc::meshmake {

// The light shares across an overlap of two projectors, and how finely they must be sampled.
// Across the overlap, with s from 0 to 1, the projector on the right gives the share S(s) =
// 3s^2 - 2s^3 of its light and the one on the left 1 - S(s), so their light adds up to one
// projector's. Node brightness is share^(1/gamma); the drawing interpolates brightness
// linearly between nodes, so the sum holds exactly only at the nodes.
class BlendRamp {
public:
    // The most the summed light may stray from one projector's between nodes.
    static constexpr double kTolerance = 0.004;
    // The most steps an overlap gets, whatever the gamma.
    static constexpr int kMaxSteps = 256;

    // S(s), with s limited to 0..1.
    static double share(double s);
    static double brightness(double share, double gamma);
    // The largest deviation of the summed light from 1 when the overlap is drawn in `steps`
    // equal steps, brightness linear between nodes.
    static double worstSum(int steps, double gamma);
    // The fewest equal steps (at least 2) whose worst sum is within kTolerance.
    static int stepsFor(double gamma);
};

} // namespace lumenarc::meshmake
