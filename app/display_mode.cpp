#include "app/display_mode.h"

ModeChoice chooseDisplayMode(std::span<const platform::DisplayMode> modes) {
    ModeChoice choice;
    std::uint32_t bestProduct = 0;
    for (std::size_t i = 0; i < modes.size(); ++i) {
        const platform::DisplayMode& mode = modes[i];
        // The size of a mode is width x height x bits in 32 bits; a product past 2^32 wraps.
        const std::uint32_t product = mode.width * mode.height * mode.bitsPerPixel;
        if (product <= bestProduct) continue;
        bestProduct = product;
        choice.index = static_cast<int>(i);
        choice.width = static_cast<std::int32_t>(mode.width);
        choice.height = static_cast<std::int32_t>(mode.height);
        choice.bits = static_cast<std::uint8_t>(mode.bitsPerPixel & 0xFF);
    }
    return choice;
}
