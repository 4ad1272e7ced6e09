#include "shaders/directory_watcher.h"

#include <utility>

namespace {

// A reported name that begins with the folder text (a sub-folder spelled like the folder
// itself) loses that beginning; any other name is returned unchanged.
platform::NativeString relativeToFolder(platform::NativeString name,
                                        const platform::NativeString& folder) {
    if (name.size() >= folder.size() && name.compare(0, folder.size(), folder) == 0) {
        name.erase(0, folder.size());
    }
    return name;
}

}  // namespace

DirectoryWatcher::DirectoryWatcher(platform::NativeString folderText)
    : folder(std::move(folderText)) {
    watch = platform::openFolderWatch(folder);
}

void DirectoryWatcher::arm() {
    if (watch == nullptr) return;
    pending = true;
    if (!platform::requestFolderChanges(watch)) pending = false;
}

std::optional<platform::NativeString> DirectoryWatcher::poll() {
    if (watch == nullptr || !pending) return std::nullopt;
    platform::FolderPoll result = platform::pollFolderChanges(watch);
    if (result.status == platform::FolderPollStatus::Pending) return std::nullopt;
    // A failed request, a completion that carried no record (the platform dropped changes) and
    // a record of another kind are all passed over by issuing the request again.
    const bool contentChange = result.status == platform::FolderPollStatus::Completed &&
                               result.change && result.change->kind == platform::FolderChangeKind::Modified;
    if (!contentChange) {
        arm();
        return std::nullopt;
    }
    // The backend hands the name over as a copy, so issuing the next request cannot touch it.
    platform::NativeString name = std::move(result.change->name);
    arm();
    return relativeToFolder(std::move(name), folder);
}

WatcherState DirectoryWatcher::state() const {
    if (watch == nullptr) return WatcherState::Inert;
    return pending ? WatcherState::Waiting : WatcherState::Idle;
}
