#include "input/MeshEditSession.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumenarc {
namespace {

// Edits nobody saved go beside the mesh when its folder takes them, else into the folder given
// (the configuration folder), under the mesh's own name; a mesh without a file gets one.
TEST(MeshEditSessionTest, UnsavedEditsGoBesideTheMeshOrIntoTheFolderGiven) {
    std::vector<std::string> asked;
    const auto writable = [&](bool answer) {
        return [&asked, answer](const std::string& dir) {
            asked.push_back(dir);
            return answer;
        };
    };
    EXPECT_EQ(MeshEditSession::unsavedPath("/shows/dome/wall.data", "/cfg", writable(true)),
              "/shows/dome/wall.data.unsaved");
    EXPECT_EQ(MeshEditSession::unsavedPath("/shows/dome/wall.data", "/cfg", writable(false)),
              "/cfg/wall.data.unsaved");
    EXPECT_EQ(asked, (std::vector<std::string>{"/shows/dome", "/shows/dome"}));
    EXPECT_EQ(MeshEditSession::unsavedPath("", "/cfg", writable(true)), "/cfg/mesh.data.unsaved");
    EXPECT_EQ(MeshEditSession::unsavedPath("wall.data", "/cfg", writable(true)),
              "wall.data.unsaved");
}

} // namespace
} // namespace lumenarc
