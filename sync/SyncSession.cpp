#include "sync/SyncSession.h"

#include "base/DeveloperLog.h"
#include "base/MainThread.h"
#include "base/WallClock.h"
#include "playback/MpvMovie.h"
#include "sync/SyncedMovie.h"
#include "view/ThreadContract.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cmath>
#include <filesystem>
#include <random>

namespace lumenarc {
namespace {

constexpr int64_t kFastPing = 100'000'000; // until the offset is known well
constexpr int64_t kPing = 250'000'000;
constexpr int kFastPings = 8;
constexpr int64_t kWarnEvery = 10'000'000'000;

MovieIdentity identityOf(const SyncedMovie& movie) {
    const auto size = movie.naturalSize();
    const MovieTime duration = movie.duration();
    return MovieIdentity::ofFile(
        movie.path(), static_cast<int>(size.width), static_cast<int>(size.height),
        duration.scale > 0 ? static_cast<double>(duration.value) / duration.scale : 0.0);
}

// The address family of a numeric address, or AF_UNSPEC for none.
int familyOf(const std::string& address) {
    in6_addr bytes{};
    if (inet_pton(AF_INET, address.c_str(), &bytes) == 1) {
        return AF_INET;
    }
    return inet_pton(AF_INET6, address.c_str(), &bytes) == 1 ? AF_INET6 : AF_UNSPEC;
}

} // namespace

SyncSession::SyncSession(Settings settings)
    : m_settings(std::move(settings)),
      m_socket([this](const SyncMessage& message, const SyncAddress& from, int64_t arrived) {
          receive(message, from, arrived);
      }) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { turn(); });
}

SyncSession::~SyncSession() {
    stop();
}

bool SyncSession::start(std::string& why) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const bool leader = m_settings.role == Role::Leader;
    // A socket bound to an address of one family cannot reach the other: the leader is looked
    // up in the family of the bound address, and one without an address there is not found.
    const int family = familyOf(m_settings.bind);
    if (!leader && !SyncAddress::resolve(m_settings.leaderHost, m_settings.leaderPort, m_leader,
                                         why, family)) {
        why = "cannot find the leader " + m_settings.leaderHost +
              (family == AF_UNSPEC ? "" : " as an address of the family of " + m_settings.bind) +
              ": " + why;
        return false;
    }
    std::string bind = m_settings.bind;
    if (bind.empty()) {
        bind = !leader && m_leader.address.ss_family == AF_INET6 ? "::" : "0.0.0.0";
    }
    if (!m_settings.secretFile.empty()) {
        auto seal = DatagramSeal::fromFile(m_settings.secretFile, why);
        if (!seal) {
            why = "cannot use the sync secret " + m_settings.secretFile + ": " + why;
            return false;
        }
        m_socket.setSecret(std::move(*seal));
    }
    const uint16_t port = leader ? m_settings.port : 0;
    if (!m_socket.start(bind, port, leader, why)) {
        // A port already taken (another instance, another program) is named with its address.
        why = "cannot listen for sync on " + bind + " port " +
              (port != 0 ? std::to_string(port) : std::string("(any)")) + ": " + why;
        return false;
    }
    std::random_device random;
    m_session = random() | (uint64_t{random()} << 32);
    m_nonces.seed(random() | (uint64_t{random()} << 32));
    m_timer.start(0);
    return true;
}

void SyncSession::stop() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    m_timer.stop();
    m_socket.stop();
    m_player.reset();
    // The movie may outlive the session: from now on it is the decoder's own again.
    if (m_movie) {
        m_movie->setTaken(false);
        m_movie.reset();
    }
}

void SyncSession::movieOpened(const std::shared_ptr<SyncedMovie>& movie) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_movie) {
        m_movie->setTaken(false);
    }
    m_player.reset();
    m_opening.clear();
    m_movie = movie;
    if (!movie) {
        return;
    }
    m_player = std::make_unique<SyncPlayer>(movie->movie());
    m_player->setRefreshPeriod(m_refresh);
    movie->setTaken(true);
    const MovieIdentity identity = identityOf(*movie);
    if (m_settings.role == Role::Leader) {
        SyncTimeline timeline;
        timeline.movie = identity;
        const auto status = movie->movie()->status();
        // The show starts a lead time from now, so that the followers start with it; until
        // then every machine holds the first frame.
        const int64_t now = WallClock::now();
        const double position =
            static_cast<double>(movie->movie()->currentTime().value) / MpvMovie::kTimeScale;
        timeline.reset({now, position, 1.0, true, status->loops()});
        timeline.after = {now + kLead, position, 1.0, false, status->loops()};
        m_timeline = timeline;
        m_player->setTimeline(timeline, 0);
        publish(now);
    } else {
        movie->movie()->setRate(0.0f); // waits on its first frame for the leader
        m_refused.clear();
        if (m_timeline && followsMovie(m_timeline->movie)) {
            const auto best = m_offset.best();
            m_player->setTimeline(*m_timeline, best ? best->offset : 0);
        }
    }
    changed();
}

void SyncSession::requestRate(float rate) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!std::isnan(rate)) {
        rate = std::clamp(rate, -static_cast<float>(SyncMessage::kMaxRate),
                          static_cast<float>(SyncMessage::kMaxRate));
    }
    if (m_settings.role == Role::Follower) {
        forward("rate", rate);
        return;
    }
    change([rate](SyncSegment& next) {
        next.paused = rate == 0.0f || std::isnan(rate);
        if (!next.paused) {
            next.rate = rate;
        }
    });
}

void SyncSession::requestSeek(double seconds) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_settings.role == Role::Follower) {
        forward("seek", seconds);
        return;
    }
    change([seconds](SyncSegment& next) { next.position = std::max(0.0, seconds); });
}

void SyncSession::requestLoop(bool looping) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_settings.role == Role::Follower) {
        forward("loop", looping ? 1 : 0);
        return;
    }
    change([looping](SyncSegment& next) { next.looping = looping; });
}

void SyncSession::requestStep(int frames) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (m_settings.role == Role::Follower) {
        forward("step", frames);
        return;
    }
    const double period = m_player ? m_player->framePeriod() : 1.0 / 30;
    change([frames, period](SyncSegment& next) {
        if (next.paused) { // steps are for a paused show, as the keys are
            next.position = std::max(0.0, next.position + frames * period);
        }
    });
}

float SyncSession::requestedRate() const {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    if (!m_timeline) {
        return 0.0f;
    }
    const SyncSegment& next = m_timeline->after;
    return next.paused ? 0.0f : static_cast<float>(next.rate);
}

void SyncSession::change(const std::function<void(SyncSegment&)>& edit) {
    if (!m_timeline || !m_player) {
        return;
    }
    const int64_t now = WallClock::now();
    edit(m_timeline->change(now, kLead));
    m_player->setTimeline(*m_timeline, 0);
    publish(now);
    changed();
    m_timer.start(0);
}

void SyncSession::forward(const std::string& verb, double value) {
    SyncMessage message;
    message.kind = SyncMessage::Kind::Command;
    message.verb = verb;
    message.value = value;
    if (!m_cookie) {
        log("command", "sync: the leader has not answered yet; " + verb + " is not passed on");
        return;
    }
    message.cookie = *m_cookie;
    m_socket.send(message, m_leader);
}

void SyncSession::say(const std::string& line) {
    if (!line.empty()) {
        DeveloperLog::write(line);
    }
}

void SyncSession::changed() {
    if (m_changeHook && m_timeline) {
        m_changeHook(m_timeline->after.looping);
    }
}

void SyncSession::receive(const SyncMessage& message, const SyncAddress& from, int64_t arrived) {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    // The socket passes a leader only pings and commands with a true cookie.
    if (m_settings.role == Role::Leader) {
        if (message.kind == SyncMessage::Kind::Ping) {
            heardFollower(from, arrived);
        } else if (message.kind == SyncMessage::Kind::Command) {
            runCommand(message.verb, message.value);
        }
        return;
    }
    // Only the leader configured may steer this machine.
    if (!(from == m_leader)) {
        sayMismatch(from);
        return;
    }
    switch (message.kind) {
    case SyncMessage::Kind::Cookie:
        m_cookie = message.cookie;
        m_cookieAt = arrived;
        break;
    case SyncMessage::Kind::Pong:
        receivePong(message, arrived);
        break;
    case SyncMessage::Kind::Timeline:
        receiveTimeline(message, arrived);
        break;
    default:
        break;
    }
}

void SyncSession::heardFollower(const SyncAddress& from, int64_t arrived) {
    switch (m_followers.heard(from, arrived)) {
    case SyncFollowers::Heard::HostFull:
        log("followers", "sync: " + from.host() + " has " +
                             std::to_string(SyncFollowers::kMaxPerHost) + " followers already; " +
                             from.describe() + " is not sent timelines");
        break;
    case SyncFollowers::Heard::TableFull:
        log("followers", "sync: " + std::to_string(SyncFollowers::kMaxTotal) +
                             " followers already; " + from.describe() + " is not sent timelines");
        break;
    default:
        break;
    }
}

void SyncSession::sayMismatch(const SyncAddress& from) {
    // A leader with several addresses may answer from another than the one it was given.
    if (!m_saidMismatch && UdpListener::portOf(from.address) == m_settings.leaderPort) {
        m_saidMismatch = true;
        log("mismatch", "sync: ignoring " + from.describe() + ", which is not the leader " +
                            m_leader.describe() +
                            "; give the leader by the address it answers from");
    }
}

void SyncSession::runCommand(const std::string& verb, double value) {
    // A follower's command is the leader's own: the controls show it through the change hook.
    // The player's ranges, and nothing sent for a command that changes nothing.
    if (!m_timeline || !std::isfinite(value)) {
        return;
    }
    const SyncSegment& next = m_timeline->after;
    if (verb == "rate" && std::fabs(value) <= SyncMessage::kMaxRate &&
        static_cast<float>(value) != requestedRate()) {
        requestRate(static_cast<float>(value));
    } else if (verb == "seek" && value >= 0) {
        const double duration = m_timeline->movie.duration;
        requestSeek(duration > 0 ? std::min(value, duration) : value);
    } else if (verb == "loop" && (value != 0) != next.looping) {
        requestLoop(value != 0);
    } else if (verb == "step" && next.paused) {
        requestStep(value < 0 ? -1 : 1);
    }
}

void SyncSession::receivePong(const SyncMessage& message, int64_t arrived) {
    // Only the answer to a ping of ours counts, with our own t1.
    const auto ping = std::find_if(m_pings.begin(), m_pings.end(),
                                   [&](const auto& sent) { return sent.first == message.nonce; });
    if (ping == m_pings.end()) {
        return;
    }
    const int64_t t1 = ping->second;
    m_pings.erase(ping);
    if (!m_offset.add(t1, message.t2, message.t3, arrived)) {
        return;
    }
    m_lastPong = arrived;
    ++m_pongs;
    const auto best = m_offset.best();
    if (best && m_pongs >= kFastPings &&
        ClockOffset::surelyBeyond(*best, ClockOffset::kWarnAbove) &&
        arrived - m_lastOffsetWarning > kWarnEvery) {
        m_lastOffsetWarning = arrived;
        log("clock", "sync: this machine's clock is " + std::to_string(best->offset / 1000) +
                         " us behind the leader's (round trip " +
                         std::to_string(best->roundTrip / 1000) +
                         " us); keep the clocks in step with chrony or PTP");
    }
}

void SyncSession::receiveTimeline(const SyncMessage& message, int64_t arrived) {
    const auto best = m_offset.best();
    if (!message.timeline.plausibleAt(arrived + (best ? best->offset : 0))) {
        log("timeline", "sync: ignoring a timeline from the leader whose changes are out of "
                        "reach (the next more than 5 s ahead, or the last more than a year back)");
        return;
    }
    const auto following = m_order.session();
    switch (m_order.admit(message.session, message.sequence)) {
    case SyncSequence::Verdict::Stale:
    case SyncSequence::Verdict::Candidate:
        return; // late, repeated, or not yet confirmed by a second
    case SyncSequence::Verdict::TakeOver:
        if (following != message.session) {
            // A leader (re)started, perhaps on another machine.
            m_triedOpen.clear();
            m_triedOrder.clear();
            m_offset.clear();
            m_pongs = 0; // measure its clock again, quickly
        }
        break;
    case SyncSequence::Verdict::Next:
        break;
    }
    say(m_watch.heard(arrived, m_leader.describe()));
    // Timelines come up to 50 times a second: the controls change only when the show does.
    const bool showChanged = !m_timeline || !(m_timeline->after == message.timeline.after);
    m_timeline = message.timeline;
    if (showChanged) {
        changed();
    }
    if (!m_player || !followsMovie(message.timeline.movie)) {
        return;
    }
    const auto measured = m_offset.best();
    m_player->setTimeline(message.timeline, measured ? measured->offset : 0);
}

bool SyncSession::followsMovie(const MovieIdentity& movie) {
    const MovieIdentity own = identityOf(*m_movie);
    if (own.sameAs(movie)) {
        m_refused.clear();
        m_followed = true;
        return true;
    }
    // A leader that moves on to another movie takes its followers along; a follower started
    // on the wrong movie is told so instead.
    if (m_followed && own.name != movie.name && openLeadersMovie(movie)) {
        return false; // on its way
    }
    const std::string key = movie.describe();
    if (m_refused != key) {
        m_refused = key;
        log("refused", "sync: not following: the leader plays " + key + ", this instance has " +
                           own.describe());
    }
    return false;
}

bool SyncSession::openLeadersMovie(const MovieIdentity& movie) {
    if (m_opening == movie.name) {
        return true;
    }
    if (!m_opener || !m_triedOpen.insert(movie.name).second ||
        movie.name.find('/') != std::string::npos || movie.name == "." || movie.name == "..") {
        return false;
    }
    m_triedOrder.push_back(movie.name);
    if (m_triedOrder.size() > kMaxTried) {
        m_triedOpen.erase(m_triedOrder.front());
        m_triedOrder.pop_front();
    }
    std::set<std::string> folders = m_folders;
    if (m_movie) {
        folders.insert(std::filesystem::path(m_movie->path()).parent_path().string());
    }
    for (const std::string& folder : folders) {
        const auto candidate = std::filesystem::path(folder) / movie.name;
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) {
            log("opening", "sync: the leader changed to " + movie.describe() + "; opening " +
                               candidate.string());
            m_opening = movie.name;
            m_opener(candidate.string());
            return true;
        }
    }
    return false;
}

void SyncSession::turn() {
    LUMENARC_ASSERT_THREAD(MainThread::isCurrent());
    const int64_t now = WallClock::now();
    int64_t next = now + SyncPlayer::kTurn;
    if (m_player) {
        next = m_player->tick(now);
    }
    if (m_settings.role == Role::Leader) {
        // A change on its way goes out often, so that a lossy network still brings it in time.
        const bool pending = m_timeline && m_timeline->after.anchor > now;
        if (now - m_lastPublished >= (pending ? kPublishPending : kPublishEvery)) {
            publish(now);
        }
    } else {
        say(m_watch.check(now, m_leader.describe()));
        ping(now);
    }
    const int64_t wait = std::max<int64_t>(0, next - WallClock::now());
    m_timer.start(static_cast<int>((wait + 999'999) / 1'000'000));
}

void SyncSession::ping(int64_t now) {
    if (now - m_lastPing < (m_pongs < kFastPings ? kFastPing : kPing)) {
        return;
    }
    m_lastPing = now;
    // A cookie holds for a while, and not across a restart of the leader: ask again in time,
    // and when the pings go unanswered.
    if (!m_cookie || now - m_cookieAt > kRejoin ||
        now - std::max(m_lastPong, m_cookieAt) > kUnanswered) {
        join(now);
    }
    if (!m_cookie) {
        return;
    }
    SyncMessage message;
    message.kind = SyncMessage::Kind::Ping;
    message.t1 = now;
    message.nonce = m_nonces();
    message.cookie = *m_cookie;
    m_pings.emplace_back(message.nonce, now);
    if (m_pings.size() > kPingsAwaited) {
        m_pings.pop_front();
    }
    m_socket.send(message, m_leader);
}

void SyncSession::join(int64_t now) {
    if (now - m_lastJoin < kFastPing) {
        return;
    }
    m_lastJoin = now;
    SyncMessage message;
    message.kind = SyncMessage::Kind::Join;
    m_socket.send(message, m_leader);
}

void SyncSession::publish(int64_t now) {
    m_lastPublished = now;
    if (!m_timeline) {
        return;
    }
    SyncMessage message;
    message.kind = SyncMessage::Kind::Timeline;
    message.session = m_session;
    message.sequence = ++m_sequence;
    message.timeline = *m_timeline;
    m_followers.expire(now);
    m_followers.forEach([&](const SyncAddress& follower) { m_socket.send(message, follower); });
}

} // namespace lumenarc
