// The shader programs the passes draw with, filled by start-up from the shader library.
#pragma once

#include <memory>

#include "shaders/shader.h"

struct ShaderSlots {
    std::shared_ptr<Shader> test;    // the scene pass
    std::shared_ptr<Shader> fbtest;  // loaded and watched, drawn by no pass
    std::shared_ptr<Shader> dither;  // the dither pass of the opening part
    std::shared_ptr<Shader> blend;   // loaded and watched, drawn by no pass
    std::shared_ptr<Shader> blur;    // loaded and watched, drawn by no pass
};

extern ShaderSlots shaderSlots;
