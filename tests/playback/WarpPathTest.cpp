#include "playback/WarpPath.h"

#include <gtest/gtest.h>

namespace lumenarc {
namespace {

using Frames = FramePath::Kind;
using Warp = WarpPath::Kind;

TEST(WarpPath, ProcessorOnASoftwareRasteriserUnlessForcedAndOnlyWithPicturesInMemory) {
    EXPECT_EQ(WarpPath::choose(Frames::Cpu, true, nullptr), Warp::Processor);
    EXPECT_EQ(WarpPath::choose(Frames::Cpu, false, nullptr), Warp::Gl);
    EXPECT_EQ(WarpPath::choose(Frames::Cpu, true, "gl"), Warp::Gl);
    EXPECT_EQ(WarpPath::choose(Frames::Cpu, false, "processor"), Warp::Processor);
    EXPECT_EQ(WarpPath::choose(Frames::Cpu, true, "bogus"), Warp::Processor);
    // GL converts the pictures straight into textures: nothing for the processor to warp.
    EXPECT_EQ(WarpPath::choose(Frames::Gl, true, "processor"), Warp::Gl);
}

} // namespace
} // namespace lumenarc
