#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

namespace lumenarc {

class MprisPlayer;
class MprisRoot;
class PlayerCommands;

// The player on the session bus as an MPRIS 2 media player, so that media keys, playerctl and
// desktop widgets can drive it. It takes the name org.mpris.MediaPlayer2.lumenarc, or, when
// another player holds that, ....lumenarc.instance<PID>. Changes are announced with
// PropertiesChanged a few times a second. Without a session bus the player runs without it.
// Main thread.
class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr int kAnnounceIntervalMs = 200;

    explicit MprisService(PlayerCommands& commands);
    ~MprisService() override;

    // Registers on the session bus; false (after one log line) when there is none to be had.
    bool start();
    // The bus name taken ("" before start or without a bus).
    const QString& busName() const { return m_busName; }
    // The bus names to try, in order, for this process.
    static QStringList busNames(qint64 pid);
    // The entries of `now` that differ from `before`.
    static QVariantMap changes(const QVariantMap& before, const QVariantMap& now);

private:
    void announce();
    void emitChanged(const QString& interface, const QVariantMap& changed);

    PlayerCommands& m_commands;
    MprisRoot* m_root;
    MprisPlayer* m_player;
    QTimer m_timer;
    QString m_busName;
    QVariantMap m_playerState;
    bool m_fullScreen = false;
};

} // namespace lumenarc
