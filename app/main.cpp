// Process entry: take over the screen, open the window and its OpenGL context, run start-up
// and the main loop, then put the desktop back and end the process. With options it runs in
// making mode instead: optionally in a window of a given size, from a given time, looping.
#include <string>
#include <string_view>
#include <vector>

#include "app/display_mode.h"
#include "app/main_loop.h"
#include "app/making_mode.h"
#include "app/options.h"
#include "cli/arguments.h"
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

// Every option is checked before anything changes on screen; a bad one ends the process here.
ProductionOptions readOptions(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedOptions parsed = parseOptions(arguments, songEndSeconds());
    if (parsed.error) {
        platform::reportCommandLineError(*parsed.error + "\n" + kOptionsUsage);
        platform::exitProcess(kUsageStatus);
    }
    return parsed.options;
}

}  // namespace

int main(int argc, char** argv) {
    const ProductionOptions options = readOptions(argc, argv);
    if (!platform::registerWindowClass()) return 0;

    bool fullScreen = false;
    if (options.window) {
        // A framed window of the asked size; the display mode is never touched.
        screenWidth = options.window->width;
        screenHeight = options.window->height;
    } else {
        const std::vector<platform::DisplayMode> modes = platform::listDisplayModes();
        const ModeChoice choice = chooseDisplayMode(modes);
        screenWidth = choice.width;
        screenHeight = choice.height;
        screenBits = choice.bits;
        fullScreen = platform::applyDisplayMode(choice.index);
    }

    platform::WindowRequest request;
    request.width = screenWidth;
    request.height = screenHeight;
    request.colorBits = screenBits;
    request.fullScreen = fullScreen;
    request.resizable = options.makingMode;
    request.eventEndsLoop = options.makingMode ? makingModeEventEndsLoop : windowEventEndsLoop;
    if (!platform::createWindow(request)) {
        platform::showMessageBox("Can't create window", kErrorBoxTitle);
        endProduction(fullScreen);
    }
    if (!platform::createGlContext()) {
        platform::showMessageBox("Can't create an OpenGL context", kErrorBoxTitle);
        endProduction(fullScreen);
    }
    // Where the mode switch happens only as the window appears, a refusal shows here: the window
    // is then framed, and the desktop mode was never changed.
    if (!platform::showWindow()) fullScreen = false;

    if (options.makingMode) {
        startMakingMode(options);
        // Only Escape or closing the window ends making mode; the song's end holds the show there.
        if (startUp()) {
            runMainLoop(MainLoopHooks{[] { return true; }, platform::takeMessage, platform::dispatchMessage,
                                      drawMakingFrame, [] {}});
        }
        endProduction(fullScreen);
    }

    if (startUp()) {
        runMainLoop(MainLoopHooks{audioIsPlaying, platform::takeMessage, platform::dispatchMessage,
                                  drawFrame, platform::swapBuffers});
        // At the song's end the output still holds its last frames: let them sound.
        if (!audioIsPlaying()) platform::drainAudioOutput();
    }
    endProduction(fullScreen);
}
