#include "shaders/shader_library.h"

#include <cstdio>
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

}  // namespace

ShaderLibrary shaderLibrary{platform::NativeString(platform::kResourceFolder)};

ShaderLibrary::ShaderLibrary(platform::NativeString folderText) : watcher(std::move(folderText)) {}

platform::NativeString ShaderLibrary::pathOf(const platform::NativeString& name) const {
    platform::NativeString path = watcher.folder;
    path += platform::kPathSeparator;
    path += name;
    return path;
}

namespace {

// Making mode's build: a failure keeps `target`'s program, or is taken when there is none yet.
// True when `target` now holds the new program.
bool buildKeepingWorking(ShaderLibrary& library, const platform::NativeString& name, const std::string& source,
                         Shader& target) {
    ShaderBuild build = buildShaderQuietly(kGlFragmentShader, source.c_str());
    const std::string file = printableName(name);
    if (!build.linked) {
        std::fprintf(stderr, "%s did not build; the last working program stays:\n%s\n", file.c_str(), build.log.c_str());
        library.failedBuilds[name] = build.log.empty() ? std::string("did not build") : build.log;
        if (target.program != Shader::kNoProgram) return false;
    } else {
        if (!build.log.empty()) std::fprintf(stderr, "%s built with messages:\n%s\n", file.c_str(), build.log.c_str());
        library.failedBuilds.erase(name);
    }
    target = std::move(build.shader);
    return true;
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
        buildKeepingWorking(*this, name, *source, *shader);
    } else {
        shader = std::make_shared<Shader>(kGlFragmentShader, source->c_str());
    }
    shaders.emplace(std::move(name), shader);
    return shader;
}

int ShaderLibrary::reloadChanged() {
    int built = 0;
    while (const std::optional<platform::NativeString> name = watcher.poll()) {
        const auto entry = shaders.find(*name);
        if (entry == shaders.end()) continue;
        const std::optional<std::string> source = readFile(pathOf(*name));
        if (!source) continue;
        ++built;
        if (keepWorkingPrograms) {
            buildKeepingWorking(*this, *name, *source, *entry->second);
        } else {
            *entry->second = Shader(kGlFragmentShader, source->c_str());
        }
    }
    return built;
}

std::optional<std::string> ShaderLibrary::buildProblem() const {
    if (failedBuilds.empty()) return std::nullopt;
    const auto& [name, log] = *failedBuilds.begin();
    return printableName(name) + ": " + log;
}
