#include "gl/picture_reduction.h"

#include <utility>
#include <vector>

#include "gl/gl_api.h"

namespace {

// A texture unit the show's passes do not use, so the reduction never leaves the drawn picture
// bound where a scene program could read it while drawing into it.
constexpr GLenum kReductionUnit = kGlTexture0 + 7;

// texelFetch reads the drawn texels exactly; the block of output pixel p starts at p * factor.
constexpr char kReductionSource[] = R"(#version 450
layout(location = 0) uniform sampler2D picture;
layout(location = 1) uniform ivec4 grid;  // factor, unused, unused, unused
out vec4 fragColor;

// The show's own display curve, a 2.2 power: displayed() in resources/test.glsl encodes with it.
const float displayGamma = 2.2;

vec3 toLight(vec3 shown) { return pow(clamp(shown, 0.0, 1.0), vec3(displayGamma)); }

vec3 toShown(vec3 light) { return pow(light, vec3(1.0 / displayGamma)); }

void main() {
    int factor = grid.x;
    ivec2 origin = ivec2(gl_FragCoord.xy) * factor;
    vec3 light = vec3(0.0);
    float alpha = 0.0;
    for (int y = 0; y < factor; ++y) {
        for (int x = 0; x < factor; ++x) {
            vec4 texel = texelFetch(picture, origin + ivec2(x, y), 0);
            light += toLight(texel.rgb);
            alpha += clamp(texel.a, 0.0, 1.0);
        }
    }
    float count = float(factor * factor);
    fragColor = vec4(toShown(light / count), alpha / count);
}
)";

std::optional<std::string> programLog(GLuint program) {
    GLint length = 0;
    glApi.glGetProgramiv(program, kGlInfoLogLength, &length);
    if (length <= 1) return std::nullopt;
    std::vector<GLchar> log(static_cast<std::size_t>(length));
    glApi.glGetProgramInfoLog(program, length, nullptr, log.data());
    return std::string(log.data());
}

}  // namespace

PictureReduction::PictureReduction(PictureReduction&& other) noexcept
    : texture(std::move(other.texture)),
      target(std::exchange(other.target, RenderTarget{})),
      program(std::exchange(other.program, 0u)),
      width(other.width),
      height(other.height),
      factor(other.factor) {}

PictureReduction& PictureReduction::operator=(PictureReduction&& other) noexcept {
    if (this == &other) return *this;
    if (program != 0) glApi.glDeleteProgram(program);
    texture = std::move(other.texture);
    target = std::exchange(other.target, RenderTarget{});
    program = std::exchange(other.program, 0u);
    width = other.width;
    height = other.height;
    factor = other.factor;
    return *this;
}

PictureReduction::~PictureReduction() {
    if (program != 0) glApi.glDeleteProgram(program);
}

std::optional<std::string> makePictureReduction(PictureReduction& reduction, int width, int height, int factor) {
    reduction = PictureReduction{};
    if (width <= 0 || height <= 0 || factor < 1) return "nothing to reduce to";
    const GLchar* source = kReductionSource;
    const GLuint program = glApi.glCreateShaderProgramv(kGlFragmentShader, 1, &source);
    if (program == 0) return "the OpenGL driver cannot build the reduction program";
    reduction.program = program;
    GLint linked = 0;
    glApi.glGetProgramiv(program, kGlLinkStatus, &linked);
    if (linked == 0) return "the reduction program does not build: " + programLog(program).value_or("no log");
    reduction.width = width;
    reduction.height = height;
    reduction.factor = factor;
    reduction.texture = createTexture(width, height, kTextureFormatRGBA32F, nullptr, false, 0);
    makeRenderTarget(reduction.target, static_cast<std::uint32_t>(reduction.texture.id));
    if (reduction.target.framebuffer == 0) return "cannot make the reduction's framebuffer";
    return std::nullopt;
}

void reducePicture(const PictureReduction& reduction, std::uint32_t source) {
    glApi.glBindFramebuffer(kGlFramebuffer, reduction.target.framebuffer);
    glViewport(0, 0, reduction.width, reduction.height);
    glApi.glActiveTexture(kReductionUnit);
    glBindTexture(GL_TEXTURE_2D, source);
    glApi.glUseProgram(reduction.program);
    glApi.glUniform1i(0, static_cast<GLint>(kReductionUnit - kGlTexture0));
    const GLint grid[4] = {reduction.factor, 0, 0, 0};
    glApi.glUniform4iv(1, 1, grid);
    drawFullScreenRect();
    glBindTexture(GL_TEXTURE_2D, 0);
    glApi.glActiveTexture(kGlTexture0);
    glViewport(0, 0, reduction.width * reduction.factor, reduction.height * reduction.factor);
}
