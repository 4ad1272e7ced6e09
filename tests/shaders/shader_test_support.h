// Helpers shared by the shader tests: temporary folders, file writes that finish with a close,
// and reading back what a program draws.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "gl/gl_api.h"
#include "gl/gl_helpers.h"
#include "platform/platform.h"
#include "shaders/shader.h"

namespace shadertest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qv-shaders-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    // The folder text as the library takes it: ending in the separator.
    platform::NativeString text() const { return path_.native() + '/'; }

private:
    std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A source that draws one flat colour.
inline std::string flatColorSource(float red, float green, float blue) {
    return "#version 450\nout vec4 color;\nvoid main() { color = vec4(" + std::to_string(red) + ", " +
           std::to_string(green) + ", " + std::to_string(blue) + ", 1.0); }\n";
}

// Mesa caches sources that built and then reports no log for them: a comment unique to this run
// makes the driver really compile, so a warning shows every time.
inline std::string uniqueComment() {
    static std::mt19937_64 generator(std::random_device{}() ^
                                     static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return "// " + std::to_string(generator()) + "\n";
}

// Builds cleanly but for one warning about the reserved "__" in an identifier.
inline std::string warningSource() {
    return "#version 450\n" + uniqueComment() +
           "out vec4 color;\nvoid main() { float a__b = 0.5; color = vec4(a__b); }\n";
}

inline const std::string kErrorSource = "#version 450\nout vec4 color;\nvoid main() { color = vec4(1.0) }\n";

inline bool isProgram(std::uint32_t program) {
    using IsProgram = GLboolean(QV_GL_CALL*)(GLuint);
    static const auto glIsProgram = reinterpret_cast<IsProgram>(platform::getGlProcAddress("glIsProgram"));
    return glIsProgram(program) == GL_TRUE;
}

inline std::string infoLogOf(std::uint32_t program) {
    GLint length = 0;
    glApi.glGetProgramiv(program, kGlInfoLogLength, &length);
    std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
    glApi.glGetProgramInfoLog(program, length, nullptr, log.data());
    return log.c_str();
}

inline bool linked(std::uint32_t program) {
    GLint status = 0;
    glApi.glGetProgramiv(program, 0x8B82 /* GL_LINK_STATUS */, &status);
    return status == GL_TRUE;
}

// Draws the program over a small float target, with `frame` at uniform location 0, and returns
// the RGBA floats, bottom row first.
template <int Width, int Height>
std::array<float, Width * Height * 4> drawPicture(const Shader& shader, std::array<float, 4> frame = {}) {
    static Texture texture = createTexture(Width, Height, kTextureFormatRGBA32F, nullptr, false, 0);
    static RenderTarget target;
    makeRenderTarget(target, static_cast<std::uint32_t>(texture.id));
    glApi.glBindFramebuffer(kGlFramebuffer, target.framebuffer);
    glViewport(0, 0, Width, Height);
    glApi.glUseProgram(shader.program);
    glApi.glUniform4fv(0, 1, frame.data());
    drawFullScreenRect();
    std::array<float, Width * Height * 4> pixels{};
    glReadPixels(0, 0, Width, Height, GL_RGBA, GL_FLOAT, pixels.data());
    glApi.glUseProgram(0);
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
    return pixels;
}

}  // namespace shadertest
