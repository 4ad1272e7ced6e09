// Writes pictures and a stereo float soundtrack into one MP4 file: H.264 (yuv420p) video and AAC
// audio, both starting at time 0, or the video alone. Pictures are converted and encoded on a
// thread of the writer's own, so the caller can draw the next picture meanwhile. A writer can also
// take pictures that are already encoded (the pieces of a farm's capture) and copy them unchanged
// beside a soundtrack it encodes.
//
// Threads: every function here is called from one thread, the caller's; the writer's encoder
// thread touches only the writer's own state. Every failure says which step failed and why.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct AVCodecParameters;
struct AVPacket;

// H.264 quality: constant rate factor and x264 preset; AAC bit rate for the stereo track.
inline constexpr int kVideoCrf = 18;
inline constexpr char kVideoPreset[] = "medium";
inline constexpr std::int64_t kAudioBitRate = 192000;

struct VideoWriterSettings {
    int width = 0;   // even, at least 2
    int height = 0;  // even, at least 2
    int fps = 0;     // at least 1
    // The whole soundtrack: interleaved left/right frames at platform::kAudioFrameRate per
    // second. The writer reads it while it works, so it must outlive the writer.
    std::span<const float> audio;
    bool withAudio = true;  // false: a video-only file, `audio` unused
    int crf = kVideoCrf;    // 0 ... 51
    std::string preset = kVideoPreset;
    // Entries of the file's metadata, any keys, stored as they are (MP4 "mdta" entries).
    std::vector<std::pair<std::string, std::string>> metadata = {};
};

struct VideoWriterState;

// Owner of one file being written; move-only. Destroying an unfinished writer abandons it.
struct VideoWriter {
    std::unique_ptr<VideoWriterState> state;

    VideoWriter();
    VideoWriter(VideoWriter&&) noexcept;
    VideoWriter& operator=(VideoWriter&&) noexcept;
    ~VideoWriter();
};

// Sets up both encoders and writes the file's header into `descriptor`: an empty file open for
// writing that the caller owns (and closes after finishing or abandoning). `name` is that file's
// path; the muxer reopens it to read back when it moves the index to the front. On failure
// returns why, in a few words, and the writer holds nothing.
[[nodiscard]] std::optional<std::string> openVideoWriter(VideoWriter& writer, int descriptor,
                                                         const std::filesystem::path& name,
                                                         const VideoWriterSettings& settings);

// Hands over the next picture: width x height RGBA pixels, rows top first. Waits while the
// encoder is more than a couple of pictures behind. On failure (a picture of another size, the
// encoder or the file failing, a writer not open) returns why; the writer then stays failed.
[[nodiscard]] std::optional<std::string> addVideoFrame(VideoWriter& writer, std::vector<std::uint8_t> rgba);

// Encodes what is still queued and the rest of the soundtrack, then completes the file and
// flushes it to the descriptor. The writer holds nothing afterwards, whatever the outcome. On
// failure returns why.
[[nodiscard]] std::optional<std::string> finishVideoWriter(VideoWriter& writer);

// Opens the writer to copy already encoded H.264 pictures instead of encoding them: `video` is the
// video stream's parameters of the file they come from (size, headers), which the settings' size
// must match; crf and preset are not used. Pictures are then added with copyVideoPacket, on the
// caller's thread, and the soundtrack is encoded beside them. On failure returns why.
[[nodiscard]] std::optional<std::string> openCopyingVideoWriter(VideoWriter& writer, int descriptor,
                                                                const std::filesystem::path& name,
                                                                const VideoWriterSettings& settings,
                                                                const AVCodecParameters& video);

// Writes one encoded picture, in decoding order, with its presentation and decoding times (pts,
// dts) counted in pictures from the start of the file; its stream index and duration are set
// here. Only for a writer opened by openCopyingVideoWriter. On failure returns why.
[[nodiscard]] std::optional<std::string> copyVideoPacket(VideoWriter& writer, AVPacket& packet);

// Stops at once, dropping queued pictures; the file is left unfinished for the caller to delete.
void abandonVideoWriter(VideoWriter& writer);
