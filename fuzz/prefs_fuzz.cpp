// Feeds arbitrary bytes to the preferences decoder. Whatever it decodes must survive a round
// trip through the encoder unchanged; anything else must come back without a manager.

#include "prefs/PrefsArchive.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

using lumenarc::PrefsArchive;
using lumenarc::PrefsManager;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "prefs_fuzz: %s\n", what);
        std::abort();
    }
}

// Binary keeps every float bit for bit; libplist's XML writer drops the sign of -0.0.
bool sameVolume(float a, float b, PrefsArchive::Format format) {
    if (format == PrefsArchive::Format::Xml) {
        return a == b || (std::isnan(a) && std::isnan(b));
    }
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameManager(const PrefsManager& a, const PrefsManager& b, PrefsArchive::Format format) {
    return a.loopByDefault() == b.loopByDefault() &&
           a.quitWhenMovieFinishes() == b.quitWhenMovieFinishes() &&
           a.startupInFullScreen() == b.startupInFullScreen() &&
           sameVolume(a.volume(), b.volume(), format) && a.defaultMapPath() == b.defaultMapPath() &&
           a.hscreens() == b.hscreens() && a.vscreens() == b.vscreens() &&
           a.hideMouse() == b.hideMouse();
}

void roundTrip(const PrefsManager& manager, PrefsArchive::Format format) {
    const auto bytes = PrefsArchive::encode(manager, format);
    check(bytes.has_value(), "encoding failed");
    const auto again = PrefsArchive::decode(*bytes);
    check(again.outcome == PrefsArchive::Outcome::Manager, "re-encoded archive did not decode");
    check(sameManager(manager, *again.manager, format), "round trip changed a setting");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto decoded =
        PrefsArchive::decode(std::string_view(reinterpret_cast<const char*>(data), size));
    const bool isManager = decoded.outcome == PrefsArchive::Outcome::Manager;
    check(isManager == (decoded.manager != nullptr), "manager and outcome disagree");
    check((decoded.outcome == PrefsArchive::Outcome::Damaged) == !decoded.problem.empty(),
          "problem and outcome disagree");
    if (isManager) {
        check(decoded.manager->hscreens() != 0 && decoded.manager->vscreens() != 0,
              "a screen count of 0 was loaded");
        roundTrip(*decoded.manager, PrefsArchive::Format::Binary);
        roundTrip(*decoded.manager, PrefsArchive::Format::Xml);
    }
    return 0;
}
