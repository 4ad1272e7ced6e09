// Win32 backend: the window class, display settings, the window with its WGL context, the
// message queue, message boxes and wave output. Folder watching is in win32_folder_watch.cpp.
#include "platform/platform.h"

#include "platform/audio_feed.h"
#include "platform/song_feed.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <string>
#include <vector>

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
    // The worker context's own hidden window, with the window's pixel format.
    HWND workerWindow = nullptr;
    HDC workerDC = nullptr;
    HGLRC workerContext = nullptr;
    HMODULE openGlLibrary = nullptr;
    bool (*eventEndsLoop)(const WindowEvent&) = nullptr;
    MSG lastMessage{};
};

Win32State& state() {
    static Win32State instance;
    return instance;
}

// The song goes to the device as a run of headers over the buffer from the run's start: frame 0
// at start-up, where the render is already ahead and stays ahead (it is several times faster
// than playback), and a seek's target afterwards. Without a loop the run is one header to the
// buffer's end, as the show has always queued it. With a loop it is one header to the loop's end
// followed by headers over the whole loop, each queued again as the device finishes it, so the
// wrap happens inside the device's queue, sample-exactly, however rarely the main thread looks.
// The device plays queued headers back to back, so the frame it plays is frameAfter(run start,
// samples played since the run began, loop). A seek resets the device and queues its run only
// once the render has written far enough beyond the target (songWrittenFor); until then the
// device is silent and the position stands at the target.
constexpr std::size_t kMaxHeaders = 256;
// Loop passes kept queued ahead: enough for seconds-long pictures between two top-ups.
constexpr std::uint32_t kLoopQueueFrames = kAudioFrameRate * 10;

struct WaveOutput {
    HWAVEOUT device = nullptr;
    const float* frames = nullptr;
    std::uint32_t frameCount = 0;
    const std::atomic<std::uint32_t>* framesReady = nullptr;  // null: the whole song is written
    std::array<WAVEHDR, kMaxHeaders> headers{};
    std::array<bool, kMaxHeaders> queued{};  // prepared and written, not yet unprepared
    std::size_t headerCount = 0;             // headers the current run uses
    bool runQueued = false;        // the current run's headers went to the device
    std::uint32_t runStart = 0;    // buffer frame the run starts at
    AudioLoop loop;                // clamped to the buffer
    bool runPending = false;       // the run waits for the render to pass runStart
    // The device's sample count when the run began, should a reset not bring it back to 0.
    std::uint32_t runStartSamples = 0;
    std::uint32_t lastPlayed = 0;  // samples played in the run at the last query
    bool paused = false;
    MMTIME position{};
    std::uint32_t lastPosition = 0;
};

WaveOutput& wave() {
    static WaveOutput instance;
    return instance;
}

// Making mode streams instead: a thread of its own keeps a few short headers of the song feed's
// output queued, filling each again as the device finishes it, so that every cut is faded in
// the feed. The device's own sample count then says which output frame is being heard. The queue
// (about 0.28 s) is what a cut waits behind; it is that long because a thread starved by the
// drawing (wine on two busy cores) otherwise lets the device run dry.
constexpr std::size_t kStreamHeaders = 6;
constexpr std::uint32_t kStreamFrames = 2048;

struct WaveStream {
    bool running = false;
    SongFeed feed;
    HANDLE headerDone = nullptr;  // the device signals it as each header finishes
    HANDLE thread = nullptr;
    std::atomic<bool> stop{false};
    std::array<WAVEHDR, kStreamHeaders> headers{};
    std::array<std::vector<float>, kStreamHeaders> samples;
};

WaveStream& stream() {
    static WaveStream instance;
    return instance;
}

constexpr char kWindowClassName[] = "MYWINCLASS";

Key keyOf(WPARAM virtualKey) {
    switch (virtualKey) {
        case VK_ESCAPE: return Key::Escape;
        case VK_SPACE: return Key::Space;
        case VK_LEFT: return Key::Left;
        case VK_RIGHT: return Key::Right;
        case VK_UP: return Key::Up;
        case VK_DOWN: return Key::Down;
        case 'P': return Key::P;
        case VK_PRIOR: return Key::PageUp;
        case VK_NEXT: return Key::PageDown;
        case VK_HOME: return Key::Home;
        case VK_OEM_COMMA: return Key::Comma;
        case VK_OEM_PERIOD: return Key::Period;
        case VK_OEM_4: return Key::LeftBracket;
        case VK_OEM_6: return Key::RightBracket;
        case VK_BACK: return Key::Backspace;
        case VK_TAB: return Key::Tab;
        default: return Key::Other;
    }
}

WindowEvent translate(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY: return {WindowEventKind::Destroy, Key::Other};
        case WM_CLOSE: return {WindowEventKind::Close, Key::Other};
        case WM_PAINT: return {WindowEventKind::Expose, Key::Other};
        case WM_SIZE: {
            WindowEvent event{WindowEventKind::Resize, Key::Other};
            event.width = LOWORD(lParam);
            event.height = HIWORD(lParam);
            return event;
        }
        case WM_KEYDOWN: {
            WindowEvent event{WindowEventKind::KeyDown, keyOf(wParam)};
            event.repeat = (lParam & (1 << 30)) != 0;  // the key was already down
            event.shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
            return event;
        }
        default: return {WindowEventKind::Other, Key::Other};
    }
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const Win32State& s = state();
    if (message == WM_ERASEBKGND) return 1;
    // WM_PAINT goes on to DefWindowProcA, which validates the window, once it is reported.
    const WindowEvent event = translate(message, wParam, lParam);
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

// The device's count of samples played since its last reset; `previous` if the query fails.
std::uint32_t deviceSamples(WaveOutput& w, std::uint32_t previous) {
    w.position = MMTIME{};
    w.position.wType = TIME_SAMPLES;
    if (waveOutGetPosition(w.device, &w.position, sizeof(MMTIME)) != MMSYSERR_NOERROR) return previous;
    return w.position.u.sample;
}

// Queues header `index` over buffer frames [from, to). False when the device refused it.
bool queueHeader(WaveOutput& w, std::size_t index, std::uint32_t from, std::uint32_t to) {
    WAVEHDR& header = w.headers[index];
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<LPSTR>(const_cast<float*>(w.frames + static_cast<std::size_t>(from) * 2));
    header.dwBufferLength = (to - from) * 8;
    if (waveOutPrepareHeader(w.device, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
    if (waveOutWrite(w.device, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(w.device, &header, sizeof(WAVEHDR));
        return false;
    }
    w.queued[index] = true;
    return true;
}

// After a reset, which marks every queued header done.
void unprepareHeaders(WaveOutput& w) {
    for (std::size_t i = 0; i < w.headerCount; ++i) {
        if (w.queued[i]) waveOutUnprepareHeader(w.device, &w.headers[i], sizeof(WAVEHDR));
        w.queued[i] = false;
    }
    w.runQueued = false;
}

// Queues the run from runStart (nothing when that is the buffer's end).
void queueRun(WaveOutput& w) {
    w.runPending = false;
    w.runStartSamples = deviceSamples(w, 0);
    w.lastPlayed = 0;
    w.runStart = loopEntry(w.runStart, w.loop);
    if (w.runStart >= w.frameCount) return;
    if (!w.loop.active()) {
        w.headerCount = 1;
        w.runQueued = queueHeader(w, 0, w.runStart, w.frameCount);
        return;
    }
    const std::uint32_t length = w.loop.to - w.loop.from;
    const std::size_t passes = std::clamp<std::size_t>((kLoopQueueFrames + length - 1) / length, 1, kMaxHeaders - 1);
    w.headerCount = passes + 1;
    w.runQueued = queueHeader(w, 0, w.runStart, w.loop.to);
    for (std::size_t i = 1; i < w.headerCount && w.runQueued; ++i) queueHeader(w, i, w.loop.from, w.loop.to);
}

// Every finished header of a looping run goes back to the queue's end as one more loop pass.
void requeueLoopPasses(WaveOutput& w) {
    if (!w.runQueued || !w.loop.active()) return;
    for (std::size_t i = 0; i < w.headerCount; ++i) {
        if (!w.queued[i] || (w.headers[i].dwFlags & WHDR_DONE) == 0) continue;
        waveOutUnprepareHeader(w.device, &w.headers[i], sizeof(WAVEHDR));
        w.queued[i] = false;
        queueHeader(w, i, w.loop.from, w.loop.to);
    }
}

// Queues a seek's run once the render has written far enough beyond its target, and not while
// held: some drivers count a header written to a paused device as partly played already.
void queueRunWhenWritten(WaveOutput& w) {
    if (!w.runPending || w.paused) return;
    if (songWrittenFor(w.runStart, framesWritten(w), w.frameCount)) queueRun(w);
}

// Drops what the device holds and starts a new run at `frame`, queued once the song is written.
void restartRun(WaveOutput& w, std::uint32_t frame) {
    // Resetting marks the queued headers done and brings the device's position back to 0.
    waveOutReset(w.device);
    unprepareHeaders(w);
    // A held output stays held: the run is queued on resuming, onto a device still paused.
    if (w.paused) waveOutPause(w.device);
    w.runStart = loopEntry(std::min(frame, w.frameCount), w.loop);
    w.lastPosition = w.runStart;
    w.runPending = true;
    queueRunWhenWritten(w);
}

// Fills header `index` from the feed and hands it to the device.
void queueStreamHeader(HWAVEOUT device, WaveStream& st, std::size_t index) {
    WAVEHDR& header = st.headers[index];
    fillSongFeed(st.feed, st.samples[index].data(), kStreamFrames);
    header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    waveOutWrite(device, &header, sizeof(WAVEHDR));
}

DWORD WINAPI runStream(LPVOID) {
    WaveStream& st = stream();
    const HWAVEOUT device = wave().device;
    while (!st.stop.load(std::memory_order_acquire)) {
        WaitForSingleObject(st.headerDone, 50);
        for (std::size_t i = 0; i < kStreamHeaders; ++i) {
            if ((st.headers[i].dwFlags & WHDR_DONE) != 0 && !st.stop.load(std::memory_order_acquire)) {
                queueStreamHeader(device, st, i);
            }
        }
    }
    return 0;
}

bool startStream(WaveOutput& w, const AudioStart& start) {
    WaveStream& st = stream();
    startSongFeed(st.feed, w.frames, w.frameCount, w.framesReady, start);
    for (std::size_t i = 0; i < kStreamHeaders; ++i) {
        st.samples[i].assign(static_cast<std::size_t>(kStreamFrames) * 2, 0.0f);
        st.headers[i] = WAVEHDR{};
        st.headers[i].lpData = reinterpret_cast<LPSTR>(st.samples[i].data());
        st.headers[i].dwBufferLength = kStreamFrames * 8;
        if (waveOutPrepareHeader(w.device, &st.headers[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return false;
        queueStreamHeader(w.device, st, i);
    }
    st.thread = CreateThread(nullptr, 0, runStream, nullptr, 0, nullptr);
    st.running = st.thread != nullptr;
    if (st.running) SetThreadPriority(st.thread, THREAD_PRIORITY_TIME_CRITICAL);
    return st.running;
}

// Stops the streaming thread before the device is reset and closed.
void stopStream(HWAVEOUT device) {
    WaveStream& st = stream();
    if (!st.running) return;
    st.stop.store(true, std::memory_order_release);
    SetEvent(st.headerDone);
    WaitForSingleObject(st.thread, INFINITE);
    waveOutReset(device);
    for (WAVEHDR& header : st.headers) waveOutUnprepareHeader(device, &header, sizeof(WAVEHDR));
    st.running = false;
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
        stopStream(w.device);
        waveOutReset(w.device);
        unprepareHeaders(w);
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
        style = WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX | (request.resizable ? WS_THICKFRAME | WS_MAXIMIZEBOX : 0);
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

bool createWorkerGlContext() {
    Win32State& s = state();
    if (s.context == nullptr) return false;
    if (s.workerContext != nullptr) return true;
    if (s.workerDC == nullptr) {
        // A plain system class: the production's window procedure is for the one window only.
        s.workerWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, s.instance, nullptr);
        if (s.workerWindow == nullptr) return false;
        HDC workerDC = GetDC(s.workerWindow);
        const int formatIndex = GetPixelFormat(s.windowDC);
        PIXELFORMATDESCRIPTOR format{};
        if (formatIndex == 0 || DescribePixelFormat(s.windowDC, formatIndex, sizeof format, &format) == 0 ||
            SetPixelFormat(workerDC, formatIndex, &format) == FALSE) {
            return false;
        }
        s.workerDC = workerDC;
    }
    s.workerContext = wglCreateContext(s.workerDC);
    if (s.workerContext == nullptr) return false;
    if (wglShareLists(s.context, s.workerContext) == FALSE) {
        wglDeleteContext(s.workerContext);
        s.workerContext = nullptr;
        return false;
    }
    return true;
}

void destroyWorkerGlContext() {
    Win32State& s = state();
    if (s.workerContext == nullptr) return;
    wglDeleteContext(s.workerContext);
    s.workerContext = nullptr;
}

bool holdWorkerGlContext(bool hold) {
    Win32State& s = state();
    if (s.workerContext == nullptr) return false;
    return hold ? wglMakeCurrent(s.workerDC, s.workerContext) == TRUE : wglMakeCurrent(nullptr, nullptr) == TRUE;
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

// The show's run is the whole buffer queued at once; the render started well before and stays
// ahead. Making mode may start elsewhere, with a loop, once the song is written there.
bool startAudioPlayback(const float* frames, std::uint32_t frameCount,
                        const std::atomic<std::uint32_t>* framesReady, const AudioStart& start) {
    WaveOutput& w = wave();
    WAVEFORMATEX format{};
    format.wFormatTag = 3;  // IEEE float
    format.nChannels = 2;
    format.nSamplesPerSec = kAudioFrameRate;
    format.nAvgBytesPerSec = kAudioFrameRate * 8;
    format.nBlockAlign = 8;
    format.wBitsPerSample = 32;
    format.cbSize = 0;
    WaveStream& st = stream();
    if (start.making) st.headerDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const DWORD_PTR callback = start.making ? reinterpret_cast<DWORD_PTR>(st.headerDone) : 0;
    if (waveOutOpen(&w.device, WAVE_MAPPER, &format, callback, 0, start.making ? CALLBACK_EVENT : CALLBACK_NULL) !=
        MMSYSERR_NOERROR) {
        w.device = nullptr;
        return false;
    }
    w.frames = frames;
    w.frameCount = frameCount;
    w.framesReady = framesReady;
    if (start.making) return startStream(w, start);
    w.loop = clampedLoop(start.loop, frameCount);
    w.runStart = loopEntry(std::min(start.frame, frameCount), w.loop);
    w.paused = false;
    w.lastPosition = w.runStart;
    if (start.waitForLead) {
        w.runPending = true;
        queueRunWhenWritten(w);
        return true;
    }
    queueRun(w);
    return w.runQueued;
}

// Called every frame on the main thread, which is also where a waiting seek starts playing and
// where a loop's finished passes are queued again.
std::optional<std::uint32_t> audioPlayPosition() {
    WaveOutput& w = wave();
    if (w.device == nullptr) return std::nullopt;
    // waveOut counts the samples it has played since it was opened: the output frame heard now.
    if (stream().running) {
        w.lastPlayed = deviceSamples(w, w.lastPlayed);
        return songFrameHeard(stream().feed, w.lastPlayed);
    }
    queueRunWhenWritten(w);
    requeueLoopPasses(w);
    if (!w.runQueued) return w.lastPosition;  // waiting for the render, or at the end
    const std::uint32_t samples = deviceSamples(w, w.runStartSamples + w.lastPlayed);
    w.lastPlayed = samples >= w.runStartSamples ? samples - w.runStartSamples : 0;
    w.lastPosition = frameAfter(w.runStart, w.lastPlayed, w.loop, w.frameCount);
    return w.lastPosition;
}

void pauseAudioPlayback(bool paused) {
    WaveOutput& w = wave();
    if (w.device == nullptr) return;
    if (stream().running) {
        askFeedPause(stream().feed, paused);
        return;
    }
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
    if (stream().running) {
        askFeedSeek(stream().feed, frame);
        return;
    }
    restartRun(w, frame);
}

void moveAudioPlayback(std::int32_t frames) {
    if (wave().device != nullptr && stream().running) askFeedMove(stream().feed, frames);
}

// A new run from the frame now playing, so the device's queue holds the new loop's passes; what
// it had queued beyond that frame is dropped unheard, so the sound goes on without a skip.
void setAudioLoop(AudioLoop loop) {
    WaveOutput& w = wave();
    if (w.device == nullptr) return;
    if (stream().running) {
        askFeedLoop(stream().feed, loop);
        return;
    }
    const std::uint32_t now = audioPlayPosition().value_or(w.lastPosition);
    w.loop = clampedLoop(loop, w.frameCount);
    restartRun(w, now);
}

// waveOut reports the position of the sample being sounded: at the end, everything was heard.
void drainAudioOutput() {}

}  // namespace platform
