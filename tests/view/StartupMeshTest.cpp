#include "view/StartupMesh.h"

#include "playback/FakeViewHost.h"
#include "prefs/PrefsManager.h"
#include "support/TempDir.h"
#include "view/MyOpenGLView.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace lumenarc {
namespace {

using test::FakeViewHost;
using test::TempDir;

const std::string kResources = "/opt/show/share/lumenarc";
const std::string kBeside = kResources + "/../../../default.data";
const std::string kBuiltIn = kResources + "/rect.data";

std::vector<std::string> candidatesWith(const std::optional<std::string>& map,
                                        std::set<std::string> files) {
    return StartupMesh::candidates(map, kResources, [files = std::move(files)](const auto& path) {
        return files.count(path) != 0;
    });
}

TEST(StartupMesh, TheDefaultMapThenTheFileBesideTheTreeThenTheBuiltInMesh) {
    using List = std::vector<std::string>;
    EXPECT_EQ(candidatesWith(std::nullopt, {}), List{kBuiltIn});
    EXPECT_EQ(candidatesWith(std::string(), {""}), List{kBuiltIn}); // empty names no file
    EXPECT_EQ(candidatesWith("/maps/gone.data", {}), List{kBuiltIn});
    EXPECT_EQ(candidatesWith(std::nullopt, {kBeside}), (List{kBeside, kBuiltIn}));
    EXPECT_EQ(candidatesWith("/maps/dome.data", {"/maps/dome.data"}),
              (List{"/maps/dome.data", kBuiltIn}));
    EXPECT_EQ(candidatesWith("/maps/dome.data", {"/maps/dome.data", kBeside}),
              (List{"/maps/dome.data", kBeside, kBuiltIn}));
    // The built-in mesh is tried even when the file system does not show it: it is ours.
    EXPECT_EQ(candidatesWith(kBeside, {kBeside, kBuiltIn}), (List{kBeside, kBuiltIn}));
    EXPECT_EQ(candidatesWith(kBuiltIn, {kBuiltIn}), List{kBuiltIn});
}

// A view waking in an installed tree of its own, so that "default.data" beside it can be made.
class StartupMeshView : public ::testing::Test {
protected:
    StartupMeshView() {
        std::filesystem::create_directories(resources);
        std::filesystem::copy_file(LUMENARC_SHARE_DIR "/rect.data", resources / "rect.data");
        view.setProjectionMenuHook([] {});
        view.bindPrefsManager(&prefs);
    }

    TempDir dir;
    const std::filesystem::path resources = dir.path() / "tree" / "share" / "lumenarc";
    FakeViewHost host;
    PrefsManager prefs;
    MyOpenGLView view{host, resources.string()};
};

TEST_F(StartupMeshView, ABadDefaultMapIsNamedAndTheShowFallsBackToTheBuiltInMesh) {
    const auto bad = dir.write("bad.data", "1 -3 two");
    prefs.setDefaultMapPath(bad);
    view.awakeFromNib();
    ASSERT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(host.alerts[0].first, "File error");
    EXPECT_EQ(host.alerts[0].second, "Sorry, this does not appear to be a valid data file\n"
                                     "bad header: no grid size after the projection type");
    EXPECT_EQ(host.informativeTexts[0], bad);
    ASSERT_NE(view.distortionMatrix(), nullptr);
    EXPECT_EQ(view.distortionMatrix()->width(), 17); // the built-in mesh
}

TEST_F(StartupMeshView, EachBadCandidateIsReportedInTurn) {
    const auto bad = dir.write("bad.data", "not a mesh");
    const auto beside = dir.write("default.data", "2 3 3 0 0 0 0 1");
    prefs.setDefaultMapPath(bad);
    view.awakeFromNib();
    ASSERT_EQ(host.informativeTexts.size(), 2u);
    EXPECT_EQ(host.informativeTexts[0], bad);
    EXPECT_EQ(std::filesystem::weakly_canonical(host.informativeTexts[1]),
              std::filesystem::weakly_canonical(beside));
    ASSERT_NE(view.distortionMatrix(), nullptr);
    EXPECT_EQ(view.distortionMatrix()->width(), 17);
}

TEST_F(StartupMeshView, AGoodDefaultMapIsLoadedWithoutAnAlert) {
    dir.write("default.data", "2 2 1 0 0 0 0 1 1 0 1 0 1");
    prefs.setDefaultMapPath(dir.write("wall.data", "11 2 1 -1 0 0 0 1 1 0 1 0 1"));
    view.awakeFromNib();
    EXPECT_TRUE(host.alerts.empty());
    ASSERT_NE(view.distortionMatrix(), nullptr);
    EXPECT_EQ(view.distortionMatrix()->projectionType(), 11);
    dir.write("wall.data", "junk");
    view.awakeFromNib(); // now the one beside the tree, after the alert
    EXPECT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(view.distortionMatrix()->projectionType(), 2);
}

} // namespace
} // namespace lumenarc
