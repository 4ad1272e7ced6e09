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

constexpr GLenum kGlLinkStatus = 0x8B82;

}  // namespace

ShaderBuild buildShaderQuietly(GLenum stage, const char* source) {
    ShaderBuild build;
    build.shader.program = glApi.glCreateShaderProgramv(stage, 1, &source);
    GLint linked = 0;
    glApi.glGetProgramiv(build.shader.program, kGlLinkStatus, &linked);
    build.linked = linked != 0 && build.shader.program != 0;
    build.log = programInfoLog(build.shader.program).value_or(std::string());
    return build;
}

Shader::Shader(GLenum stage, const char* source) {
    const GLuint name = glApi.glCreateShaderProgramv(stage, 1, &source);
    if (const auto log = programInfoLog(name)) platform::showMessageBox(*log, "Test");
    program = name;
}

Shader::Shader(Shader&& other) noexcept : program(std::exchange(other.program, kNoProgram)) {}

Shader& Shader::operator=(Shader&& other) noexcept {
    if (this == &other) return *this;
    const std::uint32_t old = program;
    program = std::exchange(other.program, kNoProgram);
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
