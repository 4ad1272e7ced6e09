// The SDL window's way onto the screen: the full-screen switch happens only once the window is
// shown, and a refusal there leaves a framed window of the chosen client size with the cursor
// visible. Runs under Xvfb, whose one mode is the whole screen.
#include <gtest/gtest.h>

#include <SDL.h>

#include "platform/sdl/sdl_window.h"

namespace {

class SdlWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &mode), 0) << SDL_GetError();
        // The same hidden, framed window the production makes, at the mode's size.
        window = SDL_CreateWindow("Quorvale", 0, 0, mode.w, mode.h, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        SDL_ShowCursor(SDL_ENABLE);
    }
    void TearDown() override {
        if (window != nullptr) SDL_DestroyWindow(window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    void expectFramedWithVisibleCursor() {
        const Uint32 flags = SDL_GetWindowFlags(window);
        EXPECT_EQ(flags & SDL_WINDOW_FULLSCREEN, 0u);
        EXPECT_EQ(flags & SDL_WINDOW_BORDERLESS, 0u);
        EXPECT_NE(flags & SDL_WINDOW_SHOWN, 0u);
        int width = 0, height = 0;
        SDL_GetWindowSize(window, &width, &height);
        EXPECT_EQ(width, mode.w);
        EXPECT_EQ(height, mode.h);
        EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    }

    SDL_DisplayMode mode{};
    SDL_Window* window = nullptr;
};

int refuse(SDL_Window*, Uint32) { return SDL_SetError("mode switch refused"); }

// A driver that goes part of the way into full screen before it reports the failure.
int refuseAfterSwitching(SDL_Window* window, Uint32 flags) {
    SDL_SetWindowFullscreen(window, flags);
    return SDL_SetError("mode switch refused half-way");
}

TEST_F(SdlWindowTest, AnAcceptedSwitchTakesOverTheScreenAndHidesTheCursor) {
    EXPECT_TRUE(platform::sdl::showOnScreen(window, &mode, mode.w, mode.h, SDL_SetWindowFullscreen));
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    SDL_SetWindowFullscreen(window, 0);
    SDL_ShowCursor(SDL_ENABLE);
}

TEST_F(SdlWindowTest, ARefusedSwitchLeavesAFramedWindowOfTheSameClientSize) {
    EXPECT_FALSE(platform::sdl::showOnScreen(window, &mode, mode.w, mode.h, refuse));
    expectFramedWithVisibleCursor();
}

TEST_F(SdlWindowTest, ASwitchRefusedHalfWayIsUndone) {
    EXPECT_FALSE(platform::sdl::showOnScreen(window, &mode, mode.w, mode.h, refuseAfterSwitching));
    expectFramedWithVisibleCursor();
}

TEST_F(SdlWindowTest, WithoutFullScreenTheWindowIsOnlyShown) {
    EXPECT_TRUE(platform::sdl::showOnScreen(window, nullptr, mode.w, mode.h, refuse));
    expectFramedWithVisibleCursor();
}

}  // namespace
