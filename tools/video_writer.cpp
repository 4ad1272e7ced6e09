#include "tools/video_writer.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

// Pictures waiting for the encoder thread; the drawing side waits beyond this.
constexpr std::size_t kQueueCapacity = 2;

std::string describe(const char* what, int code) {
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, reason, sizeof reason);
    return std::string(what) + ": " + reason;
}

}  // namespace

struct VideoWriterState {
    VideoWriterSettings settings;
    AVFormatContext* format = nullptr;  // owns the output file while it is open
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    SwsContext* converter = nullptr;
    AVFrame* picture = nullptr;  // yuv420p, reused for every picture
    AVFrame* sound = nullptr;    // planar float, one encoder frame of audio
    AVPacket* packet = nullptr;
    std::int64_t picturesEncoded = 0;
    std::int64_t audioFramesEncoded = 0;  // stereo frames of the soundtrack handed to the encoder

    // Shared with the encoder thread.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<std::uint8_t>> queue;
    bool draining = false;  // finish asked: encode the queue, then stop
    bool stopping = false;  // abandon asked: stop at once
    std::optional<std::string> error;
    std::thread encoder;

    ~VideoWriterState() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        if (encoder.joinable()) encoder.join();
        sws_freeContext(converter);
        av_frame_free(&picture);
        av_frame_free(&sound);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format != nullptr) {
            avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

VideoWriter::VideoWriter() = default;
VideoWriter::VideoWriter(VideoWriter&&) noexcept = default;
VideoWriter& VideoWriter::operator=(VideoWriter&&) noexcept = default;
VideoWriter::~VideoWriter() = default;

namespace {

std::int64_t soundtrackFrames(const VideoWriterState& s) { return static_cast<std::int64_t>(s.settings.audio.size() / 2); }

// Sends one frame (null: end of stream) to an encoder and writes every packet it gives back.
std::optional<std::string> encode(VideoWriterState& s, AVCodecContext* codec, AVStream* stream, const AVFrame* frame) {
    int result = avcodec_send_frame(codec, frame);
    if (result < 0) return describe("encoder refused a frame", result);
    while ((result = avcodec_receive_packet(codec, s.packet)) >= 0) {
        av_packet_rescale_ts(s.packet, codec->time_base, stream->time_base);
        s.packet->stream_index = stream->index;
        result = av_interleaved_write_frame(s.format, s.packet);
        if (result < 0) return describe("cannot write the file", result);
    }
    if (result != AVERROR(EAGAIN) && result != AVERROR_EOF) return describe("encoder failed", result);
    return std::nullopt;
}

// Encodes the soundtrack up to frame `end` in whole encoder frames; the last, shorter frame of
// the soundtrack only once `end` reaches the soundtrack's end.
std::optional<std::string> encodeAudioUpTo(VideoWriterState& s, std::int64_t end) {
    const std::int64_t total = soundtrackFrames(s);
    const std::int64_t frameSize = s.audio->frame_size;
    end = std::min(end, total);
    while (s.audioFramesEncoded < end) {
        const std::int64_t count = std::min(frameSize, total - s.audioFramesEncoded);
        if (count == frameSize ? s.audioFramesEncoded + count > end : end < total) break;
        const int made = av_frame_make_writable(s.sound);
        if (made < 0) return describe("out of memory", made);
        auto* left = reinterpret_cast<float*>(s.sound->data[0]);
        auto* right = reinterpret_cast<float*>(s.sound->data[1]);
        const float* source = s.settings.audio.data() + 2 * s.audioFramesEncoded;
        for (std::int64_t i = 0; i < count; ++i) {
            left[i] = source[2 * i];
            right[i] = source[2 * i + 1];
        }
        s.sound->nb_samples = static_cast<int>(count);
        s.sound->pts = s.audioFramesEncoded;
        if (auto error = encode(s, s.audio, s.audioStream, s.sound)) return error;
        s.audioFramesEncoded += count;
    }
    return std::nullopt;
}

// The soundtrack frame at which picture `index` begins, rounded up.
std::int64_t audioFrameAtPicture(const VideoWriterState& s, std::int64_t index) {
    return (index * kAudioSampleRate + s.settings.fps - 1) / s.settings.fps;
}

// Converts and encodes one picture, then the soundtrack up to the end of it, so the two streams
// reach the file side by side.
std::optional<std::string> encodePicture(VideoWriterState& s, const std::vector<std::uint8_t>& rgba) {
    const int made = av_frame_make_writable(s.picture);
    if (made < 0) return describe("out of memory", made);
    const std::uint8_t* planes[1] = {rgba.data()};
    const int strides[1] = {4 * s.settings.width};
    sws_scale(s.converter, planes, strides, 0, s.settings.height, s.picture->data, s.picture->linesize);
    s.picture->pts = s.picturesEncoded;
    if (auto error = encode(s, s.video, s.videoStream, s.picture)) return error;
    ++s.picturesEncoded;
    return encodeAudioUpTo(s, audioFrameAtPicture(s, s.picturesEncoded));
}

void runEncoder(VideoWriterState& s) {
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
        std::optional<std::string> error = encodePicture(s, rgba);
        if (error) {
            std::lock_guard lock(s.mutex);
            s.error = std::move(error);
            s.queue.clear();
            s.changed.notify_all();
            return;
        }
    }
}

std::optional<std::string> openVideoEncoder(VideoWriterState& s) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) return "no H.264 encoder (libx264) in libavcodec";
    s.video = avcodec_alloc_context3(codec);
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
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", kVideoPreset, 0);
    av_dict_set_int(&options, "crf", kVideoCrf, 0);
    const int opened = avcodec_open2(s.video, codec, &options);
    av_dict_free(&options);
    if (opened < 0) return describe("cannot open the H.264 encoder", opened);

    s.videoStream = avformat_new_stream(s.format, nullptr);
    if (s.videoStream == nullptr) return "out of memory";
    avcodec_parameters_from_context(s.videoStream->codecpar, s.video);
    s.videoStream->time_base = s.video->time_base;
    s.videoStream->avg_frame_rate = s.video->framerate;

    s.picture = av_frame_alloc();
    s.picture->format = AV_PIX_FMT_YUV420P;
    s.picture->width = s.settings.width;
    s.picture->height = s.settings.height;
    if (av_frame_get_buffer(s.picture, 0) < 0) return "out of memory";
    // Same size: only the colour conversion, with the BT.709 matrix the stream is tagged with.
    s.converter = sws_getContext(s.settings.width, s.settings.height, AV_PIX_FMT_RGBA, s.settings.width,
                                 s.settings.height, AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND, nullptr,
                                 nullptr, nullptr);
    if (s.converter == nullptr) return "cannot set up the colour conversion";
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(s.converter, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    return std::nullopt;
}

std::optional<std::string> openAudioEncoder(VideoWriterState& s) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr) return "no AAC encoder in libavcodec";
    s.audio = avcodec_alloc_context3(codec);
    s.audio->sample_fmt = AV_SAMPLE_FMT_FLTP;
    s.audio->sample_rate = kAudioSampleRate;
    s.audio->bit_rate = kAudioBitRate;
    s.audio->time_base = {1, kAudioSampleRate};
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&s.audio->ch_layout, &stereo);
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int opened = avcodec_open2(s.audio, codec, nullptr);
    if (opened < 0) return describe("cannot open the AAC encoder", opened);

    s.audioStream = avformat_new_stream(s.format, nullptr);
    if (s.audioStream == nullptr) return "out of memory";
    avcodec_parameters_from_context(s.audioStream->codecpar, s.audio);
    s.audioStream->time_base = s.audio->time_base;

    s.sound = av_frame_alloc();
    s.sound->format = AV_SAMPLE_FMT_FLTP;
    s.sound->sample_rate = kAudioSampleRate;
    s.sound->nb_samples = s.audio->frame_size;
    av_channel_layout_copy(&s.sound->ch_layout, &stereo);
    if (av_frame_get_buffer(s.sound, 0) < 0) return "out of memory";
    return std::nullopt;
}

}  // namespace

std::optional<std::string> openVideoWriter(VideoWriter& writer, const std::filesystem::path& file,
                                           const VideoWriterSettings& settings) {
    // The encoders' informational chatter would bury the caller's own progress lines.
    av_log_set_level(AV_LOG_ERROR);
    writer.state = std::make_unique<VideoWriterState>();
    VideoWriterState& s = *writer.state;
    s.settings = settings;
    const std::string name = file.string();
    if (avformat_alloc_output_context2(&s.format, nullptr, "mp4", name.c_str()) < 0) return "no MP4 muxer in libavformat";
    const int opened = avio_open(&s.format->pb, name.c_str(), AVIO_FLAG_WRITE);
    if (opened < 0) return describe("cannot create the file", opened);
    if (auto error = openVideoEncoder(s)) return error;
    if (auto error = openAudioEncoder(s)) return error;
    s.packet = av_packet_alloc();
    AVDictionary* options = nullptr;
    // The index goes to the front when the file is complete, so players can start before the end.
    av_dict_set(&options, "movflags", "+faststart", 0);
    const int written = avformat_write_header(s.format, &options);
    av_dict_free(&options);
    if (written < 0) return describe("cannot write the file", written);
    s.encoder = std::thread(runEncoder, std::ref(s));
    return std::nullopt;
}

bool addVideoFrame(VideoWriter& writer, std::vector<std::uint8_t> rgba) {
    VideoWriterState& s = *writer.state;
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] { return s.error || s.queue.size() < kQueueCapacity; });
    if (s.error) return false;
    s.queue.push_back(std::move(rgba));
    lock.unlock();
    s.changed.notify_all();
    return true;
}

std::optional<std::string> finishVideoWriter(VideoWriter& writer) {
    VideoWriterState& s = *writer.state;
    {
        std::lock_guard lock(s.mutex);
        s.draining = true;
    }
    s.changed.notify_all();
    s.encoder.join();
    if (s.error) return s.error;
    if (auto error = encodeAudioUpTo(s, soundtrackFrames(s))) return error;
    if (auto error = encode(s, s.video, s.videoStream, nullptr)) return error;
    if (auto error = encode(s, s.audio, s.audioStream, nullptr)) return error;
    const int trailer = av_write_trailer(s.format);
    if (trailer < 0) return describe("cannot complete the file", trailer);
    const int closed = avio_closep(&s.format->pb);
    if (closed < 0) return describe("cannot complete the file", closed);
    writer.state.reset();
    return std::nullopt;
}

void abandonVideoWriter(VideoWriter& writer) { writer.state.reset(); }
