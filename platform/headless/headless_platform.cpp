// Headless backend: an EGL surfaceless OpenGL compatibility context on Mesa, no window, no X
// server, no audio device. Used by the tests and by qvtool.
#include "platform/headless/headless.h"
#include "platform/platform.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace platform {
namespace {

struct HeadlessState {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLContext workerContext = EGL_NO_CONTEXT;
    std::mutex messageMutex;
    std::vector<headless::CapturedMessageBox> messages;
};

HeadlessState& state() {
    static HeadlessState instance;
    return instance;
}

EGLDisplay openSurfacelessDisplay() {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay == nullptr) return EGL_NO_DISPLAY;
    return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

const EGLint kContextAttributes[] = {
    EGL_CONTEXT_MAJOR_VERSION, 4,
    EGL_CONTEXT_MINOR_VERSION, 5,
    EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
    EGL_NONE};

}  // namespace

bool registerWindowClass() { return true; }
std::vector<DisplayMode> listDisplayModes() { return {}; }
bool applyDisplayMode(int) { return false; }
void restoreDesktopMode() {}

void exitProcess(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}

bool createWindow(const WindowRequest&) { return true; }

bool createGlContext() {
    HeadlessState& s = state();
    if (s.context != EGL_NO_CONTEXT) return eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, s.context);
    s.display = openSurfacelessDisplay();
    if (s.display == EGL_NO_DISPLAY) return false;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(s.display, &major, &minor)) return false;
    if (!eglBindAPI(EGL_OPENGL_API)) return false;
    s.context = eglCreateContext(s.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, kContextAttributes);
    if (s.context == EGL_NO_CONTEXT) return false;
    return eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, s.context);
}

bool createWorkerGlContext() {
    HeadlessState& s = state();
    if (s.context == EGL_NO_CONTEXT) return false;
    if (s.workerContext == EGL_NO_CONTEXT) {
        s.workerContext = eglCreateContext(s.display, EGL_NO_CONFIG_KHR, s.context, kContextAttributes);
    }
    return s.workerContext != EGL_NO_CONTEXT;
}

void destroyWorkerGlContext() {
    HeadlessState& s = state();
    if (s.workerContext == EGL_NO_CONTEXT) return;
    eglDestroyContext(s.display, s.workerContext);
    s.workerContext = EGL_NO_CONTEXT;
}

bool holdWorkerGlContext(bool hold) {
    HeadlessState& s = state();
    if (s.workerContext == EGL_NO_CONTEXT) return false;
    return hold ? eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, s.workerContext)
                : eglMakeCurrent(s.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void* getGlProcAddress(const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

void setWindowTitle(std::string_view) {}

bool showWindow() { return true; }
void swapBuffers() {}

MessageStatus takeMessage() { return MessageStatus::None; }
void dispatchMessage() {}

void showMessageBox(std::string_view text, std::string_view caption) {
    HeadlessState& s = state();
    std::fprintf(stderr, "[%.*s] %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
    std::lock_guard lock(s.messageMutex);
    s.messages.push_back({std::string(text), std::string(caption)});
}

void reportCommandLineError(std::string_view text) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

// No audio device: the clock runs on the steady clock, and pausing or seeking has nothing to move.
bool startAudioPlayback(const float*, std::uint32_t, const std::atomic<std::uint32_t>*, const AudioStart&) {
    return false;
}
void pauseAudioPlayback(bool) {}
void seekAudioPlayback(std::uint32_t) {}
void moveAudioPlayback(std::int32_t) {}
void setAudioLoop(AudioLoop) {}
void drainAudioOutput() {}
std::optional<std::uint32_t> audioPlayPosition() { return std::nullopt; }

namespace headless {

std::vector<CapturedMessageBox> takeMessageBoxes() {
    HeadlessState& s = platform::state();
    std::lock_guard lock(s.messageMutex);
    std::vector<CapturedMessageBox> taken;
    taken.swap(s.messages);
    return taken;
}

}  // namespace headless
}  // namespace platform
