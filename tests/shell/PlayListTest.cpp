#include "shell/PlayList.h"

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

// Every place of a list, walked both ways: the ends are exactly the first and the last movie,
// and neither end wraps round to the other.
TEST(PlayList, EachPlaceHasItsNeighboursAndTheEndsDoNotWrap) {
    for (size_t size = 1; size <= 4; ++size) {
        std::vector<std::string> paths;
        for (size_t k = 0; k < size; ++k) {
            paths.push_back("/m/" + std::to_string(k) + ".mp4");
        }
        PlayList list;
        list.replace(paths);
        for (size_t k = 0; k < size; ++k) {
            SCOPED_TRACE("size " + std::to_string(size) + ", place " + std::to_string(k));
            EXPECT_EQ(list.index(), k);
            EXPECT_EQ(list.current(), paths[k]);
            EXPECT_EQ(list.hasPrevious(), k > 0);
            EXPECT_EQ(list.hasNext(), k + 1 < size);
            EXPECT_EQ(list.title("m"),
                      size < 2 ? "m"
                               : "m (" + std::to_string(k + 1) + "/" + std::to_string(size) + ")");
            if (k + 1 < size) {
                EXPECT_EQ(list.next(), paths[k + 1]);
            }
        }
        // At the last: no next, and it stays the last.
        EXPECT_FALSE(list.next());
        EXPECT_EQ(list.index(), size - 1);
        EXPECT_EQ(list.current(), paths[size - 1]);
        for (size_t k = size - 1; k > 0; --k) {
            EXPECT_EQ(list.previous(), paths[k - 1]);
            EXPECT_EQ(list.index(), k - 1);
        }
        // At the first: no previous, and it stays the first.
        EXPECT_FALSE(list.previous());
        EXPECT_EQ(list.index(), 0u);
        EXPECT_EQ(list.current(), paths[0]);
        EXPECT_FALSE(list.hasPrevious());
    }
}

// A new list starts at its first movie wherever the old one stood, also at its last.
TEST(PlayList, ANewListStartsAtItsFirstMovie) {
    PlayList list;
    list.replace({"a", "b"});
    list.next();
    list.replace({"c", "d", "e"});
    EXPECT_EQ(list.index(), 0u);
    EXPECT_EQ(list.current(), "c");
    EXPECT_FALSE(list.hasPrevious());
    list.replace({});
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(list.index());
    EXPECT_FALSE(list.hasNext());
    EXPECT_FALSE(list.hasPrevious());
    EXPECT_EQ(list.title("x.mp4"), "x.mp4");
}

} // namespace
} // namespace lumenarc
