#include "app/main_loop.h"


void runMainLoop(const MainLoopHooks& hooks) {
    if (!hooks.audioIsPlaying()) return;
    for (;;) {
        switch (hooks.takeMessage()) {
            case platform::MessageStatus::Quit:
                return;
            case platform::MessageStatus::Taken:
                hooks.dispatchMessage();
                break;
            case platform::MessageStatus::None:
                hooks.drawFrame();
                hooks.presentFrame();
                break;
        }
        if (!hooks.audioIsPlaying()) return;
    }
}
