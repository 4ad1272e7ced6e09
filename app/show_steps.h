// Where a time stands in the show as the director draws it: the part and the scene step (the
// 1/60 s pose within the part). Making mode moves by these, in whole milliseconds, so that the
// readout, the title, the keys and the picture agree at every part start and step.
#pragma once

#include <cstdint>
#include <optional>

struct ShowStep {
    std::int32_t part = 0;
    std::int32_t step = 0;
    bool operator==(const ShowStep&) const = default;
};

// The part and step the director draws at show time `seconds` (taken in single precision, as
// the director takes it).
ShowStep showStepAt(double seconds);

// The first whole millisecond the director draws in part `part` (0 for the first part).
std::int64_t firstMillisecondOfPart(std::int32_t part);

// The first whole millisecond of the step after, or before, the one shown at `millisecond`;
// nothing at the show's end or start.
std::optional<std::int64_t> nextStepMillisecond(std::int64_t millisecond);
std::optional<std::int64_t> previousStepMillisecond(std::int64_t millisecond);

// The name of the set part `part` looks at ("hall", "rotunda", "plaza", "stone field",
// "stairwell"), by the part's camera; empty for a part that draws nothing.
const char* partSetName(std::int32_t part);
