#include "view/ClockBridge.h"

#include "base/WallClock.h"

namespace lumenarc {

int64_t ClockBridge::offset(const std::vector<Sample>& samples) {
    const Sample* best = nullptr;
    for (const Sample& sample : samples) {
        if (sample.targetAfter < sample.targetBefore) {
            continue; // the target clock stepped back between the reads: no bracket
        }
        if (best == nullptr ||
            sample.targetAfter - sample.targetBefore < best->targetAfter - best->targetBefore) {
            best = &sample;
        }
    }
    if (best == nullptr) {
        return 0;
    }
    const int64_t middle = best->targetBefore + (best->targetAfter - best->targetBefore) / 2;
    return middle - best->source;
}

int64_t ClockBridge::measure(int targetClock, int sourceClock) {
    if (targetClock == sourceClock) {
        return 0;
    }
    std::vector<Sample> samples;
    samples.reserve(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        Sample sample{};
        sample.targetBefore = WallClock::clockNow(targetClock);
        sample.source = WallClock::clockNow(sourceClock);
        sample.targetAfter = WallClock::clockNow(targetClock);
        samples.push_back(sample);
    }
    return offset(samples);
}

} // namespace lumenarc
