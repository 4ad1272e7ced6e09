// A folder of the test's own under the temporary folder: its name is made unique when it is
// created, so two runs never write into each other's files, and it goes with its contents when
// the holder does. The one scratch space of the tests.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

struct ScratchFolder {
    std::filesystem::path path;

    explicit ScratchFolder(const std::string& prefix) {
        std::string pattern = (std::filesystem::temp_directory_path() / ("qv_" + prefix + "_XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder like " + pattern);
        path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;  // a leftover folder harms no later run
        std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
};

// What a folder holds, sorted by name.
inline std::vector<std::filesystem::path> entriesOf(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) entries.push_back(entry.path());
    std::sort(entries.begin(), entries.end());
    return entries;
}
