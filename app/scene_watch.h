// Making mode's live scene: the scene file is looked at a few times a second and, when it
// changed, read again with the production's loader on a thread of its own (its trace trees take a
// good part of a second to build), then uploaded between two pictures. A file that fails to load
// leaves the scene on screen as it was, and its message stays until a load succeeds.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "app/background_work.h"
#include "scene/scene_loader.h"

struct SceneFileStamp {
    std::filesystem::file_time_type written{};
    std::uintmax_t size = 0;
    bool operator==(const SceneFileStamp&) const = default;
};

struct SceneFileWatch {
    std::filesystem::path path;
    std::optional<SceneFileStamp> stamp;  // as last loaded or tried; nothing: not there
    std::chrono::steady_clock::time_point lastLook{};
    std::optional<std::string> problem;   // the loader's message after a failed load
    // The read running off the drawing thread: the loader's message, or nothing and the scene.
    struct Read {
        std::optional<std::string> error;
        SceneData data;
    };
    BackgroundWork<Read> reading;
};

enum class SceneReload { Unchanged, Loaded, Failed };

// Starts watching `path`, taking the file as it is now as the one loaded at start-up.
void startSceneWatch(SceneFileWatch& watch, const std::filesystem::path& path);

// Looks at the file at most every quarter second; when its time or size changed, starts reading it
// off the drawing thread, and once that read is done, uploads it into the one scene (needs the
// current OpenGL context): Loaded or Failed on that turn, Unchanged on every other. A change made
// while a read runs is seen once it is done. The message of a failed load also goes to standard
// error.
SceneReload reloadSceneIfChanged(SceneFileWatch& watch, std::chrono::steady_clock::time_point now);
