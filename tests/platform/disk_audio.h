// SDL's disk audio driver as a stand-in sound card: it writes every buffer the callback filled to
// a file, paced like a real device, so a test can read back what the output was handed.
#pragma once

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct StereoFrame {
    float left = 0.0f;
    float right = 0.0f;
};

// Points SDL's audio output at a fresh file named after `tag` and returns its path. Takes effect
// when the audio subsystem is next started.
inline std::filesystem::path useDiskAudio(const std::string& tag) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / ("qv_" + tag + "_played.raw");
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
