// Writes pictures and a stereo float soundtrack into one MP4 file: H.264 (yuv420p) video and AAC
// audio, both starting at time 0. Pictures are converted and encoded on a thread of the writer's
// own, so the caller can draw the next picture meanwhile.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct VideoWriterSettings {
    int width = 0;   // even
    int height = 0;  // even
    int fps = 0;
    // The whole soundtrack: interleaved left/right frames at 44,100 per second. The writer reads
    // it while it works, so it must outlive the writer.
    std::span<const float> audio;
};

// H.264 quality: constant rate factor and x264 preset; AAC bit rate for the stereo track.
inline constexpr int kVideoCrf = 18;
inline constexpr char kVideoPreset[] = "medium";
inline constexpr std::int64_t kAudioBitRate = 192000;
inline constexpr int kAudioSampleRate = 44100;

struct VideoWriterState;

// Owner of one file being written; move-only. Destroying an unfinished writer abandons it.
struct VideoWriter {
    std::unique_ptr<VideoWriterState> state;

    VideoWriter();
    VideoWriter(VideoWriter&&) noexcept;
    VideoWriter& operator=(VideoWriter&&) noexcept;
    ~VideoWriter();
};

// Creates `file` (the container is MP4 whatever its name) and sets up both encoders. On failure
// returns why, in a few words, and leaves no open file (a file already created stays for the
// caller to delete).
std::optional<std::string> openVideoWriter(VideoWriter& writer, const std::filesystem::path& file,
                                           const VideoWriterSettings& settings);

// Hands over the next picture: width x height RGBA pixels, rows top first. Waits while the
// encoder is more than a couple of pictures behind. False once writing has failed.
bool addVideoFrame(VideoWriter& writer, std::vector<std::uint8_t> rgba);

// Encodes what is still queued and the rest of the soundtrack, then completes and closes the
// file. On failure returns why.
std::optional<std::string> finishVideoWriter(VideoWriter& writer);

// Stops at once and closes the file unfinished; the caller deletes it.
void abandonVideoWriter(VideoWriter& writer);
