// Loading the title image from its PNG file.
#pragma once

#include <filesystem>

#include "show/image.h"

// Decodes the PNG at `path` into floats (byte / 255, no gamma), rows bottom first. On failure a
// message box captioned "Error" gives the decoder's reason ("can't fopen" for a file that cannot
// be opened), and the result is an empty image with channels 0.
Image loadImage(const std::filesystem::path& path);
