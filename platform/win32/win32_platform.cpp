// Win32 backend: the window class, display settings, the window with its WGL context, the
// message queue, message boxes and wave output. Folder watching is in win32_folder_watch.cpp.
#include "platform/platform.h"

#include <windows.h>
#include <mmsystem.h>

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

struct WaveOutput {
    HWAVEOUT device = nullptr;
    WAVEHDR header{};
    MMTIME position{};
    std::uint32_t lastSamples = 0;
};

WaveOutput& wave() {
    static WaveOutput instance;
    return instance;
}

constexpr char kWindowClassName[] = "MYWINCLASS";

WindowEvent translate(UINT message, WPARAM wParam) {
    switch (message) {
        case WM_DESTROY: return {WindowEventKind::Destroy, Key::Other};
        case WM_CLOSE: return {WindowEventKind::Close, Key::Other};
        case WM_KEYDOWN: return {WindowEventKind::KeyDown, wParam == VK_ESCAPE ? Key::Escape : Key::Other};
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

void showWindow() { ShowWindow(state().window, SW_SHOWNORMAL); }

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

void showMessageBox(std::string_view text, std::string_view caption) {
    const std::string textCopy(text);
    const std::string captionCopy(caption);
    MessageBoxA(GetDesktopWindow(), textCopy.c_str(), captionCopy.c_str(), MB_OK);
}

// The whole buffer is queued at once; the render is expected to stay ahead of the device.
bool startAudioPlayback(const float* frames, std::uint32_t frameCount, const std::atomic<std::uint32_t>*) {
    WaveOutput& w = wave();
    WAVEFORMATEX format{};
    format.wFormatTag = 3;  // IEEE float
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.nAvgBytesPerSec = 352800;
    format.nBlockAlign = 8;
    format.wBitsPerSample = 32;
    format.cbSize = 0;
    if (waveOutOpen(&w.device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        w.device = nullptr;
        return false;
    }
    w.header = WAVEHDR{};
    w.header.lpData = reinterpret_cast<LPSTR>(const_cast<float*>(frames));
    w.header.dwBufferLength = frameCount * 8;
    waveOutPrepareHeader(w.device, &w.header, sizeof(WAVEHDR));
    return waveOutWrite(w.device, &w.header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

std::optional<std::uint32_t> audioPlayPosition() {
    WaveOutput& w = wave();
    if (w.device == nullptr) return std::nullopt;
    w.position.wType = TIME_SAMPLES;
    if (waveOutGetPosition(w.device, &w.position, sizeof(MMTIME)) == MMSYSERR_NOERROR) {
        w.lastSamples = w.position.u.sample;
    }
    return w.lastSamples;
}

}  // namespace platform
