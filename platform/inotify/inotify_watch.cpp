// Folder watch on Linux, shared by the sdl and headless backends: one non-blocking inotify
// descriptor with a watch on the folder and on every sub-folder, including those created or
// moved in later.
//
// A request completes with the first event that concerns a file. Only finished writes count as
// content changes: IN_CLOSE_WRITE (a file written in place, once the writer closes it) and
// IN_MOVED_TO (an editor that saves by renaming a temporary file over the original). IN_MODIFY
// is not watched: a save is many write() calls, and reacting to the first would read a
// half-written file. Creations, deletions and renames away are reported as their own kinds of
// change, which callers pass over. Each poll consumes at most one such event and leaves the rest
// queued for the next request, so no change is lost between requests.
#include "platform/platform.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <map>
#include <string>
#include <system_error>

namespace platform {

struct FolderWatch {
    int fd = -1;
    std::filesystem::path root;
    int rootWatch = -1;                  // -1 once the folder itself is gone
    std::map<int, std::string> folders;  // watch descriptor -> "" or "sub/folder/"
    bool recording = false;              // events are kept from the first request on
    bool outstanding = false;
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    std::size_t begin = 0;  // unread events are buffer[begin, end)
    std::size_t end = 0;
};

namespace {

constexpr std::uint32_t kWatchMask =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ONLYDIR;

// Watches the folder `relative` (empty, or ending in '/') under the root and, below it, every
// real sub-folder. Returns the folder's watch descriptor, or -1.
int watchFolderTree(FolderWatch& watch, const std::string& relative) {
    const std::filesystem::path path = watch.root / relative;
    const std::uint32_t follow = relative.empty() ? 0 : IN_DONT_FOLLOW;
    const int descriptor = inotify_add_watch(watch.fd, path.c_str(), kWatchMask | follow);
    if (descriptor < 0) return -1;
    watch.folders[descriptor] = relative;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(path, error), last; !error && entry != last;
         entry.increment(error)) {
        std::error_code typeError;
        if (entry->is_directory(typeError) && !entry->is_symlink(typeError)) {
            watchFolderTree(watch, relative + entry->path().filename().string() + '/');
        }
    }
    return descriptor;
}

// Stops watching the folder `relative` (ending in '/') and everything below it.
void forgetFolderTree(FolderWatch& watch, const std::string& relative) {
    for (auto folder = watch.folders.begin(); folder != watch.folders.end();) {
        if (folder->second.compare(0, relative.size(), relative) == 0) {
            inotify_rm_watch(watch.fd, folder->first);
            folder = watch.folders.erase(folder);
        } else {
            ++folder;
        }
    }
}

FolderChangeKind changeKindOf(std::uint32_t mask) {
    if (mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) return FolderChangeKind::Modified;
    if (mask & IN_CREATE) return FolderChangeKind::Added;
    if (mask & IN_DELETE) return FolderChangeKind::Removed;
    return FolderChangeKind::RenamedFrom;
}

// The next queued event, reading more from the descriptor when the buffer is used up. Null when
// none is waiting; `failed` tells a broken descriptor from an empty queue.
const inotify_event* nextEvent(FolderWatch& watch, bool& failed) {
    failed = false;
    if (watch.begin == watch.end) {
        const ssize_t count = read(watch.fd, watch.buffer, sizeof watch.buffer);
        if (count <= 0) {
            failed = count < 0 && errno != EAGAIN && errno != EINTR;
            return nullptr;
        }
        watch.begin = 0;
        watch.end = static_cast<std::size_t>(count);
    }
    const auto* event = reinterpret_cast<const inotify_event*>(watch.buffer + watch.begin);
    watch.begin += sizeof(inotify_event) + event->len;
    return event;
}

// Keeps the folder bookkeeping up to date; returns the completion the event stands for, if any.
std::optional<FolderPoll> handleEvent(FolderWatch& watch, const inotify_event& event) {
    if (event.mask & IN_Q_OVERFLOW) {
        // The kernel dropped changes: a completion that carries no record.
        return FolderPoll{FolderPollStatus::Completed, std::nullopt};
    }
    if (event.mask & IN_IGNORED) {
        watch.folders.erase(event.wd);
        if (event.wd != watch.rootWatch) return std::nullopt;
        watch.rootWatch = -1;
        return FolderPoll{FolderPollStatus::Failed, std::nullopt};
    }
    const auto folder = watch.folders.find(event.wd);
    if (folder == watch.folders.end() || event.len == 0) return std::nullopt;
    const std::string name = folder->second + event.name;
    if (event.mask & IN_ISDIR) {
        if (event.mask & (IN_CREATE | IN_MOVED_TO)) watchFolderTree(watch, name + '/');
        if (event.mask & IN_MOVED_FROM) forgetFolderTree(watch, name + '/');
        return std::nullopt;
    }
    return FolderPoll{FolderPollStatus::Completed, FolderChange{changeKindOf(event.mask), name}};
}

// Drops what happened before the first request, keeping only the folder bookkeeping.
void discardQueuedEvents(FolderWatch& watch) {
    bool failed = false;
    while (const inotify_event* event = nextEvent(watch, failed)) handleEvent(watch, *event);
}

}  // namespace

FolderWatch* openFolderWatch(const NativeString& folder) {
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return nullptr;
    auto* watch = new FolderWatch;
    watch->fd = fd;
    watch->root = folder;
    watch->rootWatch = watchFolderTree(*watch, "");
    if (watch->rootWatch < 0) {
        close(fd);
        delete watch;
        return nullptr;
    }
    return watch;
}

bool requestFolderChanges(FolderWatch* watch) {
    if (watch == nullptr) return false;
    if (!watch->recording) {
        discardQueuedEvents(*watch);
        watch->recording = true;
    }
    watch->outstanding = watch->rootWatch >= 0;
    return watch->outstanding;
}

FolderPoll pollFolderChanges(FolderWatch* watch) {
    if (watch == nullptr || !watch->outstanding) return {};
    bool failed = false;
    while (const inotify_event* event = nextEvent(*watch, failed)) {
        if (std::optional<FolderPoll> completion = handleEvent(*watch, *event)) {
            watch->outstanding = false;
            return *completion;
        }
    }
    if (failed) {
        watch->outstanding = false;
        return {FolderPollStatus::Failed, std::nullopt};
    }
    return {};
}

}  // namespace platform
