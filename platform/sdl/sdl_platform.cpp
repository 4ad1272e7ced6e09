// SDL2 backend: display modes, the window with its OpenGL compatibility context, events,
// message boxes and audio. This is what runs on Linux (under Xvfb on machines without a screen).
#include "platform/platform.h"

#include "platform/audio_feed.h"
#include "platform/sdl/sdl_window.h"
#include "platform/song_feed.h"

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
    bool fullScreenRequested = false;
    int clientWidth = 0;
    int clientHeight = 0;
    SDL_GLContext context = nullptr;
    // The worker context draws to nothing of its own, but SDL makes a context current only with a
    // window; a hidden one keeps the shown window out of a second thread.
    SDL_Window* workerWindow = nullptr;
    SDL_GLContext workerContext = nullptr;
    bool (*eventEndsLoop)(const WindowEvent&) = nullptr;
    bool quitPosted = false;
    SDL_Event lastEvent{};
};

SdlState& state() {
    static SdlState instance;
    return instance;
}

constexpr std::uint32_t kNoSeek = 0xFFFFFFFF;

struct SdlAudio {
    SDL_AudioDeviceID device = 0;
    const float* frames = nullptr;
    std::uint32_t frameCount = 0;
    const std::atomic<std::uint32_t>* framesReady = nullptr;
    std::atomic<std::uint32_t> position{0};
    // A seek the callback has not carried out yet (kNoSeek when none); the main thread writes it,
    // the callback clears it once the position it stored starts from there.
    std::atomic<std::uint32_t> seekTarget{kNoSeek};
    std::atomic<bool> paused{false};
    // The loop as one value, so that the callback never sees one end of an old loop with one of a
    // new one: `from` in the high half, `to` in the low half.
    std::atomic<std::uint64_t> loop{0};
    // The callback's own: after a seek (or a making-mode start) it plays nothing until the song
    // is written far enough beyond the position (songWrittenFor).
    bool waitingForLead = false;
    // Silent frames handed to the device after the song's last frame: once they fill the
    // device's own buffer, the last song frame has been played.
    std::atomic<std::uint32_t> silenceAfterEnd{0};
    std::uint32_t deviceBufferFrames = 0;  // frames per callback, as the device granted them
    // Making mode: the feed that fades every cut, and when the callback last handed it out.
    bool making = false;
    SongFeed feed;
    std::atomic<std::uint64_t> handedOut{0};
    std::atomic<Uint64> lastFillTicks{0};
};

// Callback buffers the device holds beyond the one the callback fills: what it plays now and its
// queue (two buffers on ALSA and PulseAudio).
constexpr std::uint32_t kHeldBuffers = 2;

std::uint64_t packLoop(AudioLoop loop) { return (static_cast<std::uint64_t>(loop.from) << 32) | loop.to; }
AudioLoop unpackLoop(std::uint64_t bits) {
    return {static_cast<std::uint32_t>(bits >> 32), static_cast<std::uint32_t>(bits & 0xFFFFFFFFu)};
}

// Callback buffers of silence after the song's end that drainAudioOutput waits for: the device's
// queue (two buffers), the buffer in flight, and one for the time between a callback and its write.
constexpr std::uint32_t kDrainBuffers = 4;
constexpr Uint64 kDrainLimitMs = 1000;

SdlAudio& audio() {
    static SdlAudio instance;
    return instance;
}

bool ensureVideo() {
    SdlState& s = state();
    if (!s.videoReady) s.videoReady = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    return s.videoReady;
}

Key keyOf(SDL_Keycode code) {
    switch (code) {
        case SDLK_ESCAPE: return Key::Escape;
        case SDLK_SPACE: return Key::Space;
        case SDLK_LEFT: return Key::Left;
        case SDLK_RIGHT: return Key::Right;
        case SDLK_UP: return Key::Up;
        case SDLK_DOWN: return Key::Down;
        case SDLK_p: return Key::P;
        case SDLK_PAGEUP: return Key::PageUp;
        case SDLK_PAGEDOWN: return Key::PageDown;
        case SDLK_HOME: return Key::Home;
        case SDLK_COMMA: return Key::Comma;
        case SDLK_PERIOD: return Key::Period;
        case SDLK_LEFTBRACKET: return Key::LeftBracket;
        case SDLK_RIGHTBRACKET: return Key::RightBracket;
        case SDLK_BACKSPACE: return Key::Backspace;
        case SDLK_TAB: return Key::Tab;
        default: return Key::Other;
    }
}

WindowEvent translate(const SDL_Event& event) {
    WindowEvent result;
    switch (event.type) {
        case SDL_QUIT:
            result.kind = WindowEventKind::Close;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) result.kind = WindowEventKind::Close;
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED) result.kind = WindowEventKind::Expose;
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                result.kind = WindowEventKind::Resize;
                result.width = event.window.data1;
                result.height = event.window.data2;
            }
            break;
        case SDL_KEYDOWN:
            result.kind = WindowEventKind::KeyDown;
            result.key = keyOf(event.key.keysym.sym);
            result.repeat = event.key.repeat != 0;
            result.shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
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
    float* out = reinterpret_cast<float*>(stream);
    const std::uint32_t wanted = static_cast<std::uint32_t>(length) / 8;
    if (a.paused.load(std::memory_order_acquire)) {
        std::memset(out, 0, static_cast<std::size_t>(wanted) * 8);
        return;
    }
    const std::uint32_t seek = a.seekTarget.load(std::memory_order_acquire);
    if (seek != kNoSeek) {
        a.silenceAfterEnd.store(0, std::memory_order_relaxed);
        a.waitingForLead = true;
    }
    const AudioLoop loop = unpackLoop(a.loop.load(std::memory_order_acquire));
    const std::uint32_t ready = a.framesReady != nullptr ? a.framesReady->load(std::memory_order_acquire) : a.frameCount;
    const std::uint32_t start = seek != kNoSeek ? seek : a.position.load(std::memory_order_relaxed);
    if (a.waitingForLead && !songWrittenFor(start, ready, a.frameCount)) {
        std::memset(out, 0, static_cast<std::size_t>(wanted) * 8);
        a.position.store(start, std::memory_order_release);
    } else {
        a.waitingForLead = false;
        a.position.store(feedSongFrames(out, wanted, a.frames, a.frameCount, ready, start, loop),
                         std::memory_order_release);
    }
    const std::uint32_t position = a.position.load(std::memory_order_relaxed);
    // The seek counts as done only now that the position starts from it; a newer seek written
    // meanwhile stays pending for the next buffer.
    std::uint32_t expected = seek;
    if (seek != kNoSeek) a.seekTarget.compare_exchange_strong(expected, kNoSeek, std::memory_order_release,
                                                              std::memory_order_relaxed);
    // Counted only as far as a drain can need, so the count never wraps. Only the end of a song
    // played without a loop gets here (a loop wraps before it).
    if (position == a.frameCount && a.silenceAfterEnd.load(std::memory_order_relaxed) < (1u << 30)) {
        const std::uint32_t played = start < position ? position - start : 0;
        a.silenceAfterEnd.fetch_add(wanted - played, std::memory_order_release);
    }
}

void SDLCALL feedMakingAudio(void* userData, Uint8* stream, int length) {
    SdlAudio& a = *static_cast<SdlAudio*>(userData);
    fillSongFeed(a.feed, reinterpret_cast<float*>(stream), static_cast<std::uint32_t>(length) / 8);
    a.handedOut.store(feedOutputFrames(a.feed), std::memory_order_release);
    a.lastFillTicks.store(SDL_GetPerformanceCounter(), std::memory_order_release);
}

// The output frame heard now: those handed out less the device's buffers, moving on with the
// time since the last callback by at most one buffer (the next callback is due then).
std::uint64_t heardOutputFrame(const SdlAudio& a) {
    const std::uint64_t handed = a.handedOut.load(std::memory_order_acquire);
    const Uint64 since = SDL_GetPerformanceCounter() - a.lastFillTicks.load(std::memory_order_acquire);
    const std::uint64_t elapsed = std::min<std::uint64_t>(
        since * kAudioFrameRate / SDL_GetPerformanceFrequency(), a.deviceBufferFrames);
    const std::uint64_t held = static_cast<std::uint64_t>(kHeldBuffers) * a.deviceBufferFrames;
    return handed + elapsed > held ? handed + elapsed - held : 0;
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
    // Made framed and hidden: SDL switches the display mode only for a window on screen, so the
    // switch to full screen waits for showWindow, where a refusal can still be answered.
    const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN |
                         (request.resizable && !request.fullScreen ? SDL_WINDOW_RESIZABLE : 0);
    for (int alphaBits : {1, 0}) {
        setPixelFormat(request.colorBits, alphaBits);
        s.window = SDL_CreateWindow("Quorvale", 0, 0, request.width, request.height, flags);
        if (s.window != nullptr) break;
    }
    if (s.window == nullptr) return false;
    s.fullScreenRequested = request.fullScreen;
    s.clientWidth = request.width;
    s.clientHeight = request.height;
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

bool createWorkerGlContext() {
    SdlState& s = state();
    if (s.context == nullptr) return false;
    if (s.workerContext != nullptr) return true;
    // The window's attributes still stand, so the hidden window gets the same pixel format.
    if (s.workerWindow == nullptr) s.workerWindow = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (s.workerWindow == nullptr) return false;
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
    s.workerContext = SDL_GL_CreateContext(s.workerWindow);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
    // Making a context makes it current: give the drawing thread its own back.
    SDL_GL_MakeCurrent(s.window, s.context);
    return s.workerContext != nullptr;
}

void destroyWorkerGlContext() {
    SdlState& s = state();
    if (s.workerContext == nullptr) return;
    SDL_GL_DeleteContext(s.workerContext);
    s.workerContext = nullptr;
    SDL_GL_MakeCurrent(s.window, s.context);
}

bool holdWorkerGlContext(bool hold) {
    SdlState& s = state();
    if (s.workerContext == nullptr) return false;
    return hold ? SDL_GL_MakeCurrent(s.workerWindow, s.workerContext) == 0 : SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
}

void* getGlProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool showWindow() {
    SdlState& s = state();
    if (s.window == nullptr) return true;
    const SDL_DisplayMode* mode = s.fullScreenRequested && s.haveChosenMode ? &s.chosenMode : nullptr;
    const bool shownAsAsked = sdl::showOnScreen(s.window, mode, s.clientWidth, s.clientHeight, SDL_SetWindowFullscreen);
    if (!shownAsAsked) s.fullScreenApplied = false;
    return shownAsAsked;
}

namespace sdl {

bool showOnScreen(SDL_Window* window, const SDL_DisplayMode* mode, int width, int height,
                  int (*switchFullScreen)(SDL_Window*, Uint32)) {
    SDL_ShowWindow(window);
    if (mode == nullptr) return true;
    if (SDL_SetWindowDisplayMode(window, mode) == 0 && switchFullScreen(window, SDL_WINDOW_FULLSCREEN) == 0) {
        SDL_ShowCursor(SDL_DISABLE);
        return true;
    }
    // Refused: a framed window with the chosen client size, the cursor left visible.
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowSize(window, width, height);
    SDL_ShowCursor(SDL_ENABLE);
    return false;
}

}  // namespace sdl

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

void setWindowTitle(std::string_view title) {
    SdlState& s = state();
    if (s.window != nullptr) SDL_SetWindowTitle(s.window, std::string(title).c_str());
}

void reportCommandLineError(std::string_view text) {
    std::fprintf(stderr, "quorvale: %.*s\n", static_cast<int>(text.size()), text.data());
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
                        const std::atomic<std::uint32_t>* framesReady, const AudioStart& start) {
    SdlAudio& a = audio();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    a.frames = frames;
    a.frameCount = frameCount;
    a.framesReady = framesReady;
    a.position.store(std::min(start.frame, frameCount));
    a.seekTarget.store(kNoSeek);
    a.loop.store(packLoop(start.loop));
    a.waitingForLead = start.waitForLead;
    a.paused.store(false);
    a.silenceAfterEnd.store(0);
    a.making = start.making;
    if (a.making) startSongFeed(a.feed, frames, frameCount, framesReady, start);
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(kAudioFrameRate);
    wanted.format = AUDIO_F32LSB;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = a.making ? feedMakingAudio : feedAudio;
    wanted.userdata = &a;
    SDL_AudioSpec granted{};
    a.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &granted, 0);
    if (a.device == 0) return false;
    a.deviceBufferFrames = granted.samples;
    SDL_PauseAudioDevice(a.device, 0);
    return true;
}

std::optional<std::uint32_t> audioPlayPosition() {
    SdlAudio& a = audio();
    if (a.device == 0) return std::nullopt;
    if (a.making) return songFrameHeard(a.feed, heardOutputFrame(a));
    // A pending seek is where playback now stands, though the callback has not started there.
    const std::uint32_t seek = a.seekTarget.load(std::memory_order_acquire);
    if (seek != kNoSeek) return seek;
    const AudioLoop loop = clampedLoop(unpackLoop(a.loop.load(std::memory_order_acquire)), a.frameCount);
    return loopEntry(a.position.load(std::memory_order_acquire), loop);
}

void pauseAudioPlayback(bool paused) {
    SdlAudio& a = audio();
    if (a.device == 0) return;
    if (a.making) askFeedPause(a.feed, paused);
    a.paused.store(paused, std::memory_order_release);
}

void seekAudioPlayback(std::uint32_t frame) {
    SdlAudio& a = audio();
    if (a.device == 0) return;
    if (a.making) {
        askFeedSeek(a.feed, frame);
        return;
    }
    const AudioLoop loop = clampedLoop(unpackLoop(a.loop.load(std::memory_order_relaxed)), a.frameCount);
    a.seekTarget.store(loopEntry(std::min(frame, a.frameCount), loop), std::memory_order_release);
}

// The callback picks the loop up with its next buffer; a position at or past the new end goes
// on from the new start there (feedSongFrames).
void setAudioLoop(AudioLoop loop) {
    SdlAudio& a = audio();
    if (a.device == 0) return;
    if (a.making) askFeedLoop(a.feed, loop);
    a.loop.store(packLoop(loop), std::memory_order_release);
}

void moveAudioPlayback(std::int32_t frames) {
    SdlAudio& a = audio();
    if (a.device == 0 || !a.making) return;
    askFeedMove(a.feed, frames);
}

void drainAudioOutput() {
    SdlAudio& a = audio();
    if (a.device == 0 || a.position.load(std::memory_order_acquire) != a.frameCount) return;
    // The position counts frames handed to the device, which still holds the buffer being played
    // and its own queue behind it (about two callback buffers on ALSA and PulseAudio). Once the
    // callback has handed over enough silence to push all of that through, the song has been
    // heard to its last frame. Bounded, so that a device that stopped calling back cannot hang.
    const std::uint32_t enough = kDrainBuffers * a.deviceBufferFrames;
    const Uint64 deadline = SDL_GetTicks64() + kDrainLimitMs;
    while (a.silenceAfterEnd.load(std::memory_order_acquire) < enough && SDL_GetTicks64() < deadline) {
        SDL_Delay(5);
    }
}

}  // namespace platform
