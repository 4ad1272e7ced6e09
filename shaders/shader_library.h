// The one place where shader files become programs: file name -> shared Shader, plus the
// folder watch that recompiles a loaded file when it is saved.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "shaders/directory_watcher.h"
#include "shaders/shader.h"

// A loaded file that was saved, as read again.
struct ChangedSource {
    platform::NativeString name;
    std::string text;
};

struct ShaderLibrary {
    DirectoryWatcher watcher;  // holds the folder text used to form file paths
    // Keys are the names exactly as loaded (case-sensitive, sub-folder parts kept), ordered by
    // unsigned code unit. Entries are only ever added and always point at the same Shader.
    std::map<platform::NativeString, std::shared_ptr<Shader>> shaders;
    // Making mode: a build that fails leaves the working program in place, and its log goes to
    // standard error and into failedBuilds instead of a message box. Off: every build replaces
    // the program, failed or not, and a non-empty log shows the box.
    bool keepWorkingPrograms = false;
    // Making mode: the log of each file whose last build failed, until a build of it succeeds.
    std::map<platform::NativeString, std::string> failedBuilds;

    // Opens the folder for watching at once; the folder text ends in the path separator.
    explicit ShaderLibrary(platform::NativeString folderText);

    // Reads folder + separator + name on every call. An unreadable, missing or empty file gives
    // an empty handle, even when the name has an entry. Otherwise the entry's Shader, compiled
    // as a fragment program the first time the name is loaded (its log may show a message box).
    std::shared_ptr<Shader> load(platform::NativeString name);

    // Drains the watcher: every loaded file reported as changed is read again and rebuilt into
    // its existing Shader, so each holder draws with the new program from now on. A failed
    // build replaces the working program too (unless keepWorkingPrograms); a file that reads as
    // empty keeps the old one. Returns the number of files built, failed builds included.
    int reloadChanged();

    // The first half of reloadChanged, for builds made elsewhere (making mode builds off the
    // drawing thread): every loaded file reported as changed, read again. A file that reads as
    // empty is left out (and reported, with keepWorkingPrograms).
    std::vector<ChangedSource> takeChangedSources();

    // The second half, with keepWorkingPrograms: puts a finished build of `name` into its entry,
    // a failed one only where the entry holds no working program, and records or clears its log.
    void installBuild(const platform::NativeString& name, ShaderBuild build);

    // Making mode: the log of a file whose last build failed (or that was saved empty), when
    // there is one, each compiler position written as "folder/name:LINE:COLUMN: ".
    std::optional<std::string> buildProblem() const;

    // folder + separator + name; with the folder text's own trailing separator the path holds
    // two in a row, which path parsing reads as one.
    platform::NativeString pathOf(const platform::NativeString& name) const;
};

// A compiler log with each line of the driver's form "0:948(17): error: ..." written as
// "`path`:948:17: error: ...", the form editors jump to; other lines as they are.
std::string logAtFilePositions(std::string_view path, std::string_view log);

// The production's library on the resource folder, built during static initialisation, so the
// folder is opened before the entry point runs.
extern ShaderLibrary shaderLibrary;
