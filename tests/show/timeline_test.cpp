// The timeline table and what it asks of the scene file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "scene/scene_loader.h"
#include "show/director.h"
#include "show/timeline.h"
#include "platform/platform.h"
#include "synth/song_constants.h"

namespace {

// The parts follow the song: each starts on one of its 16-row patterns (within a row), the end
// marker starts before the song ends and the show's length reaches past it, and every fade fits
// in its part. Each part starts where the durations before it add up, and the director is in it
// just after that start.
TEST(TimelineTest, PartsStartOnTheSongsPatternsAndTheSongEndsInTheLastPart) {
    const double rowSeconds = static_cast<double>(synth::kSamplesPerRow) / platform::kAudioFrameRate;
    const double patternSeconds = synth::kRowsPerPattern * rowSeconds;
    double start = 0.0;
    for (std::size_t part = 0; part < timeline.size(); ++part) {
        const ScenePart& scenePart = timeline[part];
        EXPECT_EQ(partStartSeconds(part), start) << "part " << part;
        const double patterns = start / patternSeconds;
        EXPECT_NEAR(patterns, std::round(patterns), rowSeconds / patternSeconds) << "part " << part;
        EXPECT_LE(scenePart.fadeIn[3] + scenePart.fadeOut[3], scenePart.duration) << "part " << part;
        const DirectorState state = idealDirectorState(static_cast<float>(start) + 0.5f);
        EXPECT_EQ(state.currentPart, static_cast<std::int32_t>(part));
        EXPECT_EQ(state.partStart, static_cast<float>(start));
        start += scenePart.duration;
    }
    EXPECT_EQ(kShowLength, static_cast<float>(start));
    EXPECT_EQ(partStartTime(timeline.size() + 3), kShowLength) << "past the table: the end of the show";
    EXPECT_LT(partStartSeconds(timeline.size() - 1), synth::kSongSeconds) << "the end marker starts before the song ends";
    EXPECT_LT(synth::kSongSeconds, kShowLength);
    EXPECT_LT(timeline.back().camera, 0) << "the end marker draws nothing";
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
    EXPECT_EQ(partAt(0.0f), 0);
    EXPECT_EQ(partAt(22.0f), 0) << "a time in part equal to the duration does not switch";
    EXPECT_EQ(partAt(std::nextafter(22.0f, 30.0f)), 1);
    EXPECT_EQ(partAt(62.0f), 3);
    EXPECT_EQ(partAt(111.9f), 5);
    EXPECT_EQ(partAt(500.0f), 5) << "never past the last part";
}

}  // namespace
