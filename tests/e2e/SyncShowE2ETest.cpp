#include "AppSession.h"
#include "RemoteSupport.h"
#include "SyncPlayers.h"
#include "support/RunProcess.h"
#include "sync/FrameCode.h"
#include "sync/MildMeshes.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::FrameCode;
using test::OscClient;
using test::SyncPlayers;
using Status = OscClient::Status;

constexpr int kFps = 30;
constexpr double kMovieSeconds = 20;
constexpr int kMovieFrames = static_cast<int>(kMovieSeconds * kFps);

// Frame numbers a and b apart on a looping movie, the shorter way round.
int framesApart(int a, int b) {
    const int d = std::abs(a - b) % kMovieFrames;
    return std::min(d, kMovieFrames - d);
}

// Processor time so far, in seconds: of the whole machine (all processors), and of this test
// with everything it started (the players, the X server, the screenshots), running or ended.
struct ProcessorTime {
    double machine = 0, ours = 0;
};

double inSeconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

ProcessorTime processorTime() {
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    ProcessorTime out;
    std::ifstream stat("/proc/stat");
    std::string cpu;
    double user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    out.machine = (user + nice + system + irq + softirq + steal) / tick;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) { // the children ended and waited for
        rusage use{};
        getrusage(who, &use);
        out.ours += inSeconds(use.ru_utime) + inSeconds(use.ru_stime);
    }
    // Those still running: every process whose line of parents leads here.
    std::map<int, std::pair<int, double>> processes; // pid: parent, processor seconds
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const auto name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream file(entry.path() / "stat");
        std::string line;
        std::getline(file, line);
        const auto end = line.rfind(')'); // the command name may hold spaces
        if (end == std::string::npos) {
            continue;
        }
        std::istringstream fields(line.substr(end + 2));
        std::string state;
        int parent = 0;
        double skip = 0, utime = 0, stime = 0;
        fields >> state >> parent;
        for (int k = 0; k < 9; ++k) {
            fields >> skip;
        }
        fields >> utime >> stime;
        processes[std::stoi(name)] = {parent, (utime + stime) / tick};
    }
    const int self = getpid();
    for (const auto& [pid, process] : processes) {
        for (int up = process.first; up > 1;) {
            if (up == self) {
                out.ours += process.second;
                break;
            }
            const auto parent = processes.find(up);
            up = parent == processes.end() ? 0 : parent->second.first;
        }
    }
    return out;
}

// A leader and two followers, each with its own mesh, through one show of a minute: pauses,
// seeks, rate changes and loops sent to the leader and to the followers, a follower joining
// late, one that has another file, lost and late datagrams, and the leader killed and started
// again with another movie. Their logs and screenshots of all three windows at once must
// agree.
class SyncShow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(players.ok());
        const auto& home = players.home().path();
        ASSERT_TRUE(FrameCode::makeMovie((home / "frames.mp4").string(), kMovieSeconds, kFps));
        ASSERT_TRUE(FrameCode::makeMovie((home / "other.mp4").string(), kMovieSeconds, kFps));
        ASSERT_TRUE(FrameCode::makeMovie((home / "shorter.mp4").string(), 15, kFps));
        // Each player has its own copies, as each machine of a show has.
        for (const std::string name : {"leader", "first", "second", "stranger"}) {
            std::filesystem::create_directories(home / name);
            const bool stranger = name == "stranger";
            std::filesystem::copy_file(home / (stranger ? "shorter.mp4" : "frames.mp4"),
                                       home / name / "frames.mp4");
            std::filesystem::copy_file(home / "other.mp4", home / name / "other.mp4");
        }
        for (int v = 0; v < test::MildMeshes::kCount; ++v) {
            meshes.push_back(players.home().write("mild" + std::to_string(v) + ".data",
                                                  test::MildMeshes::text(v)));
        }
    }

    // What a player said, and how it ended if it did, for a failure message.
    std::string report(const std::string& name) {
        auto& process = *players[name].process;
        const int status = process.running() ? -2 : process.wait(0ms);
        return name + (status == -2 ? " (running)" : " (ended: " + std::to_string(status) + ")") +
               ":\n" + process.errors();
    }
    std::string movie(const std::string& player, const std::string& file = "frames.mp4") {
        return (players.home().path() / player / file).string();
    }
    std::string log(const std::string& name) {
        return (players.home().path() / (name + ".log")).string();
    }
    std::vector<std::string> common(const std::string& logName, int mesh, uint16_t osc) {
        return {"--sync-bind", "127.0.0.1", "--sync-log", log(logName), "--mesh",
                meshes[mesh],  "--volume",  "0",          "--osc-port", std::to_string(osc)};
    }
    std::vector<std::string> leaderArgs(const std::string& logName, const std::string& file) {
        auto args = common(logName, 0, oscPort.at("leader"));

        args.insert(args.begin(), {"--sync-leader", std::to_string(syncPort)});
        args.insert(args.end(), {"--loop", movie("leader", file)});
        return args;
    }
    std::vector<std::string> followerArgs(const std::string& name, int mesh) {
        auto args = common(name, mesh, oscPort.at(name));

        args.insert(args.begin(), {"--sync-follow", "127.0.0.1:" + std::to_string(syncPort)});
        args.push_back(movie(name));
        return args;
    }

    // A failed show leaves its logs in the build tree, for scripts/sync-offsets.
    void TearDown() override {
        if (!HasFailure()) {
            return;
        }
        const auto kept = std::filesystem::path(LUMENARC_BIN_DIR) / ".." / "Testing" / "sync-show";
        std::filesystem::remove_all(kept);
        std::filesystem::create_directories(kept);
        for (const auto& entry : std::filesystem::directory_iterator(players.home().path())) {
            if (entry.path().extension() == ".log") {
                std::filesystem::copy_file(entry.path(), kept / entry.path().filename());
            }
        }
        std::cout << "sync logs kept in " << std::filesystem::weakly_canonical(kept).string()
                  << "\n";
    }

    // Waits until `seconds` into the show, taking screenshots on the way.
    void until(double seconds) {
        while (test::SyncPlayers::wallClock() < showStart + seconds) {
            if (test::SyncPlayers::wallClock() >= nextShot) {
                shoot();
            }
            std::this_thread::sleep_for(20ms);
        }
    }
    void shoot() {
        nextShot = test::SyncPlayers::wallClock() + kShotEvery;
        std::vector<std::string> names;
        for (const auto& [name, since] : comparedSince) {
            if (test::SyncPlayers::wallClock() > since) {
                names.push_back(name);
            }
        }
        if (names.size() >= 2) {
            shots.push_back(players.readFrames(names));
        }
    }
    // `name` is compared from `settle` seconds after now on; -1: not at all.
    void compare(const std::string& name, double settle) {
        if (settle < 0) {
            comparedSince.erase(name);
        } else {
            comparedSince[name] = test::SyncPlayers::wallClock() + settle;
        }
    }
    // The next status of the leader that `wanted` holds for.
    std::optional<Status> leaderStatus(const std::function<bool(const Status&)>& wanted) {
        OscClient osc("127.0.0.1", oscPort.at("leader"));
        return osc.waitForStatus(wanted, 3s);
    }
    void send(const std::string& player, const char* path) {
        OscClient("127.0.0.1", oscPort.at(player)).send(path, "");
    }
    void send(const std::string& player, const char* path, float value) {
        OscClient("127.0.0.1", oscPort.at(player)).send(path, "f", value);
    }

    // The offsets of all pairs ("shown"), from the logs, leaving out the wall-clock spans given;
    // the table goes to the output.
    QJsonObject offsets(const std::vector<std::string>& spans,
                        const std::vector<std::pair<double, double>>& more) {
        std::vector<std::string> argv{std::string(LUMENARC_SOURCE_DIR) + "/scripts/sync-offsets",
                                      "--skip", "2", "--duration", std::to_string(kMovieSeconds)};
        auto excluded = spans;
        for (const auto& [from, to] : more) {
            std::ostringstream span;
            span << std::fixed << from << ":" << to;
            excluded.push_back(span.str());
        }
        for (const auto& span : excluded) {
            argv.insert(argv.end(), {"--exclude", span});
        }
        argv.insert(argv.end(),
                    {log("leader-1") + "+" + log("leader-2"), log("first"), log("second")});
        auto listing = argv;
        listing.insert(listing.begin() + 1, {"--over", "100"}); // where they were 3 frames apart
        const auto table = test::runProcess(listing);
        std::cout << table.out << table.err;
        argv.push_back("--json");
        const auto json = test::runProcess(argv);
        EXPECT_EQ(json.exitCode, 0) << json.err;
        return QJsonDocument::fromJson(QByteArray::fromStdString(json.out))
            .object()["all"]
            .toObject()["shown"]
            .toObject();
    }

    static constexpr double kShotEvery = 1.5;
    // Processors' worth of other work on the machine, on average over the show, beyond which
    // the players' offsets measure the machine rather than them.
    static constexpr double kOtherWorkAllowed = 0.25;
    static constexpr double kSettleRate = 1.0; // after the last change of rate
    static constexpr double kSettle = 2.5;     // after a start, join or restart
    static constexpr int kWindowWidth = SyncPlayers::kWindowWidth + 20;
    static constexpr int kWindowHeight = SyncPlayers::kWindowHeight + 40;

    SyncPlayers players{3 * kWindowWidth, 2 * kWindowHeight};
    std::vector<std::string> meshes;
    uint16_t syncPort = test::freeUdpPort();
    std::map<std::string, uint16_t> oscPort{{"leader", test::freeUdpPort()},
                                            {"first", test::freeUdpPort()},
                                            {"second", test::freeUdpPort()},
                                            {"stranger", test::freeUdpPort()}};
    double showStart = 0, nextShot = 0;
    std::map<std::string, double> comparedSince;
    std::vector<std::pair<double, double>> offRate; // wall-clock spans at rates other than 1
    std::vector<SyncPlayers::Reading> shots;
};

TEST_F(SyncShow, ThreePlayersStayOnTheSameFrame) {
    const std::map<std::string, std::string> lossy{{"LUMENARC_SYNC_TEST_DROP", "0.3"},
                                                   {"LUMENARC_SYNC_TEST_DELAY_MS", "40"}};
    ASSERT_TRUE(
        players.start("leader", leaderArgs("leader-1", "frames.mp4"), {}, "frames.mp4", 0, 0))
        << report("leader");
    ASSERT_TRUE(
        players.start("first", followerArgs("first", 1), lossy, "frames.mp4", kWindowWidth, 0))
        << report("first");
    const double leaderStart = test::SyncPlayers::wallClock();
    showStart = leaderStart;
    const auto timeBefore = processorTime();
    compare("leader", kSettle);
    compare("first", kSettle);

    // Transport on the leader, and on a follower (forwarded to the leader).
    until(4);
    send("leader", "/lumenarc/pause");
    EXPECT_TRUE(leaderStatus([](const Status& s) { return s.rate == 0; }));
    until(6);
    send("leader", "/lumenarc/play");
    until(8);
    send("first", "/lumenarc/seek", 16.0f);
    EXPECT_TRUE(leaderStatus([](const Status& s) {
        return s.position >= 15.9f && s.position < 16.8f;
    })) << "a seek on a follower did not reach the leader";

    // A follower 10 s late.
    until(10);
    ASSERT_TRUE(
        players.start("second", followerArgs("second", 2), {}, "frames.mp4", 2 * kWindowWidth, 0))
        << report("second");
    compare("second", kSettle);

    // Rates, through the end of the movie and round its loop.
    until(14);
    const double fasterFrom = test::SyncPlayers::wallClock();
    send("leader", "/lumenarc/rate", 1.25f);
    until(18);
    send("first", "/lumenarc/rate", 0.8f);
    EXPECT_TRUE(leaderStatus([](const Status& s) { return std::fabs(s.rate - 0.8f) < 0.01f; }))
        << "a rate on a follower did not reach the leader";
    until(22);
    send("leader", "/lumenarc/rate", 1.0f);
    offRate.emplace_back(fasterFrom, test::SyncPlayers::wallClock() + kSettleRate);
    until(24);
    send("first", "/lumenarc/pause");
    EXPECT_TRUE(leaderStatus([](const Status& s) { return s.rate == 0; }))
        << "pause on a follower did not reach the leader";
    until(26);
    send("leader", "/lumenarc/seek", 5.0f);
    until(28);
    send("second", "/lumenarc/play");
    EXPECT_TRUE(leaderStatus([](const Status& s) { return s.rate == 1; }))
        << "play on a follower did not reach the leader";

    // The leader dies; the followers play on together; it comes back with another movie.
    until(31);
    compare("leader", -1);
    const double killed = test::SyncPlayers::wallClock();
    players["leader"].process->signal(SIGKILL);
    EXPECT_EQ(players["leader"].process->wait(5s), -1) << report("leader"); // killed, not exited
    until(35);
    ASSERT_TRUE(players.start("leader", leaderArgs("leader-2", "other.mp4"), {}, "other.mp4", 0, 0))
        << report("leader");
    const double restartedUp = test::SyncPlayers::wallClock();
    compare("leader", kSettle);
    compare("first", kSettle);
    compare("second", kSettle);
    for (const std::string name : {"first", "second"}) {
        EXPECT_TRUE(players.showsWindow(name, "^other.mp4$", 5s))
            << name << " did not open the leader's new movie";
    }

    // A follower with another file under the same name refuses, and the others play on.
    until(40);
    const double fasterAgain = test::SyncPlayers::wallClock();
    send("second", "/lumenarc/rate", 1.25f);
    ASSERT_TRUE(
        players.start("stranger", followerArgs("stranger", 1), {}, "frames.mp4", 0, kWindowHeight))
        << report("stranger");
    until(44);
    send("leader", "/lumenarc/rate", 1.0f);
    offRate.emplace_back(fasterAgain, test::SyncPlayers::wallClock() + kSettleRate);
    until(47);
    send("leader", "/lumenarc/pause");
    until(49);
    send("second", "/lumenarc/play");
    until(51);
    send("first", "/lumenarc/seek", 18.5f);
    until(58);
    // The offsets at p99, and the screenshots, are held to their bounds where nothing but the
    // show ran: other work on the machine delays the players' turns to draw, which is no fault
    // of theirs. The test runs alone among the tests (RUN_SERIAL); this is for work outside
    // them.
    const auto timeAfter = processorTime();
    const double showSeconds = test::SyncPlayers::wallClock() - showStart;
    const double otherWork = std::max(0.0, (timeAfter.machine - timeBefore.machine) -
                                               (timeAfter.ours - timeBefore.ours)) /
                             showSeconds;
    const bool alone = otherWork < kOtherWorkAllowed;
    std::cout << "other work beside the show: " << std::fixed << std::setprecision(2) << otherWork
              << " processors on average\n";
    const std::string strangerErrors = players["stranger"].process->errors();
    EXPECT_NE(strangerErrors.find("sync: not following"), std::string::npos) << strangerErrors;
    for (const std::string name : {"leader", "first", "second"}) {
        EXPECT_TRUE(players[name].process->running()) << report(name);
    }
    for (const std::string name : {"leader", "first", "second", "stranger"}) {
        players[name].process->signal(SIGTERM);
    }
    for (const std::string name : {"leader", "first", "second"}) {
        EXPECT_EQ(players[name].process->wait(20s), 0) << name << ":\n"
                                                       << players[name].process->errors();
    }

    // The screenshots: every view read from the same shot, within a frame of each other.
    int complete = 0, agreeing = 0;
    for (const auto& shot : shots) {
        std::vector<int> frames;
        for (const auto& [name, frame] : shot.frames) {
            if (frame) {
                frames.push_back(*frame);
            }
        }
        if (frames.size() != shot.frames.size()) {
            continue;
        }
        ++complete;
        bool close = true;
        for (const int a : frames) {
            for (const int b : frames) {
                close = close && framesApart(a, b) <= 1;
            }
        }
        agreeing += close ? 1 : 0;
        if (!close) {
            std::cout << "shot at " << std::fixed << shot.wallBefore - leaderStart << " s:";
            for (const auto& [name, frame] : shot.frames) {
                std::cout << " " << name << " " << *frame;
            }
            std::cout << "\n";
        }
    }
    std::cout << complete << " of " << shots.size() << " screenshots read on every window, "
              << agreeing << " within a frame\n";
    EXPECT_GE(shots.size(), 20u);
    EXPECT_GE(complete, static_cast<int>(shots.size() * 0.6));
    // Beside other work, most still agree: players out of step would not.
    EXPECT_GE(agreeing, static_cast<int>(std::ceil(complete * (alone ? 0.95 : 0.5))));
    // The logs: offsets across all pairs, leaving out starts, the join and the restart; at rate
    // 1 through pauses, seeks, a loss-prone follower and the restart, and then with the spans at
    // other rates and their changes too.
    std::ostringstream restart;
    restart << std::fixed << killed << ":" << restartedUp + kSettle;
    const auto atRateOne = offsets({restart.str()}, offRate);
    EXPECT_GT(atRateOne["samples"].toInt(), 25000); // three pairs over most of half a minute
    const auto throughout = offsets({restart.str()}, {});
    EXPECT_GT(throughout["samples"].toInt(), 40000); // three pairs over most of a minute
    EXPECT_LE(atRateOne["p50_ms"].toDouble(), 8.0);
    EXPECT_LE(throughout["p50_ms"].toDouble(), 8.0);
    if (!alone) {
        std::cout << "p99 and the screenshots are not held to their bounds: other work took "
                  << std::setprecision(2) << otherWork << " processors beside the show\n";
        return;
    }
    EXPECT_LE(atRateOne["p99_ms"].toDouble(), 1000.0 / kFps + 0.5);
    EXPECT_LE(throughout["p99_ms"].toDouble(), 1000.0 / kFps + 0.5);
}

} // namespace
} // namespace lumenarc
