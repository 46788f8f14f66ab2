#include "AppSession.h"
#include "E2EMovies.h"
#include "E2EPictures.h"
#include "RemoteSupport.h"
#include "playback/TestMovies.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <thread>

namespace lumenarc {
namespace {

using namespace std::chrono_literals;
using test::AppSession;
using test::E2EPictures;
using test::OscClient;
using Status = OscClient::Status;

// The real player under Xvfb, driven by real OSC datagrams on 127.0.0.1.
class OscE2E : public ::testing::Test {
protected:
    std::string movie(const std::string& name, double seconds = 30) {
        return test::squareMovie(app, name, seconds);
    }
    std::string prefs() {
        test::ProcessOptions options;
        options.env = app.environment();
        return test::runProcess({test::binPath("lumenarc-prefs"), "show"}, options).out;
    }
    // Resident memory of the player, in kB.
    long residentKb() {
        std::ifstream status("/proc/" + std::to_string(app.process().pid()) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("VmRSS:", 0) == 0) {
                return std::stol(line.substr(6));
            }
        }
        return -1;
    }
    static bool near(double a, double b, double within) { return std::fabs(a - b) <= within; }

    AppSession app;
    uint16_t port = test::freeUdpPort();
};

TEST_F(OscE2E, EveryMessageActsOnThePlayer) {
    ASSERT_TRUE(app.ok());
    const auto a = movie("a.mp4"), b = movie("b.mp4"), c = movie("c.mp4"), d = movie("d.mp4");
    const auto mesh = app.home().write("left.data", E2EPictures::leftHalfMesh());
    app.start({"--osc-port", std::to_string(port), a, b, c});
    const auto window = app.waitForMainWindow("a.mp4 \\(1/3\\)");
    ASSERT_FALSE(window.empty()) << app.process().errors();
    OscClient osc("127.0.0.1", port);

    auto s = osc.waitForStatus([](const Status& s) { return s.duration > 0; });
    ASSERT_TRUE(s) << app.process().errors();
    EXPECT_EQ(s->path, a);
    EXPECT_TRUE(near(s->duration, 30, 0.5)) << s->duration;
    EXPECT_EQ(s->rate, 1.0f);
    EXPECT_EQ(s->looping, 0);

    // pause, play, toggle, rate
    osc.send("/lumenarc/pause", "");
    EXPECT_EQ(osc.waitForStatus([](const Status& s) { return s.rate == 0; }).value().rate, 0.0f);
    const auto area = app.viewArea();
    const auto still = app.waitForStill(area);
    EXPECT_TRUE(app.staysAs(area, still, 700ms)) << "moving after /lumenarc/pause";
    osc.send("/lumenarc/play", "");
    EXPECT_EQ(osc.waitForStatus([](const Status& s) { return s.rate == 1; }).value().rate, 1.0f);
    osc.send("/lumenarc/toggle", "");
    EXPECT_EQ(osc.waitForStatus([](const Status& s) { return s.rate == 0; }).value().rate, 0.0f);
    osc.send("/lumenarc/toggle", "");
    EXPECT_EQ(osc.waitForStatus([](const Status& s) { return s.rate == 1; }).value().rate, 1.0f);
    osc.send("/lumenarc/rate", "f", 2.0f);
    EXPECT_EQ(osc.waitForStatus([](const Status& s) { return s.rate == 2; }).value().rate, 2.0f);

    // seek, loop
    osc.send("/lumenarc/pause", "");
    osc.send("/lumenarc/seek", "f", 12.0f);
    s = osc.waitForStatus([](const Status& s) { return near(s.position, 12, 0.2); });
    EXPECT_TRUE(near(s->position, 12, 0.2)) << s->position;
    osc.send("/lumenarc/loop", "i", 1);
    EXPECT_EQ(osc.waitForStatus([](const Status& s) { return s.looping == 1; }).value().looping, 1);
    osc.send("/lumenarc/loop", "i", 0);
    EXPECT_EQ(osc.waitForStatus([](const Status& s) { return s.looping == 0; }).value().looping, 0);

    // grid, lines, readout, projection and mesh show in the paused picture
    E2EPictures::redraw(app, area);
    const auto plain = app.waitForStill(area);
    ASSERT_TRUE(E2EPictures::lit(plain, area, 0.5, 0.5));
    const auto differs = [&](const std::vector<uint8_t>& p) { return p != plain; };
    const auto same = [&](const std::vector<uint8_t>& p) { return p == plain; };
    // Messages are carried out in order: once a status request is answered, so are the ones
    // sent before it.
    const auto carriedOut = [&] { osc.status(); };
    for (const char* path : {"/lumenarc/grid", "/lumenarc/lines"}) {
        osc.send(path, "i", 1);
        carriedOut();
        E2EPictures::redraw(app, area);
        EXPECT_NE(app.waitForView(area, differs), plain) << path << " 1";
        osc.send(path, "i", 0);
        carriedOut();
        E2EPictures::redraw(app, area);
        EXPECT_EQ(app.waitForView(area, same), plain) << path << " 0";
    }
    osc.send("/lumenarc/readout", "i", 1);
    carriedOut();
    E2EPictures::redraw(app, area);
    const auto readout = [&](const std::vector<uint8_t>& p) {
        return E2EPictures::readoutPixels(p, area) > 30;
    };
    EXPECT_TRUE(readout(app.waitForView(area, readout))) << "no readout";
    osc.send("/lumenarc/readout", "i", 0);
    carriedOut();
    E2EPictures::redraw(app, area);
    EXPECT_EQ(app.waitForView(area, same), plain);
    osc.send("/lumenarc/projection", "i", 11); // side-by-side stereo: a gap in the middle
    carriedOut();
    E2EPictures::redraw(app, area);
    const auto gap = [&](const std::vector<uint8_t>& p) {
        return !E2EPictures::lit(p, area, 0.47, 0.5);
    };
    EXPECT_TRUE(gap(app.waitForView(area, gap))) << "/lumenarc/projection 11";
    osc.send("/lumenarc/projection", "i", 1);
    carriedOut();
    E2EPictures::redraw(app, area);
    EXPECT_EQ(app.waitForView(area, same), plain) << "/lumenarc/projection 1";
    osc.send("/lumenarc/mesh", "s", mesh.c_str());
    carriedOut();
    E2EPictures::redraw(app, area);
    const auto leftOnly = [&](const std::vector<uint8_t>& p) {
        return E2EPictures::lit(p, area, 0.25, 0.5) && !E2EPictures::lit(p, area, 0.75, 0.5);
    };
    EXPECT_TRUE(leftOnly(app.waitForView(area, leftOnly))) << "/lumenarc/mesh";

    // volume (shown by the preferences saved at the end, as the volume slider's)
    osc.send("/lumenarc/volume", "f", 0.25f);

    // next, previous, open: the title
    osc.send("/lumenarc/next", "");
    EXPECT_FALSE(app.waitForMainWindow("b.mp4 \\(2/3\\)").empty());
    EXPECT_EQ(osc.waitForStatus([&](const Status& s) { return s.path == b; }).value().path, b);
    osc.send("/lumenarc/previous", "");
    EXPECT_FALSE(app.waitForMainWindow("a.mp4 \\(1/3\\)").empty());
    osc.send("/lumenarc/open", "s", d.c_str());
    EXPECT_FALSE(app.waitForMainWindow("d.mp4").empty());
    EXPECT_EQ(osc.waitForStatus([&](const Status& s) { return s.path == d; }).value().path, d);
    (void)c;

    // quit
    osc.send("/lumenarc/quit", "");
    EXPECT_EQ(app.process().wait(20s), 0) << app.process().errors();
    EXPECT_NE(prefs().find("Volume=0.25"), std::string::npos) << prefs();
}

TEST_F(OscE2E, FullScreenGoesFullScreenAndAQuitRightAfterEndsInOrder) {
    ASSERT_TRUE(app.ok());
    app.start({"--osc-port", std::to_string(port), movie("show.mp4", 10)});
    ASSERT_FALSE(app.waitForMainWindow("show.mp4").empty()) << app.process().errors();
    OscClient osc("127.0.0.1", port);
    ASSERT_TRUE(osc.waitForStatus([](const Status& s) { return s.rate == 1; }));
    EXPECT_TRUE(app.x().waitForWindow("^Lumenarc Full Screen$", 500ms).empty());
    osc.send("/lumenarc/fullscreen", "");
    const auto full = app.x().waitForWindow("^Lumenarc Full Screen$", 10s);
    ASSERT_FALSE(full.empty()) << app.process().errors();
    const auto r = app.geometry(full);
    EXPECT_EQ(r.width, 1280);
    EXPECT_EQ(r.height, 1024);
    // At once: the windows close while the render thread still draws into the one just moved.
    osc.send("/lumenarc/quit", "");
    EXPECT_EQ(app.process().wait(20s), 0) << app.process().errors();
}

TEST_F(OscE2E, NoiseAndAFloodLeaveItPlaying) {
    ASSERT_TRUE(app.ok());
    // Under AddressSanitizer, freed memory is held back for a while; here it is not, so that
    // the resident size measures what the player keeps.
    app.start({"--osc-port", std::to_string(port), movie("show.mp4", 60)}, "",
              {{"ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1:quarantine_size_mb=0:"
                                "thread_local_quarantine_size_kb=0"}});
    ASSERT_FALSE(app.waitForMainWindow("show.mp4").empty()) << app.process().errors();
    OscClient osc("127.0.0.1", port);
    ASSERT_TRUE(osc.waitForStatus([](const Status& s) { return s.rate == 1; }));
    const auto area = app.viewArea();

    // Not OSC, a wrong argument, an unknown address, a file that is not there.
    const auto start = std::chrono::steady_clock::now();
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string noise = "\x01\x02 this is not a message";
    sendto(fd, noise.data(), noise.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(fd);
    osc.send("/lumenarc/rate", "s", "fast");
    osc.send("/lumenarc/explode", "");
    osc.send("/lumenarc/open", "s", "/no/such/movie.mp4");
    osc.send("/lumenarc/mesh", "s", "/etc");
    EXPECT_TRUE(app.waitForLog("OSC: ignored", 5s)) << app.process().errors();

    // Measured once pictures change on screen: the first ones drawn set up what the drawing
    // keeps (8 MB of it when the machine is busy and they come late).
    const auto shown = app.viewPixels(area);
    ASSERT_NE(app.waitForView(area, [&](const auto& p) { return p != shown; }), shown)
        << "not playing before the flood";
    const long before = residentKb();
    for (int k = 0; k < 10000; ++k) {
        switch (k % 4) {
        case 0:
            osc.send("/lumenarc/play", "");
            break;
        case 1:
            osc.send("/lumenarc/volume", "f", static_cast<float>(k % 10) / 10.0f);
            break;
        case 2:
            osc.send("/lumenarc/rate", "f", 1.0f);
            break;
        default:
            osc.send("/lumenarc/readout", "i", 0);
            break;
        }
    }
    const auto s = osc.waitForStatus([](const Status& s) { return s.rate == 1; });
    ASSERT_TRUE(s) << "no answer after the flood";
    EXPECT_EQ(s->rate, 1.0f);
    const auto first = app.viewPixels(area);
    EXPECT_NE(app.waitForView(area, [&](const auto& p) { return p != first; }), first)
        << "not playing after the flood";
    EXPECT_TRUE(app.process().running());
    const long after = residentKb();
    std::printf("resident: %ld kB before the flood, %ld kB after\n", before, after);
    EXPECT_LT(after - before, 8 * 1024) << before << " kB before, " << after << " kB after";
    // Bad input is logged at most once a second, from the first bad datagram on.
    const auto log = app.process().errors();
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    size_t lines = 0;
    for (size_t at = log.find("OSC: ignored"); at != std::string::npos;
         at = log.find("OSC: ignored", at + 1)) {
        ++lines;
    }
    EXPECT_LE(lines, 3u + static_cast<size_t>(seconds.count() + 2)) << log;
}

TEST_F(OscE2E, ListensOnlyWhereAsked) {
    ASSERT_TRUE(app.ok());
    const auto path = movie("show.mp4", 10);
    app.start({"--osc-port", std::to_string(port), "--osc-bind", "127.0.0.2", path});
    ASSERT_FALSE(app.waitForMainWindow("show.mp4").empty()) << app.process().errors();
    OscClient there("127.0.0.2", port);
    const auto s = there.waitForStatus([](const Status& s) { return !s.path.empty(); });
    ASSERT_TRUE(s);
    EXPECT_EQ(s->path, path);
    OscClient elsewhere("127.0.0.1", port);
    EXPECT_FALSE(elsewhere.status(1s));
}

TEST_F(OscE2E, APortInUseIsAClearError) {
    ASSERT_TRUE(app.ok());
    OscClient holder("127.0.0.1", port);
    lo_server taken = lo_server_new_with_proto(std::to_string(port).c_str(), LO_UDP, nullptr);
    ASSERT_NE(taken, nullptr);
    app.start({"--osc-port", std::to_string(port)});
    EXPECT_EQ(app.process().wait(20s), 1);
    EXPECT_NE(app.process().errors().find("cannot listen for OSC"), std::string::npos)
        << app.process().errors();
    lo_server_free(taken);
}

} // namespace
} // namespace lumenarc
