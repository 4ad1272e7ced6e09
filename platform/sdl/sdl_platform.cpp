// SDL2 backend: display modes, the window with its OpenGL compatibility context, events,
// message boxes and audio. This is what runs on Linux (under Xvfb on machines without a screen).
#include "platform/platform.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {
namespace {

struct SdlState {
    bool videoReady = false;
    bool fullScreenApplied = false;
    SDL_DisplayMode chosenMode{};
    bool haveChosenMode = false;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool (*eventEndsLoop)(const WindowEvent&) = nullptr;
    bool quitPosted = false;
    SDL_Event lastEvent{};
};

SdlState& state() {
    static SdlState instance;
    return instance;
}

struct SdlAudio {
    SDL_AudioDeviceID device = 0;
    const float* frames = nullptr;
    std::uint32_t frameCount = 0;
    const std::atomic<std::uint32_t>* framesReady = nullptr;
    std::atomic<std::uint32_t> position{0};
};

SdlAudio& audio() {
    static SdlAudio instance;
    return instance;
}

bool ensureVideo() {
    SdlState& s = state();
    if (!s.videoReady) s.videoReady = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    return s.videoReady;
}

WindowEvent translate(const SDL_Event& event) {
    WindowEvent result;
    switch (event.type) {
        case SDL_QUIT:
            result.kind = WindowEventKind::Close;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) result.kind = WindowEventKind::Close;
            break;
        case SDL_KEYDOWN:
            result.kind = WindowEventKind::KeyDown;
            result.key = event.key.keysym.sym == SDLK_ESCAPE ? Key::Escape : Key::Other;
            break;
        default:
            break;
    }
    return result;
}

void setPixelFormat(std::uint8_t colorBits, int alphaBits) {
    const int channelBits = colorBits >= 24 ? 8 : (colorBits >= 15 ? 5 : 4);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channelBits);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channelBits);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channelBits);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 5);
}

void SDLCALL feedAudio(void* userData, Uint8* stream, int length) {
    SdlAudio& a = *static_cast<SdlAudio*>(userData);
    const std::uint32_t wanted = static_cast<std::uint32_t>(length) / 8;
    const std::uint32_t start = a.position.load(std::memory_order_relaxed);
    const std::uint32_t ready = a.framesReady != nullptr
                                    ? std::min(a.framesReady->load(std::memory_order_acquire), a.frameCount)
                                    : a.frameCount;
    // Frames the render has not written yet are never played: the device gets silence and the
    // position waits for the render instead.
    const std::uint32_t available = start < ready ? ready - start : 0;
    const std::uint32_t copied = wanted < available ? wanted : available;
    std::memcpy(stream, a.frames + static_cast<size_t>(start) * 2, static_cast<size_t>(copied) * 8);
    std::memset(stream + static_cast<size_t>(copied) * 8, 0, static_cast<size_t>(wanted - copied) * 8);
    a.position.store(start + copied, std::memory_order_release);
}

}  // namespace

bool registerWindowClass() { return ensureVideo(); }

std::vector<DisplayMode> listDisplayModes() {
    std::vector<DisplayMode> modes;
    if (!ensureVideo()) return modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(0, i, &mode) != 0) break;
        modes.push_back({static_cast<std::uint32_t>(mode.w), static_cast<std::uint32_t>(mode.h),
                         SDL_BITSPERPIXEL(mode.format), static_cast<std::uint32_t>(mode.refresh_rate)});
    }
    return modes;
}

bool applyDisplayMode(int index) {
    SdlState& s = state();
    if (!ensureVideo()) return false;
    // SDL switches the mode when the full-screen window appears; here the mode is only chosen.
    const int result = index < 0 ? SDL_GetDesktopDisplayMode(0, &s.chosenMode)
                                 : SDL_GetDisplayMode(0, index, &s.chosenMode);
    s.haveChosenMode = result == 0;
    s.fullScreenApplied = s.haveChosenMode;
    return s.fullScreenApplied;
}

void restoreDesktopMode() {
    SdlState& s = state();
    if (s.window != nullptr) SDL_SetWindowFullscreen(s.window, 0);
    SDL_ShowCursor(SDL_ENABLE);
    s.fullScreenApplied = false;
}

void exitProcess(int code) {
    std::fflush(nullptr);
    SDL_Quit();  // closes the audio device (flushing a disk-audio file) and puts the desktop back
    std::_Exit(code);
}

bool createWindow(const WindowRequest& request) {
    SdlState& s = state();
    if (!ensureVideo()) return false;
    s.eventEndsLoop = request.eventEndsLoop;
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (request.fullScreen) flags |= SDL_WINDOW_FULLSCREEN;
    for (int alphaBits : {1, 0}) {
        setPixelFormat(request.colorBits, alphaBits);
        s.window = SDL_CreateWindow("Quorvale", 0, 0, request.width, request.height, flags);
        if (s.window != nullptr) break;
    }
    if (s.window == nullptr) return false;
    if (request.fullScreen) {
        if (s.haveChosenMode && SDL_SetWindowDisplayMode(s.window, &s.chosenMode) != 0) {
            // The mode was refused after all: a framed window of the same client size instead.
            SDL_SetWindowFullscreen(s.window, 0);
            return true;
        }
        SDL_ShowCursor(SDL_DISABLE);
    }
    return true;
}

bool createGlContext() {
    SdlState& s = state();
    if (s.window == nullptr) return false;
    s.context = SDL_GL_CreateContext(s.window);
    if (s.context == nullptr) {
        // Drivers without a 4.5 compatibility context: take whatever the default request gives.
        SDL_GL_ResetAttributes();
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        s.context = SDL_GL_CreateContext(s.window);
    }
    return s.context != nullptr && SDL_GL_MakeCurrent(s.window, s.context) == 0;
}

void* getGlProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

void showWindow() {
    SdlState& s = state();
    if (s.window != nullptr) SDL_ShowWindow(s.window);
}

void swapBuffers() {
    SdlState& s = state();
    if (s.window != nullptr) SDL_GL_SwapWindow(s.window);
}

MessageStatus takeMessage() {
    SdlState& s = state();
    if (s.quitPosted) return MessageStatus::Quit;
    if (!s.videoReady || SDL_PollEvent(&s.lastEvent) == 0) return MessageStatus::None;
    return MessageStatus::Taken;
}

void dispatchMessage() {
    SdlState& s = state();
    const WindowEvent event = translate(s.lastEvent);
    if (s.eventEndsLoop != nullptr && s.eventEndsLoop(event)) s.quitPosted = true;
}

void showMessageBox(std::string_view text, std::string_view caption) {
    const std::string textCopy(text);
    const std::string captionCopy(caption);
    if (SDL_ShowSimpleMessageBox(0, captionCopy.c_str(), textCopy.c_str(), nullptr) != 0) {
        // No display to show it on: the message still reaches whoever started the production.
        std::fprintf(stderr, "%s: %s\n", captionCopy.c_str(), textCopy.c_str());
    }
}

bool startAudioPlayback(const float* frames, std::uint32_t frameCount,
                        const std::atomic<std::uint32_t>* framesReady) {
    SdlAudio& a = audio();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    a.frames = frames;
    a.frameCount = frameCount;
    a.framesReady = framesReady;
    a.position.store(0);
    SDL_AudioSpec wanted{};
    wanted.freq = 44100;
    wanted.format = AUDIO_F32LSB;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = feedAudio;
    wanted.userdata = &a;
    a.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (a.device == 0) return false;
    SDL_PauseAudioDevice(a.device, 0);
    return true;
}

std::optional<std::uint32_t> audioPlayPosition() {
    SdlAudio& a = audio();
    if (a.device == 0) return std::nullopt;
    return a.position.load(std::memory_order_acquire);
}

}  // namespace platform
