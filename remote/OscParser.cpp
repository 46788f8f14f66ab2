#include "remote/OscParser.h"

#include "net/LoMessage.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <lo/lo_lowlevel.h>
#include <memory>
#include <string_view>
#include <vector>

namespace lumenarc {

bool OscCommand::mergeable() const {
    switch (verb) {
    case Verb::Rate:
    case Verb::Seek:
    case Verb::Volume:
    case Verb::Loop:
    case Verb::Grid:
    case Verb::Lines:
    case Verb::Readout:
    case Verb::Overlay:
    case Verb::AudioDelay:
    case Verb::Projection:
    case Verb::Edit:
    case Verb::Open: // a later open supersedes an earlier one anyway
    case Verb::Mesh:
        return true;
    default:
        return false;
    }
}

namespace {

using Verb = OscCommand::Verb;

enum class Argument { None, Number, Switch, Path };

struct Address {
    std::string_view path;
    Verb verb;
    Argument argument;
};

constexpr std::array<Address, 22> kAddresses{{
    {"/lumenarc/play", Verb::Play, Argument::None},
    {"/lumenarc/pause", Verb::Pause, Argument::None},
    {"/lumenarc/toggle", Verb::Toggle, Argument::None},
    {"/lumenarc/rate", Verb::Rate, Argument::Number},
    {"/lumenarc/seek", Verb::Seek, Argument::Number},
    {"/lumenarc/volume", Verb::Volume, Argument::Number},
    {"/lumenarc/loop", Verb::Loop, Argument::Switch},
    {"/lumenarc/open", Verb::Open, Argument::Path},
    {"/lumenarc/mesh", Verb::Mesh, Argument::Path},
    {"/lumenarc/next", Verb::Next, Argument::None},
    {"/lumenarc/previous", Verb::Previous, Argument::None},
    {"/lumenarc/grid", Verb::Grid, Argument::Switch},
    {"/lumenarc/lines", Verb::Lines, Argument::Switch},
    {"/lumenarc/readout", Verb::Readout, Argument::Switch},
    {"/lumenarc/overlay", Verb::Overlay, Argument::Switch},
    {"/lumenarc/audiodelay", Verb::AudioDelay, Argument::Number},
    {"/lumenarc/projection", Verb::Projection, Argument::Number},
    {"/lumenarc/edit", Verb::Edit, Argument::Switch},
    {"/lumenarc/save", Verb::Save, Argument::None},
    {"/lumenarc/fullscreen", Verb::FullScreen, Argument::None},
    {"/lumenarc/quit", Verb::Quit, Argument::None},
    {"/lumenarc/status", Verb::Status, Argument::None},
}};

// The number an argument holds; integers and reals are both taken, as controllers send either.
std::optional<double> numberOf(char type, const lo_arg* arg) {
    switch (type) {
    case LO_INT32:
        return LoMessage::valueOf<int32_t>(arg);
    case LO_INT64:
        return static_cast<double>(LoMessage::valueOf<int64_t>(arg));
    case LO_FLOAT:
        return LoMessage::valueOf<float>(arg);
    case LO_DOUBLE:
        return LoMessage::valueOf<double>(arg);
    default:
        return std::nullopt;
    }
}

bool readNumber(Verb verb, double value, OscCommand& command, std::string& why) {
    if (!std::isfinite(value)) {
        why = "not a finite number";
        return false;
    }
    if (verb == Verb::Volume && (value < 0.0 || value > 1.0)) {
        why = "a volume is 0 to 1";
        return false;
    }
    if (verb == Verb::AudioDelay && std::fabs(value) > 2.0) {
        why = "an audio delay is -2 to 2 seconds";
        return false;
    }
    if (verb == Verb::Seek && value < 0.0) {
        why = "a seek is to seconds from the start";
        return false;
    }
    if (verb == Verb::Rate && std::fabs(value) > 100.0) {
        why = "a rate is -100 to 100";
        return false;
    }
    // Range first: a float outside int would make the cast undefined.
    if (verb == Verb::Projection && (std::fabs(value) > 100.0 || value != std::floor(value) ||
                                     !OscParser::isProjectionCode(static_cast<int>(value)))) {
        why = "not a projection type code";
        return false;
    }
    command.number = value;
    return true;
}

bool readArgument(Argument kind, lo_message message, OscCommand& command, std::string& why) {
    const int count = lo_message_get_argc(message);
    const char* types = lo_message_get_types(message);
    lo_arg** argv = lo_message_get_argv(message);
    if (kind == Argument::None) {
        if (count != 0) {
            why = "takes no arguments";
        }
        return count == 0;
    }
    if (count != 1 || types == nullptr) {
        why = "takes one argument";
        return false;
    }
    const char type = types[0];
    if (kind == Argument::Path) {
        if (type != LO_STRING && type != LO_SYMBOL) {
            why = "takes a path";
            return false;
        }
        command.text = reinterpret_cast<const char*>(argv[0]);
        if (command.text.empty() || command.text.size() > OscParser::kMaxPathLength) {
            why = "path empty or too long";
            return false;
        }
        return true;
    }
    if (kind == Argument::Switch && (type == LO_TRUE || type == LO_FALSE)) {
        command.on = type == LO_TRUE;
        return true;
    }
    const auto number = numberOf(type, argv[0]);
    if (!number) {
        why = "takes a number";
        return false;
    }
    if (kind == Argument::Switch) {
        command.on = *number != 0.0;
        return true;
    }
    return readNumber(command.verb, *number, command, why);
}

// Received text as it may go into a log line: short, and nothing that is not printable.
std::string printable(std::string_view text) {
    std::string out(text.substr(0, 64));
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) {
            c = '?';
        }
    }
    return out;
}

} // namespace

bool OscParser::isProjectionCode(int code) {
    return (code >= 1 && code <= 5) || (code >= 11 && code <= 15);
}

std::optional<OscCommand> OscParser::parse(const void* data, size_t size, std::string& why) {
    if (size < 4 || static_cast<const char*>(data)[0] != '/') {
        why = "not an OSC message";
        return std::nullopt;
    }
    // liblo decodes from a buffer it may touch: hand it a copy.
    std::vector<char> bytes(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    int result = 0;
    LoMessage::Owned message(lo_message_deserialise(bytes.data(), bytes.size(), &result));
    if (!message) {
        why = "not an OSC message";
        return std::nullopt;
    }
    const size_t pathLength = strnlen(bytes.data(), bytes.size());
    const std::string_view path(bytes.data(), pathLength);
    for (const Address& address : kAddresses) {
        if (address.path != path) {
            continue;
        }
        OscCommand command;
        command.verb = address.verb;
        if (!readArgument(address.argument, message.get(), command, why)) {
            why = printable(path) + ": " + why;
            return std::nullopt;
        }
        return command;
    }
    why = "unknown address " + printable(path);
    return std::nullopt;
}

} // namespace lumenarc
