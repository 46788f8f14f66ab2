#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <arpa/inet.h>
#include <cmath>

namespace lumenarc {
namespace {

constexpr const char* kUsage = "Plays movies through a distortion mesh for projection.";

QCommandLineOption option(const QString& name, const QString& help, const QString& value = {}) {
    return value.isEmpty() ? QCommandLineOption(name, help) : QCommandLineOption(name, help, value);
}

std::string errorText(const QString& message) {
    return "lumenarc: " + message.toStdString() + "\nTry 'lumenarc --help' for more information.\n";
}

} // namespace

bool CommandLine::parseVolume(const QString& text, float& volume) {
    bool ok = false;
    const double value = text.toDouble(&ok); // QString reads numbers in the C locale
    if (!ok || !std::isfinite(value) || value < 0.0 || value > 1.0) {
        return false;
    }
    volume = static_cast<float>(value);
    return true;
}

bool CommandLine::parsePort(const QString& text, uint16_t& port) {
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (!ok || value == 0 || value > 65535) {
        return false;
    }
    port = static_cast<uint16_t>(value);
    return true;
}

bool CommandLine::isNumericAddress(const QString& text) {
    const QByteArray bytes = text.toLatin1();
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, bytes.constData(), buffer) == 1 ||
           inet_pton(AF_INET6, bytes.constData(), buffer) == 1;
}

bool CommandLine::parseHostPort(const QString& text, std::string& host, uint16_t& port) {
    const qsizetype colon = text.lastIndexOf(':');
    if (colon <= 0 || !parsePort(text.mid(colon + 1), port)) {
        return false;
    }
    QString name = text.left(colon);
    if (name.startsWith('[') && name.endsWith(']')) {
        name = name.mid(1, name.size() - 2);
        if (!name.contains(':') || !isNumericAddress(name)) {
            return false;
        }
    } else if (name.contains(':')) {
        return false; // an IPv6 address goes in brackets, so that its port is plain
    }
    if (name.isEmpty() || name.contains(' ')) {
        return false;
    }
    host = name.toStdString();
    return true;
}

CommandLine::Result CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(kUsage);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto help = option("help", "Shows this help and exits.");
    const auto version = option("version", "Shows the name and version and exits.");
    const auto fullScreen = option("fullscreen", "Goes full screen once a movie has loaded.");
    const auto mesh = option("mesh", "Draws through the mesh FILE from the first frame.", "FILE");
    const auto loop = option("loop", "Loops the movies.");
    const auto volume = option("volume", "Plays at volume V, 0 to 1.", "V");
    const auto quitAtEnd = option("quit-at-end", "Quits when the last movie has played.");
    const auto paused = option("paused", "Opens the first movie paused.");
    const auto oscPort = option("osc-port", "Listens for OSC show control on UDP port N.", "N");
    const auto oscBind =
        option("osc-bind", "Listens for OSC on address ADDR (default 127.0.0.1).", "ADDR");
    const auto syncLead = option("sync-leader",
                                 "Leads a show of several machines: publishes this machine's "
                                 "timeline on UDP port N.",
                                 "N");
    const auto syncFollow = option("sync-follow",
                                   "Follows the show led from HOST:PORT, on the same movie; "
                                   "transport commands here go to the leader.",
                                   "HOST:PORT");
    const auto syncBind = option(
        "sync-bind", "Binds the sync socket to address ADDR (default: every address).", "ADDR");
    const auto syncLog =
        option("sync-log", "Writes the wall-clock time and movie time of each frame shown to FILE.",
               "FILE");
    const auto syncSecret = option("sync-secret",
                                   "Authenticates the sync messages with the secret in FILE, "
                                   "which every machine of the show holds.",
                                   "FILE");
    parser.addOptions({help, version, fullScreen, mesh, loop, volume, quitAtEnd, paused, oscPort,
                       oscBind, syncLead, syncFollow, syncBind, syncLog, syncSecret});
    parser.addPositionalArgument("FILE", "Movies to play, in order.", "[FILE...]");

    Result result;
    if (!parser.parse(arguments)) {
        result.outcome = Outcome::Error;
        result.text = errorText(parser.errorText());
        return result;
    }
    if (parser.isSet(help)) {
        result.outcome = Outcome::Help;
        result.text = parser.helpText().toStdString();
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = Outcome::Version;
        result.text = std::string("Lumenarc ") + LUMENARC_VERSION + "\n";
        return result;
    }
    const auto fail = [&result](const QString& message) {
        result.outcome = Outcome::Error;
        result.text = errorText(message);
        return result;
    };
    LaunchOptions& out = result.options;
    out.fullScreen = parser.isSet(fullScreen);
    out.loop = parser.isSet(loop);
    out.quitAtEnd = parser.isSet(quitAtEnd);
    out.paused = parser.isSet(paused);
    if (parser.isSet(mesh)) {
        out.mesh = parser.value(mesh).toStdString();
        if (out.mesh.empty()) {
            return fail("--mesh needs a file");
        }
    }
    if (parser.isSet(volume)) {
        float value = 0;
        if (!parseVolume(parser.value(volume), value)) {
            return fail("--volume takes a number from 0 to 1, not '" + parser.value(volume) + "'");
        }
        out.volume = value;
    }
    if (parser.isSet(oscPort)) {
        uint16_t port = 0;
        if (!parsePort(parser.value(oscPort), port)) {
            return fail("--osc-port takes a port number from 1 to 65535, not '" +
                        parser.value(oscPort) + "'");
        }
        out.oscPort = port;
    }
    if (parser.isSet(oscBind)) {
        if (!out.oscPort) {
            return fail("--osc-bind needs --osc-port");
        }
        if (!isNumericAddress(parser.value(oscBind))) {
            return fail("--osc-bind takes a numeric IPv4 or IPv6 address, not '" +
                        parser.value(oscBind) + "'");
        }
        out.oscBind = parser.value(oscBind).toStdString();
    }
    if (parser.isSet(syncLead) && parser.isSet(syncFollow)) {
        return fail("--sync-leader and --sync-follow exclude each other");
    }
    if (parser.isSet(syncLead)) {
        uint16_t port = 0;
        if (!parsePort(parser.value(syncLead), port)) {
            return fail("--sync-leader takes a port number from 1 to 65535, not '" +
                        parser.value(syncLead) + "'");
        }
        out.syncLeadPort = port;
    }
    if (parser.isSet(syncFollow) &&
        !parseHostPort(parser.value(syncFollow), out.syncLeaderHost, out.syncLeaderPort)) {
        return fail("--sync-follow takes HOST:PORT, not '" + parser.value(syncFollow) + "'");
    }
    if (parser.isSet(syncBind)) {
        if (!out.syncLeadPort && out.syncLeaderHost.empty()) {
            return fail("--sync-bind needs --sync-leader or --sync-follow");
        }
        if (!isNumericAddress(parser.value(syncBind))) {
            return fail("--sync-bind takes a numeric IPv4 or IPv6 address, not '" +
                        parser.value(syncBind) + "'");
        }
        out.syncBind = parser.value(syncBind).toStdString();
    }
    if (parser.isSet(syncLog)) {
        out.syncLog = parser.value(syncLog).toStdString();
        if (out.syncLog.empty()) {
            return fail("--sync-log needs a file");
        }
    }
    if (parser.isSet(syncSecret)) {
        if (!out.syncLeadPort && out.syncLeaderHost.empty()) {
            return fail("--sync-secret needs --sync-leader or --sync-follow");
        }
        out.syncSecret = parser.value(syncSecret).toStdString();
        if (out.syncSecret.empty()) {
            return fail("--sync-secret needs a file");
        }
    }
    for (const QString& file : parser.positionalArguments()) {
        out.files.push_back(file.toStdString());
    }
    return result;
}

} // namespace lumenarc
