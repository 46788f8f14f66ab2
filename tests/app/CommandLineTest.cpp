#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace lumenarc {
namespace {

using Outcome = CommandLine::Outcome;

CommandLine::Result parse(QStringList arguments) {
    arguments.prepend("lumenarc");
    return CommandLine::parse(arguments);
}

TEST(CommandLine, TakesEveryOptionAndTheFilesInOrder) {
    const auto r = parse({"--fullscreen", "--mesh", "dome.data", "--loop", "--volume", "0.25",
                          "--quit-at-end", "--paused", "--osc-port", "9000", "--osc-bind",
                          "0.0.0.0", "a.mp4", "b.mp4", "c.mp4"});
    ASSERT_EQ(r.outcome, Outcome::Run) << r.text;
    const LaunchOptions& o = r.options;
    EXPECT_TRUE(o.fullScreen);
    EXPECT_EQ(o.mesh, "dome.data");
    EXPECT_TRUE(o.loop);
    ASSERT_TRUE(o.volume);
    EXPECT_FLOAT_EQ(*o.volume, 0.25f);
    EXPECT_TRUE(o.quitAtEnd);
    EXPECT_TRUE(o.paused);
    ASSERT_TRUE(o.oscPort);
    EXPECT_EQ(*o.oscPort, 9000);
    EXPECT_EQ(o.oscBind, "0.0.0.0");
    EXPECT_EQ(o.files, (std::vector<std::string>{"a.mp4", "b.mp4", "c.mp4"}));
}

TEST(CommandLine, WithoutOptionsChangesNothing) {
    const auto r = parse({"movie.mp4"});
    ASSERT_EQ(r.outcome, Outcome::Run);
    EXPECT_FALSE(r.options.fullScreen || r.options.loop || r.options.quitAtEnd || r.options.paused);
    EXPECT_FALSE(r.options.volume);
    EXPECT_FALSE(r.options.oscPort);
    EXPECT_EQ(r.options.oscBind, "127.0.0.1");
    EXPECT_TRUE(r.options.mesh.empty());
    EXPECT_EQ(r.options.files, std::vector<std::string>{"movie.mp4"});
    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(parse({"--", "--loop"}).options.files, std::vector<std::string>{"--loop"});
}

TEST(CommandLine, RefusesBadOptionsAndValuesWithExitStatus2) {
    const std::vector<QStringList> bad{
        {"--bogus"},
        {"--volume"},
        {"--volume", "1.5"},
        {"--volume", "-0.1"},
        {"--volume", "loud"},
        {"--volume", "nan"},
        {"--osc-port", "0"},
        {"--osc-port", "65536"},
        {"--osc-port", "90x"},
        {"--osc-bind", "127.0.0.1"}, // without a port
        {"--osc-port", "9000", "--osc-bind", "localhost"},
        {"--osc-port", "9000", "--osc-bind", "300.1.1.1"},
        {"--mesh"},
        {"--mesh", ""},
    };
    for (const auto& arguments : bad) {
        const auto r = parse(arguments);
        EXPECT_EQ(r.outcome, Outcome::Error) << arguments.join(' ').toStdString();
        EXPECT_EQ(CommandLine::exitStatus(r.outcome), 2);
        EXPECT_EQ(r.text.rfind("lumenarc: ", 0), 0u) << r.text;
    }
}

TEST(CommandLine, AnswersHelpAndVersion) {
    const auto version = parse({"--version"});
    EXPECT_EQ(version.outcome, Outcome::Version);
    EXPECT_EQ(version.text, std::string("Lumenarc ") + LUMENARC_VERSION + "\n");
    EXPECT_EQ(CommandLine::exitStatus(version.outcome), 0);
    const auto help = parse({"--help"});
    EXPECT_EQ(help.outcome, Outcome::Help);
    for (const char* option : {"--fullscreen", "--mesh", "--loop", "--volume", "--quit-at-end",
                               "--paused", "--osc-port", "--osc-bind", "--version", "FILE"}) {
        EXPECT_NE(help.text.find(option), std::string::npos) << option;
    }
}

TEST(CommandLine, ChecksValues) {
    float volume = -1;
    EXPECT_TRUE(CommandLine::parseVolume("0", volume));
    EXPECT_EQ(volume, 0.0f);
    EXPECT_TRUE(CommandLine::parseVolume("1", volume));
    EXPECT_EQ(volume, 1.0f);
    EXPECT_FALSE(CommandLine::parseVolume("inf", volume));
    uint16_t port = 0;
    EXPECT_TRUE(CommandLine::parsePort("65535", port));
    EXPECT_EQ(port, 65535);
    EXPECT_FALSE(CommandLine::parsePort("-1", port));
    EXPECT_TRUE(CommandLine::isNumericAddress("::1"));
    EXPECT_TRUE(CommandLine::isNumericAddress("192.168.1.20"));
    EXPECT_FALSE(CommandLine::isNumericAddress(""));
    EXPECT_FALSE(CommandLine::isNumericAddress("example"));
}

} // namespace
} // namespace lumenarc

namespace lumenarc {
namespace {

TEST(CommandLine, TakesTheSyncRolesAndRefusesWhatCannotBe) {
    const auto leader = CommandLine::parse({"lumenarc", "--sync-leader", "9000", "--sync-bind",
                                            "10.0.0.1", "--sync-log", "l.log", "a.mp4"});
    ASSERT_EQ(leader.outcome, CommandLine::Outcome::Run) << leader.text;
    EXPECT_EQ(leader.options.syncLeadPort, 9000);
    EXPECT_EQ(leader.options.syncBind, "10.0.0.1");
    EXPECT_EQ(leader.options.syncLog, "l.log");
    const auto follower =
        CommandLine::parse({"lumenarc", "--sync-follow", "show-leader.local:9000", "a.mp4"});
    ASSERT_EQ(follower.outcome, CommandLine::Outcome::Run) << follower.text;
    EXPECT_EQ(follower.options.syncLeaderHost, "show-leader.local");
    EXPECT_EQ(follower.options.syncLeaderPort, 9000);
    EXPECT_FALSE(follower.options.syncLeadPort);
    // A log alone records the frames of a machine that plays by itself.
    EXPECT_EQ(CommandLine::parse({"lumenarc", "--sync-log", "x.log"}).outcome,
              CommandLine::Outcome::Run);
    for (const QStringList& wrong :
         {QStringList{"lumenarc", "--sync-leader", "9000", "--sync-follow", "h:1"},
          {"lumenarc", "--sync-leader", "0"},
          {"lumenarc", "--sync-follow", "host"},
          {"lumenarc", "--sync-follow", "host:70000"},
          {"lumenarc", "--sync-follow", "::1:9000"},
          {"lumenarc", "--sync-bind", "127.0.0.1"},
          {"lumenarc", "--sync-leader", "9000", "--sync-bind", "leader.local"},
          {"lumenarc", "--sync-log", ""}}) {
        const auto result = CommandLine::parse(wrong);
        EXPECT_EQ(result.outcome, CommandLine::Outcome::Error) << wrong.join(' ').toStdString();
        EXPECT_NE(result.text.find("lumenarc: "), std::string::npos);
    }
}

TEST(CommandLine, ReadsHostsAndPortsIncludingBracketedV6) {
    std::string host;
    uint16_t port = 0;
    EXPECT_TRUE(CommandLine::parseHostPort("[::1]:7000", host, port));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 7000);
    EXPECT_TRUE(CommandLine::parseHostPort("192.168.1.20:1", host, port));
    EXPECT_EQ(host, "192.168.1.20");
    EXPECT_FALSE(CommandLine::parseHostPort("[leader]:7000", host, port));
    EXPECT_FALSE(CommandLine::parseHostPort(":7000", host, port));
    EXPECT_FALSE(CommandLine::parseHostPort("a b:7000", host, port));
    EXPECT_FALSE(CommandLine::parseHostPort("host:", host, port));
}

} // namespace
} // namespace lumenarc
