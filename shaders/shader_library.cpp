#include "shaders/shader_library.h"

#include <utility>

#include "platform/paths.h"

ShaderLibrary shaderLibrary{platform::NativeString(platform::kResourceFolder)};

ShaderLibrary::ShaderLibrary(platform::NativeString folderText) : watcher(std::move(folderText)) {}

platform::NativeString ShaderLibrary::pathOf(const platform::NativeString& name) const {
    platform::NativeString path = watcher.folder;
    path += platform::kPathSeparator;
    path += name;
    return path;
}

std::shared_ptr<Shader> ShaderLibrary::load(platform::NativeString name) {
    const std::optional<std::string> source = readFile(pathOf(name));
    if (!source) return nullptr;
    const auto entry = shaders.find(name);
    if (entry != shaders.end()) return entry->second;
    auto shader = std::make_shared<Shader>(kGlFragmentShader, source->c_str());
    shaders.emplace(std::move(name), shader);
    return shader;
}

void ShaderLibrary::reloadChanged() {
    while (const std::optional<platform::NativeString> name = watcher.poll()) {
        const auto entry = shaders.find(*name);
        if (entry == shaders.end()) continue;
        const std::optional<std::string> source = readFile(pathOf(*name));
        if (!source) continue;
        *entry->second = Shader(kGlFragmentShader, source->c_str());
    }
}
