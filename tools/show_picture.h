// The show's picture at a show time, drawn as the production shows it there and read back, for
// the commands that draw pictures (frame, capture).
#pragma once

#include <optional>
#include <string>

#include "tools/headless_screen.h"

// Draws show time `seconds` with the director state an ideal clock gives there (the scene settled
// as the caller left it) and reads the picture back. Every picture uses the screen's samples but
// the opening's dithered ones: their dither is a pattern of the picture's own pixels, which
// averaging would wash out into grey, so they are drawn at the picture's size, as the show draws
// them. On failure returns why.
[[nodiscard]] std::optional<std::string> drawShowPicture(HeadlessScreen& screen, float seconds, RgbaImage& picture);
