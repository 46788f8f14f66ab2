#include "base/DeveloperLog.h"
#include "base/LogThrottle.h"
#include "base/MainThread.h"
#include "remote/OscParser.h"
#include "remote/OscQueue.h"
#include "remote/OscServer.h"
#include "remote/ReplyBudget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <lo/lo.h>
#include <mutex>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using Verb = OscCommand::Verb;

// An OSC message as liblo writes it, built with a liblo type string and arguments.
struct Datagram {
    std::vector<char> bytes;
};

template <typename... Args> Datagram encode(const char* path, const char* types, Args... args) {
    lo_message message = lo_message_new();
    if constexpr (sizeof...(args) > 0) {
        lo_message_add(message, types, args...);
    } else {
        lo_message_add(message, types);
    }
    size_t length = 0;
    void* data = lo_message_serialise(message, path, nullptr, &length);
    Datagram out{std::vector<char>(static_cast<char*>(data), static_cast<char*>(data) + length)};
    free(data);
    lo_message_free(message);
    return out;
}

std::optional<OscCommand> parse(const Datagram& d, std::string* reason = nullptr) {
    std::string why;
    auto command = OscParser::parse(d.bytes.data(), d.bytes.size(), why);
    if (reason != nullptr) {
        *reason = why;
    }
    return command;
}

TEST(OscParser, ReadsEveryMessage) {
    struct Case {
        Datagram datagram;
        Verb verb;
    };
    const std::vector<Case> plain{
        {encode("/lumenarc/play", ""), Verb::Play},
        {encode("/lumenarc/pause", ""), Verb::Pause},
        {encode("/lumenarc/toggle", ""), Verb::Toggle},
        {encode("/lumenarc/next", ""), Verb::Next},
        {encode("/lumenarc/previous", ""), Verb::Previous},
        {encode("/lumenarc/fullscreen", ""), Verb::FullScreen},
        {encode("/lumenarc/quit", ""), Verb::Quit},
        {encode("/lumenarc/status", ""), Verb::Status},
    };
    for (const auto& c : plain) {
        const auto command = parse(c.datagram);
        ASSERT_TRUE(command) << c.datagram.bytes.data();
        EXPECT_EQ(command->verb, c.verb);
    }
    EXPECT_EQ(parse(encode("/lumenarc/rate", "f", 1.5f))->number, 1.5);
    EXPECT_EQ(parse(encode("/lumenarc/rate", "f", -0.5f))->number, -0.5);
    EXPECT_EQ(parse(encode("/lumenarc/seek", "f", 12.25f))->number, 12.25);
    EXPECT_EQ(parse(encode("/lumenarc/seek", "d", 3.0))->number, 3.0);
    EXPECT_EQ(parse(encode("/lumenarc/volume", "f", 0.5f))->number, 0.5);
    EXPECT_EQ(parse(encode("/lumenarc/projection", "i", 12))->number, 12);
    EXPECT_EQ(parse(encode("/lumenarc/projection", "f", 3.0f))->verb, Verb::Projection);
    for (const char* path :
         {"/lumenarc/loop", "/lumenarc/grid", "/lumenarc/lines", "/lumenarc/readout"}) {
        EXPECT_TRUE(parse(encode(path, "i", 1))->on) << path;
        EXPECT_FALSE(parse(encode(path, "i", 0))->on) << path;
        EXPECT_TRUE(parse(encode(path, "f", 1.0f))->on) << path;
        EXPECT_TRUE(parse(encode(path, "T"))->on) << path;
        EXPECT_FALSE(parse(encode(path, "F"))->on) << path;
    }
    const auto open = parse(encode("/lumenarc/open", "s", "/shows/dome.mp4"));
    ASSERT_TRUE(open);
    EXPECT_EQ(open->verb, Verb::Open);
    EXPECT_EQ(open->text, "/shows/dome.mp4");
    EXPECT_EQ(parse(encode("/lumenarc/mesh", "s", "/shows/dome.data"))->verb, Verb::Mesh);
}

// Each range taken to its very edge, and refused just past it: a seek to 0 (the start, the
// most common cue), volume 0 and 1, rates of ±100 and 0, the first and last projection codes
// of each group, a path of the longest length.
TEST(OscParser, TakesEachRangeToItsEdgeAndNoFurther) {
    const auto takes = [](const Datagram& d, double number) {
        const auto command = parse(d);
        return command && command->number == number;
    };
    EXPECT_TRUE(takes(encode("/lumenarc/seek", "f", 0.0f), 0.0));
    EXPECT_TRUE(takes(encode("/lumenarc/seek", "i", 0), 0.0));
    EXPECT_TRUE(takes(encode("/lumenarc/seek", "d", -0.0), 0.0));
    EXPECT_FALSE(parse(encode("/lumenarc/seek", "d", -1e-9)));
    EXPECT_TRUE(takes(encode("/lumenarc/volume", "f", 0.0f), 0.0));
    EXPECT_TRUE(takes(encode("/lumenarc/volume", "f", 1.0f), 1.0));
    EXPECT_FALSE(parse(encode("/lumenarc/volume", "d", -1e-9)));
    EXPECT_FALSE(parse(encode("/lumenarc/volume", "d", 1.0 + 1e-9)));
    EXPECT_TRUE(takes(encode("/lumenarc/rate", "f", 100.0f), 100.0));
    EXPECT_TRUE(takes(encode("/lumenarc/rate", "f", -100.0f), -100.0));
    EXPECT_TRUE(takes(encode("/lumenarc/rate", "i", 0), 0.0));
    EXPECT_FALSE(parse(encode("/lumenarc/rate", "d", 100.0 + 1e-9)));
    EXPECT_FALSE(parse(encode("/lumenarc/rate", "d", -100.0 - 1e-9)));
    for (int code : {1, 5, 11, 15}) {
        EXPECT_TRUE(takes(encode("/lumenarc/projection", "i", code), code)) << code;
    }
    for (int code : {0, 6, 10, 16, -1}) {
        EXPECT_FALSE(parse(encode("/lumenarc/projection", "i", code))) << code;
    }
    // Codes far beyond int are refused before any conversion (undefined behaviour otherwise).
    EXPECT_FALSE(parse(encode("/lumenarc/projection", "f", 3.6e16f)));
    EXPECT_FALSE(parse(encode("/lumenarc/projection", "d", -1e300)));
    const std::string longest(OscParser::kMaxPathLength, 'x');
    EXPECT_EQ(parse(encode("/lumenarc/open", "s", longest.c_str()))->text, longest);
    EXPECT_FALSE(parse(encode("/lumenarc/open", "s", (longest + "x").c_str())));
    EXPECT_EQ(parse(encode("/lumenarc/mesh", "s", "m"))->text, "m"); // one character is a path
}

TEST(OscParser, RefusesWrongArgumentsUnknownAddressesAndNoise) {
    std::string why;
    const std::vector<Datagram> bad{
        encode("/lumenarc/play", "i", 1),
        encode("/lumenarc/rate", ""),
        encode("/lumenarc/rate", "s", "fast"),
        encode("/lumenarc/rate", "ff", 1.0f, 2.0f),
        encode("/lumenarc/rate", "f", 1000.0f),
        encode("/lumenarc/volume", "f", 1.5f),
        encode("/lumenarc/volume", "f", -0.5f),
        encode("/lumenarc/volume", "d", std::numeric_limits<double>::quiet_NaN()),
        encode("/lumenarc/seek", "f", -1.0f),
        encode("/lumenarc/projection", "i", 6),
        encode("/lumenarc/projection", "f", 1.5f),
        encode("/lumenarc/loop", "s", "yes"),
        encode("/lumenarc/open", "i", 3),
        encode("/lumenarc/open", "s", ""),
        encode("/lumenarc/open", "s", std::string(5000, 'x').c_str()),
        encode("/lumenarc/rewind", ""),
        encode("/other/play", ""),
    };
    for (const auto& d : bad) {
        EXPECT_FALSE(parse(d, &why)) << d.bytes.data();
        EXPECT_FALSE(why.empty());
    }
    const std::string noise = "GET / HTTP/1.1\r\n\r\n";
    EXPECT_FALSE(OscParser::parse(noise.data(), noise.size(), why));
    EXPECT_EQ(why, "not an OSC message");
    const std::string cut = "/lumenarc/rate\0\0,f\0\0\x3f"; // a float cut short
    EXPECT_FALSE(OscParser::parse(cut.data(), cut.size(), why));
    EXPECT_FALSE(OscParser::parse("", 0, why));
    // A bundle is not taken apart.
    EXPECT_FALSE(OscParser::parse("#bundle\0\0\0\0\0\0\0\0\1", 16, why));
    // What goes into the log is printable.
    const auto control = encode("/lumenarc/\n\x1b[31m", "");
    EXPECT_FALSE(parse(control, &why));
    EXPECT_EQ(why.find('\n'), std::string::npos);
    EXPECT_EQ(why.find('\x1b'), std::string::npos);
}

TEST(OscQueue, IsBoundedAndMergesRunsOfSetters) {
    OscQueue queue(4);
    OscCommand rate;
    rate.verb = Verb::Rate;
    rate.number = 1;
    EXPECT_EQ(queue.push(rate), OscQueue::Pushed::First);
    rate.number = 2;
    EXPECT_EQ(queue.push(rate), OscQueue::Pushed::Merged);
    OscCommand toggle;
    toggle.verb = Verb::Toggle;
    EXPECT_EQ(queue.push(toggle), OscQueue::Pushed::Queued);
    EXPECT_EQ(queue.push(toggle), OscQueue::Pushed::Queued); // toggles count, each of them
    rate.number = 3;
    EXPECT_EQ(queue.push(rate), OscQueue::Pushed::Queued);
    EXPECT_EQ(queue.size(), 4u);
    EXPECT_EQ(queue.push(toggle), OscQueue::Pushed::Dropped);
    rate.number = 4;
    EXPECT_EQ(queue.push(rate), OscQueue::Pushed::Merged); // full, but merged with the last
    const auto first = queue.take(3);
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].number, 2);
    EXPECT_EQ(first[1].verb, Verb::Toggle);
    const auto rest = queue.take(10);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].number, 4);
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_EQ(queue.push(toggle), OscQueue::Pushed::First);
}

TEST(LogThrottle, WritesAtMostOneLineASecondAndCountsTheRest) {
    LogThrottle log(1s);
    const auto t0 = LogThrottle::Clock::time_point{} + 100s;
    EXPECT_EQ(log.admit("a", t0), "a");
    EXPECT_EQ(log.admit("b", t0 + 10ms), "");
    EXPECT_EQ(log.admit("c", t0 + 999ms), "");
    EXPECT_EQ(log.admit("d", t0 + 1s), "d (and 2 more not shown)");
    EXPECT_EQ(log.admit("e", t0 + 1500ms), "");
    EXPECT_EQ(log.admit("f", t0 + 3s), "f (and 1 more not shown)");
}

// Bytes of datagrams on 127.0.0.1:port that no one has read yet, from the system's socket
// table; 0 when there is no such socket.
size_t unreadOn(uint16_t port) {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues;
        fields >> slot >> local >> remote >> state >> queues;
        const auto colon = local.find(':');
        if (colon != std::string::npos &&
            std::stoul(local.substr(colon + 1), nullptr, 16) == port) {
            return std::stoul(queues.substr(queues.find(':') + 1), nullptr, 16);
        }
    }
    return 0;
}

// The most lines the throttle lets out between `start` and now: the first at once, then at
// most one a second; two however soon.
size_t mostLinesSince(std::chrono::steady_clock::time_point start) {
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return std::max<size_t>(
        2,
        1 + static_cast<size_t>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count()));
}

// The real server on 127.0.0.1, with real datagrams, and the test playing the main thread.
class OscServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        MainThread::setPoster([this](MainThread::Task task) {
            std::lock_guard guard(m_mutex);
            m_tasks.push_back(std::move(task));
        });
        m_oldSink = DeveloperLog::setSink([this](std::string_view line) {
            std::lock_guard guard(m_mutex);
            m_log.emplace_back(line);
        });
    }
    void TearDown() override {
        server.stop();
        MainThread::setPoster(nullptr);
        DeveloperLog::setSink(m_oldSink);
    }
    // Runs what was posted to the main thread until `done` holds or the time is up.
    bool runMainUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::deque<MainThread::Task> tasks;
            {
                std::lock_guard guard(m_mutex);
                tasks.swap(m_tasks);
                maxPending = std::max(maxPending, tasks.size());
            }
            for (auto& task : tasks) {
                task();
            }
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }
    std::vector<std::string> log() {
        std::lock_guard guard(m_mutex);
        return m_log;
    }
    lo_address target() {
        return lo_address_new("127.0.0.1", std::to_string(server.port()).c_str());
    }

    std::vector<OscCommand> received;
    std::function<void(const OscCommand&)> onCommand; // runs after each command is recorded
    OscServer server{[this](const OscCommand& c) {
        received.push_back(c);
        if (onCommand) {
            onCommand(c);
        }
    }};
    size_t maxPending = 0;

private:
    std::mutex m_mutex;
    std::deque<MainThread::Task> m_tasks;
    std::vector<std::string> m_log;
    DeveloperLog::Sink m_oldSink;
};

TEST_F(OscServerTest, CarriesOutMessagesOnTheMainThreadAndAnswersStatus) {
    std::string why;
    ASSERT_TRUE(server.start("127.0.0.1", 0, why)) << why;
    ASSERT_NE(server.port(), 0);
    // The client listens on a port of its own for the reply.
    lo_server client = lo_server_new(nullptr, nullptr);
    ASSERT_NE(client, nullptr);
    lo_address to = target();
    lo_send_from(to, client, LO_TT_IMMEDIATE, "/lumenarc/volume", "f", 0.75f);
    lo_send_from(to, client, LO_TT_IMMEDIATE, "/lumenarc/status", "");
    ASSERT_TRUE(runMainUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received[0].verb, Verb::Volume);
    EXPECT_EQ(received[0].number, 0.75);
    ASSERT_EQ(received[1].verb, Verb::Status);
    server.replyStatus(received[1], "/shows/dome.mp4", 1.5f, 30.0f, 1.0f, true);

    struct Reply {
        std::string path;
        float position = 0, duration = 0, rate = 0;
        int looping = -1;
    } reply;
    lo_server_add_method(
        client, "/lumenarc/status", "sfffi",
        [](const char*, const char*, lo_arg** argv, int, lo_message, void* data) {
            auto* r = static_cast<Reply*>(data);
            // Copied out: liblo's arguments are not aligned for its own union.
            r->path = reinterpret_cast<const char*>(argv[0]);
            std::memcpy(&r->position, static_cast<const void*>(argv[1]), sizeof(float));
            std::memcpy(&r->duration, static_cast<const void*>(argv[2]), sizeof(float));
            std::memcpy(&r->rate, static_cast<const void*>(argv[3]), sizeof(float));
            std::memcpy(&r->looping, static_cast<const void*>(argv[4]), sizeof(int));
            return 0;
        },
        &reply);
    EXPECT_GT(lo_server_recv_noblock(client, 3000), 0);
    EXPECT_EQ(reply.path, "/shows/dome.mp4");
    EXPECT_EQ(reply.position, 1.5f);
    EXPECT_EQ(reply.duration, 30.0f);
    EXPECT_EQ(reply.rate, 1.0f);
    EXPECT_EQ(reply.looping, 1);
    lo_address_free(to);
    lo_server_free(client);
}

TEST_F(OscServerTest, IgnoresBadInputWithFewLogLinesAndOpensOnlyRegularFiles) {
    std::string why;
    ASSERT_TRUE(server.start("127.0.0.1", 0, why)) << why;
    lo_address to = target();
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < 50; ++k) {
        lo_send(to, "/lumenarc/volume", "s", "loud");
        lo_send(to, "/nowhere", "");
        lo_send(to, "/lumenarc/open", "s", "/dev/null");
        lo_send(to, "/lumenarc/mesh", "s", "/no/such/file.data");
        lo_send(to, "/lumenarc/open", "s", "/tmp");
    }
    // Not OSC at all, through a plain socket.
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const char noise[] = "\x00\x01garbage";
    sendto(fd, noise, sizeof noise, 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
    close(fd);
    lo_send(to, "/lumenarc/play", "");
    ASSERT_TRUE(runMainUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].verb, Verb::Play);
    // 252 bad datagrams: two lines when that takes well under two seconds, as it does on an
    // idle machine.
    const auto lines = log().size();
    EXPECT_LE(lines, mostLinesSince(start));
    ASSERT_FALSE(log().empty());
    EXPECT_NE(log()[0].find("OSC: ignored"), std::string::npos);
    lo_address_free(to);
}

TEST_F(OscServerTest, AFloodStaysBoundedAndTheLastValueWins) {
    std::string why;
    ASSERT_TRUE(server.start("127.0.0.1", 0, why)) << why;
    lo_address to = target();
    const auto start = std::chrono::steady_clock::now();
    // Ten thousand messages while the main thread is busy elsewhere.
    for (int k = 0; k < 10000; ++k) {
        if (k % 2 == 0) {
            lo_send(to, "/lumenarc/toggle", "");
        } else {
            lo_send(to, "/lumenarc/volume", "f", static_cast<float>(k % 100) / 100.0f);
        }
    }
    // Until the server has read them all (or the system dropped them).
    for (const auto deadline = std::chrono::steady_clock::now() + 10s;
         unreadOn(server.port()) > 0 && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(5ms);
    }
    runMainUntil([] { return false; }, 500ms); // whatever was kept
    // The queue kept no more than its bound, and one drain at a time was asked of the main
    // thread, however many messages came.
    EXPECT_GT(received.size(), 0u);
    EXPECT_LE(received.size(), 256u);
    EXPECT_LE(maxPending, 2u);
    const auto log = this->log();
    EXPECT_LE(log.size(), mostLinesSince(start));
    // And it still listens.
    lo_send(to, "/lumenarc/seek", "f", 7.0f);
    ASSERT_TRUE(runMainUntil([&] { return received.back().verb == Verb::Seek; }));
    EXPECT_EQ(received.back().number, 7.0);
    lo_address_free(to);
}

// A command that runs an event loop of its own (a modal window, the move into full screen)
// while more than a batch waits: the rest still come through that loop, each once, in order.
TEST_F(OscServerTest, ACommandThatRunsAnEventLoopLetsTheRestThroughInOrder) {
    std::string why;
    ASSERT_TRUE(server.start("127.0.0.1", 0, why)) << why;
    constexpr size_t kCount = 2 * OscServer::kBatch + 8;
    bool allThrough = false;
    onCommand = [&](const OscCommand& c) {
        if (received.size() == 1 && c.verb == Verb::Toggle) {
            allThrough = runMainUntil([&] { return received.size() == kCount; });
        }
    };
    lo_address to = target();
    lo_send(to, "/lumenarc/toggle", "");
    for (size_t k = 1; k < kCount; ++k) {
        lo_send(to, k % 2 == 0 ? "/lumenarc/play" : "/lumenarc/pause", "");
    }
    // All are waiting before the main thread takes the first.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (server.pending() < kCount && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(server.pending(), kCount);
    ASSERT_TRUE(runMainUntil([&] { return received.size() == kCount; }));
    EXPECT_TRUE(allThrough) << received.size() << " of " << kCount;
    for (size_t k = 1; k < received.size(); ++k) {
        EXPECT_EQ(received[k].verb, k % 2 == 0 ? Verb::Play : Verb::Pause) << k;
    }
    lo_address_free(to);
}

TEST(ReplyBudget, SpendsItsBurstThenRefillsAtItsRate) {
    ReplyBudget budget(1000, 2000); // 1000 bytes a second, 2000 at once
    const auto t0 = ReplyBudget::Clock::time_point{} + 100s;
    EXPECT_TRUE(budget.take(1500, t0));
    EXPECT_TRUE(budget.take(500, t0));
    EXPECT_FALSE(budget.take(1, t0));
    EXPECT_FALSE(budget.take(200, t0 + 100ms)); // 100 back
    EXPECT_TRUE(budget.take(100, t0 + 100ms));
    EXPECT_TRUE(budget.take(2000, t0 + 10s)); // never more than the burst
    EXPECT_FALSE(budget.take(1, t0 + 10s));
    EXPECT_FALSE(budget.take(2001, t0 + 60s));
}

// Status requests from a forged source make the player send to someone who never asked: with
// the longest path the reply is over a hundred times the request, so the replies keep to a
// budget.
TEST_F(OscServerTest, RepliesKeepToABudgetWhateverIsAsked) {
    std::string why;
    ASSERT_TRUE(server.start("127.0.0.1", 0, why)) << why;
    lo_server client = lo_server_new(nullptr, nullptr);
    ASSERT_NE(client, nullptr);
    lo_address to = target();
    lo_send_from(to, client, LO_TT_IMMEDIATE, "/lumenarc/status", "");
    ASSERT_TRUE(runMainUntil([&] { return received.size() == 1; }));
    const std::string path(4096, 'p');
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < 1000; ++k) {
        server.replyStatus(received[0], path, 1, 2, 1, false);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int replies = 0;
    while (lo_server_recv_noblock(client, 200) > 0) {
        ++replies;
    }
    EXPECT_GT(replies, 0);
    const double allowed = (32.0 * 1024 * (1 + seconds)) / 4096;
    EXPECT_LE(replies, allowed + 1) << seconds << " s";
    EXPECT_FALSE(log().empty()); // what was held back is said
    lo_address_free(to);
    lo_server_free(client);
}

TEST_F(OscServerTest, RefusesAnAddressItCannotBind) {
    std::string why;
    EXPECT_FALSE(server.start("192.0.2.1", 0, why)); // a documentation address, not ours
    EXPECT_FALSE(why.empty());
    OscServer other([](const OscCommand&) {});
    ASSERT_TRUE(server.start("127.0.0.1", 0, why)) << why;
    EXPECT_FALSE(other.start("127.0.0.1", server.port(), why)); // taken
}

} // namespace
} // namespace lumenarc
