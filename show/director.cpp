#include "show/director.h"

#include <cmath>

#include "gl/gl_api.h"
#include "gl/gl_helpers.h"
#include "gl/screen_size.h"
#include "shaders/shader_library.h"
#include "synth/audio_clock.h"
#include "show/shader_slots.h"

namespace {

constexpr float kDefaultFieldOfView = 60.0f;

}  // namespace

void drawFrame() {
    const float now = static_cast<float>(audioSeconds());
    shaderLibrary.reloadChanged();
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
    const Shader& scene = *shaderSlots.test;
    glApi.glUseProgram(scene.program);
    const float focal = 1.0f / std::tan(static_cast<float>(kDefaultFieldOfView * 3.14159265358979323846 / 360.0));
    const float frameVector[4] = {static_cast<float>(screenWidth), static_cast<float>(screenHeight), focal, now};
    glApi.glUniform4fv(0, 1, frameVector);
    drawFullScreenRect();
}
