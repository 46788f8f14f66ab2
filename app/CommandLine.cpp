#include "app/CommandLine.h"

#include "options/OptionTable.h"
#include "options/ValueRules.h"

#include <QCommandLineParser>
#include <arpa/inet.h>
#include <cmath>

namespace lumenarc {
namespace {

constexpr const char* kUsage = "Plays movies through a distortion mesh for projection.";

std::string errorText(const QString& message) {
    return "lumenarc: " + message.toStdString() + "\nTry 'lumenarc --help' for more information.\n";
}

} // namespace

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

namespace {

QString flagOf(const Option& option) {
    return QString::fromUtf8(option.flag.data(), static_cast<qsizetype>(option.flag.size()));
}

QString dashed(OptionId id) {
    return "--" + flagOf(OptionTable::get(id));
}

// The rows on the command line as Qt options, in table order (the order of --help).
QList<QCommandLineOption> parserOptions() {
    QList<QCommandLineOption> options;
    for (const Option& option : OptionTable::all()) {
        if (!option.onCommandLine()) {
            continue;
        }
        const QString help = QString::fromUtf8(option.help.data(), option.help.size());
        options << (option.takesValue()
                        ? QCommandLineOption(
                              flagOf(option), help,
                              QString::fromUtf8(option.valueName.data(), option.valueName.size()))
                        : QCommandLineOption(flagOf(option), help));
    }
    return options;
}

// "needs --a" or "needs --a or --b"; empty when the option needs nothing or has what it needs.
QString missingNeed(const Option& option, const GivenOptions& given) {
    QStringList names;
    for (const OptionId need : option.needs) {
        if (need == OptionId::Count) {
            continue;
        }
        if (given.has(need)) {
            return {};
        }
        names << dashed(need);
    }
    return names.isEmpty() ? QString() : "needs " + names.join(" or ");
}

// The value of `text` for the option, or a message saying why it is refused. Numbers are read
// as Qt reads them (the C locale, spaces around ignored); their range is the table's.
std::optional<OptionValue> readValue(const Option& option, const QString& text, QString& why) {
    bool ok = true;
    switch (option.kind) {
    case OptionKind::Action:
        return OptionValue(true);
    case OptionKind::Switch:
        return OptionValue(!option.flagTurnsOff);
    case OptionKind::Number: {
        const double value = text.toDouble(&ok);
        if (ok && std::isfinite(value) && value >= option.min && value <= option.max) {
            return OptionValue(static_cast<float>(value));
        }
        break;
    }
    case OptionKind::WholeNumber: {
        const int value = text.toInt(&ok, 10);
        if (ok && value >= option.min && value <= option.max) {
            return OptionValue(int32_t{value});
        }
        break;
    }
    case OptionKind::Port: {
        uint16_t port = 0;
        if (CommandLine::parsePort(text, port) && port >= option.min && port <= option.max) {
            return OptionValue(int32_t{port});
        }
        break;
    }
    case OptionKind::File:
        if (text.isEmpty()) {
            why = "needs a file";
            return std::nullopt;
        }
        return OptionValue(std::optional<std::string>(text.toStdString()));
    case OptionKind::Text:
        return OptionValue(std::optional<std::string>(text.toStdString()));
    case OptionKind::Address:
        ok = CommandLine::isNumericAddress(text);
        break;
    case OptionKind::HostPort: {
        std::string host;
        uint16_t port = 0;
        ok = CommandLine::parseHostPort(text, host, port);
        break;
    }
    }
    if (ok && (option.kind == OptionKind::Address || option.kind == OptionKind::HostPort)) {
        return OptionValue(std::optional<std::string>(text.toStdString()));
    }
    why =
        QString::fromStdString("takes " + ValueRules::expectation(option)) + ", not '" + text + "'";
    return std::nullopt;
}

// Every option given, checked in table order against its row: what it excludes, what it needs,
// then its value. The first refusal is the message.
std::optional<GivenOptions> readGiven(const QCommandLineParser& parser, QString& error) {
    GivenOptions given;
    for (const Option& option : OptionTable::all()) {
        if (!option.onCommandLine() || !parser.isSet(flagOf(option))) {
            continue;
        }
        const QString name = "--" + flagOf(option);
        if (option.excludes != OptionId::Count &&
            parser.isSet(flagOf(OptionTable::get(option.excludes)))) {
            error = name + " and " + dashed(option.excludes) + " exclude each other";
            return std::nullopt;
        }
        const QString text = option.takesValue() ? parser.value(flagOf(option)) : QString();
        QString why = missingNeed(option, given);
        const auto value = why.isEmpty() ? readValue(option, text, why) : std::nullopt;
        if (!value) {
            error = name + " " + why;
            return std::nullopt;
        }
        given.set(option.id, *value);
    }
    return given;
}

uint16_t portOf(const GivenOptions& given, OptionId id) {
    return static_cast<uint16_t>(given.get<int32_t>(id).value_or(0));
}

// The named fields of LaunchOptions, for the options the application already reads by name.
void fill(LaunchOptions& out, const GivenOptions& given) {
    out.fullScreen = given.flag(OptionId::StartupInFullScreen);
    out.loop = given.flag(OptionId::LoopByDefault);
    out.quitAtEnd = given.flag(OptionId::QuitWhenMovieFinishes);
    out.paused = given.flag(OptionId::Paused);
    out.mesh = given.text(OptionId::DefaultMap).value_or("");
    out.volume = given.get<float>(OptionId::Volume);
    if (given.has(OptionId::OscPort)) {
        out.oscPort = portOf(given, OptionId::OscPort);
    }
    out.oscBind = given.text(OptionId::OscBind).value_or(out.oscBind);
    if (given.has(OptionId::SyncLeader)) {
        out.syncLeadPort = portOf(given, OptionId::SyncLeader);
    }
    if (const auto leader = given.text(OptionId::SyncFollow)) {
        CommandLine::parseHostPort(QString::fromStdString(*leader), out.syncLeaderHost,
                                   out.syncLeaderPort);
    }
    out.syncBind = given.text(OptionId::SyncBind).value_or("");
    out.syncLog = given.text(OptionId::SyncLog).value_or("");
    out.syncSecret = given.text(OptionId::SyncSecret).value_or("");
    out.given = given;
}

} // namespace

bool CommandLine::parseVolume(const QString& text, float& volume) {
    QString why;
    const auto value = readValue(OptionTable::get(OptionId::Volume), text, why);
    if (value) {
        volume = std::get<float>(*value);
    }
    return value.has_value();
}

CommandLine::Result CommandLine::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(kUsage);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(parserOptions());
    parser.addPositionalArgument("FILE", "Movies to play, in order.", "[FILE...]");

    Result result;
    if (!parser.parse(arguments)) {
        result.outcome = Outcome::Error;
        result.text = errorText(parser.errorText());
        return result;
    }
    if (parser.isSet(flagOf(OptionTable::get(OptionId::Help)))) {
        result.outcome = Outcome::Help;
        result.text = parser.helpText().toStdString();
        return result;
    }
    if (parser.isSet(flagOf(OptionTable::get(OptionId::Version)))) {
        result.outcome = Outcome::Version;
        result.text = std::string("Lumenarc ") + LUMENARC_VERSION + "\n";
        return result;
    }
    QString error;
    const auto given = readGiven(parser, error);
    if (!given) {
        result.outcome = Outcome::Error;
        result.text = errorText(error);
        return result;
    }
    fill(result.options, *given);
    for (const QString& file : parser.positionalArguments()) {
        result.options.files.push_back(file.toStdString());
    }
    return result;
}

} // namespace lumenarc
