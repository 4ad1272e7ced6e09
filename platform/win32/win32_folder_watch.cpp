// Folder watch on Windows: one overlapped ReadDirectoryChangesW request on the folder and its
// sub-folders, completed through an auto-reset event that is polled with a zero timeout.
#include <windows.h>

#include <cstddef>

#include "platform/platform.h"

namespace platform {

struct FolderWatch {
    HANDLE folderHandle = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};  // all zero but for its event
    HANDLE event = nullptr;
    // One record head (16 bytes with its alignment) and a name of 260 UTF-16 code units.
    alignas(DWORD) unsigned char buffer[536];
};

namespace {

constexpr DWORD kBufferSize = sizeof(FolderWatch::buffer);
constexpr DWORD kChangeFilter = FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;  // 0x18
constexpr DWORD kNameOffset = offsetof(FILE_NOTIFY_INFORMATION, FileName);

FolderChangeKind changeKindOf(DWORD action) {
    switch (action) {
        case FILE_ACTION_ADDED: return FolderChangeKind::Added;
        case FILE_ACTION_REMOVED: return FolderChangeKind::Removed;
        case FILE_ACTION_MODIFIED: return FolderChangeKind::Modified;
        case FILE_ACTION_RENAMED_OLD_NAME: return FolderChangeKind::RenamedFrom;
        case FILE_ACTION_RENAMED_NEW_NAME: return FolderChangeKind::RenamedTo;
        default: return FolderChangeKind::Other;
    }
}

// The first record of a completed request, copied out of the buffer before the next request
// can write into it. Later records of the same completion are not read.
FolderChange firstChange(const FolderWatch& watch) {
    const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(watch.buffer);
    DWORD nameUnits = record->FileNameLength / sizeof(WCHAR);
    const DWORD roomUnits = (kBufferSize - kNameOffset) / sizeof(WCHAR);
    if (nameUnits > roomUnits) nameUnits = roomUnits;
    return FolderChange{changeKindOf(record->Action), NativeString(record->FileName, nameUnits)};
}

}  // namespace

FolderWatch* openFolderWatch(const NativeString& folder) {
    const HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (event == nullptr) return nullptr;
    const HANDLE folderHandle =
        CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (folderHandle == INVALID_HANDLE_VALUE) {
        CloseHandle(event);
        return nullptr;
    }
    auto* watch = new FolderWatch;
    watch->folderHandle = folderHandle;
    watch->event = event;
    watch->overlapped.hEvent = event;
    return watch;
}

bool requestFolderChanges(FolderWatch* watch) {
    if (watch == nullptr) return false;
    DWORD unused = 0;
    const BOOL issued = ReadDirectoryChangesW(watch->folderHandle, watch->buffer, kBufferSize, TRUE,
                                              kChangeFilter, &unused, &watch->overlapped, nullptr);
    return issued || GetLastError() == ERROR_IO_PENDING;
}

FolderPoll pollFolderChanges(FolderWatch* watch) {
    if (watch == nullptr) return {};
    const DWORD waited = WaitForSingleObject(watch->event, 0);
    if (waited == WAIT_TIMEOUT) return {};
    if (waited != WAIT_OBJECT_0) return {FolderPollStatus::Failed, std::nullopt};
    DWORD transferred = 0;
    if (!GetOverlappedResult(watch->folderHandle, &watch->overlapped, &transferred, FALSE)) {
        return {FolderPollStatus::Failed, std::nullopt};
    }
    // Nothing transferred: the system dropped the changes (its own buffer overflowed). The
    // buffer still holds the previous completion's records, which must not be taken as new.
    if (transferred == 0) return {FolderPollStatus::Completed, std::nullopt};
    return {FolderPollStatus::Completed, firstChange(*watch)};
}

}  // namespace platform
