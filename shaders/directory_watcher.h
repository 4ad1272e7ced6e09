// Watches one folder, sub-folders included, for files whose contents changed. Built on the
// platform's folder-watch primitive: at most one request is outstanding, and each completed
// request yields at most one file name.
#pragma once

#include <optional>

#include "platform/platform.h"

enum class WatcherState {
    Inert,    // the folder could not be opened: nothing is ever reported
    Idle,     // open, no request outstanding (before arm(), or after a refused request)
    Waiting,  // a request is outstanding
};

struct DirectoryWatcher {
    platform::FolderWatch* watch = nullptr;  // null while inert; never released
    bool pending = false;                    // a request is taken to be outstanding
    platform::NativeString folder;           // the folder text, also used to form file paths

    // Opens the folder at once. A missing folder leaves the watcher inert, without a message.
    explicit DirectoryWatcher(platform::NativeString folderText);
    DirectoryWatcher(const DirectoryWatcher&) = delete;
    DirectoryWatcher& operator=(const DirectoryWatcher&) = delete;

    // Issues one change request. Changes are recorded from the first request on.
    void arm();

    // Never blocks. After a completed request: the name of the file whose contents changed,
    // relative to the folder with its sub-folder parts, and the request is issued again.
    // Nothing while the request runs, for a completion without a content change, or when the
    // watcher is inert or idle.
    std::optional<platform::NativeString> poll();

    WatcherState state() const;
};
