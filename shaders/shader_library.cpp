#include "shaders/shader_library.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/paths.h"

namespace {

// The file name for messages: ASCII as it is, anything else as '?', so that no conversion can fail.
std::string printableName(const platform::NativeString& name) {
    std::string text;
    for (const platform::NativeChar unit : name) {
        const auto code = static_cast<std::uint32_t>(unit);
        text += code >= 0x20 && code < 0x7F ? static_cast<char>(code) : '?';
    }
    return text;
}

// Digits at `at` read into `value`; the position after them, or npos when there are none.
std::size_t readNumber(std::string_view text, std::size_t at, std::string_view& value) {
    std::size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == at) return std::string_view::npos;
    value = text.substr(at, end - at);
    return end;
}

// "SOURCE:LINE(COLUMN): rest" as "path:LINE:COLUMN: rest"; nothing when the line is not so.
std::optional<std::string> atFilePosition(std::string_view path, std::string_view line) {
    std::string_view source, lineNumber, column;
    std::size_t at = readNumber(line, 0, source);
    if (at == std::string_view::npos || at >= line.size() || line[at] != ':') return std::nullopt;
    at = readNumber(line, at + 1, lineNumber);
    if (at == std::string_view::npos || at >= line.size() || line[at] != '(') return std::nullopt;
    at = readNumber(line, at + 1, column);
    if (at == std::string_view::npos || line.substr(at, 3) != "): ") return std::nullopt;
    return std::string(path) + ":" + std::string(lineNumber) + ":" + std::string(column) + ": " +
           std::string(line.substr(at + 3));
}

}  // namespace

std::string logAtFilePositions(std::string_view path, std::string_view log) {
    std::string result;
    std::size_t at = 0;
    while (at < log.size()) {
        const std::size_t end = std::min(log.find('\n', at), log.size());
        const std::string_view line = log.substr(at, end - at);
        result += atFilePosition(path, line).value_or(std::string(line));
        if (end < log.size()) result += '\n';
        at = end + 1;
    }
    return result;
}

ShaderLibrary shaderLibrary{platform::NativeString(platform::kResourceFolder)};

ShaderLibrary::ShaderLibrary(platform::NativeString folderText) : watcher(std::move(folderText)) {}

platform::NativeString ShaderLibrary::pathOf(const platform::NativeString& name) const {
    platform::NativeString path = watcher.folder;
    path += platform::kPathSeparator;
    path += name;
    return path;
}

namespace {

// The file as messages name it: the resource folder and the name, e.g. "resources/test.glsl".
std::string messagePath(const ShaderLibrary& library, const platform::NativeString& name) {
    platform::NativeString folder = library.watcher.folder;
    while (!folder.empty() && folder.back() == platform::kPathSeparator) folder.pop_back();
    return printableName(folder.empty() ? name : folder + platform::kPathSeparator + name);
}

// Making mode's rule for a finished build: a failure keeps `target`'s program, or is taken when
// there is none yet.
void installKeepingWorking(ShaderLibrary& library, const platform::NativeString& name, ShaderBuild build,
                           Shader& target) {
    const std::string file = messagePath(library, name);
    const std::string log = logAtFilePositions(file, build.log);
    if (!build.linked) {
        std::fprintf(stderr, "%s did not build; the last working program stays:\n%s\n", file.c_str(), log.c_str());
        library.failedBuilds[name] = log.empty() ? file + ": did not build" : log;
        if (target.program != Shader::kNoProgram) return;
    } else {
        if (!log.empty()) std::fprintf(stderr, "%s built with messages:\n%s\n", file.c_str(), log.c_str());
        library.failedBuilds.erase(name);
    }
    target = std::move(build.shader);
}

// Making mode: a save that left the file empty (0 bytes) builds nothing; say so, once per save.
void reportEmptySave(ShaderLibrary& library, const platform::NativeString& name) {
    std::error_code error;
    if (std::filesystem::file_size(std::filesystem::path(library.pathOf(name)), error) != 0 || error) return;
    const std::string message = messagePath(library, name) + ": the file is empty; the last working program stays";
    std::fprintf(stderr, "%s\n", message.c_str());
    library.failedBuilds[name] = message;
}

}  // namespace

std::shared_ptr<Shader> ShaderLibrary::load(platform::NativeString name) {
    const std::optional<std::string> source = readFile(pathOf(name));
    if (!source) return nullptr;
    const auto entry = shaders.find(name);
    if (entry != shaders.end()) return entry->second;
    std::shared_ptr<Shader> shader;
    if (keepWorkingPrograms) {
        shader = std::make_shared<Shader>();
        installKeepingWorking(*this, name, buildShaderQuietly(kGlFragmentShader, source->c_str()), *shader);
    } else {
        shader = std::make_shared<Shader>(kGlFragmentShader, source->c_str());
    }
    shaders.emplace(std::move(name), shader);
    return shader;
}

std::vector<ChangedSource> ShaderLibrary::takeChangedSources() {
    std::vector<ChangedSource> changed;
    while (const std::optional<platform::NativeString> name = watcher.poll()) {
        if (!shaders.contains(*name)) continue;
        std::optional<std::string> source = readFile(pathOf(*name));
        if (!source) {
            if (keepWorkingPrograms) reportEmptySave(*this, *name);
            continue;
        }
        changed.push_back({*name, std::move(*source)});
    }
    return changed;
}

void ShaderLibrary::installBuild(const platform::NativeString& name, ShaderBuild build) {
    const auto entry = shaders.find(name);
    if (entry != shaders.end()) installKeepingWorking(*this, name, std::move(build), *entry->second);
}

int ShaderLibrary::reloadChanged() {
    const std::vector<ChangedSource> changed = takeChangedSources();
    for (const ChangedSource& file : changed) {
        if (keepWorkingPrograms) {
            installBuild(file.name, buildShaderQuietly(kGlFragmentShader, file.text.c_str()));
        } else {
            *shaders.at(file.name) = Shader(kGlFragmentShader, file.text.c_str());
        }
    }
    return static_cast<int>(changed.size());
}

std::optional<std::string> ShaderLibrary::buildProblem() const {
    if (failedBuilds.empty()) return std::nullopt;
    return failedBuilds.begin()->second;
}
