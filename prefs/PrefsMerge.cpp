#include "prefs/PrefsMerge.h"

#include <cmath>

namespace lumenarc {
namespace {

template <typename Value> bool same(const Value& a, const Value& b) {
    return a == b;
}

// A NaN volume that nobody touched is no change.
bool same(float a, float b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

template <typename Value> Value pick(const Value& mine, const Value& read, const Value& now) {
    return same(mine, read) ? now : mine;
}

} // namespace

std::unique_ptr<PrefsManager> PrefsMerge::copyOf(const PrefsManager& manager) {
    return merge(manager, manager, manager);
}

std::unique_ptr<PrefsManager> PrefsMerge::merge(const PrefsManager& mine, const PrefsManager& read,
                                                const PrefsManager& now) {
    auto merged = std::make_unique<PrefsManager>();
    merged->setLoopByDefault(pick(mine.loopByDefault(), read.loopByDefault(), now.loopByDefault()));
    merged->setQuitWhenMovieFinishes(pick(
        mine.quitWhenMovieFinishes(), read.quitWhenMovieFinishes(), now.quitWhenMovieFinishes()));
    merged->setStartupInFullScreen(
        pick(mine.startupInFullScreen(), read.startupInFullScreen(), now.startupInFullScreen()));
    merged->setVolume(pick(mine.volume(), read.volume(), now.volume()));
    merged->setDefaultMapPath(
        pick(mine.defaultMapPath(), read.defaultMapPath(), now.defaultMapPath()));
    merged->setHScreens(pick(mine.hscreens(), read.hscreens(), now.hscreens()));
    merged->setVScreens(pick(mine.vscreens(), read.vscreens(), now.vscreens()));
    merged->setHideMouse(pick(mine.hideMouse(), read.hideMouse(), now.hideMouse()));
    return merged;
}

} // namespace lumenarc
