#include "app/display_mode.h"

ModeChoice chooseDisplayMode(std::span<const platform::DisplayMode> modes) {
    ModeChoice choice;
    std::uint32_t bestProduct = 0;
    for (std::size_t i = 0; i < modes.size(); ++i) {
        const platform::DisplayMode& mode = modes[i];
        const std::uint32_t product = mode.width * mode.height * mode.bitsPerPixel;  // wraps like the original 32-bit product
        if (product <= bestProduct) continue;
        bestProduct = product;
        choice.index = static_cast<int>(i);
        choice.width = static_cast<std::int32_t>(mode.width);
        choice.height = static_cast<std::int32_t>(mode.height);
        choice.bits = static_cast<std::uint8_t>(mode.bitsPerPixel & 0xFF);
    }
    return choice;
}
