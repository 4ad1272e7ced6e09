#include "show/startup.h"

#include <string>
#include <string_view>
#include <vector>

#include "gl/gl_api.h"
#include "platform/platform.h"
#include "shaders/shader_library.h"
#include "show/audio_clock.h"
#include "show/shader_slots.h"

ShaderSlots shaderSlots;

namespace {

constexpr std::uint32_t kSongFrames = 4938752;

// Silence until the song renderer is wired in; the clock still runs the song's length.
std::vector<float>& songBuffer() {
    static std::vector<float> buffer(static_cast<size_t>(kSongFrames) * 2, 0.0f);
    return buffer;
}

platform::NativeString nativeName(std::string_view ascii) { return platform::NativeString(ascii.begin(), ascii.end()); }

bool reportMissingEntryPoints(const std::vector<std::string_view>& missing) {
    if (missing.empty()) return true;
    std::string text = "The OpenGL driver lacks entry points the production needs:";
    for (std::string_view name : missing) text.append("\n").append(name);
    platform::showMessageBox(text, "Ulverror");
    return false;
}

// The passes draw with test.glsl and dither.glsl on every frame; without them there is no show.
bool loadShaders() {
    shaderSlots.test = shaderLibrary.load(nativeName("test.glsl"));
    shaderSlots.fbtest = shaderLibrary.load(nativeName("fbtest.glsl"));
    shaderSlots.dither = shaderLibrary.load(nativeName("dither.glsl"));
    shaderSlots.blend = shaderLibrary.load(nativeName("blend.glsl"));
    shaderSlots.blur = shaderLibrary.load(nativeName("blur.glsl"));
    for (const char* name : {"test.glsl", "dither.glsl"}) {
        const bool missing = std::string_view(name) == "test.glsl" ? !shaderSlots.test : !shaderSlots.dither;
        if (missing) {
            platform::showMessageBox(std::string("Can't read resources/") + name + " (missing or empty)", "Ulverror");
            return false;
        }
    }
    return true;
}

}  // namespace

bool startUp() {
    if (!reportMissingEntryPoints(loadGlApi())) return false;
    if (!loadShaders()) return false;
    shaderLibrary.watcher.arm();
    startAudio(songBuffer().data(), kSongFrames);
    return true;
}
