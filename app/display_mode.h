// Choosing the display mode the production takes over the screen with.
#pragma once

#include <cstdint>
#include <span>

#include "platform/platform.h"

struct ModeChoice {
    int index = -1;  // enumeration index of the winner; -1 asks the platform for the current settings
    std::int32_t width = 1280;
    std::int32_t height = 720;
    std::uint8_t bits = 32;  // the mode's colour depth reduced to its low 8 bits
};

// The mode with the largest width x height x bits product, computed as an unsigned 32-bit
// product; among equal products the first enumerated wins. No modes: 1280 x 720 x 32, index -1.
ModeChoice chooseDisplayMode(std::span<const platform::DisplayMode> modes);
