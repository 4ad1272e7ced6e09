#include <gtest/gtest.h>

#include "scene/scene.h"
#include "show/director.h"
#include "show/timeline.h"

namespace {

TEST(AdvanceTimelineTest, TheFirstFrameStartsThePartAndTimeRunsFromThere) {
    DirectorState state;
    EXPECT_EQ(advanceTimeline(state, 0.25f), 0.0f);
    EXPECT_EQ(state.partStart, 0.25f);
    EXPECT_EQ(advanceTimeline(state, 1.25f), 1.0f);
    EXPECT_EQ(state.currentPart, 0);
}

TEST(AdvanceTimelineTest, ATimeEqualToTheDurationDoesNotSwitchTheNextFrameDoes) {
    DirectorState state;
    advanceTimeline(state, 0.0f);
    EXPECT_EQ(advanceTimeline(state, 22.0f), 22.0f);  // entry 0 lasts 22 s
    EXPECT_EQ(state.currentPart, 0);
    EXPECT_EQ(advanceTimeline(state, 22.01f), 0.0f);
    EXPECT_EQ(state.currentPart, 1);
    EXPECT_EQ(state.partStart, 22.01f) << "the new part starts where the switch was noticed";
}

TEST(AdvanceTimelineTest, ALongStallMovesOnePartPerFrameAndNeverPastTheLastEntry) {
    DirectorState state;
    advanceTimeline(state, 0.0f);
    EXPECT_EQ(advanceTimeline(state, 500.0f), 0.0f);
    EXPECT_EQ(state.currentPart, 1) << "never skips an entry";
    float t = 0.0f;
    for (int frame = 0; frame < 20; ++frame) t = advanceTimeline(state, 1000.0f + 100.0f * frame);
    EXPECT_EQ(state.currentPart, 5);
    EXPECT_GT(t, 10.0f) << "the last entry keeps running instead of indexing past the table";
}

TEST(FramePathTest, TheOpeningIsDitheredUntil20SecondsWithStrictBoundaries) {
    EXPECT_EQ(framePathFor(3, 0.0f), FramePath::TwoColourDither);
    EXPECT_EQ(framePathFor(3, 13.99f), FramePath::TwoColourDither);
    EXPECT_EQ(framePathFor(3, 14.0f), FramePath::SteppedDither);
    EXPECT_EQ(framePathFor(3, 19.99f), FramePath::SteppedDither);
    EXPECT_EQ(framePathFor(3, 20.0f), FramePath::Direct);
    EXPECT_EQ(framePathFor(1, 5.0f), FramePath::Direct);
    EXPECT_EQ(framePathFor(-1, 5.0f), FramePath::Direct);
}

TEST(FramePathTest, TheSteppedDitherWalksThroughItsPalettes) {
    EXPECT_EQ(steppedDitherAt(14.0f).palette, DitherPalette::Colours4);
    EXPECT_EQ(steppedDitherAt(14.0f).resolution, 4.0f);
    EXPECT_EQ(steppedDitherAt(15.99f).palette, DitherPalette::Colours4);
    EXPECT_EQ(steppedDitherAt(16.0f).palette, DitherPalette::Colours16);
    EXPECT_EQ(steppedDitherAt(16.0f).resolution, 2.0f);
    EXPECT_EQ(steppedDitherAt(18.0f).palette, DitherPalette::Colours256);
    EXPECT_EQ(steppedDitherAt(19.5f).resolution, 4.0f);
}

TEST(OpeningFlashTest, FlashCurvesRiseAndFallAsScheduled) {
    EXPECT_EQ(twoColourFlash(0.0f), 0.0f);
    EXPECT_EQ(twoColourFlash(13.5f), 0.0f);
    EXPECT_FLOAT_EQ(twoColourFlash(13.75f), 0.125f);  // (2 * 0.25)^3
    EXPECT_FLOAT_EQ(twoColourFlash(14.0f), 1.0f);

    EXPECT_FLOAT_EQ(steppedFlash(14.0f), 1.0f);
    EXPECT_FLOAT_EQ(steppedFlash(16.0f), 1.0f);
    EXPECT_FLOAT_EQ(steppedFlash(18.0f), 1.0f);
    EXPECT_EQ(steppedFlash(14.5f), 0.0f);
    EXPECT_EQ(steppedFlash(15.0f), 0.0f);
    EXPECT_FLOAT_EQ(steppedFlash(15.75f), 0.125f);

    EXPECT_FLOAT_EQ(directOpeningFlash(20.0f), 1.0f);
    EXPECT_EQ(directOpeningFlash(20.5f), 0.0f);
    EXPECT_EQ(directOpeningFlash(21.0f), 0.0f);
    EXPECT_EQ(directOpeningFlash(21.5f), 0.0f);
    EXPECT_FLOAT_EQ(directOpeningFlash(22.0f), 1.0f);
}

}  // namespace

namespace {

TEST(IdealDirectorStateTest, ShowTimeFallsInThePartItsDurationsGive) {
    EXPECT_EQ(idealDirectorState(0.0f).currentPart, 0);
    const DirectorState endOfOpening = idealDirectorState(22.0f);
    EXPECT_EQ(endOfOpening.currentPart, 0) << "a time equal to the duration stays in the part";
    const DirectorState second = idealDirectorState(23.0f);
    EXPECT_EQ(second.currentPart, 1);
    EXPECT_EQ(second.partStart, 22.0f);
    const DirectorState plaza = idealDirectorState(100.0f);  // 22 + 16 + 16 + 16 = 70 .. 110
    EXPECT_EQ(plaza.currentPart, 4);
    EXPECT_EQ(plaza.partStart, 70.0f);
    EXPECT_EQ(idealDirectorState(111.0f).currentPart, 5);
    EXPECT_EQ(idealDirectorState(500.0f).currentPart, 5);
    EXPECT_TRUE(plaza.started);
}


// ---- Jumping in show time -----------------------------------------------------------------------

Camera recordedCamera(int frames) {
    Camera camera;
    camera.fov = -1.0f;  // the loaded pose
    for (int i = 0; i < frames; ++i) camera.frames.push_back(CameraFrame{{}, {}, {}, static_cast<float>(i), {}});
    return camera;
}

// A scene the timeline can index: camera c and light l record their frame number in fov and
// intensity; mesh 20's transforms record it in the first element.
Scene recordedScene() {
    Scene scene;
    scene.meshes.resize(24);
    scene.cameras = {recordedCamera(10), recordedCamera(2000), recordedCamera(10), recordedCamera(100),
                     recordedCamera(300)};
    scene.lights.resize(7);
    for (Light& light : scene.lights) {
        light.intensity = -1.0f;
        for (int i = 0; i < 10; ++i) light.frames.push_back(LightFrame{{}, {}, {}, 0.0f, 0.0f, static_cast<float>(i), {}});
    }
    for (int i = 0; i < 5; ++i) {
        Matrix4 transform = kIdentityMatrix;
        transform[0] = static_cast<float>(i);
        scene.meshes[20].transforms.push_back(transform);
    }
    return scene;
}

// Playing from 0 leaves each part's objects at the last frame reached; a jump straight to 62 s
// (part 3, 8 s in) must leave them the same, recordings shorter than a part held at their end.
TEST(SettleSceneTest, AJumpLeavesEveryPartsObjectsWherePlayingThroughWould) {
    Scene scene = recordedScene();
    settleSceneAt(scene, 62.0f);
    EXPECT_EQ(scene.cameras[3].fov, 99.0f) << "part 0's camera: recording shorter than the part";
    EXPECT_EQ(scene.cameras[1].fov, 960.0f) << "part 1's camera at its part's end, 16 s";
    EXPECT_EQ(scene.cameras[0].fov, 9.0f) << "part 2's camera";
    EXPECT_EQ(scene.cameras[4].fov, 299.0f) << "part 3's camera: 8 s is past its 300 frames";
    EXPECT_EQ(scene.cameras[2].fov, -1.0f) << "part 4 has not been reached";
    EXPECT_EQ(scene.lights[4].intensity, 9.0f) << "part 0's light";
    EXPECT_EQ(scene.lights[5].intensity, 9.0f) << "part 3's light";
    EXPECT_EQ(scene.lights[2].intensity, -1.0f) << "part 4's light";
    EXPECT_EQ(scene.meshes[20].transform[0], 4.0f) << "part 3's mesh, clamped to its last transform";

    Scene early = recordedScene();
    settleSceneAt(early, 22.5f);  // part 1, frame 30
    EXPECT_EQ(early.cameras[1].fov, 30.0f);
    EXPECT_EQ(early.cameras[4].fov, -1.0f);
}

}  // namespace
