#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>

namespace lumenarc {

class PlayerCommands;

// The MPRIS root interface: who the player is, and raising and quitting it.
class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool Fullscreen READ fullscreen WRITE setFullscreen)
    Q_PROPERTY(bool CanSetFullscreen READ canSetFullscreen)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    MprisRoot(QObject* object, PlayerCommands& commands);

    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool fullscreen() const;
    // Full screen has no way back: asking for windowed changes nothing.
    void setFullscreen(bool on);
    bool canSetFullscreen() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Lumenarc"); }
    QString desktopEntry() const { return QStringLiteral("lumenarc"); }
    QStringList supportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList supportedMimeTypes() const { return mimeTypes(); }
    // The movie types the player offers to open, as its desktop entry lists them.
    static QStringList mimeTypes();

public Q_SLOTS:
    void Raise();
    void Quit();

private:
    PlayerCommands& m_commands;
};

} // namespace lumenarc
