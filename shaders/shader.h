// One fragment-stage program built from one source text, and the file reader that feeds it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "gl/gl_base.h"

// Owns one OpenGL program name; kNoProgram owns nothing. Move-only, and always held through a
// std::shared_ptr made by std::make_shared, so that replacing the program in place (hot reload)
// reaches every holder. Holders read `program` at every use and never keep the number.
struct Shader {
    static constexpr std::uint32_t kNoProgram = 0xFFFFFFFF;

    std::uint32_t program = kNoProgram;
    // Which of the explicit uniform locations 0 to 3 the program has active (bit n: location n),
    // found once per build. Setting a location the program lacks is a GL error, unlike a name
    // it lacks, so users set those locations only when their bit is here.
    std::uint8_t activeFixedLocations = 0;

    Shader() = default;
    // Builds a separable program from one NUL-terminated source. A non-empty info log (errors
    // or warnings) is shown in a message box captioned "Test"; the program is kept either way,
    // and its link status is never queried.
    Shader(GLenum stage, const char* source);
    Shader(Shader&& other) noexcept;
    // Takes the other's program, leaving it empty, then deletes the program held before.
    Shader& operator=(Shader&& other) noexcept;
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;
    ~Shader();

    [[nodiscard]] bool hasFixedLocation(int location) const { return (activeFixedLocations >> location) & 1u; }
};

// The explicit uniform locations whose use users check with hasFixedLocation.
inline constexpr int kFixedUniformLocations = 4;

// A build that reports instead of interrupting: no message box, and the link status is asked.
struct ShaderBuild {
    Shader shader;     // holds the program, built or failed
    bool linked = false;
    std::string log;   // the driver's info log, empty when it gave none
};

// Builds a separable fragment-stage program from one NUL-terminated source without showing a
// box; the caller decides what a failed build means.
ShaderBuild buildShaderQuietly(GLenum stage, const char* source);

// The whole file as stored (binary, no line-end translation). No value when the file is
// missing, cannot be read, or is empty.
std::optional<std::string> readFile(const std::filesystem::path& path);
