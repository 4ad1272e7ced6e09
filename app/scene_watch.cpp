#include "app/scene_watch.h"

#include <cstdio>
#include <system_error>

#include "scene/scene.h"
#include "show/timeline.h"

namespace {

constexpr auto kLookInterval = std::chrono::milliseconds(250);

std::optional<SceneFileStamp> stampOf(const std::filesystem::path& path) {
    std::error_code error;
    SceneFileStamp stamp;
    stamp.written = std::filesystem::last_write_time(path, error);
    if (error) return std::nullopt;
    stamp.size = std::filesystem::file_size(path, error);
    if (error) return std::nullopt;
    return stamp;
}

}  // namespace

void startSceneWatch(SceneFileWatch& watch, const std::filesystem::path& path) {
    watch = SceneFileWatch{};
    watch.path = path;
    watch.stamp = stampOf(path);
}

SceneReload reloadSceneIfChanged(SceneFileWatch& watch, std::chrono::steady_clock::time_point now) {
    if (backgroundBusy(watch.reading)) {
        std::optional<SceneFileWatch::Read> read = takeBackgroundResult(watch.reading);
        if (!read) return SceneReload::Unchanged;
        if (read->error) {
            // A file saved in two writes can fail twice alike: its message is printed once.
            if (watch.problem != read->error) {
                std::fprintf(stderr, "the scene did not load; the last one stays:\n%s\n", read->error->c_str());
            }
            watch.problem = std::move(read->error);
            return SceneReload::Failed;
        }
        uploadScene(theScene, std::move(read->data), kSceneTextureSide);
        watch.problem.reset();
        return SceneReload::Loaded;
    }
    if (now - watch.lastLook < kLookInterval) return SceneReload::Unchanged;
    watch.lastLook = now;
    const std::optional<SceneFileStamp> stamp = stampOf(watch.path);
    if (stamp == watch.stamp) return SceneReload::Unchanged;
    watch.stamp = stamp;
    startBackgroundWork(watch.reading, [path = watch.path] {
        SceneFileWatch::Read read;
        read.error = readSceneData(read.data, path, kSceneTextureSide, kTimelineNeeds, discardTraceLine);
        return read;
    });
    return SceneReload::Unchanged;
}
