// lumenarc-prefs: shows and changes the player's preferences file the way the player does.

#include "options/OptionDocs.h"
#include "options/OptionTable.h"
#include "options/ValueRules.h"
#include "prefs/PrefsManager.h"
#include "prefs/PrefsStore.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using lumenarc::Option;
using lumenarc::OptionDocs;
using lumenarc::OptionId;
using lumenarc::OptionTable;
using lumenarc::OptionValue;
using lumenarc::PrefsManager;
using lumenarc::PrefsStore;
using lumenarc::ValueRules;

namespace {

std::string usage() {
    return "Usage: lumenarc-prefs path\n"
           "       lumenarc-prefs show [--file FILE]\n"
           "       lumenarc-prefs set [--file FILE] KEY VALUE [KEY VALUE ...]\n"
           "\n"
           "Reads and writes the Lumenarc preferences file exactly as the player does.\n"
           "\n"
           "  path  prints the path of the preferences file (creating its folder, as the player "
           "does).\n"
           "  show  loads the preferences and prints one KEY=VALUE line per setting.\n"
           "  set   loads the preferences, changes the given settings and saves them, as the "
           "player\n"
           "        does when it quits. Nothing is written unless every KEY VALUE pair is valid.\n"
           "\n"
           "  --file FILE  use FILE instead of the preferences file\n"
           "\n"
           "Keys (case-sensitive) and values:\n" +
           OptionDocs::prefsToolKeys() +
           "\n"
           "A damaged preferences file, or an archive without the preferences in it, is moved "
           "aside\n"
           "to FILE.damaged (or a free name beside it) and the defaults are used. Settings out of "
           "range\n"
           "in a file are brought into range when it is loaded, with a message. A file that "
           "cannot be\n"
           "read is left as it is and not saved over.\n"
           "A symbolic link is written through to its file; a link to anything but a regular "
           "file\n"
           "is refused.\n"
           "\n"
           "Exit status: 0 on success, 1 when the file could not or may not be saved, 2 for a "
           "usage\n"
           "error or a bad key or value.\n";
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "lumenarc-prefs: %s\n\n%s", message.c_str(), usage().c_str());
    return 2;
}

int valueError(const std::string& message) {
    std::fprintf(stderr, "lumenarc-prefs: %s\n", message.c_str());
    return 2;
}

// ---- Values ----

using Change = std::pair<OptionId, OptionValue>;

// The change one KEY VALUE pair asks for; an error message when the pair is invalid. A value
// out of the declared range is refused like one that is no number: the player could not use it
// (a screen count below 1 leaves the full-screen window without area, NaN has no loudness).
std::optional<Change> changeForPair(const std::string& key, const std::string& text,
                                    std::string& error) {
    const Option* option = OptionTable::byKey(key);
    if (option == nullptr) {
        error = "unknown key \"" + key + "\" (keys are case-sensitive; see --help)";
        return std::nullopt;
    }
    const auto value = ValueRules::parse(*option, text);
    if (!value || !ValueRules::inRange(*option, *value)) {
        error = "bad value \"" + text + "\" for " + key + ": expected " +
                ValueRules::expectation(*option);
        return std::nullopt;
    }
    return Change{option->id, *value};
}

// ---- Commands ----

// Numbers with every digit a float holds, so that what is shown sets the same value again.
std::string shown(const OptionValue& value) {
    if (const auto* real = std::get_if<float>(&value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(*real));
        return text;
    }
    return ValueRules::text(value);
}

void printPrefs(const PrefsManager& manager) {
    for (const Option& option : OptionTable::all()) {
        if (option.saved()) {
            std::printf("%s=%s\n", std::string(option.key).c_str(),
                        shown(manager.value(option.id)).c_str());
        }
    }
}

int show(const std::string& path) {
    printPrefs(*PrefsStore::loadPrefs(path));
    return 0;
}

int set(const std::string& path, const std::vector<std::string>& pairs) {
    if (pairs.empty() || pairs.size() % 2 != 0) {
        return usageError("set takes KEY VALUE pairs");
    }
    std::vector<Change> changes;
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        std::string error;
        auto change = changeForPair(pairs[i], pairs[i + 1], error);
        if (!change) {
            return valueError(error);
        }
        changes.push_back(std::move(*change));
    }
    auto manager = PrefsStore::loadPrefs(path);
    for (auto& [id, value] : changes) {
        manager->setValue(id, std::move(value));
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
        std::fputs(usage().c_str(), stdout);
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
