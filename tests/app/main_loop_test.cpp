#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/main_loop.h"
#include "app/window_events.h"

namespace {

using platform::Key;
using platform::MessageStatus;
using platform::WindowEvent;
using platform::WindowEventKind;

TEST(WindowEventsTest, EscapeCloseAndDestroyEndTheLoopNothingElseDoes) {
    EXPECT_TRUE(windowEventEndsLoop({WindowEventKind::KeyDown, Key::Escape}));
    EXPECT_TRUE(windowEventEndsLoop({WindowEventKind::Close, Key::Other}));
    EXPECT_TRUE(windowEventEndsLoop({WindowEventKind::Destroy, Key::Other}));
    EXPECT_FALSE(windowEventEndsLoop({WindowEventKind::KeyDown, Key::Other}));  // Return, Q or any other key
    EXPECT_FALSE(windowEventEndsLoop({WindowEventKind::Other, Key::Escape}));  // a mouse or paint message
    EXPECT_FALSE(windowEventEndsLoop(platform::WindowEvent{}));
}

// A scripted platform: a queue of messages, a song that ends after a number of clock reads,
// and a journal of everything the loop did, in order.
struct FakeShow {
    std::deque<MessageStatus> messages;  // what takeMessage hands out; None once empty
    int playingChecksLeft = 1000;        // audioIsPlaying answers true this many times
    std::vector<std::string> journal;
    int frameLimit = 100;  // guards the test itself against a loop that never ends

    MainLoopHooks hooks() {
        return MainLoopHooks{
            [this] {
                journal.push_back("check");
                if (playingChecksLeft <= 0) return false;
                --playingChecksLeft;
                return true;
            },
            [this] {
                if (messages.empty()) return MessageStatus::None;
                const MessageStatus status = messages.front();
                messages.pop_front();
                return status;
            },
            [this] { journal.push_back("dispatch"); },
            [this] {
                journal.push_back("draw");
                if (--frameLimit == 0) playingChecksLeft = 0;
            },
            [this] { journal.push_back("present"); },
        };
    }
};

TEST(MainLoopTest, NoFrameWhenTheSongHasAlreadyEnded) {
    FakeShow show;
    show.playingChecksLeft = 0;
    show.messages = {MessageStatus::Taken};
    runMainLoop(show.hooks());
    EXPECT_EQ(show.journal, std::vector<std::string>{"check"});
}

TEST(MainLoopTest, ABurstOfMessagesIsDispatchedBeforeTheNextFrame) {
    FakeShow show;
    show.messages = {MessageStatus::Taken, MessageStatus::Taken, MessageStatus::Taken};
    show.playingChecksLeft = 5;  // the first check, three after messages, one after the first frame
    runMainLoop(show.hooks());
    const std::vector<std::string> expected = {"check", "dispatch", "check", "dispatch", "check",
                                               "dispatch", "check", "draw", "present", "check",
                                               "draw", "present", "check"};
    EXPECT_EQ(show.journal, expected);
}

TEST(MainLoopTest, QuitEndsTheLoopAtOnceBeforeTheSongEnds) {
    FakeShow show;
    show.messages = {MessageStatus::None, MessageStatus::Taken, MessageStatus::Quit, MessageStatus::Taken};
    runMainLoop(show.hooks());
    const std::vector<std::string> expected = {"check", "draw", "present", "check", "dispatch", "check"};
    EXPECT_EQ(show.journal, expected);
    EXPECT_EQ(show.messages.size(), 1u) << "nothing is taken after the quit message";
}

TEST(MainLoopTest, EndsOnTheFirstTurnAfterTheSongEndsEvenWithMessagesPending) {
    FakeShow show;
    show.playingChecksLeft = 2;
    show.messages = {MessageStatus::None, MessageStatus::Taken, MessageStatus::Taken, MessageStatus::Taken};
    runMainLoop(show.hooks());
    const std::vector<std::string> expected = {"check", "draw", "present", "check", "dispatch", "check"};
    EXPECT_EQ(show.journal, expected);
    EXPECT_EQ(show.messages.size(), 2u);
}

TEST(MainLoopTest, DrawsAndPresentsFramesWhileNoMessageWaits) {
    FakeShow show;
    show.playingChecksLeft = 4;
    runMainLoop(show.hooks());
    const std::vector<std::string> expected = {"check", "draw", "present", "check", "draw", "present",
                                               "check", "draw", "present", "check", "draw", "present",
                                               "check"};
    EXPECT_EQ(show.journal, expected);
}

}  // namespace
