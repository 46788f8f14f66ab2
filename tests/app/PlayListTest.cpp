#include "app/PlayList.h"

#include <gtest/gtest.h>

namespace lumenarc {
namespace {

TEST(PlayList, MovesThroughItsMoviesAndStopsAtEitherEnd) {
    PlayList list;
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.index());
    EXPECT_EQ(list.current(), "");
    EXPECT_FALSE(list.next());
    EXPECT_FALSE(list.previous());

    list.replace({"/m/a.mp4", "/m/b.mp4", "/m/c.mp4"});
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(list.index(), 0u);
    EXPECT_EQ(list.current(), "/m/a.mp4");
    EXPECT_FALSE(list.hasPrevious());
    EXPECT_FALSE(list.previous());
    EXPECT_EQ(list.index(), 0u);
    EXPECT_EQ(list.next(), "/m/b.mp4");
    EXPECT_EQ(list.next(), "/m/c.mp4");
    EXPECT_FALSE(list.hasNext());
    EXPECT_FALSE(list.next());
    EXPECT_EQ(list.current(), "/m/c.mp4");
    EXPECT_EQ(list.previous(), "/m/b.mp4");
    EXPECT_TRUE(list.hasNext());
    EXPECT_TRUE(list.hasPrevious());

    list.replace({"/m/d.mp4"});
    EXPECT_EQ(list.index(), 0u);
    EXPECT_EQ(list.current(), "/m/d.mp4");
    EXPECT_FALSE(list.hasNext());
}

TEST(PlayList, TitlesShowThePlaceOnlyInALongerList) {
    PlayList list;
    list.replace({"a.mp4"});
    EXPECT_EQ(list.title("a.mp4"), "a.mp4");
    list.replace({"a", "b", "c", "d", "e"});
    EXPECT_EQ(list.title("a.mp4"), "a.mp4 (1/5)");
    list.next();
    EXPECT_EQ(list.title("dome.mp4"), "dome.mp4 (2/5)");
}

} // namespace
} // namespace lumenarc
