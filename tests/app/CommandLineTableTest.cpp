// The player's command line against the option table: every declared option is taken, listed
// and checked as its row says.

#include "app/CommandLine.h"
#include "options/OptionTable.h"
#include "options/ValueRules.h"

#include <gtest/gtest.h>

namespace lumenarc {
namespace {

QString flagOf(const Option& option) {
    return "--" + QString::fromUtf8(option.flag.data(), option.flag.size());
}

// A value of the row's kind that every row of that kind takes, and what it reads as.
std::pair<QString, OptionValue> sampleFor(const Option& option) {
    switch (option.kind) {
    case OptionKind::Number:
    case OptionKind::WholeNumber:
    case OptionKind::Port: {
        const QString text = QString::fromStdString(ValueRules::number(option.max));
        return {text, *ValueRules::parse(option, text.toStdString())};
    }
    case OptionKind::Address:
        return {"::1", std::optional<std::string>("::1")};
    case OptionKind::HostPort:
        return {"[::1]:7000", std::optional<std::string>("[::1]:7000")};
    default:
        return {"given.file", std::optional<std::string>("given.file")};
    }
}

QStringList argumentsFor(const Option& option) {
    QStringList arguments{"lumenarc"};
    if (option.needs[0] != OptionId::Count) {
        arguments << argumentsFor(OptionTable::get(option.needs[0])).mid(1);
    }
    arguments << flagOf(option);
    if (option.takesValue()) {
        arguments << sampleFor(option).first;
    }
    return arguments;
}

TEST(CommandLineTable, EveryDeclaredOptionReachesTheRunWithItsValue) {
    for (const Option& option : OptionTable::all()) {
        if (!option.onCommandLine() || option.kind == OptionKind::Action) {
            continue;
        }
        const auto result = CommandLine::parse(argumentsFor(option));
        ASSERT_EQ(result.outcome, CommandLine::Outcome::Run) << option.flag << ": " << result.text;
        ASSERT_TRUE(result.options.given.has(option.id)) << option.flag;
        const OptionValue expected =
            option.takesValue() ? sampleFor(option).second : OptionValue(!option.flagTurnsOff);
        const auto& given = result.options.given;
        const bool same = std::visit(
            [&](const auto& value) {
                using Value = std::decay_t<decltype(value)>;
                return given.get<Value>(option.id) == std::optional<Value>(value);
            },
            expected);
        EXPECT_TRUE(same) << option.flag;
    }
}

TEST(CommandLineTable, RefusesAValueJustBeyondTheDeclaredRange) {
    for (const Option& option : OptionTable::all()) {
        if (!option.onCommandLine() || ValueRules::range(option).empty()) {
            continue;
        }
        QStringList arguments = argumentsFor(option);
        arguments.last() = QString::fromStdString(ValueRules::number(option.max + 1));
        const auto result = CommandLine::parse(arguments);
        EXPECT_EQ(result.outcome, CommandLine::Outcome::Error) << option.flag;
        EXPECT_NE(result.text.find("--" + std::string(option.flag) + " takes " +
                                   ValueRules::expectation(option)),
                  std::string::npos)
            << result.text;
    }
}

TEST(CommandLineTable, HelpListsEveryDeclaredOptionWithItsHelp) {
    const auto help = CommandLine::parse({"lumenarc", "--help"});
    ASSERT_EQ(help.outcome, CommandLine::Outcome::Help);
    for (const Option& option : OptionTable::all()) {
        if (option.onCommandLine()) {
            EXPECT_NE(help.text.find(flagOf(option).toStdString()), std::string::npos)
                << option.flag;
            const std::string firstWords(option.help.substr(0, 20));
            EXPECT_NE(help.text.find(firstWords), std::string::npos) << option.flag;
        }
    }
}

} // namespace
} // namespace lumenarc
