#include "tools/video_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/platform.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int kAudioRate = static_cast<int>(platform::kAudioFrameRate);

// Pictures waiting for the encoder thread; the drawing side waits beyond this.
constexpr std::size_t kQueueCapacity = 2;

// Bytes the muxer gathers before handing them to the file.
constexpr int kFileBufferBytes = 1 << 16;

std::string describe(const char* what, int code) {
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, reason, sizeof reason);
    return std::string(what) + ": " + reason;
}

// Owners of FFmpeg's objects, each freed with its own function.
struct FormatFree {
    void operator()(AVFormatContext* f) const { avformat_free_context(f); }
};
struct FileIoFree {
    void operator()(AVIOContext* io) const {
        av_freep(&io->buffer);  // the context may have replaced the buffer it was given
        avio_context_free(&io);
    }
};
struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct DictionaryFree {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};
struct BufferFree {
    void operator()(unsigned char* b) const { av_free(b); }
};

using FormatOwner = std::unique_ptr<AVFormatContext, FormatFree>;
using FileIoOwner = std::unique_ptr<AVIOContext, FileIoFree>;
using CodecOwner = std::unique_ptr<AVCodecContext, CodecFree>;
using FrameOwner = std::unique_ptr<AVFrame, FrameFree>;
using PacketOwner = std::unique_ptr<AVPacket, PacketFree>;
using ScalerOwner = std::unique_ptr<SwsContext, ScalerFree>;
using BufferOwner = std::unique_ptr<unsigned char, BufferFree>;

// Options handed to an FFmpeg call, freed whatever the call leaves in them.
struct Options {
    AVDictionary* entries = nullptr;
    ~Options() { av_dict_free(&entries); }
};

}  // namespace

struct VideoWriterState {
    VideoWriterSettings settings;
    int descriptor = -1;  // the caller's
    // Declared before the format context, so destroyed after it: the context writes through it.
    FileIoOwner file;
    FormatOwner format;
    CodecOwner video;
    CodecOwner audio;
    AVStream* videoStream = nullptr;  // owned by the format context
    AVStream* audioStream = nullptr;
    ScalerOwner converter;
    FrameOwner picture;  // yuv420p, reused for every picture
    FrameOwner sound;    // planar float, one encoder frame of audio
    PacketOwner packet;
    std::int64_t picturesEncoded = 0;
    std::int64_t audioFramesEncoded = 0;  // stereo frames of the soundtrack handed to the encoder

    // Shared with the encoder thread, guarded by `mutex`.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<std::uint8_t>> queue;
    bool draining = false;  // finish asked: encode the queue, then stop
    bool stopping = false;  // abandon asked: stop at once
    std::optional<std::string> error;
    std::thread encoder;

    // Stops and joins the encoder thread; the owners above then free FFmpeg's objects.
    ~VideoWriterState() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        if (encoder.joinable()) encoder.join();
    }
};

VideoWriter::VideoWriter() = default;
VideoWriter::VideoWriter(VideoWriter&&) noexcept = default;
VideoWriter& VideoWriter::operator=(VideoWriter&&) noexcept = default;
VideoWriter::~VideoWriter() = default;

namespace {

// The muxer's file: the caller's descriptor, written and sought directly.
int writeToFile(void* opaque, std::uint8_t* bytes, int count) {
    const int descriptor = *static_cast<const int*>(opaque);
    int done = 0;
    while (done < count) {
        const ssize_t written = ::write(descriptor, bytes + done, static_cast<std::size_t>(count - done));
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return AVERROR(errno);
        if (written == 0) return AVERROR(EIO);
        done += static_cast<int>(written);
    }
    return count;
}

std::int64_t seekInFile(void* opaque, std::int64_t offset, int whence) {
    const int descriptor = *static_cast<const int*>(opaque);
    if (whence & AVSEEK_SIZE) {
        struct stat status {};
        return ::fstat(descriptor, &status) == 0 ? static_cast<std::int64_t>(status.st_size) : AVERROR(errno);
    }
    const off_t position = ::lseek(descriptor, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : static_cast<std::int64_t>(position);
}

std::int64_t soundtrackFrames(const VideoWriterState& s) {
    return s.settings.withAudio ? static_cast<std::int64_t>(s.settings.audio.size() / 2) : 0;
}

// Sends one frame (null: end of stream) to an encoder and writes every packet it gives back.
std::optional<std::string> encode(VideoWriterState& s, AVCodecContext* codec, AVStream* stream, const AVFrame* frame) {
    int result = avcodec_send_frame(codec, frame);
    if (result < 0) return describe("the encoder refused a frame", result);
    while ((result = avcodec_receive_packet(codec, s.packet.get())) >= 0) {
        av_packet_rescale_ts(s.packet.get(), codec->time_base, stream->time_base);
        s.packet->stream_index = stream->index;
        result = av_interleaved_write_frame(s.format.get(), s.packet.get());
        if (result < 0) return describe("cannot write the file", result);
    }
    if (result != AVERROR(EAGAIN) && result != AVERROR_EOF) return describe("the encoder failed", result);
    return std::nullopt;
}

// Encodes the soundtrack up to frame `end` in whole encoder frames; the last, shorter frame of
// the soundtrack only once `end` reaches the soundtrack's end.
std::optional<std::string> encodeAudioUpTo(VideoWriterState& s, std::int64_t end) {
    if (!s.audio) return std::nullopt;  // a video-only file
    const std::int64_t total = soundtrackFrames(s);
    const std::int64_t frameSize = s.audio->frame_size;
    end = std::min(end, total);
    while (s.audioFramesEncoded < end) {
        const std::int64_t count = std::min(frameSize, total - s.audioFramesEncoded);
        if (count == frameSize ? s.audioFramesEncoded + count > end : end < total) break;
        const int made = av_frame_make_writable(s.sound.get());
        if (made < 0) return describe("cannot make the sound frame writable", made);
        auto* left = reinterpret_cast<float*>(s.sound->data[0]);
        auto* right = reinterpret_cast<float*>(s.sound->data[1]);
        const float* source = s.settings.audio.data() + 2 * s.audioFramesEncoded;
        for (std::int64_t i = 0; i < count; ++i) {
            left[i] = source[2 * i];
            right[i] = source[2 * i + 1];
        }
        s.sound->nb_samples = static_cast<int>(count);
        s.sound->pts = s.audioFramesEncoded;
        if (auto error = encode(s, s.audio.get(), s.audioStream, s.sound.get())) return error;
        s.audioFramesEncoded += count;
    }
    return std::nullopt;
}

// The soundtrack frame at which picture `index` begins, rounded up.
std::int64_t audioFrameAtPicture(const VideoWriterState& s, std::int64_t index) {
    return (index * kAudioRate + s.settings.fps - 1) / s.settings.fps;
}

std::size_t pictureBytes(const VideoWriterSettings& settings) {
    return static_cast<std::size_t>(settings.width) * static_cast<std::size_t>(settings.height) * 4;
}

// Converts and encodes one picture, then the soundtrack up to the end of it, so the two streams
// reach the file side by side.
std::optional<std::string> encodePicture(VideoWriterState& s, const std::vector<std::uint8_t>& rgba) {
    const int made = av_frame_make_writable(s.picture.get());
    if (made < 0) return describe("cannot make the picture writable", made);
    // The converter reads four planes and four strides whatever the format: RGBA uses the first.
    const std::uint8_t* const planes[4] = {rgba.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {4 * s.settings.width, 0, 0, 0};
    const int rows = sws_scale(s.converter.get(), planes, strides, 0, s.settings.height, s.picture->data,
                               s.picture->linesize);
    if (rows != s.settings.height) return "the colour conversion failed";
    s.picture->pts = s.picturesEncoded;
    if (auto error = encode(s, s.video.get(), s.videoStream, s.picture.get())) return error;
    ++s.picturesEncoded;
    return encodeAudioUpTo(s, audioFrameAtPicture(s, s.picturesEncoded));
}

void noteFailure(VideoWriterState& s, std::string error) {
    {
        std::lock_guard lock(s.mutex);
        if (!s.error) s.error = std::move(error);
        s.queue.clear();
    }
    s.changed.notify_all();
}

void encodeQueue(VideoWriterState& s) {
    for (;;) {
        std::vector<std::uint8_t> rgba;
        {
            std::unique_lock lock(s.mutex);
            s.changed.wait(lock, [&] { return s.stopping || s.draining || !s.queue.empty(); });
            if (s.stopping || s.queue.empty()) return;
            rgba = std::move(s.queue.front());
            s.queue.pop_front();
        }
        s.changed.notify_all();
        if (auto error = encodePicture(s, rgba)) return noteFailure(s, std::move(*error));
    }
}

// The encoder thread: an exception (out of memory) becomes the writer's failure, not the end of
// the process.
void runEncoder(VideoWriterState& s) {
    try {
        encodeQueue(s);
    } catch (const std::exception& exception) {
        noteFailure(s, std::string("the encoder thread failed: ") + exception.what());
    } catch (...) {
        noteFailure(s, "the encoder thread failed");
    }
}

std::optional<std::string> checkSettings(const VideoWriterSettings& settings) {
    if (settings.width < 2 || settings.height < 2 || settings.width % 2 != 0 || settings.height % 2 != 0 ||
        settings.width > 16384 || settings.height > 16384) {
        return "the picture size " + std::to_string(settings.width) + "x" + std::to_string(settings.height) +
               " is not even or out of range";
    }
    if (settings.fps < 1) return "the picture rate " + std::to_string(settings.fps) + " is below 1";
    if (settings.audio.size() % 2 != 0) return "the soundtrack is not whole left/right frames";
    if (settings.crf < 0 || settings.crf > 51) return "the rate factor " + std::to_string(settings.crf) + " is not 0 to 51";
    return std::nullopt;
}

std::optional<std::string> openFileOutput(VideoWriterState& s, int descriptor, const std::string& name) {
    AVFormatContext* format = nullptr;
    const int made = avformat_alloc_output_context2(&format, nullptr, "mp4", name.c_str());
    s.format.reset(format);
    if (made < 0 || !s.format) return describe("no MP4 muxer in libavformat", made < 0 ? made : AVERROR(ENOMEM));
    s.descriptor = descriptor;
    BufferOwner buffer(static_cast<unsigned char*>(av_malloc(kFileBufferBytes)));
    if (!buffer) return "out of memory for the file buffer";
    s.file.reset(avio_alloc_context(buffer.get(), kFileBufferBytes, 1, &s.descriptor, nullptr, writeToFile, seekInFile));
    if (!s.file) return "out of memory for the file's output context";
    (void)buffer.release();  // the output context owns it now
    s.format->pb = s.file.get();
    return std::nullopt;
}

std::optional<std::string> openVideoEncoder(VideoWriterState& s) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) return "no H.264 encoder (libx264) in libavcodec";
    s.video.reset(avcodec_alloc_context3(codec));
    if (!s.video) return "out of memory for the H.264 encoder";
    s.video->width = s.settings.width;
    s.video->height = s.settings.height;
    s.video->time_base = {1, s.settings.fps};
    s.video->framerate = {s.settings.fps, 1};
    s.video->pix_fmt = AV_PIX_FMT_YUV420P;
    s.video->gop_size = 2 * s.settings.fps;  // a key frame every two seconds, for seeking
    s.video->color_range = AVCOL_RANGE_MPEG;
    s.video->colorspace = AVCOL_SPC_BT709;
    s.video->color_primaries = AVCOL_PRI_BT709;
    s.video->color_trc = AVCOL_TRC_BT709;
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Options options;
    if (av_dict_set(&options.entries, "preset", s.settings.preset.c_str(), 0) < 0 ||
        av_dict_set_int(&options.entries, "crf", s.settings.crf, 0) < 0) {
        return "out of memory for the H.264 options";
    }
    const int opened = avcodec_open2(s.video.get(), codec, &options.entries);
    if (opened < 0) return describe("cannot open the H.264 encoder", opened);

    s.videoStream = avformat_new_stream(s.format.get(), nullptr);
    if (s.videoStream == nullptr) return "out of memory for the video stream";
    const int copied = avcodec_parameters_from_context(s.videoStream->codecpar, s.video.get());
    if (copied < 0) return describe("cannot describe the video stream", copied);
    s.videoStream->time_base = s.video->time_base;
    s.videoStream->avg_frame_rate = s.video->framerate;

    s.picture.reset(av_frame_alloc());
    if (!s.picture) return "out of memory for the picture frame";
    s.picture->format = AV_PIX_FMT_YUV420P;
    s.picture->width = s.settings.width;
    s.picture->height = s.settings.height;
    const int buffered = av_frame_get_buffer(s.picture.get(), 0);
    if (buffered < 0) return describe("cannot allocate the picture frame", buffered);
    // Same size: only the colour conversion, with the BT.709 matrix the stream is tagged with.
    s.converter.reset(sws_getContext(s.settings.width, s.settings.height, AV_PIX_FMT_RGBA, s.settings.width,
                                     s.settings.height, AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr,
                                     nullptr, nullptr));
    if (!s.converter) return "cannot set up the colour conversion";
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    if (sws_setColorspaceDetails(s.converter.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16) < 0) {
        return "cannot set the BT.709 colour conversion";
    }
    return std::nullopt;
}

std::optional<std::string> openAudioEncoder(VideoWriterState& s) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr) return "no AAC encoder in libavcodec";
    s.audio.reset(avcodec_alloc_context3(codec));
    if (!s.audio) return "out of memory for the AAC encoder";
    s.audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
    s.audio->sample_rate = kAudioRate;
    s.audio->bit_rate = kAudioBitRate;
    s.audio->time_base = {1, kAudioRate};
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    const int laidOut = av_channel_layout_copy(&s.audio->ch_layout, &stereo);
    if (laidOut < 0) return describe("cannot set the AAC encoder's channels", laidOut);
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int opened = avcodec_open2(s.audio.get(), codec, nullptr);
    if (opened < 0) return describe("cannot open the AAC encoder", opened);

    s.audioStream = avformat_new_stream(s.format.get(), nullptr);
    if (s.audioStream == nullptr) return "out of memory for the audio stream";
    const int copied = avcodec_parameters_from_context(s.audioStream->codecpar, s.audio.get());
    if (copied < 0) return describe("cannot describe the audio stream", copied);
    s.audioStream->time_base = s.audio->time_base;

    s.sound.reset(av_frame_alloc());
    if (!s.sound) return "out of memory for the sound frame";
    s.sound->format = AV_SAMPLE_FMT_FLTP;
    s.sound->sample_rate = kAudioRate;
    s.sound->nb_samples = s.audio->frame_size;
    const int frameLaidOut = av_channel_layout_copy(&s.sound->ch_layout, &stereo);
    if (frameLaidOut < 0) return describe("cannot set the sound frame's channels", frameLaidOut);
    const int buffered = av_frame_get_buffer(s.sound.get(), 0);
    if (buffered < 0) return describe("cannot allocate the sound frame", buffered);
    return std::nullopt;
}

// The video stream of a writer that copies encoded pictures: the source's parameters as they are.
std::optional<std::string> openCopiedVideoStream(VideoWriterState& s, const AVCodecParameters& video) {
    if (video.codec_id != AV_CODEC_ID_H264) return "the pictures to copy are not H.264";
    if (video.width != s.settings.width || video.height != s.settings.height) {
        return "the pictures to copy are " + std::to_string(video.width) + "x" + std::to_string(video.height) +
               ", not " + std::to_string(s.settings.width) + "x" + std::to_string(s.settings.height);
    }
    s.videoStream = avformat_new_stream(s.format.get(), nullptr);
    if (s.videoStream == nullptr) return "out of memory for the video stream";
    const int copied = avcodec_parameters_copy(s.videoStream->codecpar, &video);
    if (copied < 0) return describe("cannot describe the video stream", copied);
    s.videoStream->codecpar->codec_tag = 0;  // the muxer picks its own tag for H.264
    s.videoStream->time_base = {1, s.settings.fps};
    s.videoStream->avg_frame_rate = {s.settings.fps, 1};
    return std::nullopt;
}

// Opens the file, the video (encoded, or copied from `copiedVideo`), the sound when there is one,
// and writes the header with the metadata.
std::optional<std::string> openWriterState(VideoWriterState& s, int descriptor, const std::filesystem::path& name,
                                           const AVCodecParameters* copiedVideo) {
    if (auto error = checkSettings(s.settings)) return error;
    if (auto error = openFileOutput(s, descriptor, name.string())) return error;
    if (auto error = copiedVideo ? openCopiedVideoStream(s, *copiedVideo) : openVideoEncoder(s)) return error;
    if (s.settings.withAudio) {
        if (auto error = openAudioEncoder(s)) return error;
    }
    s.packet.reset(av_packet_alloc());
    if (!s.packet) return "out of memory for the packet";
    for (const auto& [key, value] : s.settings.metadata) {
        if (av_dict_set(&s.format->metadata, key.c_str(), value.c_str(), 0) < 0) return "out of memory for the metadata";
    }
    Options options;
    // The index goes to the front when the file is complete, so players can start before the end;
    // metadata entries keep their own keys.
    if (av_dict_set(&options.entries, "movflags", "+faststart+use_metadata_tags", 0) < 0) {
        return "out of memory for the MP4 options";
    }
    const int written = avformat_write_header(s.format.get(), &options.entries);
    if (written < 0) return describe("cannot write the file's header", written);
    return std::nullopt;
}

// The end of the file: the rest of the soundtrack, both encoders flushed, the trailer written
// and every byte handed to the descriptor.
std::optional<std::string> completeFile(VideoWriterState& s) {
    if (auto error = encodeAudioUpTo(s, soundtrackFrames(s))) return error;
    if (s.video) {
        if (auto error = encode(s, s.video.get(), s.videoStream, nullptr)) return error;
    }
    if (s.audio) {
        if (auto error = encode(s, s.audio.get(), s.audioStream, nullptr)) return error;
    }
    const int trailer = av_write_trailer(s.format.get());
    if (trailer < 0) return describe("cannot complete the file", trailer);
    avio_flush(s.file.get());
    if (s.file->error < 0) return describe("cannot write the file", s.file->error);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> openVideoWriter(VideoWriter& writer, int descriptor, const std::filesystem::path& name,
                                           const VideoWriterSettings& settings) {
    // The encoders' informational chatter would bury the caller's own progress lines.
    av_log_set_level(AV_LOG_ERROR);
    auto state = std::make_unique<VideoWriterState>();
    state->settings = settings;
    writer.state.reset();
    if (auto error = openWriterState(*state, descriptor, name, nullptr)) return error;
    state->encoder = std::thread(runEncoder, std::ref(*state));
    writer.state = std::move(state);
    return std::nullopt;
}

std::optional<std::string> openCopyingVideoWriter(VideoWriter& writer, int descriptor,
                                                  const std::filesystem::path& name,
                                                  const VideoWriterSettings& settings,
                                                  const AVCodecParameters& video) {
    av_log_set_level(AV_LOG_ERROR);
    auto state = std::make_unique<VideoWriterState>();
    state->settings = settings;
    writer.state.reset();
    if (auto error = openWriterState(*state, descriptor, name, &video)) return error;
    writer.state = std::move(state);
    return std::nullopt;
}

std::optional<std::string> copyVideoPacket(VideoWriter& writer, AVPacket& packet) {
    if (!writer.state || writer.state->video) return "the video writer is not open for copying";
    VideoWriterState& s = *writer.state;
    if (s.error) return s.error;
    const std::int64_t decodedBy = packet.dts == AV_NOPTS_VALUE ? s.picturesEncoded : packet.dts + 1;
    packet.stream_index = s.videoStream->index;
    packet.duration = 1;
    packet.pos = -1;
    av_packet_rescale_ts(&packet, {1, s.settings.fps}, s.videoStream->time_base);
    const int written = av_interleaved_write_frame(s.format.get(), &packet);
    if (written < 0) return s.error = describe("cannot write the file", written);
    ++s.picturesEncoded;
    // The sound up to where the pictures written so far are decoded, so the streams stay side by side.
    if (auto error = encodeAudioUpTo(s, audioFrameAtPicture(s, std::max<std::int64_t>(decodedBy, 0)))) {
        return s.error = std::move(*error);
    }
    return std::nullopt;
}

std::optional<std::string> addVideoFrame(VideoWriter& writer, std::vector<std::uint8_t> rgba) {
    if (!writer.state) return "the video writer is not open";
    VideoWriterState& s = *writer.state;
    if (!s.video) return "the video writer copies encoded pictures";
    if (rgba.size() != pictureBytes(s.settings)) {
        std::string error = "a picture of " + std::to_string(rgba.size()) + " bytes where " +
                            std::to_string(s.settings.width) + "x" + std::to_string(s.settings.height) +
                            " RGBA takes " + std::to_string(pictureBytes(s.settings));
        noteFailure(s, error);
        return error;
    }
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] { return s.error || s.queue.size() < kQueueCapacity; });
    if (s.error) return s.error;
    s.queue.push_back(std::move(rgba));
    lock.unlock();
    s.changed.notify_all();
    return std::nullopt;
}

std::optional<std::string> finishVideoWriter(VideoWriter& writer) {
    if (!writer.state) return "the video writer is not open";
    std::unique_ptr<VideoWriterState> state = std::move(writer.state);
    VideoWriterState& s = *state;
    {
        std::lock_guard lock(s.mutex);
        s.draining = true;
    }
    s.changed.notify_all();
    if (s.encoder.joinable()) s.encoder.join();
    if (s.error) return s.error;
    return completeFile(s);
}

void abandonVideoWriter(VideoWriter& writer) { writer.state.reset(); }
