// The timeline table and what it asks of the scene file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "scene/scene_loader.h"
#include "show/director.h"
#include "show/timeline.h"

namespace {

TEST(TimelineTest, DurationsAndIndicesFitTheShow) {
    float total = 0.0f;
    std::int32_t maxMesh = -1, maxCamera = -1, maxLight = -1;
    for (const ScenePart& part : timeline) {
        total += part.duration;
        maxMesh = std::max(maxMesh, part.lastMesh);
        maxCamera = std::max(maxCamera, part.camera);
        for (std::int32_t light : part.lights) {
            if (light != kCameraLight) maxLight = std::max(maxLight, light);
        }
    }
    EXPECT_EQ(total, 120.0f);
    EXPECT_EQ(total - timeline[5].duration, 110.0f) << "the end marker begins at 110 s";
    EXPECT_EQ(timeline[5].camera, -1);
    EXPECT_EQ(maxMesh, 23);
    EXPECT_EQ(maxCamera, 4);
    EXPECT_EQ(maxLight, 6);
    EXPECT_EQ(timeline[2].lights[0], kCameraLight);
    EXPECT_EQ(timeline[4].fadeOut[3], 3.0f);
    EXPECT_EQ(timeline[1].fadeIn, (std::array<float, 4>{1, 1, 1, 2}));
}

TEST(TimelineTest, PartsStartWhereTheDirectorPutsThem) {
    static_assert(partStartTime(0) == 0.0f);
    EXPECT_EQ(partStartTime(1), 22.0f);
    EXPECT_EQ(partStartTime(4), 70.0f);
    EXPECT_EQ(partStartTime(5), 110.0f) << "the end marker";
    EXPECT_EQ(kShowLength, 120.0f);
    EXPECT_EQ(partStartTime(timeline.size() + 3), kShowLength) << "past the table: the end of the show";
    // Just after each start the director is in that part, which began exactly there.
    for (std::size_t part = 0; part < timeline.size(); ++part) {
        const DirectorState state = idealDirectorState(partStartTime(part) + 0.5f);
        EXPECT_EQ(state.currentPart, static_cast<std::int32_t>(part));
        EXPECT_EQ(state.partStart, partStartTime(part));
    }
}

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

TEST(TimelineTest, APartHoldsItsOwnEndAsTheDirectorSwitches) {
    EXPECT_EQ(partStartSeconds(1), 22.0);
    EXPECT_EQ(partStartSeconds(5), 110.0);
    EXPECT_EQ(partAt(0.0f), 0);
    EXPECT_EQ(partAt(22.0f), 0) << "a time in part equal to the duration does not switch";
    EXPECT_EQ(partAt(std::nextafter(22.0f, 30.0f)), 1);
    EXPECT_EQ(partAt(62.0f), 3);
    EXPECT_EQ(partAt(111.9f), 5);
    EXPECT_EQ(partAt(500.0f), 5) << "never past the last part";
}

}  // namespace
