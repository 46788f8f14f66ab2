#pragma once

#include "options/GivenOptions.h"
#include "options/OptionTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumenarc {

// What the command line asks of one run. None of it is a preference: nothing here is saved.
// Every option given is in `given`, by its row of the option table; the named fields are the
// same values in the shape the application has long read them.
struct LaunchOptions {
    GivenOptions given;
    bool fullScreen = false;         // full screen once a movie has loaded
    std::string mesh;                // a mesh to draw through from the first frame ("" = the usual)
    bool loop = false;               // looping on from the start
    std::optional<float> volume;     // 0..1, instead of the saved volume
    bool quitAtEnd = false;          // quit after the last movie, whatever the preferences say
    bool paused = false;             // the first movie waits on its first frame
    std::optional<uint16_t> oscPort; // OSC show control on this UDP port
    // the numeric address OSC listens on
    std::string oscBind{OptionTable::get(OptionId::OscBind).defaultValue};
    std::vector<std::string> files; // movies, played in order
    // One show on several machines: lead it on this UDP port, or follow the leader at
    // syncLeaderHost:syncLeaderPort; the sync socket binds syncBind ("" = every address).
    std::optional<uint16_t> syncLeadPort;
    std::string syncLeaderHost;
    uint16_t syncLeaderPort = 0;
    std::string syncBind;
    std::string syncLog;    // one line per presented frame ("" = none)
    std::string syncSecret; // the show's secret, a file every machine holds ("" = none)
};

} // namespace lumenarc
