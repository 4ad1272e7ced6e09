#include "show/director.h"

#include <algorithm>
#include <cmath>

#include "gl/gl_api.h"
#include "gl/gl_helpers.h"
#include "gl/screen_size.h"
#include "scene/scene.h"
#include "shaders/shader_library.h"
#include "show/scene_pass.h"
#include "show/show_resources.h"
#include "show/timeline.h"
#include "synth/audio_clock.h"

namespace {

constexpr std::int32_t kOpeningCamera = 3;

DirectorState directorState;

// The poses part `part` leaves at time t in it, with recordings that end earlier held at their end.
void settlePart(Scene& scene, const ScenePart& part, float t) {
    if (part.camera < 0 || static_cast<std::size_t>(part.camera) >= scene.cameras.size()) return;
    const std::int32_t frame = sceneFrameIndex(t);
    Camera& camera = scene.cameras[static_cast<std::size_t>(part.camera)];
    applyCameraFrame(camera, lastRecordedUpTo(frame, camera.frames.size()));
    advancePartMeshes(scene, part, frame);  // mesh frames clamp themselves
    advancePartLights(scene, part, frame, PastRecording::HoldLast);
}

float cubed(float x) { return x * x * x; }

const Texture& paletteTexture(DitherPalette palette) {
    switch (palette) {
        case DitherPalette::Colours2: return showTextures.paletteTexture2;
        case DitherPalette::Colours4: return showTextures.paletteTexture4;
        case DitherPalette::Colours16: return showTextures.paletteTexture16;
        case DitherPalette::Colours256: return showTextures.paletteTexture256;
    }
    return showTextures.paletteTexture2;
}

void bindTexture(GLenum unit, const Texture& texture) {
    glApi.glActiveTexture(unit);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture.id));
}

void setDitherUniforms(GLuint program, float resolution) {
    const float resolutionVector[4] = {resolution, 0.0f, 0.0f, 0.0f};
    glApi.glUniform4fv(glApi.glGetUniformLocation(program, "resolution"), 1, resolutionVector);
    glApi.glUniform1i(glApi.glGetUniformLocation(program, "image"), 0);
    glApi.glUniform1i(glApi.glGetUniformLocation(program, "dither"), 1);
}

// The scene into frameTextureA, then the dither pass from it into the window.
void drawDithered(const ScenePart& part, float t, DitherChoice choice) {
    glApi.glBindFramebuffer(kGlFramebuffer, showTextures.renderTargetA.framebuffer);
    setSceneUniforms(theScene, part, t, *shaderSlots.test);
    glApi.glBindFramebuffer(kGlFramebuffer, screenFramebuffer);
    bindTexture(kGlTexture0, showTextures.frameTextureA);
    const GLuint program = shaderSlots.dither->program;
    glApi.glUseProgram(program);
    bindTexture(kGlTexture0 + 1, paletteTexture(choice.palette));
    setDitherUniforms(program, choice.resolution);
    drawFullScreenRect();
}

}  // namespace

float advanceTimeline(DirectorState& state, float now) {
    if (!state.started) {
        state.started = true;
        state.partStart = now;
    }
    float t = now - state.partStart;
    const bool hasNext = state.currentPart + 1 < static_cast<std::int32_t>(timeline.size());
    if (t > timeline[static_cast<std::size_t>(state.currentPart)].duration && hasNext) {
        ++state.currentPart;
        state.partStart = now;
        t = 0.0f;
    }
    return t;
}

DirectorState idealDirectorState(float seconds) {
    const std::int32_t part = partAt(seconds);
    return {part, partStartTime(static_cast<std::size_t>(part)), true};
}

FramePath framePathFor(std::int32_t camera, float t) {
    if (camera != kOpeningCamera || t >= 20.0f) return FramePath::Direct;
    return t < 14.0f ? FramePath::TwoColourDither : FramePath::SteppedDither;
}

DitherChoice steppedDitherAt(float t) {
    if (t < 16.0f) return {DitherPalette::Colours4, 4.0f};
    if (t < 18.0f) return {DitherPalette::Colours16, 2.0f};
    return {DitherPalette::Colours256, 4.0f};
}

float twoColourFlash(float t) { return cubed(std::max(2.0f * (t - 13.5f), 0.0f)); }

float steppedFlash(float t) {
    const float g = std::fmod(t - 14.0f, 2.0f);
    return cubed(std::max(2.0f * std::max(g - 1.5f, 0.5f - g), 0.0f));
}

float directOpeningFlash(float t) { return cubed(std::max(2.0f * std::max(t - 21.5f, 20.5f - t), 0.0f)); }

void drawFrame() {
    shaderLibrary.reloadChanged();
    drawFrameAt(directorState, static_cast<float>(audioSeconds()));
}

void drawFrameAt(DirectorState& state, float now) {
    const float t = advanceTimeline(state, now);
    // The part that is current after the switch test is drawn: a part that has just ended is not
    // shown once more at time 0.
    const ScenePart& part = timeline[static_cast<std::size_t>(state.currentPart)];
    theScene.flash = {1.0f, 1.0f, 1.0f, 0.0f};

    switch (framePathFor(part.camera, t)) {
        case FramePath::Direct:
            if (part.camera == kOpeningCamera) theScene.flash[3] = directOpeningFlash(t);
            glApi.glBindFramebuffer(kGlFramebuffer, screenFramebuffer);
            setSceneUniforms(theScene, part, t, *shaderSlots.test);
            break;
        case FramePath::TwoColourDither:
            theScene.flash[3] = twoColourFlash(t);
            drawDithered(part, t, {DitherPalette::Colours2, 2.0f});
            break;
        case FramePath::SteppedDither:
            theScene.flash[3] = steppedFlash(t);
            drawDithered(part, t, steppedDitherAt(t));
            break;
    }
}

void settleSceneAt(Scene& scene, float seconds) {
    const DirectorState state = idealDirectorState(seconds);
    for (std::int32_t i = 0; i <= state.currentPart; ++i) {
        const ScenePart& part = timeline[static_cast<std::size_t>(i)];
        settlePart(scene, part, i < state.currentPart ? part.duration : seconds - state.partStart);
    }
}

void drawShowTime(float seconds) {
    DirectorState state = idealDirectorState(seconds);
    drawFrameAt(state, seconds);
}

ShowPass passDrawing(const Shader* shader) {
    if (shader != nullptr && shader == shaderSlots.test.get()) return ShowPass::Scene;
    if (shader != nullptr && shader == shaderSlots.dither.get()) return ShowPass::Dither;
    return ShowPass::None;
}

PassBindings currentPassBindings() { return {boundTextures(), sceneTextureNames(theScene)}; }

namespace {

// The storage is shared and made once; the framebuffers belong to the context and are made in
// each new one (0 after the caller reset them).
void makeRehearsalTargets(RehearsalTargets& targets, std::uint32_t pictureFormat) {
    if (targets.pictureStorage == 0) targets.pictureStorage = makeRenderbuffer(pictureFormat, 1, 1);
    if (targets.picture == 0 && targets.pictureStorage != 0) targets.picture = makeRenderbufferTarget(targets.pictureStorage);
    if (targets.offscreenTexture.id == -1) {
        targets.offscreenTexture = createTexture(1, 1, kOffscreenPictureFormat, nullptr, true, 0);
    }
    if (targets.offscreen == 0) {
        RenderTarget target;
        makeRenderTarget(target, static_cast<std::uint32_t>(targets.offscreenTexture.id));
        targets.offscreen = target.framebuffer;
    }
}

void drawInto(std::uint32_t framebuffer) {
    if (framebuffer == 0) return;
    glApi.glBindFramebuffer(kGlFramebuffer, framebuffer);
    drawFullScreenRect();
}

}  // namespace

void rehearsePass(ShowPass pass, const Shader& program, const PassBindings& bindings, std::uint32_t pictureFormat,
                  RehearsalTargets& targets) {
    if (pass == ShowPass::None || program.program == Shader::kNoProgram) return;
    makeRehearsalTargets(targets, pictureFormat);
    glViewport(0, 0, 1, 1);
    bindTextures(bindings.textures);
    if (pass == ShowPass::Scene) {
        bindSceneTextures(bindings.scene);
        glApi.glUseProgram(program.program);
        setSceneUnits(program);
        drawInto(targets.picture);    // the picture outside the opening
        drawInto(targets.offscreen);  // the opening, drawn off screen before its dither
    } else {
        bindTexture(kGlTexture0, showTextures.frameTextureA);
        bindTexture(kGlTexture0 + 1, showTextures.paletteTexture2);
        glApi.glUseProgram(program.program);
        setDitherUniforms(program.program, 2.0f);
        drawInto(targets.picture);
    }
}

void endRehearsals(RehearsalTargets& targets) {
    // Unbinding alone is not letting go: the context lets go of a program and its textures at its
    // next draw, so one more draw follows.
    bindTextures(TextureUnitBindings{});
    bindSceneTextures(SceneTextureNames{});
    glApi.glUseProgram(0);
    drawInto(targets.picture);
    glApi.glBindFramebuffer(kGlFramebuffer, 0);
}
