// Reduces a picture drawn at `factor` times the output size in each direction to the output size,
// on the GPU: each output pixel is the mean of its factor x factor block of the drawn picture,
// taken in linear light. The drawn values are what a display shows, encoded with the show's own
// display curve (a 2.2 power, as the scene program's displayed() applies it) and clamped to
// 0 ... 1, so they are decoded to light with that curve, averaged and encoded again; averaging the
// encoded values would darken every edge between a light and a dark surface. GL thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "gl/gl_helpers.h"

struct PictureReduction {
    Texture texture;  // RGBA32F, the output size
    RenderTarget target;
    std::uint32_t program = 0;
    int width = 0;   // the output size
    int height = 0;
    int factor = 1;  // the drawn picture is factor * width x factor * height

    PictureReduction() = default;
    PictureReduction(PictureReduction&& other) noexcept;
    PictureReduction& operator=(PictureReduction&& other) noexcept;
    PictureReduction(const PictureReduction&) = delete;
    PictureReduction& operator=(const PictureReduction&) = delete;
    ~PictureReduction();  // deletes the program; the texture frees itself
};

// Builds the reduction program and the output render target. The OpenGL entry points must be
// loaded. On failure (the program does not build, no framebuffer) returns why, in a few words.
[[nodiscard]] std::optional<std::string> makePictureReduction(PictureReduction& reduction, int width, int height,
                                                              int factor);

// Draws the reduction of `source` (a texture of factor * width x factor * height) into the
// reduction's target and leaves that framebuffer bound, ready to be read back. The viewport is
// set back to the drawn size afterwards, for the next picture drawn at that size.
void reducePicture(const PictureReduction& reduction, std::uint32_t source);
