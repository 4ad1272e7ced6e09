// Win32 backend: the window class, display settings, the window with its WGL context, the
// message queue, message boxes and wave output. Folder watching is in win32_folder_watch.cpp.
#include "platform/platform.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>

namespace platform {
namespace {

struct Win32State {
    HINSTANCE instance = nullptr;
    HDC desktopDC = nullptr;
    DEVMODEA desktopMode{};
    bool desktopRecorded = false;
    bool fullScreen = false;
    HWND window = nullptr;
    HDC windowDC = nullptr;
    HGLRC context = nullptr;
    HMODULE openGlLibrary = nullptr;
    bool (*eventEndsLoop)(const WindowEvent&) = nullptr;
    MSG lastMessage{};
};

Win32State& state() {
    static Win32State instance;
    return instance;
}

// The song goes to the device as a run of headers, each over frames the render has written:
// the device plays them back to back and, when it reaches the end of the last one before the
// render has written more, sounds silence with its position standing still. A seek resets the
// device and starts a new run at the target frame.
struct WaveOutput {
    HWAVEOUT device = nullptr;
    const float* frames = nullptr;
    std::uint32_t frameCount = 0;
    const std::atomic<std::uint32_t>* framesReady = nullptr;  // null: the whole song is written
    std::deque<WAVEHDR> headers;  // queued since the last seek, oldest first
    std::uint32_t runStart = 0;   // buffer frame the run began at: the last seek's target
    std::uint32_t queuedEnd = 0;  // buffer frame after the last queued one
    // The device's sample count when the run began, should a reset not bring it back to 0.
    std::uint32_t runStartSamples = 0;
    bool paused = false;
    MMTIME position{};
    std::uint32_t lastPosition = 0;
};

WaveOutput& wave() {
    static WaveOutput instance;
    return instance;
}

constexpr char kWindowClassName[] = "MYWINCLASS";

Key keyOf(WPARAM virtualKey) {
    switch (virtualKey) {
        case VK_ESCAPE: return Key::Escape;
        case VK_SPACE: return Key::Space;
        case VK_LEFT: return Key::Left;
        case VK_RIGHT: return Key::Right;
        case VK_PRIOR: return Key::PageUp;
        case VK_NEXT: return Key::PageDown;
        case VK_HOME: return Key::Home;
        default: return Key::Other;
    }
}

WindowEvent translate(UINT message, WPARAM wParam) {
    switch (message) {
        case WM_DESTROY: return {WindowEventKind::Destroy, Key::Other};
        case WM_CLOSE: return {WindowEventKind::Close, Key::Other};
        case WM_KEYDOWN: return {WindowEventKind::KeyDown, keyOf(wParam)};
        default: return {WindowEventKind::Other, Key::Other};
    }
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const Win32State& s = state();
    if (message == WM_ERASEBKGND) return 1;
    const WindowEvent event = translate(message, wParam);
    const bool endsLoop = s.eventEndsLoop != nullptr && s.eventEndsLoop(event);
    if (endsLoop) {
        PostQuitMessage(0);
        return 0;
    }
    // Closing is answered only through the quit message: the window itself is never destroyed.
    if (message == WM_CLOSE || message == WM_DESTROY) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

void recordDesktopMode() {
    Win32State& s = state();
    if (s.desktopRecorded) return;
    s.desktopMode = DEVMODEA{};
    s.desktopMode.dmSize = sizeof(DEVMODEA);
    s.desktopMode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    s.desktopMode.dmBitsPerPel = static_cast<DWORD>(GetDeviceCaps(s.desktopDC, BITSPIXEL));
    s.desktopMode.dmPelsWidth = static_cast<DWORD>(GetDeviceCaps(s.desktopDC, HORZRES));
    s.desktopMode.dmPelsHeight = static_cast<DWORD>(GetDeviceCaps(s.desktopDC, VERTRES));
    s.desktopMode.dmDisplayFrequency = static_cast<DWORD>(GetDeviceCaps(s.desktopDC, VREFRESH));
    s.desktopRecorded = true;
}

// A window that is neither a popup nor a child always gets a caption, whatever its style asks,
// and AdjustWindowRectEx does not count one that was not asked for: so the client area is
// measured once the window exists, and the window grown by what it lacks.
void fitClientArea(HWND window, int width, int height) {
    RECT client{};
    RECT outer{};
    if (!GetClientRect(window, &client) || !GetWindowRect(window, &outer)) return;
    const int missingWidth = width - (client.right - client.left);
    const int missingHeight = height - (client.bottom - client.top);
    if (missingWidth == 0 && missingHeight == 0) return;
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + missingWidth,
                 outer.bottom - outer.top + missingHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// UTF-8 to UTF-16; invalid sequences become replacement characters.
std::wstring wideFromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(std::min<std::size_t>(text.size(), 1u << 30));
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

// ---- Wave output ----

std::uint32_t framesWritten(const WaveOutput& w) {
    if (w.framesReady == nullptr) return w.frameCount;
    return std::min(w.framesReady->load(std::memory_order_acquire), w.frameCount);
}

// Hands back the headers the device has finished with, oldest first.
void releasePlayedHeaders(WaveOutput& w) {
    while (!w.headers.empty() && (w.headers.front().dwFlags & WHDR_DONE) != 0) {
        waveOutUnprepareHeader(w.device, &w.headers.front(), sizeof(WAVEHDR));
        w.headers.pop_front();
    }
}

// Fewer new frames than this wait for the next call, so the run is not cut into slivers; the
// render writes them in a few milliseconds.
constexpr std::uint32_t kSmallestHeaderFrames = 4096;

// Queues the frames written since the last header, if there are enough of them or they finish
// the song.
void queueWrittenFrames(WaveOutput& w) {
    releasePlayedHeaders(w);
    const std::uint32_t written = framesWritten(w);
    if (written <= w.queuedEnd) return;
    if (written - w.queuedEnd < kSmallestHeaderFrames && written < w.frameCount) return;
    WAVEHDR& header = w.headers.emplace_back();
    header.lpData = reinterpret_cast<LPSTR>(const_cast<float*>(w.frames + static_cast<std::size_t>(w.queuedEnd) * 2));
    header.dwBufferLength = (written - w.queuedEnd) * 8;
    if (waveOutPrepareHeader(w.device, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        w.headers.pop_back();
        return;
    }
    if (waveOutWrite(w.device, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(w.device, &header, sizeof(WAVEHDR));
        w.headers.pop_back();
        return;
    }
    w.queuedEnd = written;
}

// The device's count of samples played since its last reset; the previous answer if it fails.
std::uint32_t deviceSamples(WaveOutput& w, std::uint32_t previous) {
    w.position = MMTIME{};
    w.position.wType = TIME_SAMPLES;
    if (waveOutGetPosition(w.device, &w.position, sizeof(MMTIME)) != MMSYSERR_NOERROR) return previous;
    return w.position.u.sample;
}

}  // namespace

bool registerWindowClass() {
    Win32State& s = state();
    s.instance = GetModuleHandleA(nullptr);
    s.desktopDC = GetDC(GetDesktopWindow());
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = s.instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(12));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = kWindowClassName;
    if (RegisterClassExA(&windowClass) == 0) return false;
    recordDesktopMode();
    return true;
}

std::vector<DisplayMode> listDisplayModes() {
    std::vector<DisplayMode> modes;
    for (DWORD index = 0;; ++index) {
        DEVMODEA mode{};
        mode.dmSize = sizeof(DEVMODEA);
        if (!EnumDisplaySettingsA(nullptr, index, &mode)) break;
        modes.push_back({mode.dmPelsWidth, mode.dmPelsHeight, mode.dmBitsPerPel, mode.dmDisplayFrequency});
    }
    return modes;
}

bool applyDisplayMode(int index) {
    Win32State& s = state();
    recordDesktopMode();
    DEVMODEA chosen{};
    chosen.dmSize = sizeof(DEVMODEA);
    // Index -1 is ENUM_CURRENT_SETTINGS: the mode in force now.
    EnumDisplaySettingsA(nullptr, static_cast<DWORD>(index), &chosen);
    s.fullScreen = ChangeDisplaySettingsA(&chosen, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
    return s.fullScreen;
}

void restoreDesktopMode() {
    Win32State& s = state();
    if (!s.fullScreen) return;
    ChangeDisplaySettingsA(&s.desktopMode, 0);
    ShowCursor(TRUE);
    s.fullScreen = false;
}

void exitProcess(int code) { ExitProcess(static_cast<UINT>(code)); }

bool createWindow(const WindowRequest& request) {
    Win32State& s = state();
    s.eventEndsLoop = request.eventEndsLoop;
    DWORD style = 0;
    DWORD extendedStyle = 0;
    int outerWidth = request.width;
    int outerHeight = request.height;
    if (request.fullScreen) {
        ShowCursor(FALSE);
        style = WS_POPUP;
        extendedStyle = WS_EX_APPWINDOW | WS_EX_TOPMOST;
    } else {
        style = WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX;
        extendedStyle = WS_EX_APPWINDOW;
        RECT rect{0, 0, request.width, request.height};
        AdjustWindowRectEx(&rect, style, FALSE, extendedStyle);
        outerWidth = rect.right - rect.left;
        outerHeight = rect.bottom - rect.top;
    }
    s.window = CreateWindowExA(extendedStyle, kWindowClassName, "Quorvale", style, 0, 0, outerWidth,
                               outerHeight, nullptr, nullptr, s.instance, nullptr);
    if (s.window == nullptr) return false;
    if (!request.fullScreen) fitClientArea(s.window, request.width, request.height);
    s.windowDC = GetDC(s.window);
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = request.colorBits;
    format.cAlphaBits = 1;
    format.cDepthBits = 16;
    format.cStencilBits = 1;
    format.iLayerType = PFD_MAIN_PLANE;
    SetPixelFormat(s.windowDC, ChoosePixelFormat(s.windowDC, &format), &format);
    return true;
}

bool createGlContext() {
    Win32State& s = state();
    if (s.windowDC == nullptr) return false;
    s.context = wglCreateContext(s.windowDC);
    if (s.context == nullptr) return false;
    return wglMakeCurrent(s.windowDC, s.context) == TRUE;
}

void* getGlProcAddress(const char* name) {
    Win32State& s = state();
    PROC entry = wglGetProcAddress(name);
    // Some drivers answer 1, 2, 3 or -1 for entry points they lack; version 1.1 lives in opengl32.
    const auto value = reinterpret_cast<INT_PTR>(entry);
    if (value == 0 || value == 1 || value == 2 || value == 3 || value == -1) {
        if (s.openGlLibrary == nullptr) s.openGlLibrary = GetModuleHandleA("opengl32.dll");
        entry = s.openGlLibrary != nullptr ? GetProcAddress(s.openGlLibrary, name) : nullptr;
    }
    return reinterpret_cast<void*>(entry);
}

// The display mode was switched, or refused, before the window was made.
bool showWindow() {
    ShowWindow(state().window, SW_SHOWNORMAL);
    return true;
}

void swapBuffers() { SwapBuffers(state().windowDC); }

MessageStatus takeMessage() {
    Win32State& s = state();
    if (!PeekMessageA(&s.lastMessage, nullptr, 0, 0, PM_REMOVE)) return MessageStatus::None;
    return s.lastMessage.message == WM_QUIT ? MessageStatus::Quit : MessageStatus::Taken;
}

void dispatchMessage() {
    Win32State& s = state();
    TranslateMessage(&s.lastMessage);
    DispatchMessageA(&s.lastMessage);
}

void setWindowTitle(std::string_view title) {
    const HWND window = state().window;
    if (window == nullptr) return;
    SetWindowTextW(window, wideFromUtf8(title).c_str());
}

void showMessageBox(std::string_view text, std::string_view caption) {
    const std::string textCopy(text);
    const std::string captionCopy(caption);
    MessageBoxA(GetDesktopWindow(), textCopy.c_str(), captionCopy.c_str(), MB_OK);
}

// Started from a console, the text also goes to its standard error; the box is what a windowed
// program started from the desktop can show.
void reportCommandLineError(std::string_view text) {
    const HANDLE errorOutput = GetStdHandle(STD_ERROR_HANDLE);
    if (errorOutput != nullptr && errorOutput != INVALID_HANDLE_VALUE) {
        const std::string line = "quorvale: " + std::string(text) + "\n";
        DWORD written = 0;
        WriteFile(errorOutput, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    MessageBoxW(nullptr, wideFromUtf8(text).c_str(), L"Quorvale: command line", MB_OK | MB_ICONERROR);
}

// Queues what the render has written so far; audioPlayPosition queues the rest as it arrives.
bool startAudioPlayback(const float* frames, std::uint32_t frameCount,
                        const std::atomic<std::uint32_t>* framesReady) {
    WaveOutput& w = wave();
    WAVEFORMATEX format{};
    format.wFormatTag = 3;  // IEEE float
    format.nChannels = 2;
    format.nSamplesPerSec = kAudioFrameRate;
    format.nAvgBytesPerSec = kAudioFrameRate * 8;
    format.nBlockAlign = 8;
    format.wBitsPerSample = 32;
    format.cbSize = 0;
    if (waveOutOpen(&w.device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        w.device = nullptr;
        return false;
    }
    w.frames = frames;
    w.frameCount = frameCount;
    w.framesReady = framesReady;
    w.headers.clear();
    w.runStart = 0;
    w.queuedEnd = 0;
    w.runStartSamples = 0;
    w.paused = false;
    w.lastPosition = 0;
    queueWrittenFrames(w);
    return true;
}

// Called every frame on the main thread, which is also what keeps the device fed.
std::optional<std::uint32_t> audioPlayPosition() {
    WaveOutput& w = wave();
    if (w.device == nullptr) return std::nullopt;
    queueWrittenFrames(w);
    const std::uint32_t samples = deviceSamples(w, w.runStartSamples + (w.lastPosition - w.runStart));
    const std::uint32_t played = samples >= w.runStartSamples ? samples - w.runStartSamples : 0;
    // The device never plays past what was queued; the bound also guards a wrong report.
    w.lastPosition = w.runStart + std::min(played, w.queuedEnd - w.runStart);
    return w.lastPosition;
}

void pauseAudioPlayback(bool paused) {
    WaveOutput& w = wave();
    if (w.device == nullptr) return;
    if (paused) {
        waveOutPause(w.device);
    } else {
        waveOutRestart(w.device);
    }
    w.paused = paused;
}

void seekAudioPlayback(std::uint32_t frame) {
    WaveOutput& w = wave();
    if (w.device == nullptr) return;
    // Resetting marks every queued header done and brings the device's position back to 0.
    waveOutReset(w.device);
    releasePlayedHeaders(w);
    // A held output stays held: the next header must not start it.
    if (w.paused) waveOutPause(w.device);
    w.runStart = std::min(frame, w.frameCount);
    w.queuedEnd = w.runStart;
    w.lastPosition = w.runStart;
    w.runStartSamples = deviceSamples(w, 0);
    queueWrittenFrames(w);
}

// waveOut reports the position of the sample being sounded: at the end, everything was heard.
void drainAudioOutput() {}

}  // namespace platform
