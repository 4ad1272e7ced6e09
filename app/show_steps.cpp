#include "app/show_steps.h"

#include <cmath>
#include <iterator>

#include "app/making_rules.h"
#include "show/director.h"
#include "show/scene_pass.h"
#include "show/timeline.h"

namespace {

ShowStep stepOfMillisecond(std::int64_t millisecond) { return showStepAt(timeOfMillisecond(millisecond)); }

}  // namespace

const char* partSetName(std::int32_t part) {
    // Camera i looks at the set its path in content/sets.cpp circles.
    constexpr const char* kSetOfCamera[] = {"hall", "rotunda", "plaza", "stone field", "stairwell"};
    if (part < 0 || static_cast<std::size_t>(part) >= timeline.size()) return "";
    const std::int32_t camera = timeline[static_cast<std::size_t>(part)].camera;
    if (camera < 0 || static_cast<std::size_t>(camera) >= std::size(kSetOfCamera)) return "";
    return kSetOfCamera[camera];
}

ShowStep showStepAt(double seconds) {
    const auto now = static_cast<float>(seconds);
    const DirectorState state = idealDirectorState(now);
    return {state.currentPart, sceneFrameIndex(now - state.partStart)};
}

std::int64_t firstMillisecondOfPart(std::int32_t part) {
    if (part <= 0) return 0;
    // A part starts strictly after the durations before it add up: a time equal to the sum is
    // still the part before, so the search starts a millisecond early and walks on.
    std::int64_t millisecond = static_cast<std::int64_t>(partStartTime(static_cast<std::size_t>(part))) * 1000 - 1;
    while (millisecond < lastMillisecondOfSong() && stepOfMillisecond(millisecond).part < part) ++millisecond;
    return millisecond;
}

std::optional<std::int64_t> nextStepMillisecond(std::int64_t millisecond) {
    const ShowStep from = stepOfMillisecond(millisecond);
    for (std::int64_t next = millisecond + 1; next <= lastMillisecondOfSong(); ++next) {
        if (!(stepOfMillisecond(next) == from)) return next;
    }
    return std::nullopt;
}

std::optional<std::int64_t> previousStepMillisecond(std::int64_t millisecond) {
    const ShowStep from = stepOfMillisecond(millisecond);
    std::int64_t earlier = millisecond - 1;
    while (earlier >= 0 && stepOfMillisecond(earlier) == from) --earlier;
    if (earlier < 0) return std::nullopt;
    const ShowStep previous = stepOfMillisecond(earlier);
    while (earlier > 0 && stepOfMillisecond(earlier - 1) == previous) --earlier;
    return earlier;
}
