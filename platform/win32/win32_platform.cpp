// Win32 backend: the window class, display settings, the window with its WGL context, the
// message queue, message boxes and wave output. Folder watching is in win32_folder_watch.cpp.
#include "platform/platform.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
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

// The song goes to the device as one header over the buffer from the run's start to its end:
// frame 0 at start-up, where the render is already ahead and stays ahead (it is several times
// faster than playback), and a seek's target afterwards. A seek resets the device and queues its
// header only once the render has written a lead beyond the target; until then the device is
// silent and the position stands at the target.
struct WaveOutput {
    HWAVEOUT device = nullptr;
    const float* frames = nullptr;
    std::uint32_t frameCount = 0;
    const std::atomic<std::uint32_t>* framesReady = nullptr;  // null: the whole song is written
    WAVEHDR header{};
    bool headerQueued = false;
    std::uint32_t runStart = 0;    // buffer frame the header starts at
    bool runPending = false;       // the header waits for the render to pass runStart
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

// Half a second of song the render must have written beyond a seek's target before the device
// starts there: the render writes it in a fraction of that, and the lead absorbs the render
// thread losing the processor for a moment while the picture is drawn.
constexpr std::uint32_t kSeekLeadFrames = kAudioFrameRate / 2;

// The device's count of samples played since its last reset; `previous` if the query fails.
std::uint32_t deviceSamples(WaveOutput& w, std::uint32_t previous) {
    w.position = MMTIME{};
    w.position.wType = TIME_SAMPLES;
    if (waveOutGetPosition(w.device, &w.position, sizeof(MMTIME)) != MMSYSERR_NOERROR) return previous;
    return w.position.u.sample;
}

// Queues the header from runStart to the buffer's end (nothing when runStart is the end).
void queueRun(WaveOutput& w) {
    w.runPending = false;
    w.runStartSamples = deviceSamples(w, 0);
    if (w.runStart >= w.frameCount) return;
    w.header = WAVEHDR{};
    w.header.lpData = reinterpret_cast<LPSTR>(const_cast<float*>(w.frames + static_cast<std::size_t>(w.runStart) * 2));
    w.header.dwBufferLength = (w.frameCount - w.runStart) * 8;
    if (waveOutPrepareHeader(w.device, &w.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return;
    if (waveOutWrite(w.device, &w.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(w.device, &w.header, sizeof(WAVEHDR));
        return;
    }
    w.headerQueued = true;
}

// Queues a seek's header once the render has written far enough beyond its target, and not
// while held: some drivers count a header written to a paused device as partly played already.
void queueRunWhenWritten(WaveOutput& w) {
    if (!w.runPending || w.paused) return;
    const std::uint32_t needed = w.frameCount - w.runStart > kSeekLeadFrames ? w.runStart + kSeekLeadFrames : w.frameCount;
    if (framesWritten(w) >= needed) queueRun(w);
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

// The wave output is closed first: ending the process while its driver still plays was seen to
// crash the process under wine (exit status 139 instead of the code asked for).
void exitProcess(int code) {
    WaveOutput& w = wave();
    if (w.device != nullptr) {
        waveOutReset(w.device);
        if (w.headerQueued) waveOutUnprepareHeader(w.device, &w.header, sizeof(WAVEHDR));
        waveOutClose(w.device);
        w.device = nullptr;
    }
    ExitProcess(static_cast<UINT>(code));
}

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

// The whole buffer is queued at once; the render started well before and stays ahead.
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
    w.headerQueued = false;
    w.runStart = 0;
    w.paused = false;
    w.lastPosition = 0;
    queueRun(w);
    return w.headerQueued;
}

// Called every frame on the main thread, which is also where a waiting seek starts playing.
std::optional<std::uint32_t> audioPlayPosition() {
    WaveOutput& w = wave();
    if (w.device == nullptr) return std::nullopt;
    queueRunWhenWritten(w);
    if (!w.headerQueued) return w.lastPosition;  // waiting for the render, or at the end
    const std::uint32_t samples = deviceSamples(w, w.runStartSamples + (w.lastPosition - w.runStart));
    const std::uint32_t played = samples >= w.runStartSamples ? samples - w.runStartSamples : 0;
    // The device stops at the header's end; the bound also guards a wrong report.
    w.lastPosition = w.runStart + std::min(played, w.frameCount - w.runStart);
    return w.lastPosition;
}

void pauseAudioPlayback(bool paused) {
    WaveOutput& w = wave();
    if (w.device == nullptr) return;
    w.paused = paused;
    if (paused) {
        waveOutPause(w.device);
    } else {
        queueRunWhenWritten(w);
        waveOutRestart(w.device);
    }
}

void seekAudioPlayback(std::uint32_t frame) {
    WaveOutput& w = wave();
    if (w.device == nullptr) return;
    // Resetting marks the queued header done and brings the device's position back to 0.
    waveOutReset(w.device);
    if (w.headerQueued) waveOutUnprepareHeader(w.device, &w.header, sizeof(WAVEHDR));
    w.headerQueued = false;
    // A held output stays held: the header is queued on resuming, onto a device still paused.
    if (w.paused) waveOutPause(w.device);
    w.runStart = std::min(frame, w.frameCount);
    w.lastPosition = w.runStart;
    w.runPending = true;
    queueRunWhenWritten(w);
}

// waveOut reports the position of the sample being sounded: at the end, everything was heard.
void drainAudioOutput() {}

}  // namespace platform
