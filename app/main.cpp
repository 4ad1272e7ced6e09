// Process entry: take over the screen, open the window and its OpenGL context, run start-up
// and the main loop, then put the desktop back and end the process.
#include "app/display_mode.h"
#include "app/main_loop.h"
#include "app/window_events.h"
#include "gl/screen_size.h"
#include "platform/platform.h"
#include "synth/audio_clock.h"
#include "show/director.h"
#include "show/startup.h"

namespace {

[[noreturn]] void endProduction(bool fullScreen) {
    if (fullScreen) platform::restoreDesktopMode();
    platform::exitProcess(0);
}

}  // namespace

int main() {
    if (!platform::registerWindowClass()) return 0;

    const std::vector<platform::DisplayMode> modes = platform::listDisplayModes();
    const ModeChoice choice = chooseDisplayMode(modes);
    screenWidth = choice.width;
    screenHeight = choice.height;
    screenBits = choice.bits;
    bool fullScreen = platform::applyDisplayMode(choice.index);

    platform::WindowRequest request;
    request.width = screenWidth;
    request.height = screenHeight;
    request.colorBits = screenBits;
    request.fullScreen = fullScreen;
    request.eventEndsLoop = windowEventEndsLoop;
    if (!platform::createWindow(request)) {
        platform::showMessageBox("Can't create window", "Ulverror");
        endProduction(fullScreen);
    }
    if (!platform::createGlContext()) {
        platform::showMessageBox("Can't create an OpenGL context", "Ulverror");
        endProduction(fullScreen);
    }
    // Where the mode switch happens only as the window appears, a refusal shows here: the window
    // is then framed, and the desktop mode was never changed.
    if (!platform::showWindow()) fullScreen = false;

    if (startUp()) {
        runMainLoop(MainLoopHooks{audioIsPlaying, platform::takeMessage, platform::dispatchMessage,
                                  drawFrame, platform::swapBuffers});
        // At the song's end the output still holds its last frames: let them sound.
        if (!audioIsPlaying()) platform::drainAudioOutput();
    }
    endProduction(fullScreen);
}
