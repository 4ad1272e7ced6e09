// SDL's disk audio driver as a stand-in sound card: it writes every buffer the callback filled to
// a file, paced like a real device, so a test can read back what the output was handed.
#pragma once

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/scratch_folder.h"

struct StereoFrame {
    float left = 0.0f;
    float right = 0.0f;
};

// A folder of this test process's own under the temporary folder, made on first use with a name
// no other run can share, and removed with its contents when the process ends.
inline const std::filesystem::path& diskAudioFolder() {
    static const ScratchFolder folder{"disk_audio"};
    return folder.path;
}

// Points SDL's audio output at a fresh file named after `tag` and returns its path. Takes effect
// when the audio subsystem is next started.
inline std::filesystem::path useDiskAudio(const std::string& tag) {
    const std::filesystem::path file = diskAudioFolder() / (tag + "_played.raw");
    std::filesystem::remove(file);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    return file;
}

inline std::vector<StereoFrame> readStereoFrames(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<StereoFrame> frames(bytes.size() / sizeof(StereoFrame));
    if (!frames.empty()) std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(StereoFrame));
    return frames;
}

inline bool isSilent(const StereoFrame& frame) { return frame.left == 0.0f && frame.right == 0.0f; }
