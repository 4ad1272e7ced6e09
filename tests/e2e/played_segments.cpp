// Describes a recording of the audio output as runs against the song: which song frames were
// played where, and where silence was. Usage: played_segments PLAYED.raw SONG.raw
// Prints one line per run: "song OFFSET LENGTH FIRST_SONG_FRAME", "silence OFFSET LENGTH" or
// "other OFFSET LENGTH" (frames that are neither), offsets and lengths in frames.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

namespace {

struct Frame {
    float left;
    float right;
};

std::vector<Frame> readFrames(const char* path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<Frame> frames(bytes.size() / sizeof(Frame));
    if (!frames.empty()) std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(Frame));
    return frames;
}

bool same(const Frame& a, const Frame& b) { return std::memcmp(&a, &b, sizeof(Frame)) == 0; }
bool silent(const Frame& f) { return f.left == 0.0f && f.right == 0.0f; }

constexpr std::size_t kKeyFrames = 4;  // frames that together find a place in the song

std::uint64_t keyAt(const std::vector<Frame>& frames, std::size_t i) {
    std::uint64_t key = 1469598103934665603ull;
    for (std::size_t k = 0; k < kKeyFrames; ++k) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &frames[i + k], sizeof bits);
        key = (key ^ bits) * 1099511628211ull;
    }
    return key;
}

struct SongIndex {
    std::vector<std::pair<std::uint64_t, std::uint32_t>> entries;  // sorted by key
};

SongIndex indexSong(const std::vector<Frame>& song) {
    SongIndex index;
    for (std::size_t i = 0; i + kKeyFrames <= song.size(); ++i) {
        if (!silent(song[i])) index.entries.emplace_back(keyAt(song, i), static_cast<std::uint32_t>(i));
    }
    std::sort(index.entries.begin(), index.entries.end());
    return index;
}

// The first song frame from which the song holds the recording's frames at `i`, if any.
std::optional<std::size_t> findInSong(const SongIndex& index, const std::vector<Frame>& song,
                                      const std::vector<Frame>& played, std::size_t i) {
    if (i + kKeyFrames > played.size()) return std::nullopt;
    const std::uint64_t key = keyAt(played, i);
    auto it = std::lower_bound(index.entries.begin(), index.entries.end(), std::make_pair(key, std::uint32_t{0}));
    for (; it != index.entries.end() && it->first == key; ++it) {
        bool match = true;
        for (std::size_t k = 0; k < kKeyFrames && match; ++k) match = same(song[it->second + k], played[i + k]);
        if (match) return it->second;
    }
    return std::nullopt;
}

enum class Kind { Song, Silence, Other };

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: played_segments PLAYED.raw SONG.raw\n");
        return 2;
    }
    const std::vector<Frame> played = readFrames(argv[1]);
    const std::vector<Frame> song = readFrames(argv[2]);
    if (song.empty()) {
        std::fprintf(stderr, "cannot read the song\n");
        return 1;
    }
    const SongIndex index = indexSong(song);
    Kind kind = Kind::Other;
    std::size_t start = 0, next = 0, first = 0;
    const auto report = [&](std::size_t end) {
        if (end == start) return;
        if (kind == Kind::Song) std::printf("song %zu %zu %zu\n", start, end - start, first);
        if (kind == Kind::Silence) std::printf("silence %zu %zu\n", start, end - start);
        if (kind == Kind::Other) std::printf("other %zu %zu\n", start, end - start);
    };
    for (std::size_t i = 0; i < played.size(); ++i) {
        if (kind == Kind::Song && next < song.size() && same(played[i], song[next])) {
            ++next;
            continue;
        }
        const Kind now = silent(played[i]) ? Kind::Silence : Kind::Other;
        std::optional<std::size_t> found;
        if (now == Kind::Other) found = findInSong(index, song, played, i);
        if (found) {
            report(i);
            kind = Kind::Song;
            start = i;
            first = *found;
            next = *found + 1;
        } else if (now != kind) {
            report(i);
            kind = now;
            start = i;
        }
    }
    report(played.size());
    return 0;
}
