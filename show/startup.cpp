#include "show/startup.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gl/gl_api.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "shaders/shader_library.h"
#include "synth/audio_clock.h"
#include "synth/music_thread.h"
#include "show/shader_slots.h"
#include "synth/song_render.h"

ShaderSlots shaderSlots;

namespace {

constexpr int kSceneTextureSide = 1024;

platform::NativeString nativeName(std::string_view ascii) { return platform::NativeString(ascii.begin(), ascii.end()); }

bool reportMissingEntryPoints(const std::vector<std::string_view>& missing) {
    if (missing.empty()) return true;
    std::string text = "The OpenGL driver lacks entry points the production needs:";
    for (std::string_view name : missing) text.append("\n").append(name);
    platform::showMessageBox(text, "Ulverror");
    return false;
}

bool requireShader(const std::shared_ptr<Shader>& shader, const char* name) {
    if (shader) return true;
    platform::showMessageBox(std::string("Can't read resources/") + name + " (missing or empty)", "Ulverror");
    return false;
}

// The passes draw with test.glsl and dither.glsl on every frame; without them there is no show.
bool loadShaders() {
    shaderSlots.test = shaderLibrary.load(nativeName("test.glsl"));
    shaderSlots.fbtest = shaderLibrary.load(nativeName("fbtest.glsl"));
    shaderSlots.dither = shaderLibrary.load(nativeName("dither.glsl"));
    shaderSlots.blend = shaderLibrary.load(nativeName("blend.glsl"));
    shaderSlots.blur = shaderLibrary.load(nativeName("blur.glsl"));
    return requireShader(shaderSlots.test, "test.glsl") && requireShader(shaderSlots.dither, "dither.glsl");
}

// The scene file is checked before use; a file that is missing, short or inconsistent stops
// start-up with a message saying what is wrong where.
bool loadSceneFile() {
    const std::filesystem::path path = platform::NativeString(platform::kResourceFolder) + nativeName("scene.vxs");
    const std::optional<std::string> error = loadScene(theScene, path, kSceneTextureSide, discardTraceLine);
    if (!error) return true;
    platform::showMessageBox(*error, "Ulverror");
    return false;
}

}  // namespace

bool startUp() {
    startSongRender();
    if (!reportMissingEntryPoints(loadGlApi())) return false;
    if (!loadSceneFile()) return false;
    if (!loadShaders()) return false;
    shaderLibrary.watcher.arm();
    startAudio(songFrames(), kSongFrames, &songFramesReady());
    return true;
}
