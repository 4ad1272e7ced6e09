// The main loop: one window message or one frame per turn, until quit or the song's end.
#pragma once

#include <functional>

#include "platform/platform.h"

struct MainLoopHooks {
    std::function<bool()> audioIsPlaying;
    std::function<platform::MessageStatus()> takeMessage;
    std::function<void()> dispatchMessage;
    std::function<void()> drawFrame;
    std::function<void()> presentFrame;
};

// Never waits and never sleeps: messages take precedence over frames, and the end of playback
// is tested before the first turn and after every turn.
void runMainLoop(const MainLoopHooks& hooks);
