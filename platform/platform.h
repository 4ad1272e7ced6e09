// The one boundary between the production and the operating system. Everything above it is
// portable C++; each backend (win32, sdl, headless) implements all of these functions in its
// own folder, and an executable links exactly one backend.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace platform {

// File names as the platform spells them: UTF-16 on Windows, bytes elsewhere.
using NativeString = std::filesystem::path::string_type;
using NativeChar = NativeString::value_type;

// ---- Start -----------------------------------------------------------------------------------

// Prepares windowing: registers the window class (Win32) or starts the video subsystem (SDL).
// False: the production cannot open a window and ends without a message.
bool registerWindowClass();

// ---- Display modes --------------------------------------------------------------------------

struct DisplayMode {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bitsPerPixel = 0;
    std::uint32_t refreshRate = 0;
};

// Every mode of the primary display, in the platform's enumeration order.
std::vector<DisplayMode> listDisplayModes();

// Records the desktop's current mode (once), then switches to enumerated mode `index` for full
// screen; index -1 asks for the current settings. True exactly when the switch succeeded.
bool applyDisplayMode(int index);

// Puts back the desktop mode recorded by applyDisplayMode and shows the cursor again.
void restoreDesktopMode();

// Ends the process at once with `code`: no static destructors run, and threads still working
// (the song render) are stopped with it.
[[noreturn]] void exitProcess(int code);

// ---- The window and its OpenGL context ------------------------------------------------------

// Expose: part of the window needs drawing again (uncovered, restored), its picture lost.
// Resize: the client area has a new size (only a resizable window gets one).
enum class WindowEventKind { Destroy, Close, KeyDown, Expose, Resize, Other };

// The keys the production tells apart; each backend maps its own key codes onto them. Without
// options only Escape does anything; making mode also acts on the others. Comma, Period and the
// brackets are the keys that type those characters on a US layout; P is the letter key.
enum class Key {
    Escape, Space, Left, Right, Up, Down, PageUp, PageDown, Home, Comma, Period, LeftBracket, RightBracket,
    Backspace, Tab, P, Other
};

struct WindowEvent {
    WindowEventKind kind = WindowEventKind::Other;
    Key key = Key::Other;  // the key pressed, for KeyDown
    bool repeat = false;   // KeyDown: sent again by the keyboard's auto-repeat while the key is held
    bool shift = false;    // KeyDown: a Shift key was held
    int width = 0;         // Resize: the client area's new size in pixels
    int height = 0;
};

struct WindowRequest {
    int width = 1280;        // client area in pixels
    int height = 720;
    std::uint8_t colorBits = 32;
    bool fullScreen = false; // popup over the whole screen with the cursor hidden, else framed
    bool resizable = false;  // framed only: the user may resize it (making mode)
    // Decides, for each event the window receives, whether it ends the main loop.
    bool (*eventEndsLoop)(const WindowEvent&) = nullptr;
};

// Creates the one window, hidden, and sets its pixel format. False when no window was made.
bool createWindow(const WindowRequest& request);

// Creates an OpenGL compatibility context on the window and makes it current. False on failure.
bool createGlContext();

// Making mode: one more OpenGL context that shares the window context's objects (programs,
// textures), so that a thread of its own can build a program, and draw with it once, while the
// window's context goes on drawing. Made on the drawing thread after createGlContext, whose
// context stays current there; true at once while one exists. False when the platform cannot.
bool createWorkerGlContext();

// Deletes the worker context, released by its thread, with everything the driver made for it
// alone. On the drawing thread.
void destroyWorkerGlContext();

// On the thread doing the work: makes the worker context current there (true) or releases it
// (false), so that the next job's thread can take it. One thread holds it at a time. False
// when there is no worker context or the platform refused.
bool holdWorkerGlContext(bool hold);

// Looks up an OpenGL entry point in the current context; null when the driver lacks it.
void* getGlProcAddress(const char* name);

// Sets the window's title bar text (UTF-8). Making mode shows where in the show it is there.
void setWindowTitle(std::string_view title);

// Shows the window. Some platforms switch the display mode only now, and may refuse it only now:
// then the window is a framed one of the same client size with the cursor visible, the desktop
// mode is untouched, and the result is false. True when the window shows as asked.
bool showWindow();
void swapBuffers();

// ---- Messages -------------------------------------------------------------------------------

enum class MessageStatus { None, Quit, Taken };

// Takes one pending message without waiting. Quit once an event has ended the loop.
MessageStatus takeMessage();

// Hands the message taken last to the window's event handling.
void dispatchMessage();

// A modal box with one OK button, owned by the desktop. Returns when it is dismissed.
void showMessageBox(std::string_view text, std::string_view caption);

// Tells the user that the command line was not understood: on standard error where a console
// can show it, and in a message box where a windowed program has no console (Windows).
void reportCommandLineError(std::string_view text);

// ---- Audio ----------------------------------------------------------------------------------

// An audio frame is one left/right pair of 32-bit floats; the song plays at this many a second.
inline constexpr std::uint32_t kAudioFrameRate = 44100;

// Making mode: a stretch of buffer frames [from, to) played over and over. Reaching `to`, the
// output goes on from `from` within the same buffer it is filling, so no frame at or past `to`
// sounds. `to` at most the buffer's end; to <= from means no loop.
struct AudioLoop {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    constexpr bool active() const { return to > from; }
};

// Where and how playback starts. The defaults are the show's: frame 0 at once, no loop.
struct AudioStart {
    std::uint32_t frame = 0;
    AudioLoop loop;
    // Making mode: start only once the song is written far enough beyond `frame`
    // (songWrittenFor in audio_feed.h), as after a seek, so no gap follows the first frame.
    bool waitForLead = false;
    // Making mode: the output runs the song feed (song_feed.h): every cut is faded, keys act where
    // the sound is, and a paused seek plays a short grain. The position then reads what is heard:
    // on SDL the frames the callback handed out less the two buffers the device still holds; on
    // waveOut the device's own count of frames played.
    bool making = false;
};

// Opens the default audio output for 44,100 Hz stereo float frames and starts playing the
// `frameCount` interleaved frames at `frames` once, front to back from `start.frame`.
// `framesReady` counts the frames written so far while the buffer is still being filled: where
// the backend can, playback waits (playing silence, its position standing still) rather than
// play frames not yet written. False when there is no device.
bool startAudioPlayback(const float* frames, std::uint32_t frameCount,
                        const std::atomic<std::uint32_t>* framesReady, const AudioStart& start = {});

// The buffer frame playback has reached: the start or the last seek's frame, moved on by the
// frames played since and wrapped by the loop; it stops at the buffer's end. Nothing when unknown.
std::optional<std::uint32_t> audioPlayPosition();

// Making mode. Holds (true) or resumes (false) the output: while held nothing sounds and the
// position stands still. Without a device nothing happens.
void pauseAudioPlayback(bool paused);

// Making mode. Moves playback to buffer frame `frame` (at most the buffer's end); the position
// reads `frame` from then on. The output sounds silence, the position waiting at `frame`, until
// the song is written far enough beyond it (songWrittenFor); then it plays without a gap. A held
// output stays held. A target at or past an active loop's end plays from the loop's start.
void seekAudioPlayback(std::uint32_t frame);

// Making mode. Moves playback by `frames` from where the sound is cut (after its fade out), so
// that the sound moves by exactly that much whatever the device still held; the landing follows
// seekLanding (song_feed.h). Only where the output runs the song feed; elsewhere nothing happens.
void moveAudioPlayback(std::int32_t frames);

// Making mode. Sets the loop (AudioLoop{} clears it) from the frame now playing on: a position
// already at or past the new loop's end goes on from its start.
void setAudioLoop(AudioLoop loop);

// Once the play position has reached the buffer's end, waits (for a bounded time) until the
// output has also sounded the frames it still holds, so that ending the process cuts nothing
// off. Returns at once before the end and where the position already counts sounded frames.
void drainAudioOutput();

// ---- Folder watch ---------------------------------------------------------------------------

// What happened to a file in a watched folder; each backend maps its own codes onto these.
// Modified is a change of content (size or last-write time).
enum class FolderChangeKind { Added, Removed, Modified, RenamedFrom, RenamedTo, Other };

struct FolderChange {
    FolderChangeKind kind = FolderChangeKind::Other;
    NativeString name;  // as the platform reports it: relative, with sub-folder parts
};

enum class FolderPollStatus { Pending, Completed, Failed };

struct FolderPoll {
    FolderPollStatus status = FolderPollStatus::Pending;
    // The first change of a completed request; absent when the request carried none.
    std::optional<FolderChange> change;
};

struct FolderWatch;  // backend state

// Opens `folder` for change listing, including its sub-folders. Null when it cannot be opened.
FolderWatch* openFolderWatch(const NativeString& folder);

// Issues one request for content changes (size or last-write time). False when refused.
bool requestFolderChanges(FolderWatch* watch);

// Asks, without waiting, whether the outstanding request has completed.
FolderPoll pollFolderChanges(FolderWatch* watch);

}  // namespace platform
