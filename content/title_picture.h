// The title image: an evening sky over a grid, a banded sun and the group's emblem, drawn
// procedurally and deterministically.
#pragma once

#include "png/png_encoder.h"

namespace content {

inline constexpr char kGeneratedTitleImageName[] = "Orrin&Vassel.png";

RgbaImage drawTitleImage();

}  // namespace content
