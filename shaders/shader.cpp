#include "shaders/shader.h"

#include <fstream>
#include <string_view>
#include <utility>

#include "gl/gl_api.h"
#include "platform/platform.h"

namespace {

// The program's info log; no value when the driver reports a length of 0 (a quiet build, or no
// program object at all).
std::optional<std::string> programInfoLog(GLuint program) {
    GLint length = 0;
    glApi.glGetProgramiv(program, kGlInfoLogLength, &length);
    if (length <= 0) return std::nullopt;
    std::string log(static_cast<std::size_t>(length), '\0');
    glApi.glGetProgramInfoLog(program, length, nullptr, log.data());
    // The length counts the terminating NUL; the box shows the text before it.
    log.resize(std::string_view(log.c_str()).size());
    return log;
}

// Bit n set when location n is an active uniform of `program`. Reading a location the program
// lacks (or any location of a program that did not link) is the one error the reading can give;
// errors pending before it are taken off first, so that they are not read as its answer.
std::uint8_t fixedLocationsOf(GLuint program) {
    for (int pending = 0; pending < 16 && glGetError() != GL_NO_ERROR; ++pending) {
    }
    std::uint8_t active = 0;
    for (int location = 0; location < kFixedUniformLocations; ++location) {
        GLfloat value[16] = {};  // room for the largest uniform a location can hold, a 4x4 matrix
        glApi.glGetUniformfv(program, location, value);
        if (glGetError() == GL_NO_ERROR) active = static_cast<std::uint8_t>(active | (1u << location));
    }
    return active;
}

// The program built from `source`, with its active fixed locations.
Shader buildProgram(GLenum stage, const char* source) {
    Shader shader;
    shader.program = glApi.glCreateShaderProgramv(stage, 1, &source);
    shader.activeFixedLocations = fixedLocationsOf(shader.program);
    return shader;
}

}  // namespace

ShaderBuild buildShaderQuietly(GLenum stage, const char* source) {
    ShaderBuild build;
    build.shader = buildProgram(stage, source);
    GLint linked = 0;
    glApi.glGetProgramiv(build.shader.program, kGlLinkStatus, &linked);
    build.linked = linked != 0 && build.shader.program != 0;
    build.log = programInfoLog(build.shader.program).value_or(std::string());
    return build;
}

Shader::Shader(GLenum stage, const char* source) : Shader(buildProgram(stage, source)) {
    if (const auto log = programInfoLog(program)) platform::showMessageBox(*log, "Test");
}

Shader::Shader(Shader&& other) noexcept
    : program(std::exchange(other.program, kNoProgram)),
      activeFixedLocations(std::exchange(other.activeFixedLocations, std::uint8_t{0})) {}

Shader& Shader::operator=(Shader&& other) noexcept {
    if (this == &other) return *this;
    const std::uint32_t old = program;
    program = std::exchange(other.program, kNoProgram);
    activeFixedLocations = std::exchange(other.activeFixedLocations, std::uint8_t{0});
    if (old != kNoProgram) glApi.glDeleteProgram(old);
    return *this;
}

Shader::~Shader() {
    if (program != kNoProgram) glApi.glDeleteProgram(program);
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (!file || size <= 0) return std::nullopt;
    file.seekg(0, std::ios::beg);
    // A folder opens and reports a huge size, yet cannot be read: it is unreadable like a file
    // that cannot be opened, and is found out before the size is allocated.
    if (file.peek() == std::ifstream::traits_type::eof()) return std::nullopt;
    // A short read leaves zero bytes at the end; the count actually read is not examined.
    std::string bytes(static_cast<std::size_t>(size), '\0');
    file.read(bytes.data(), size);
    return bytes;
}
