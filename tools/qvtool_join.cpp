// qvtool join OUT.mp4 PIECE...: puts video-only pieces of a capture (`qvtool capture ... --no-audio`,
// as `--plan` prints them) together into one capture with its song. The pieces are taken in show
// order, whatever order they are named in, and must fit: the same size, rate, samples, crf and
// preset, each piece starting where the previous one ends, to the picture, and holding every
// picture of its range. Their H.264 pictures are copied as they are, never encoded again (each
// piece starts with a key frame); the song of the whole joined range is encoded once, so the
// sound has no seam where the pieces meet.
//
// Exit statuses: 0 done; 2 a bad request: pieces that do not fit (a gap, an overlap, another
// size or setting, a piece with sound, a file that is no capture piece); 1 a failure while working
// (a piece that cannot be read, an output that cannot be written); 128 + the signal's number after
// an interrupt. Nothing is left at OUT but a complete file: it is written under a temporary name
// and renamed when complete, as capture does.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
}

#include "cli/arguments.h"
#include "tools/capture_range.h"
#include "tools/interrupts.h"
#include "tools/output_file.h"
#include "tools/qvtool_command.h"
#include "tools/song_range.h"
#include "tools/video_writer.h"

namespace {

constexpr char kUsage[] = "join OUT.mp4 PIECE.mp4...";

void say(const std::string& message) { std::fprintf(stderr, "qvtool join: %s\n", message.c_str()); }

std::string describe(int code) {
    char reason[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, reason, sizeof reason);
    return reason;
}

// What went wrong and which exit status it earns.
struct JoinFailure {
    int status = kFailureStatus;
    std::string message;
};

struct InputFree {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
using InputOwner = std::unique_ptr<AVFormatContext, InputFree>;
struct ParametersFree {
    void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
};
using ParametersOwner = std::unique_ptr<AVCodecParameters, ParametersFree>;
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using PacketOwner = std::unique_ptr<AVPacket, PacketFree>;

// A piece opened for reading, with its video stream's index.
struct OpenPiece {
    InputOwner input;
    int video = -1;
};

std::optional<JoinFailure> openPiece(const std::filesystem::path& path, OpenPiece& piece) {
    AVFormatContext* input = nullptr;
    const int opened = avformat_open_input(&input, path.c_str(), nullptr, nullptr);
    if (opened < 0) return JoinFailure{kFailureStatus, "cannot read " + inQuotes(path.string()) + ": " + describe(opened)};
    piece.input.reset(input);
    piece.video = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (piece.video < 0) return JoinFailure{kUsageStatus, inQuotes(path.string()) + " holds no video"};
    return std::nullopt;
}

std::map<std::string, std::string> metadataOf(const AVDictionary* dictionary) {
    std::map<std::string, std::string> entries;
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        entries[entry->key] = entry->value;
    }
    return entries;
}

bool sameHeaders(const AVCodecParameters& a, const AVCodecParameters& b) {
    return a.codec_id == b.codec_id && a.extradata_size == b.extradata_size &&
           std::equal(a.extradata, a.extradata + a.extradata_size, b.extradata);
}

// A piece's record and contents, and its video stream's parameters.
struct ReadPiece {
    PieceFacts facts;
    std::filesystem::path path;
    ParametersOwner video;
};

std::optional<JoinFailure> readPiece(const std::filesystem::path& path, ReadPiece& piece) {
    OpenPiece open;
    if (auto failure = openPiece(path, open)) return failure;
    piece.path = path;
    piece.facts.name = path.string();
    const auto record = readCaptureRecord(metadataOf(open.input->metadata));
    if (!record) {
        return JoinFailure{kUsageStatus, inQuotes(path.string()) +
                                             " is not a capture piece (it has no record of its range and settings)"};
    }
    piece.facts.record = *record;
    const AVStream* video = open.input->streams[open.video];
    piece.facts.pictures = video->nb_frames;
    for (unsigned i = 0; i < open.input->nb_streams; ++i) {
        if (open.input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) piece.facts.hasAudio = true;
    }
    piece.video.reset(avcodec_parameters_alloc());
    if (!piece.video || avcodec_parameters_copy(piece.video.get(), video->codecpar) < 0) {
        return JoinFailure{kFailureStatus, "out of memory reading " + inQuotes(path.string())};
    }
    return std::nullopt;
}

// Reads every piece, orders them by show time and checks that they fit together.
std::optional<JoinFailure> readAndCheckPieces(const std::vector<std::filesystem::path>& paths,
                                              std::vector<ReadPiece>& pieces) {
    for (const std::filesystem::path& path : paths) {
        ReadPiece piece;
        if (auto failure = readPiece(path, piece)) return failure;
        pieces.push_back(std::move(piece));
    }
    std::vector<PieceFacts> facts;
    for (const ReadPiece& piece : pieces) facts.push_back(piece.facts);
    if (auto misfit = orderAndCheckPieces(facts)) return JoinFailure{kUsageStatus, *misfit};
    // The same order for the pieces themselves: orderAndCheckPieces sorts stably by `from`.
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const ReadPiece& a, const ReadPiece& b) { return a.facts.record.from < b.facts.record.from; });
    for (const ReadPiece& piece : pieces) {
        if (!sameHeaders(*pieces.front().video, *piece.video)) {
            return JoinFailure{kUsageStatus, inQuotes(pieces.front().facts.name) + " and " +
                                                 inQuotes(piece.facts.name) + " were encoded with different stream headers"};
        }
    }
    return std::nullopt;
}

// Copies the piece's pictures, their times moved on by `offset` pictures. The piece must hold
// exactly the pictures its record says.
std::optional<JoinFailure> copyPiece(const ReadPiece& piece, std::int64_t offset, VideoWriter& writer) {
    OpenPiece open;
    if (auto failure = openPiece(piece.path, open)) return failure;
    const AVRational pictureTime = {1, piece.facts.record.fps};
    const AVRational streamTime = open.input->streams[open.video]->time_base;
    const auto toPictures = [&](std::int64_t t) {
        if (t == AV_NOPTS_VALUE) return t;
        return av_rescale_q_rnd(t, streamTime, pictureTime,
                                static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX)) + offset;
    };
    PacketOwner packet(av_packet_alloc());
    if (!packet) return JoinFailure{kFailureStatus, "out of memory for a packet"};
    std::int64_t copied = 0;
    int read = 0;
    while ((read = av_read_frame(open.input.get(), packet.get())) >= 0) {
        if (interrupted()) return JoinFailure{};
        if (packet->stream_index == open.video) {
            packet->pts = toPictures(packet->pts);
            packet->dts = toPictures(packet->dts);
            if (auto error = copyVideoPacket(writer, *packet)) return JoinFailure{kFailureStatus, *error};
            ++copied;
        }
        av_packet_unref(packet.get());
    }
    if (read != AVERROR_EOF) {
        return JoinFailure{kFailureStatus, "cannot read " + inQuotes(piece.facts.name) + ": " + describe(read)};
    }
    if (copied != piece.facts.pictures) {
        return JoinFailure{kFailureStatus, inQuotes(piece.facts.name) + " holds " + std::to_string(copied) +
                                               " pictures where its index lists " +
                                               std::to_string(piece.facts.pictures)};
    }
    return std::nullopt;
}

// The joined capture's record: the pieces' settings over their whole range, with sound.
CaptureRecord joinedRecord(const std::vector<ReadPiece>& pieces) {
    CaptureRecord record = pieces.front().facts.record;
    record.to = pieces.back().facts.record.to;
    record.audio = true;
    return record;
}

// Writes the joined capture into the open temporary file.
std::optional<JoinFailure> join(const std::vector<ReadPiece>& pieces, const OutputFile& output,
                                std::int64_t& pictures) {
    const CaptureRecord record = joinedRecord(pieces);
    std::vector<float> audio;
    if (!renderSongSpan(songSpan(record.from, record.to), audio)) return JoinFailure{};
    VideoWriterSettings settings{record.width, record.height, record.fps, audio};
    settings.crf = record.crf;
    settings.preset = record.preset;
    settings.metadata = captureMetadata(record);
    VideoWriter writer;
    const std::string cannotWrite = "cannot write " + inQuotes(output.path.string()) + ": ";
    if (auto error =
            openCopyingVideoWriter(writer, output.descriptor, output.temporary, settings, *pieces.front().video)) {
        return JoinFailure{kFailureStatus, cannotWrite + *error};
    }
    pictures = 0;
    for (const ReadPiece& piece : pieces) {
        if (auto failure = copyPiece(piece, pictures, writer)) return failure;
        pictures += piece.facts.pictures;
    }
    if (auto error = finishVideoWriter(writer)) return JoinFailure{kFailureStatus, cannotWrite + *error};
    return std::nullopt;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

int runJoin(int argc, char** argv) {
    if (argc < 3 || argv[1][0] == '-') {
        say(std::string("usage: qvtool ") + kUsage);
        return kUsageStatus;
    }
    const std::filesystem::path out = argv[1];
    if (lowerCase(out.extension().string()) != ".mp4") {
        say(inQuotes(out.string()) + " does not end in .mp4, the only format written");
        return kUsageStatus;
    }
    const std::vector<std::filesystem::path> paths(argv + 2, argv + argc);
    OutputFile output;
    if (auto error = openOutput(output, out)) {
        say("cannot write " + inQuotes(out.string()) + ": " + *error);
        return kFailureStatus;
    }
    pollInterrupts();
    av_log_set_level(AV_LOG_ERROR);
    const auto start = std::chrono::steady_clock::now();
    std::vector<ReadPiece> pieces;
    std::int64_t pictures = 0;
    std::optional<JoinFailure> failure = readAndCheckPieces(paths, pieces);
    if (!failure) failure = join(pieces, output, pictures);
    // An interrupt at any moment up to here, the final flush included, fails the join.
    const bool kept = !failure && !interrupted() && commitOutput(output);
    if (!kept) {
        discardOutput(output);
        if (interrupted()) {
            say("interrupted; nothing written to " + inQuotes(out.string()));
            return signalExitStatus(interruptSignal());
        }
        say(failure ? failure->message : "cannot complete " + inQuotes(out.string()));
        return failure ? failure->status : kFailureStatus;
    }
    const CaptureRecord record = joinedRecord(pieces);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "qvtool join: %zu pieces, %lld frames, %s to %s s of show, in %.1f s -> %s\n", pieces.size(),
                 static_cast<long long>(pictures), exactSeconds(record.from).c_str(), exactSeconds(record.to).c_str(),
                 seconds, out.c_str());
    return kDoneStatus;
}

}  // namespace

QVTOOL_COMMAND(join, "join", kUsage, runJoin);
