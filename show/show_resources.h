// The long-lived GPU resources start-up creates and the director draws with.
#pragma once

#include <memory>

#include "gl/gl_helpers.h"
#include "shaders/shader.h"

struct ShaderSlots {
    std::shared_ptr<Shader> test;    // the scene pass
    std::shared_ptr<Shader> fbtest;  // loaded and watched, drawn by no pass
    std::shared_ptr<Shader> dither;  // the dither pass of the opening part
    std::shared_ptr<Shader> blend;   // loaded and watched, drawn by no pass
    std::shared_ptr<Shader> blur;    // loaded and watched, drawn by no pass
};

// The format of the off-screen pictures (frameTextureA and B) the opening is drawn into.
inline constexpr std::uint32_t kOffscreenPictureFormat = kTextureFormatRGBA32F;

struct ShowTextures {
    Texture zeroTexture;    // 512 x 2 single-channel zeros, bound by no pass
    Texture imageTexture;   // the title image, bound by no pass
    Texture frameTextureA;  // the opening part's off-screen picture
    Texture frameTextureB;  // screen-sized like A, rendered into by no pass
    RenderTarget renderTargetA;
    RenderTarget renderTargetB;
    Texture paletteTexture2;
    Texture paletteTexture4;
    Texture paletteTexture16;
    Texture paletteTexture256;
};

extern ShaderSlots shaderSlots;
extern ShowTextures showTextures;
