#include "remote/MprisService.h"

#include "base/DeveloperLog.h"
#include "remote/MprisPlayer.h"
#include "remote/MprisRoot.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>

namespace lumenarc {
namespace {

// Whether a session bus could be reached without starting one: the bus's address is given, or
// the user's bus socket is there. Asking libdbus otherwise may launch a bus of its own.
bool sessionBusKnown() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

MprisService::MprisService(PlayerCommands& commands)
    : m_commands(commands), m_root(new MprisRoot(this, commands)),
      m_player(new MprisPlayer(this, commands)) {
    connect(&m_timer, &QTimer::timeout, this, &MprisService::announce);
}

MprisService::~MprisService() {
    if (!m_busName.isEmpty()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        bus.unregisterService(m_busName);
    }
}

QStringList MprisService::busNames(qint64 pid) {
    const QString name = QStringLiteral("org.mpris.MediaPlayer2.lumenarc");
    return {name, name + QStringLiteral(".instance") + QString::number(pid)};
}

QVariantMap MprisService::changes(const QVariantMap& before, const QVariantMap& now) {
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (!before.contains(it.key()) || before.value(it.key()) != it.value()) {
            changed.insert(it.key(), it.value());
        }
    }
    return changed;
}

bool MprisService::start() {
    if (!sessionBusKnown()) {
        DeveloperLog::write("MPRIS: no session bus; running without media keys and remotes");
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        DeveloperLog::write("MPRIS: cannot reach the session bus (" +
                            bus.lastError().message().toStdString() +
                            "); running without media keys and remotes");
        return false;
    }
    if (!bus.registerObject(QString::fromLatin1(kObjectPath), this,
                            QDBusConnection::ExportAdaptors)) {
        DeveloperLog::write("MPRIS: cannot register the player object");
        return false;
    }
    for (const QString& name : busNames(QCoreApplication::applicationPid())) {
        if (bus.registerService(name)) {
            m_busName = name;
            break;
        }
    }
    if (m_busName.isEmpty()) {
        bus.unregisterObject(QString::fromLatin1(kObjectPath));
        DeveloperLog::write("MPRIS: cannot take a bus name; running without media keys");
        return false;
    }
    m_playerState = MprisPlayer::announced(m_commands.status());
    m_fullScreen = m_commands.status().fullScreen;
    m_timer.start(kAnnounceIntervalMs);
    return true;
}

void MprisService::announce() {
    const auto status = m_commands.status();
    const QVariantMap now = MprisPlayer::announced(status);
    const QVariantMap changed = changes(m_playerState, now);
    m_playerState = now;
    if (!changed.isEmpty()) {
        emitChanged(QStringLiteral("org.mpris.MediaPlayer2.Player"), changed);
    }
    if (status.fullScreen != m_fullScreen) {
        m_fullScreen = status.fullScreen;
        emitChanged(QStringLiteral("org.mpris.MediaPlayer2"),
                    {{QStringLiteral("Fullscreen"), m_fullScreen}});
    }
}

void MprisService::emitChanged(const QString& interface, const QVariantMap& changed) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

} // namespace lumenarc
