// The watcher's logic against a scripted folder-watch primitive, defined here in place of the
// platform's: each poll answers with the next scripted result, Pending once they run out.
#include <gtest/gtest.h>

#include <deque>

#include "shaders/directory_watcher.h"

namespace platform {

struct FolderWatch {
    std::deque<FolderPoll> results;
    int requests = 0;
    bool refuseRequests = false;
};

// Reached from static initialisation too: the process-wide library opens its folder then.
FolderWatch& scriptedWatch() {
    static FolderWatch watch;
    return watch;
}

FolderWatch* openFolderWatch(const NativeString& folder) {
    return folder == "watched/" ? &scriptedWatch() : nullptr;
}

bool requestFolderChanges(FolderWatch* watch) {
    ++watch->requests;
    return !watch->refuseRequests;
}

FolderPoll pollFolderChanges(FolderWatch* watch) {
    if (watch->results.empty()) return {};
    FolderPoll result = watch->results.front();
    watch->results.pop_front();
    return result;
}

}  // namespace platform

namespace {

using platform::FolderPoll;
using platform::FolderPollStatus;

FolderPoll completed(platform::FolderChangeKind kind, const char* name) {
    return {FolderPollStatus::Completed, platform::FolderChange{kind, name}};
}
FolderPoll modified(const char* name) { return completed(platform::FolderChangeKind::Modified, name); }

class DirectoryWatcherTest : public ::testing::Test {
protected:
    platform::FolderWatch& script = platform::scriptedWatch() = {};
    DirectoryWatcher watcher{"watched/"};
};

TEST_F(DirectoryWatcherTest, ReportsNothingWhenInertOrIdle) {
    DirectoryWatcher inert("missing/");
    inert.arm();
    EXPECT_EQ(inert.state(), WatcherState::Inert);
    EXPECT_FALSE(inert.poll());

    script.results = {modified("a.glsl")};
    EXPECT_EQ(watcher.state(), WatcherState::Idle);
    EXPECT_FALSE(watcher.poll());
    script.refuseRequests = true;
    watcher.arm();
    EXPECT_EQ(watcher.state(), WatcherState::Idle);
    EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(script.results.size(), 1u) << "an idle watcher does not ask the platform";
    EXPECT_EQ(script.requests, 1);
}

TEST_F(DirectoryWatcherTest, YieldsOneContentChangePerCompletionAndIssuesTheNextRequest) {
    watcher.arm();
    script.results = {FolderPoll{},
                      modified("sub/a.glsl"),
                      FolderPoll{FolderPollStatus::Completed, std::nullopt},  // changes were dropped
                      completed(platform::FolderChangeKind::Added, "added.glsl"),
                      FolderPoll{FolderPollStatus::Failed, std::nullopt},
                      modified("b.glsl"),
                      modified("c.glsl")};
    EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(script.requests, 1) << "a running request is left alone";
    EXPECT_EQ(watcher.poll(), "sub/a.glsl");
    for (int skipped = 0; skipped < 3; ++skipped) EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(script.requests, 5) << "every completion issues the request again";

    script.refuseRequests = true;
    EXPECT_EQ(watcher.poll(), "b.glsl") << "the name was taken before the refused request";
    EXPECT_EQ(watcher.state(), WatcherState::Idle);
    EXPECT_FALSE(watcher.poll());
}

TEST_F(DirectoryWatcherTest, ANameBeginningWithTheFolderTextLosesThatBeginning) {
    watcher.arm();
    script.results = {modified("watched/a.glsl"), modified("watched"), modified("Watched/a.glsl"),
                      modified("sub/watched/a.glsl")};
    EXPECT_EQ(watcher.poll(), "a.glsl");
    EXPECT_EQ(watcher.poll(), "watched");
    EXPECT_EQ(watcher.poll(), "Watched/a.glsl");
    EXPECT_EQ(watcher.poll(), "sub/watched/a.glsl");
}

}  // namespace
