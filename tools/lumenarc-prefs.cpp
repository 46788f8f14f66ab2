// lumenarc-prefs: shows and changes the player's preferences file the way the player does.

#include "prefs/PrefsLimits.h"
#include "prefs/PrefsManager.h"
#include "prefs/PrefsStore.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using lumenarc::PrefsLimits;
using lumenarc::PrefsManager;
using lumenarc::PrefsStore;

namespace {

constexpr const char* kUsage =
    "Usage: lumenarc-prefs path\n"
    "       lumenarc-prefs show [--file FILE]\n"
    "       lumenarc-prefs set [--file FILE] KEY VALUE [KEY VALUE ...]\n"
    "\n"
    "Reads and writes the Lumenarc preferences file exactly as the player does.\n"
    "\n"
    "  path  prints the path of the preferences file (creating its folder, as the player does).\n"
    "  show  loads the preferences and prints one KEY=VALUE line per setting.\n"
    "  set   loads the preferences, changes the given settings and saves them, as the player\n"
    "        does when it quits. Nothing is written unless every KEY VALUE pair is valid.\n"
    "\n"
    "  --file FILE  use FILE instead of the preferences file\n"
    "\n"
    "Keys (case-sensitive) and values:\n"
    "  LoopByDefault, QuitWhenMovieFinishes, StartupInFulLScreen, hideMouse   YES or NO\n"
    "  Volume                a number from 0 (silent) to 1 (full volume)\n"
    "  DefaultMap            a path to a distortion matrix file (any text)\n"
    "  hscreens, vscreens    a whole number from 1 to 16 (screens across, screens down)\n"
    "\n"
    "A damaged preferences file, or an archive without the preferences in it, is moved aside\n"
    "to FILE.damaged (or a free name beside it) and the defaults are used. Settings out of range\n"
    "in a file are brought into range when it is loaded, with a message. A file that cannot be\n"
    "read is left as it is and not saved over.\n"
    "A symbolic link is written through to its file; a link to anything but a regular file\n"
    "is refused.\n"
    "\n"
    "Exit status: 0 on success, 1 when the file could not or may not be saved, 2 for a usage\n"
    "error or a bad key or value.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "lumenarc-prefs: %s\n\n%s", message.c_str(), kUsage);
    return 2;
}

int valueError(const std::string& message) {
    std::fprintf(stderr, "lumenarc-prefs: %s\n", message.c_str());
    return 2;
}

const char* yesNo(bool value) {
    return value ? "YES" : "NO";
}

// ---- Values ----

std::optional<bool> parseBool(std::string_view text) {
    if (text == "YES") {
        return true;
    }
    if (text == "NO") {
        return false;
    }
    return std::nullopt;
}

template <typename Number> std::optional<Number> parseNumber(std::string_view text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || next != end) {
        return std::nullopt;
    }
    return value;
}

using Setter = std::function<void(PrefsManager&)>;

template <typename Value>
std::optional<Setter> setterFor(std::optional<Value> value, void (PrefsManager::*set)(Value)) {
    if (!value) {
        return std::nullopt;
    }
    return [set, v = *value](PrefsManager& manager) { (manager.*set)(v); };
}

std::optional<Setter> boolSetter(std::string_view key, std::string_view text) {
    const auto value = parseBool(text);
    if (key == "LoopByDefault") {
        return setterFor(value, &PrefsManager::setLoopByDefault);
    }
    if (key == "QuitWhenMovieFinishes") {
        return setterFor(value, &PrefsManager::setQuitWhenMovieFinishes);
    }
    if (key == "StartupInFulLScreen") {
        return setterFor(value, &PrefsManager::setStartupInFullScreen);
    }
    return setterFor(value, &PrefsManager::setHideMouse);
}

// A value out of range is refused like one that is no number: the player could not use it
// (a screen count below 1 leaves the full-screen window without area, NaN has no loudness).
template <typename Number>
std::optional<Number> parseInRange(std::string_view text, bool (*isValid)(Number)) {
    const auto value = parseNumber<Number>(text);
    return value && isValid(*value) ? value : std::nullopt;
}

std::optional<Setter> numberSetter(std::string_view key, std::string_view text) {
    if (key == "Volume") {
        return setterFor(parseInRange<float>(text, &PrefsLimits::isValidVolume),
                         &PrefsManager::setVolume);
    }
    return setterFor(parseInRange<int32_t>(text, &PrefsLimits::isValidScreenCount),
                     key == "hscreens" ? &PrefsManager::setHScreens : &PrefsManager::setVScreens);
}

std::string expectation(std::string_view key) {
    if (key == "Volume") {
        return "a number from " + std::to_string(static_cast<int>(PrefsLimits::kMinVolume)) +
               " to " + std::to_string(static_cast<int>(PrefsLimits::kMaxVolume));
    }
    if (key == "hscreens" || key == "vscreens") {
        return "a whole number from " + std::to_string(PrefsLimits::kMinScreens) + " to " +
               std::to_string(PrefsLimits::kMaxScreens);
    }
    return "YES or NO";
}

// The change one KEY VALUE pair asks for; an error message when the pair is invalid.
std::optional<Setter> setterForPair(const std::string& key, const std::string& text,
                                    std::string& error) {
    std::optional<Setter> setter;
    if (key == "DefaultMap") {
        setter = [text](PrefsManager& manager) { manager.setDefaultMapPath(text); };
    } else if (key == "LoopByDefault" || key == "QuitWhenMovieFinishes" ||
               key == "StartupInFulLScreen" || key == "hideMouse") {
        setter = boolSetter(key, text);
    } else if (key == "Volume" || key == "hscreens" || key == "vscreens") {
        setter = numberSetter(key, text);
    } else {
        error = "unknown key \"" + key + "\" (keys are case-sensitive; see --help)";
        return std::nullopt;
    }
    if (!setter) {
        error = "bad value \"" + text + "\" for " + key + ": expected " + expectation(key);
    }
    return setter;
}

// ---- Commands ----

void printPrefs(const PrefsManager& manager) {
    std::printf("LoopByDefault=%s\n", yesNo(manager.loopByDefault()));
    std::printf("QuitWhenMovieFinishes=%s\n", yesNo(manager.quitWhenMovieFinishes()));
    std::printf("StartupInFulLScreen=%s\n", yesNo(manager.startupInFullScreen()));
    std::printf("Volume=%.9g\n", static_cast<double>(manager.volume()));
    const auto& map = manager.defaultMapPath();
    std::printf("DefaultMap=%s\n", map ? map->c_str() : "(none)");
    std::printf("hscreens=%d\n", static_cast<int>(manager.hscreens()));
    std::printf("vscreens=%d\n", static_cast<int>(manager.vscreens()));
    std::printf("hideMouse=%s\n", yesNo(manager.hideMouse()));
}

int show(const std::string& path) {
    printPrefs(*PrefsStore::loadPrefs(path));
    return 0;
}

int set(const std::string& path, const std::vector<std::string>& pairs) {
    if (pairs.empty() || pairs.size() % 2 != 0) {
        return usageError("set takes KEY VALUE pairs");
    }
    std::vector<Setter> changes;
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        std::string error;
        auto setter = setterForPair(pairs[i], pairs[i + 1], error);
        if (!setter) {
            return valueError(error);
        }
        changes.push_back(std::move(*setter));
    }
    auto manager = PrefsStore::loadPrefs(path);
    for (const auto& change : changes) {
        change(*manager);
    }
    return PrefsStore::savePrefs(*manager, path) ? 0 : 1;
}

struct Arguments {
    std::string command;
    std::optional<std::string> file;
    std::vector<std::string> rest;
};

// "--file FILE" may stand anywhere after the command; everything else is kept in order.
std::optional<Arguments> parseArguments(int argc, char** argv, std::string& error) {
    Arguments args{argv[1], std::nullopt, {}};
    for (int a = 2; a < argc; ++a) {
        if (std::strcmp(argv[a], "--file") != 0) {
            args.rest.emplace_back(argv[a]);
        } else if (a + 1 >= argc || args.file) {
            error = args.file ? "--file given twice" : "--file needs a FILE";
            return std::nullopt;
        } else {
            args.file = argv[++a];
        }
    }
    return args;
}

int run(const Arguments& args) {
    if (args.command == "path") {
        if (args.file || !args.rest.empty()) {
            return usageError("path takes no arguments");
        }
        std::printf("%s\n", PrefsStore::getPrefsPath().c_str());
        return 0;
    }
    const std::string path = args.file ? *args.file : PrefsStore::getPrefsPath();
    if (args.command == "show") {
        return args.rest.empty() ? show(path) : usageError("show takes no KEY VALUE pairs");
    }
    return set(path, args.rest);
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 2) {
        return usageError("missing command");
    }
    const std::string_view command = argv[1];
    if (command != "path" && command != "show" && command != "set") {
        return usageError("unknown command \"" + std::string(command) + "\"");
    }
    std::string error;
    const auto args = parseArguments(argc, argv, error);
    return args ? run(*args) : usageError(error);
}
