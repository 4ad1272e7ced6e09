#include "show/startup.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gl/gl_api.h"
#include "gl/screen_size.h"
#include "platform/paths.h"
#include "platform/platform.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "shaders/shader_library.h"
#include "show/dither_image.h"
#include "show/dither_palettes.h"
#include "show/show_resources.h"
#include "show/timeline.h"
#include "show/title_image.h"
#include "synth/audio_clock.h"
#include "synth/music_thread.h"
#include "synth/song_render.h"

ShaderSlots shaderSlots;
ShowTextures showTextures;

namespace {

// Filled by nothing: the zero texture's contents.
const std::vector<float> zeroBuffer(1024, 0.0f);

platform::NativeString nativeName(std::string_view ascii) { return platform::NativeString(ascii.begin(), ascii.end()); }

std::filesystem::path resourcePath(std::string_view name) {
    return platform::NativeString(platform::kResourceFolder) + nativeName(name);
}

bool reportMissingEntryPoints(const std::vector<std::string_view>& missing) {
    if (missing.empty()) return true;
    std::string text = "The OpenGL driver lacks entry points the production needs:";
    for (std::string_view name : missing) text.append("\n").append(name);
    platform::showMessageBox(text, kErrorBoxTitle);
    return false;
}

// The scene file is checked before use; a file that is missing, short or inconsistent stops
// start-up with a message saying what is wrong where.
bool loadSceneFile() {
    const std::optional<std::string> error =
        loadScene(theScene, resourcePath("scene.vxs"), kSceneTextureSide, kTimelineNeeds, discardTraceLine);
    if (!error) return true;
    platform::showMessageBox(*error, kErrorBoxTitle);
    return false;
}

bool requireShader(const std::shared_ptr<Shader>& shader, const char* name) {
    if (shader) return true;
    platform::showMessageBox(std::string("Can't read resources/") + name + " (missing or empty)", kErrorBoxTitle);
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

void createTextures(const Image& title) {
    showTextures.zeroTexture = createTexture(512, 2, kTextureFormatR32F, zeroBuffer.data(), false, 0);
    showTextures.imageTexture = createTexture(title.width, title.height, kTextureFormatRGBA32F,
                                              title.pixels.empty() ? nullptr : title.pixels.data(), true, 0);
    showTextures.frameTextureA = createTexture(screenWidth, screenHeight, kOffscreenPictureFormat, nullptr, true, 0);
    showTextures.frameTextureB = createTexture(screenWidth, screenHeight, kOffscreenPictureFormat, nullptr, true, 0);
    makeRenderTarget(showTextures.renderTargetA, static_cast<std::uint32_t>(showTextures.frameTextureA.id));
    makeRenderTarget(showTextures.renderTargetB, static_cast<std::uint32_t>(showTextures.frameTextureB.id));
}

Texture createPaletteTexture(int count) {
    const Image image = buildDitherImage(count, paletteForColours(count));
    return createTexture(image.width, image.height, kTextureFormatRGBA32F, image.pixels.data(), true, 0);
}

void createPaletteTextures() {
    showTextures.paletteTexture2 = createPaletteTexture(2);
    showTextures.paletteTexture4 = createPaletteTexture(4);
    showTextures.paletteTexture16 = createPaletteTexture(16);
    showTextures.paletteTexture256 = createPaletteTexture(256);
}

}  // namespace

bool createShowResources() {
    if (!reportMissingEntryPoints(loadGlApi())) return false;
    if (!loadSceneFile()) return false;
    if (!loadShaders()) return false;
    // Watching starts once the five programs are kept: a save made before this is not seen.
    shaderLibrary.watcher.arm();
    const Image title = loadImage(resourcePath("Orrin&Vassel.png"));
    createTextures(title);
    createPaletteTextures();
    return true;
}

bool startUp() {
    startSongRender();
    if (!createShowResources()) return false;
    startAudio(songFrames(), kSongFrames, &songFramesReady());
    return true;
}
