#pragma once

#include "sync/ClockOffset.h"
#include "sync/LeaderWatch.h"
#include "sync/SyncFollowers.h"
#include "sync/SyncLog.h"
#include "sync/SyncPlayer.h"
#include "sync/SyncSequence.h"
#include "sync/SyncSocket.h"
#include "sync/SyncTimeline.h"

#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace lumenarc {

class SyncedMovie;

// This machine's part in a show of several: the leader publishes the timeline of the movie it
// plays, every follower plays the same movie on it. Both play through a SyncPlayer, so the
// leader's picture keeps to its own timeline as closely as the followers' do. Main thread only.
class SyncSession {
public:
    enum class Role { Leader, Follower };
    struct Settings {
        Role role = Role::Leader;
        std::string bind;       // numeric address of this machine's sync socket
        uint16_t port = 0;      // the leader's port; a follower's own is chosen by the system
        std::string leaderHost; // follower: where the leader listens
        uint16_t leaderPort = 0;
        std::string secretFile; // every machine's copy of the show's secret, or none
    };
    // Follower: opens the leader's movie from this file.
    using Opener = std::function<void(const std::string& path)>;
    // The requested rate or looping changed (the controls show it).
    using ChangeHook = std::function<void(bool looping)>;

    explicit SyncSession(Settings settings);
    ~SyncSession();
    SyncSession(const SyncSession&) = delete;
    SyncSession& operator=(const SyncSession&) = delete;

    bool start(std::string& why);
    void stop();
    Role role() const { return m_settings.role; }
    uint16_t port() const { return m_socket.port(); }

    void setOpener(Opener opener) { m_opener = std::move(opener); }
    void setChangeHook(ChangeHook hook) { m_changeHook = std::move(hook); }
    // Follower: folders where a movie the leader changes to is looked for.
    void addMovieFolder(const std::string& folder) { m_folders.insert(folder); }

    // A movie has opened and is on show: the session takes its transport.
    void movieOpened(const std::shared_ptr<SyncedMovie>& movie);
    // An open failed; the movie on show stays.
    void movieOpenFailed() { m_opening.clear(); }

    // A frame of the movie on show went on screen at `wall` (our wall clock).
    void framePresented(int64_t wall, double seconds) {
        if (m_player) {
            m_player->onPresented(wall, seconds);
        }
    }
    // The display's refresh period, nanoseconds: the nominal one at first, then as measured.
    void setRefreshPeriod(int64_t period) {
        m_refresh = period;
        if (m_player) {
            m_player->setRefreshPeriod(period);
        }
    }

    // The transport, from the movie on show.
    void requestRate(float rate);
    void requestSeek(double seconds);
    void requestLoop(bool looping);
    void requestStep(int frames);
    // The rate the show plays at or is about to: 0 while it pauses.
    float requestedRate() const;
    // Follower: the leader's clock as measured.
    const ClockOffset& clockOffset() const { return m_offset; }

    // Changes are scheduled this far ahead: every follower hears of them before they are due.
    static constexpr int64_t kLead = 200'000'000;
    static constexpr int64_t kPublishEvery = 100'000'000;
    static constexpr int64_t kPublishPending = 20'000'000;
    // A follower asks for a new cookie this often, and whenever its pings go unanswered.
    static constexpr int64_t kRejoin = 10'000'000'000;
    static constexpr int64_t kUnanswered = 1'000'000'000;
    // Pings awaiting their pong at most; older ones are given up.
    static constexpr size_t kPingsAwaited = 16;
    // The leader's movies a follower looked for, remembered at most.
    static constexpr size_t kMaxTried = 64;

private:
    void receive(const SyncMessage& message, const SyncAddress& from, int64_t arrived);
    void receiveTimeline(const SyncMessage& message, int64_t arrived);
    void heardFollower(const SyncAddress& from, int64_t arrived);
    void sayMismatch(const SyncAddress& from);
    void receivePong(const SyncMessage& message, int64_t arrived);
    // Leader: a transport command a follower passed on ("rate", "seek", "loop", "step").
    void runCommand(const std::string& verb, double value);
    void turn();
    void ping(int64_t now);
    void join(int64_t now);
    void publish(int64_t now);
    void change(const std::function<void(SyncSegment&)>& edit);
    void forward(const std::string& verb, double value);
    void changed();
    bool followsMovie(const MovieIdentity& movie);
    // Starts opening the leader's movie from a file of its name; true while one is opening.
    bool openLeadersMovie(const MovieIdentity& movie);
    void log(const std::string& kind, const std::string& text) { m_log.write(kind, text); }
    // A line that comes once per change of state, so needs no throttle; nothing when empty.
    static void say(const std::string& line);

    Settings m_settings;
    SyncSocket m_socket;
    SyncAddress m_leader;
    QTimer m_timer;
    Opener m_opener;
    ChangeHook m_changeHook;
    std::set<std::string> m_folders;
    int64_t m_refresh = 16'666'667;

    std::shared_ptr<SyncedMovie> m_movie;
    std::unique_ptr<SyncPlayer> m_player;
    std::optional<SyncTimeline> m_timeline; // the leader's, or the last heard from it
    SyncLog m_log;

    // Leader.
    uint64_t m_session = 0;
    int64_t m_sequence = 0;
    int64_t m_lastPublished = 0;
    SyncFollowers m_followers;

    // Follower.
    SyncSequence m_order;
    ClockOffset m_offset;
    std::optional<SyncMessage::Cookie> m_cookie; // the leader's proof of this address
    int64_t m_cookieAt = 0;
    int64_t m_lastJoin = 0;
    int64_t m_lastPing = 0;
    int64_t m_lastPong = 0;
    std::deque<std::pair<uint64_t, int64_t>> m_pings; // awaited: nonce and t1
    std::mt19937_64 m_nonces;
    LeaderWatch m_watch; // for the lines that say when the leader is heard and lost
    bool m_saidMismatch = false;
    int m_pongs = 0;
    int64_t m_lastOffsetWarning = 0;
    std::string m_refused;                // the leader's movie last refused, to say so once
    bool m_followed = false;              // this machine's movie has matched the leader's
    std::set<std::string> m_triedOpen;    // the leader's movies looked for, each once
    std::deque<std::string> m_triedOrder; // the same, oldest first
    std::string m_opening;                // the leader's movie being opened here
};

} // namespace lumenarc
