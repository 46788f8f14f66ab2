#include "remote/MprisPlayer.h"

#include "base/DeveloperLog.h"
#include "base/LogThrottle.h"

#include <QFileInfo>
#include <QUrl>
#include <cmath>

namespace lumenarc {
namespace {

// A movie the desktop asked for that does not open is logged, not put up as an alert: a
// remote's error must not hold the player in a modal loop.
void report(const std::string& why) {
    static LogThrottle log;
    log.write("MPRIS: " + why);
}

} // namespace

MprisPlayer::MprisPlayer(QObject* object, PlayerCommands& commands)
    : QDBusAbstractAdaptor(object), m_commands(commands) {}

QString MprisPlayer::playbackStatus(const Status& status) {
    if (!status.hasMovie) {
        return QStringLiteral("Stopped");
    }
    return status.rate != 0.0f ? QStringLiteral("Playing") : QStringLiteral("Paused");
}

QString MprisPlayer::loopStatus(const Status& status) {
    return status.looping ? QStringLiteral("Track") : QStringLiteral("None");
}

double MprisPlayer::rate(const Status& status) {
    // Paused, the player would resume at the normal rate; backward play has no MPRIS rate.
    if (!(status.rate > 0.0f)) {
        return 1.0;
    }
    return std::clamp(static_cast<double>(status.rate), kMinimumRate, kMaximumRate);
}

qlonglong MprisPlayer::microseconds(double seconds) {
    return std::isfinite(seconds) ? static_cast<qlonglong>(std::llround(seconds * 1e6)) : 0;
}

QDBusObjectPath MprisPlayer::trackId(const Status& status) {
    if (!status.hasMovie) {
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    }
    return QDBusObjectPath(
        QStringLiteral("/org/mpris/MediaPlayer2/lumenarc/track/%1").arg(status.openCount));
}

QVariantMap MprisPlayer::metadata(const Status& status) {
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId(status)));
    if (!status.hasMovie) {
        return map;
    }
    map.insert(QStringLiteral("mpris:length"), microseconds(status.duration));
    map.insert(QStringLiteral("xesam:title"), QString::fromStdString(status.title));
    if (!status.path.empty()) {
        map.insert(
            QStringLiteral("xesam:url"),
            QUrl::fromLocalFile(QFileInfo(QString::fromStdString(status.path)).absoluteFilePath())
                .toString(QUrl::FullyEncoded));
    }
    return map;
}

QVariantMap MprisPlayer::announced(const Status& status) {
    return {
        {QStringLiteral("PlaybackStatus"), playbackStatus(status)},
        {QStringLiteral("LoopStatus"), loopStatus(status)},
        {QStringLiteral("Rate"), rate(status)},
        {QStringLiteral("Metadata"), metadata(status)},
        {QStringLiteral("Volume"), static_cast<double>(status.volume)},
        {QStringLiteral("CanGoNext"), status.hasNext},
        {QStringLiteral("CanGoPrevious"), status.hasPrevious},
        {QStringLiteral("CanPlay"), status.hasMovie},
        {QStringLiteral("CanPause"), status.hasMovie},
        {QStringLiteral("CanSeek"), status.hasMovie},
    };
}

void MprisPlayer::setLoopStatus(const QString& status) {
    if (status == QLatin1String("None")) {
        m_commands.carryOut(Command::turn(Command::Verb::Loop, false));
    } else if (status == QLatin1String("Track")) {
        m_commands.carryOut(Command::turn(Command::Verb::Loop, true));
    } else {
        DeveloperLog::write("MPRIS: no such loop status here: " + status.left(32).toStdString());
    }
}

void MprisPlayer::setRate(double rate) {
    if (!std::isfinite(rate)) {
        return;
    }
    if (rate <= 0.0) {
        m_commands.carryOut(Command::of(Command::Verb::Pause)); // as asked of a rate of 0
        return;
    }
    m_commands.carryOut(Command::with(
        Command::Verb::Rate, static_cast<float>(std::clamp(rate, kMinimumRate, kMaximumRate))));
}

void MprisPlayer::setVolume(double volume) {
    if (std::isfinite(volume)) {
        m_commands.carryOut(
            Command::with(Command::Verb::Volume, static_cast<float>(std::clamp(volume, 0.0, 1.0))));
    }
}

void MprisPlayer::Next() {
    m_commands.carryOut(Command::of(Command::Verb::Next), report);
}

void MprisPlayer::Previous() {
    m_commands.carryOut(Command::of(Command::Verb::Previous), report);
}

void MprisPlayer::Pause() {
    m_commands.carryOut(Command::of(Command::Verb::Pause));
}

void MprisPlayer::PlayPause() {
    m_commands.carryOut(Command::of(Command::Verb::Toggle));
}

void MprisPlayer::Stop() {
    m_commands.carryOut(Command::of(Command::Verb::Stop));
}

void MprisPlayer::Play() {
    m_commands.carryOut(Command::of(Command::Verb::Play));
}

void MprisPlayer::seekTo(double seconds) {
    if (m_commands.carryOut(Command::with(Command::Verb::Seek, seconds))) {
        Q_EMIT Seeked(microseconds(seconds));
    }
}

void MprisPlayer::Seek(qlonglong offset) {
    const Status status = m_commands.status();
    if (!status.hasMovie) {
        return;
    }
    const double target = status.position + static_cast<double>(offset) / 1e6;
    if (target > status.duration) {
        if (status.hasNext) {
            m_commands.carryOut(Command::of(Command::Verb::Next), report); // past the end, as asked
        }
        return;
    }
    seekTo(std::max(target, 0.0));
}

void MprisPlayer::SetPosition(const QDBusObjectPath& track, qlonglong position) {
    const Status status = m_commands.status();
    const double seconds = static_cast<double>(position) / 1e6;
    // A position for another movie than the one on show is stale: ignored, as asked.
    if (!status.hasMovie || track != trackId(status) || seconds < 0.0 ||
        seconds > status.duration) {
        return;
    }
    seekTo(seconds);
}

void MprisPlayer::OpenUri(const QString& uri) {
    const QUrl url(uri);
    const QFileInfo file(url.toLocalFile());
    if (!url.isLocalFile() || !file.isFile()) {
        DeveloperLog::write("MPRIS: OpenUri takes file:// addresses of existing files only");
        return;
    }
    m_commands.carryOut(
        Command::files(Command::Verb::Open, {file.absoluteFilePath().toStdString()}), report);
}

} // namespace lumenarc
