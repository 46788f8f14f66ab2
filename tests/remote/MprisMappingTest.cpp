#include "remote/MprisPlayer.h"
#include "remote/MprisRoot.h"
#include "remote/MprisService.h"
#include "shell/DropHandler.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <QDBusObjectPath>
#include <QUrl>

namespace lumenarc {
namespace {

using Status = PlayerCommands::Status;

Status playing() {
    Status s;
    s.hasMovie = true;
    s.path = "/shows/dome show.mp4";
    s.title = "dome show.mp4";
    s.position = 2.5;
    s.duration = 30.0;
    s.rate = 1.0f;
    s.openCount = 3;
    return s;
}

TEST(MprisMapping, PlaybackLoopAndRate) {
    Status s;
    EXPECT_EQ(MprisPlayer::playbackStatus(s), "Stopped");
    s = playing();
    EXPECT_EQ(MprisPlayer::playbackStatus(s), "Playing");
    s.rate = 0.0f;
    EXPECT_EQ(MprisPlayer::playbackStatus(s), "Paused");
    EXPECT_EQ(MprisPlayer::rate(s), 1.0); // resuming plays at the normal rate
    s.rate = -0.5f;
    EXPECT_EQ(MprisPlayer::rate(s), 1.0); // backward play has no MPRIS rate
    s.rate = 2.0f;
    EXPECT_EQ(MprisPlayer::rate(s), 2.0);
    s.rate = 50.0f;
    EXPECT_EQ(MprisPlayer::rate(s), MprisPlayer::kMaximumRate);
    EXPECT_EQ(MprisPlayer::loopStatus(s), "None");
    s.looping = true;
    EXPECT_EQ(MprisPlayer::loopStatus(s), "Track");
}

TEST(MprisMapping, MetadataNamesTheMovie) {
    const Status s = playing();
    const QVariantMap m = MprisPlayer::metadata(s);
    EXPECT_EQ(m.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/mpris/MediaPlayer2/lumenarc/track/3");
    EXPECT_EQ(m.value("mpris:length").toLongLong(), 30000000);
    EXPECT_EQ(m.value("xesam:title").toString(), "dome show.mp4");
    EXPECT_EQ(m.value("xesam:url").toString(), "file:///shows/dome%20show.mp4");
    EXPECT_EQ(MprisPlayer::microseconds(2.5), 2500000);
    const QVariantMap none = MprisPlayer::metadata(Status{});
    EXPECT_EQ(none.size(), 1);
    EXPECT_EQ(none.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/mpris/MediaPlayer2/TrackList/NoTrack");
}

TEST(MprisMapping, AnnouncesOnlyWhatChanged) {
    Status s = playing();
    const QVariantMap before = MprisPlayer::announced(s);
    EXPECT_TRUE(MprisService::changes(before, before).isEmpty());
    s.rate = 0.0f;
    s.position = 9.0; // a position alone is not announced
    auto changed = MprisService::changes(before, MprisPlayer::announced(s));
    EXPECT_EQ(changed.keys(), QStringList{"PlaybackStatus"});
    EXPECT_EQ(changed.value("PlaybackStatus").toString(), "Paused");
    s.openCount = 4;
    s.volume = 0.5f;
    changed = MprisService::changes(before, MprisPlayer::announced(s));
    EXPECT_TRUE(changed.contains("Metadata"));
    EXPECT_TRUE(changed.contains("Volume"));
}

TEST(MprisMapping, BusNamesAndIdentity) {
    EXPECT_EQ(MprisService::busNames(4242),
              (QStringList{"org.mpris.MediaPlayer2.lumenarc",
                           "org.mpris.MediaPlayer2.lumenarc.instance4242"}));
}

// The MIME types told over the bus are the desktop entry's.
TEST(MprisMapping, MimeTypesAreTheDesktopEntrys) {
    const std::filesystem::path source(LUMENARC_SOURCE_DIR);
    const std::string entry = test::readFile(source / "resources" / "lumenarc.desktop");
    const auto at = entry.find("\nMimeType=");
    ASSERT_NE(at, std::string::npos);
    const auto end = entry.find('\n', at + 1);
    const QString line = QString::fromStdString(entry.substr(at + 10, end - at - 10));
    QStringList listed = line.split(';', Qt::SkipEmptyParts);
    QStringList told = MprisRoot::mimeTypes();
    listed.sort();
    told.sort();
    EXPECT_EQ(told, listed);
}

TEST(DropHandler, TakesExistingLocalFilesMoviesAndAMesh) {
    test::TempDir dir;
    const auto a = dir.write("a.mp4", "x");
    const auto b = dir.write("b.MOV", "x");
    const auto mesh = dir.write("dome.DATA", "x");
    const auto drop = DropHandler::classify(
        {QUrl::fromLocalFile(QString::fromStdString(a)), QUrl("https://example.org/c.mp4"),
         QUrl::fromLocalFile(QString::fromStdString(mesh)),
         QUrl::fromLocalFile(QString::fromStdString(dir.path().string())), // a folder
         QUrl::fromLocalFile("/no/such/movie.mp4"),
         QUrl::fromLocalFile(QString::fromStdString(b))});
    EXPECT_EQ(drop.movies, (std::vector<std::string>{a, b}));
    EXPECT_EQ(drop.mesh, mesh);
    EXPECT_TRUE(DropHandler::classify({QUrl("https://example.org/c.mp4")}).empty());
}

} // namespace
} // namespace lumenarc
