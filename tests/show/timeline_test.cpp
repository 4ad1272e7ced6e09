// What the timeline asks of the scene file.
#include <gtest/gtest.h>

#include "scene/scene_loader.h"
#include "show/timeline.h"

namespace {

TEST(TimelineTest, TheShowNeedsTwentyFourMeshesFiveCamerasAndSevenLights) {
    SceneData data;
    data.meshes.resize(24);
    data.cameras.resize(5);
    data.lights.resize(7);
    EXPECT_FALSE(checkSceneMeetsNeeds(data, kTimelineNeeds, "s.vxs"));
    data.lights.resize(6);
    EXPECT_EQ(checkSceneMeetsNeeds(data, kTimelineNeeds, "s.vxs").value_or(""),
              "s.vxs: the show needs at least 24 meshes, 5 cameras and 7 lights; the file has 24, 5 and 6");
    data.lights.resize(7);
    data.cameras.resize(4);
    EXPECT_TRUE(checkSceneMeetsNeeds(data, kTimelineNeeds, "s.vxs"));
    data.cameras.resize(5);
    data.meshes.resize(23);
    EXPECT_TRUE(checkSceneMeetsNeeds(data, kTimelineNeeds, "s.vxs"));
}

}  // namespace
