// Renders two-colour frames of the opening with `qvtool frame` and checks that they read as a
// picture: large solid areas of black and of white, not an even dither pattern all over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>


#include "tests/support/scratch_folder.h"
#include "tests/support/tool_run.h"
#include "tests/tools/rendered_frame.h"

namespace {


// The share of the frame covered by the largest region of pixels of the given value whose
// pixels touch along their sides. An even dither pattern of a tone has only small regions of
// its minority colour.
double largestRegionShare(const RenderedFrame& frame, unsigned char value) {
    const int count = frame.width * frame.height;
    if (count == 0) return 0.0;
    std::vector<bool> seen(static_cast<std::size_t>(count), false);
    std::vector<int> pending;
    int largest = 0;
    for (int start = 0; start < count; ++start) {
        if (seen[static_cast<std::size_t>(start)] || frame.pixels[static_cast<std::size_t>(start)] != value) continue;
        seen[static_cast<std::size_t>(start)] = true;
        pending.push_back(start);
        int size = 0;
        while (!pending.empty()) {
            const int at = pending.back();
            pending.pop_back();
            ++size;
            const int x = at % frame.width, y = at / frame.width;
            const int neighbours[4] = {x > 0 ? at - 1 : -1, x + 1 < frame.width ? at + 1 : -1,
                                       y > 0 ? at - frame.width : -1, y + 1 < frame.height ? at + frame.width : -1};
            for (const int next : neighbours) {
                if (next < 0 || seen[static_cast<std::size_t>(next)]) continue;
                if (frame.pixels[static_cast<std::size_t>(next)] != value) continue;
                seen[static_cast<std::size_t>(next)] = true;
                pending.push_back(next);
            }
        }
        largest = std::max(largest, size);
    }
    return static_cast<double>(largest) / count;
}

// Early, middle and late in the two-colour stretch of the opening (before the flash at 13.5 s),
// some solid black region and some solid white region each cover a good part of the frame:
// silhouettes, shadows and the glow, rather than an even grey field with a small figure.
TEST(OpeningFrameTest, TwoColourFramesHaveLargeSolidAreasOfBlackAndOfWhite) {
    constexpr double kLargeShare = 0.08;
    for (const std::string seconds : {"4", "8", "12"}) {
        const RenderedFrame frame = renderFrame(seconds, "160x90", 1);
        ASSERT_EQ(frame.width, 160) << seconds << " s";
        ASSERT_EQ(frame.height, 90) << seconds << " s";
        EXPECT_GT(largestRegionShare(frame, 0), kLargeShare) << seconds << " s: black";
        EXPECT_GT(largestRegionShare(frame, 255), kLargeShare) << seconds << " s: white";
    }
}

}  // namespace
