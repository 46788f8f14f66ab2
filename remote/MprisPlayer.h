#pragma once

#include "shell/PlayerCommands.h"

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

namespace lumenarc {

// The MPRIS player interface: media keys, playerctl and desktop widgets drive the player
// through the same commands as its keys and menus.
class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ minimumRate)
    Q_PROPERTY(double MaximumRate READ maximumRate)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    using Status = PlayerCommands::Status;
    static constexpr double kMinimumRate = 0.1;
    static constexpr double kMaximumRate = 10.0;

    MprisPlayer(QObject* object, PlayerCommands& commands);

    QString playbackStatus() const { return playbackStatus(m_commands.status()); }
    QString loopStatus() const { return loopStatus(m_commands.status()); }
    void setLoopStatus(const QString& status);
    double rate() const { return rate(m_commands.status()); }
    void setRate(double rate);
    QVariantMap metadata() const { return metadata(m_commands.status()); }
    double volume() const { return m_commands.status().volume; }
    void setVolume(double volume);
    qlonglong position() const { return microseconds(m_commands.status().position); }
    double minimumRate() const { return kMinimumRate; }
    double maximumRate() const { return kMaximumRate; }
    bool canGoNext() const { return m_commands.status().hasNext; }
    bool canGoPrevious() const { return m_commands.status().hasPrevious; }
    bool canPlay() const { return m_commands.status().hasMovie; }
    bool canPause() const { return m_commands.status().hasMovie; }
    bool canSeek() const { return m_commands.status().hasMovie; }
    bool canControl() const { return true; }

    // Pure mappings from the player's status to the interface's values.
    static QString playbackStatus(const Status& status);
    static QString loopStatus(const Status& status);
    static double rate(const Status& status);
    static QVariantMap metadata(const Status& status);
    static QDBusObjectPath trackId(const Status& status);
    static qlonglong microseconds(double seconds);
    // The properties that are announced when they change (Position is not: Seeked is).
    static QVariantMap announced(const Status& status);

public Q_SLOTS:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
    void OpenUri(const QString& uri);

Q_SIGNALS:
    void Seeked(qlonglong position);

private:
    void seekTo(double seconds);

    PlayerCommands& m_commands;
};

} // namespace lumenarc
