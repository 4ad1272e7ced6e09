// The watcher's logic against a scripted folder-watch primitive, defined here in place of the
// platform's: each poll answers with the next scripted result (Pending once they run out).
#include <gtest/gtest.h>

#include <deque>

#include "shaders/directory_watcher.h"

namespace platform {

struct FolderWatch {
    std::deque<FolderPoll> results;
    int requests = 0;
    bool refuseRequests = false;
};

}  // namespace platform

namespace {

const platform::NativeString kFolder = "watched/";

// Reached from static initialisation too (the process-wide library opens its folder then).
platform::FolderWatch& scriptedWatch() {
    static platform::FolderWatch watch;
    return watch;
}

}  // namespace

namespace platform {

FolderWatch* openFolderWatch(const NativeString& folder) {
    return folder == kFolder ? &scriptedWatch() : nullptr;
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

FolderPoll modified(const char* name) {
    return {FolderPollStatus::Completed, platform::FolderChange{platform::kFileActionModified, name}};
}

class DirectoryWatcherTest : public ::testing::Test {
protected:
    void SetUp() override { scriptedWatch() = {}; }
    platform::FolderWatch& script = scriptedWatch();
};

TEST_F(DirectoryWatcherTest, FolderThatCannotBeOpenedLeavesItInert) {
    DirectoryWatcher watcher("missing/");
    EXPECT_EQ(watcher.state(), WatcherState::Inert);
    watcher.arm();
    EXPECT_EQ(watcher.state(), WatcherState::Inert);
    EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(script.requests, 0);
}

TEST_F(DirectoryWatcherTest, ReportsNothingUntilArmedAndGoesIdleWhenARequestIsRefused) {
    DirectoryWatcher watcher(kFolder);
    script.results = {modified("a.glsl")};
    EXPECT_EQ(watcher.state(), WatcherState::Idle);
    EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(script.results.size(), 1u) << "an idle watcher does not ask the platform";

    script.refuseRequests = true;
    watcher.arm();
    EXPECT_EQ(watcher.state(), WatcherState::Idle);
    EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(script.requests, 1);
}

TEST_F(DirectoryWatcherTest, YieldsOneNamePerCompletedRequestAndIssuesTheNext) {
    DirectoryWatcher watcher(kFolder);
    watcher.arm();
    script.results = {FolderPoll{}, modified("a.glsl"), modified("sub/b.glsl")};
    EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(script.requests, 1) << "a running request is left alone";
    EXPECT_EQ(watcher.poll(), "a.glsl");
    EXPECT_EQ(script.requests, 2);
    EXPECT_EQ(watcher.poll(), "sub/b.glsl");
    EXPECT_EQ(script.requests, 3);
    EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(watcher.state(), WatcherState::Waiting);
}

TEST_F(DirectoryWatcherTest, CompletionsWithoutAContentChangeArePassedOver) {
    DirectoryWatcher watcher(kFolder);
    watcher.arm();
    script.results = {
        FolderPoll{FolderPollStatus::Completed, std::nullopt},  // the platform dropped changes
        FolderPoll{FolderPollStatus::Completed, platform::FolderChange{1, "added.glsl"}},
        FolderPoll{FolderPollStatus::Failed, std::nullopt},
        modified("a.glsl"),
    };
    EXPECT_FALSE(watcher.poll());
    EXPECT_FALSE(watcher.poll());
    EXPECT_FALSE(watcher.poll());
    EXPECT_EQ(script.requests, 4) << "each one issues the request again";
    EXPECT_EQ(watcher.poll(), "a.glsl");
}

TEST_F(DirectoryWatcherTest, NameIsStillReturnedWhenTheNextRequestIsRefused) {
    DirectoryWatcher watcher(kFolder);
    watcher.arm();
    script.results = {modified("a.glsl"), modified("b.glsl")};
    script.refuseRequests = true;
    EXPECT_EQ(watcher.poll(), "a.glsl");
    EXPECT_EQ(watcher.state(), WatcherState::Idle);
    EXPECT_FALSE(watcher.poll()) << "no request is made any more";
}

TEST_F(DirectoryWatcherTest, ANameBeginningWithTheFolderTextLosesThatBeginning) {
    DirectoryWatcher watcher(kFolder);
    watcher.arm();
    script.results = {modified("watched/a.glsl"), modified("watched/"), modified("watched"),
                      modified("Watched/a.glsl"), modified("sub/watched/a.glsl")};
    EXPECT_EQ(watcher.poll(), "a.glsl");
    EXPECT_EQ(watcher.poll(), "");
    EXPECT_EQ(watcher.poll(), "watched");
    EXPECT_EQ(watcher.poll(), "Watched/a.glsl");
    EXPECT_EQ(watcher.poll(), "sub/watched/a.glsl");
}

}  // namespace
