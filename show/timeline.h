// The running order of the show: six parts fixed in the program, walked by duration.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "scene/scene_needs.h"

// One part of the show. The first sixteen bytes are also handed to the scene program as one
// integer 4-vector, so the order and widths of the first four fields are fixed.
struct ScenePart {
    std::int32_t camera;    // index into the scene's cameras; negative: the part draws nothing
    std::int32_t firstMesh; // first animated mesh (index into the scene's meshes)
    std::int32_t lastMesh;  // last animated mesh, inclusive
    float duration;         // seconds
    std::array<std::int32_t, 4> lights;  // kNoLight, kCameraLight or an index into the scene's lights
    std::array<float, 4> fadeIn;   // colour faded in from (red, green, blue), fade length in seconds
    std::array<float, 4> fadeOut;  // colour faded out to (red, green, blue), fade length in seconds
};
static_assert(sizeof(ScenePart) == 64);
static_assert(offsetof(ScenePart, camera) == 0);
static_assert(offsetof(ScenePart, firstMesh) == 4);
static_assert(offsetof(ScenePart, lastMesh) == 8);
static_assert(offsetof(ScenePart, duration) == 12);
static_assert(offsetof(ScenePart, lights) == 16);
static_assert(offsetof(ScenePart, fadeIn) == 32);
static_assert(offsetof(ScenePart, fadeOut) == 48);

// Light slot values besides scene light indices.
inline constexpr std::int32_t kNoLight = -1;
inline constexpr std::int32_t kCameraLight = 100;  // the light carried by the part's camera

// clang-format off
inline constexpr std::array<ScenePart, 6> timeline = {{
    // camera meshes   duration  lights               fade in from / length    fade out to / length
    {  3,     16, 19,  22.0f,    { 4,  -1, -1, -1},   {0.f, 0.f, 0.f, 2.0f},   {1.f, 1.f, 1.f, 2.0f}},
    {  1,      2,  4,  16.0f,    { 0,   1, -1, -1},   {1.f, 1.f, 1.f, 2.0f},   {0.f, 0.f, 0.f, 2.0f}},
    {  0,      0,  1,  16.0f,    {100, -1, -1, -1},   {0.f, 0.f, 0.f, 2.0f},   {0.f, 0.f, 0.f, 2.0f}},
    {  4,     20, 23,  16.0f,    { 5,   6, -1, -1},   {0.f, 0.f, 0.f, 2.0f},   {0.f, 0.f, 0.f, 2.0f}},
    {  2,      5, 15,  40.0f,    { 2,   3, -1, -1},   {0.f, 0.f, 0.f, 2.0f},   {0.f, 0.f, 0.f, 3.0f}},
    { -1,     -1, -1,  10.0f,    {-1,  -1, -1, -1},   {0.f, 0.f, 0.f, 0.0f},   {0.f, 0.f, 0.f, 0.0f}},
}};
// clang-format on

// What the timeline indexes in the scene: one more than its highest mesh, camera and light index
// (the camera's own light and empty slots index nothing).
constexpr SceneNeeds sceneNeedsOf(const std::array<ScenePart, 6>& parts) {
    SceneNeeds needs;
    const auto countUpTo = [](std::size_t& count, std::int32_t index) {
        if (index >= 0 && static_cast<std::size_t>(index) + 1 > count) count = static_cast<std::size_t>(index) + 1;
    };
    for (const ScenePart& part : parts) {
        countUpTo(needs.meshes, part.lastMesh);
        countUpTo(needs.cameras, part.camera);
        for (std::int32_t light : part.lights) {
            if (light != kCameraLight) countUpTo(needs.lights, light);
        }
    }
    return needs;
}

inline constexpr SceneNeeds kTimelineNeeds = sceneNeedsOf(timeline);

// When part `part` begins, in seconds from the start of the show: the durations before it added
// one by one in single precision, as the director adds them. A part past the table gives the end
// of the show.
constexpr float partStartTime(std::size_t part) {
    float start = 0.0f;
    for (std::size_t i = 0; i < part && i < timeline.size(); ++i) start += timeline[i].duration;
    return start;
}

// The same start in double, for the tools, making mode and tests that pick a show time.
constexpr double partStartSeconds(std::size_t part) { return static_cast<double>(partStartTime(part)); }

// The part an ideal clock is in at show time `seconds`: the director moves on only once the time
// in a part exceeds its duration, so a part holds its own end (part 0 holds 22.0 s exactly) and
// the last part everything after its start. The one answer for the director, making mode and tools.
constexpr std::int32_t partAt(float seconds) {
    std::int32_t part = 0;
    float start = 0.0f;
    while (static_cast<std::size_t>(part) + 1 < timeline.size() &&
           seconds - start > timeline[static_cast<std::size_t>(part)].duration) {
        start += timeline[static_cast<std::size_t>(part)].duration;
        ++part;
    }
    return part;
}

// The length of the whole show, end marker included.
inline constexpr float kShowLength = partStartTime(timeline.size());
