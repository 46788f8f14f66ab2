#pragma once

#include "options/Option.h"

#include <array>
#include <span>
#include <string_view>

namespace lumenarc {

// Every setting of the player, each declared once. The command line takes the rows with a flag,
// in this order (so --help, the README and the manual list them so); the preferences file holds
// the rows with a key, in this order. To add a setting: an OptionId and a row (a saved one after
// the saved rows that files already hold), then read it where it is used (LaunchOptions::given
// for the run, PrefsManager::value for the saved setting) and run the option_docs target.
class OptionTable {
public:
    static constexpr std::span<const Option> all() { return kRows; }
    static constexpr const Option& get(OptionId id) { return kRows[indexOf(id)]; }
    // nullptr when no row has that flag or key (both compared exactly, case and all).
    static const Option* byFlag(std::string_view flag);
    static const Option* byKey(std::string_view key);

private:
    using Kind = OptionKind;
    using Id = OptionId;

    static constexpr std::array<Option, kOptionCount> kRows{{
        {.id = Id::Help,
         .kind = Kind::Action,
         .flag = "help",
         .help = "Shows this help and exits.",
         .doc = "print the options and exit"},
        {.id = Id::Version,
         .kind = Kind::Action,
         .flag = "version",
         .help = "Shows the name and version and exits.",
         .doc = "print the name and version and exit"},
        {.id = Id::LoopByDefault,
         .kind = Kind::Switch,
         .flag = "loop",
         .key = "LoopByDefault",
         .defaultValue = "NO",
         .help = "Loops the movies.",
         .doc = "loop the movies"},
        {.id = Id::QuitWhenMovieFinishes,
         .kind = Kind::Switch,
         .flag = "quit-at-end",
         .key = "QuitWhenMovieFinishes",
         .defaultValue = "NO",
         .help = "Quits when the last movie has played.",
         .doc = "quit when the last movie has played"},
        {.id = Id::StartupInFullScreen,
         .kind = Kind::Switch,
         .flag = "fullscreen",
         .key = "StartupInFulLScreen", // sic: the key as files have always spelt it
         .defaultValue = "NO",
         .help = "Goes full screen once a movie has loaded.",
         .doc = "go full screen once a movie has loaded"},
        {.id = Id::Volume,
         .kind = Kind::Number,
         .flag = "volume",
         .valueName = "V",
         .key = "Volume",
         .defaultValue = "1",
         .min = 0,
         .max = 1,
         .help = "Plays at volume V, 0 to 1.",
         .doc =
             "play at this volume, from 0 (silent) to 1 (full), until the volume slider is moved",
         .quirk = StoredQuirk::AbsentIsZero},
        {.id = Id::DefaultMap,
         .kind = Kind::File,
         .flag = "mesh",
         .valueName = "FILE",
         .key = "DefaultMap",
         .defaultValue = "",
         .help = "Draws through the mesh FILE from the first frame.",
         .doc = "draw through this mesh from the first frame; a file that is not a mesh gets "
                "the \"File error\" alert and the usual start-up mesh is drawn",
         .quirk = StoredQuirk::AbsentIsNone},
        {.id = Id::HScreens,
         .kind = Kind::WholeNumber,
         .key = "hscreens",
         .defaultValue = "1",
         .min = 1,
         .max = 16,
         .help = "Screens across for full screen.",
         .doc = "full screen spans this many main-screen widths, from the main screen's left",
         .quirk = StoredQuirk::ZeroIsDefault},
        {.id = Id::VScreens,
         .kind = Kind::WholeNumber,
         .key = "vscreens",
         .defaultValue = "1",
         .min = 1,
         .max = 16,
         .help = "Screens down for full screen.",
         .doc = "full screen spans this many main-screen heights, from the main screen's bottom",
         .quirk = StoredQuirk::ZeroIsDefault},
        {.id = Id::HideMouse,
         .kind = Kind::Switch,
         .key = "hideMouse",
         .defaultValue = "NO",
         .help = "Hides the mouse pointer.",
         .doc = "hide the mouse pointer over the player"},
        {.id = Id::Paused,
         .kind = Kind::Switch,
         .flag = "paused",
         .help = "Opens the first movie paused.",
         .doc = "open the first movie paused, on its first frame"},
        {.id = Id::OscPort,
         .kind = Kind::Port,
         .flag = "osc-port",
         .valueName = "N",
         .min = 1,
         .max = 65535,
         .help = "Listens for OSC show control on UDP port N.",
         .doc = "listen for OSC show control on UDP port N (off without it)"},
        {.id = Id::OscBind,
         .kind = Kind::Address,
         .flag = "osc-bind",
         .valueName = "ADDR",
         .defaultValue = "127.0.0.1",
         .help = "Listens for OSC on address ADDR (default 127.0.0.1).",
         .doc = "listen for OSC on the numeric address ADDR instead of 127.0.0.1",
         .needs = {Id::OscPort, Id::Count}},
        {.id = Id::SyncLeader,
         .kind = Kind::Port,
         .flag = "sync-leader",
         .valueName = "N",
         .min = 1,
         .max = 65535,
         .help = "Leads a show of several machines: publishes this machine's timeline on UDP "
                 "port N.",
         .doc = "lead a show of several machines: publish this machine's timeline on UDP port N",
         .excludes = Id::SyncFollow},
        {.id = Id::SyncFollow,
         .kind = Kind::HostPort,
         .flag = "sync-follow",
         .valueName = "HOST:PORT",
         .help = "Follows the show led from HOST:PORT, on the same movie; transport commands "
                 "here go to the leader.",
         .doc = "follow the show led from HOST:PORT ([v6-address]:PORT for IPv6) on a copy of "
                "the same movie; the transport commands given here go to the leader"},
        {.id = Id::SyncBind,
         .kind = Kind::Address,
         .flag = "sync-bind",
         .valueName = "ADDR",
         .help = "Binds the sync socket to address ADDR (default: every address).",
         .doc = "bind the sync socket to the numeric address ADDR (default: every address)",
         .needs = {Id::SyncLeader, Id::SyncFollow}},
        {.id = Id::SyncLog,
         .kind = Kind::File,
         .flag = "sync-log",
         .valueName = "FILE",
         .help = "Writes the wall-clock time and movie time of each frame shown to FILE.",
         .doc = "write one line per frame shown to FILE: the wall-clock time it went on screen "
                "and its movie time, in seconds"},
        {.id = Id::SyncSecret,
         .kind = Kind::File,
         .flag = "sync-secret",
         .valueName = "FILE",
         .help = "Authenticates the sync messages with the secret in FILE, which every machine "
                 "of the show holds.",
         .doc = "authenticate every sync message with HMAC-SHA256 keyed by the contents of FILE "
                "(16 to 4,096 bytes), which every machine of the show holds; messages without it "
                "are ignored",
         .needs = {Id::SyncLeader, Id::SyncFollow}},
    }};

public:
    static constexpr bool rowsInIdOrder() {
        for (std::size_t i = 0; i < kRows.size(); ++i) {
            if (indexOf(kRows[i].id) != i) {
                return false;
            }
        }
        return true;
    }
};

static_assert(OptionTable::rowsInIdOrder(), "each row stands at the place of its OptionId");

} // namespace lumenarc
