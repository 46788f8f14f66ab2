#pragma once

#include "app/LaunchOptions.h"

#include <QStringList>
#include <string>

namespace lumenarc {

// The player's command line, read with QCommandLineParser before the toolkit starts, so that
// --help, --version and a wrong option answer even where no display can be opened. Its options,
// their help, values, ranges and rules are the rows of the option table (options/OptionTable.h).
class CommandLine {
public:
    enum class Outcome { Run, Help, Version, Error };
    struct Result {
        Outcome outcome = Outcome::Run;
        LaunchOptions options;
        std::string text; // help, version, or the error to print
    };

    // `arguments` includes the program name first, as argv does.
    static Result parse(const QStringList& arguments);
    // The exit status for an outcome that ends the run before it starts.
    static int exitStatus(Outcome outcome) { return outcome == Outcome::Error ? 2 : 0; }

    // Pure checks of option values; each returns false for a value to refuse.
    static bool parseVolume(const QString& text, float& volume);
    static bool parsePort(const QString& text, uint16_t& port);
    static bool isNumericAddress(const QString& text);
    // "host:port" or "[v6-address]:port"; false for anything else.
    static bool parseHostPort(const QString& text, std::string& host, uint16_t& port);
};

} // namespace lumenarc
