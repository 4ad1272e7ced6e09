// Moments of the show named by part, computed from the timeline's table, for the tools, tests
// and benchmarks that pick a show time: a change of the table moves them with it.
#pragma once

#include <cstddef>

#include "show/timeline.h"

// Show time in seconds at which part `part` begins: the sum of the durations before it.
constexpr double partStartSeconds(std::size_t part) { return static_cast<double>(partStartTime(part)); }

// Show time `secondsIntoPart` seconds after part `part` begins.
constexpr double showTimeInPart(std::size_t part, double secondsIntoPart) {
    return partStartSeconds(part) + secondsIntoPart;
}
