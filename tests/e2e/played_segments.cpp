// Describes a recording of the audio output as runs against the song: which song frames were
// played where, and where silence was. Usage: played_segments PLAYED.raw SONG.raw
// Prints one line per run: "song OFFSET LENGTH FIRST_SONG_FRAME", "silence OFFSET LENGTH" or
// "other OFFSET LENGTH" (frames that are neither), offsets and lengths in frames. A song frame
// played at a lower gain (both channels scaled alike, as a fade does) counts as that song frame.
// Then one line per cut between runs: "cut OFFSET STEP SONG_STEP", the largest difference between
// neighbouring recorded samples within kCutReach frames of the cut, and the largest one the song
// itself has within kCutReach frames of the song frames on either side.
#include <algorithm>
#include <cmath>
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

// A fade scales a song frame: both channels by one gain between 0 and 1.
bool scaledFrom(const Frame& played, const Frame& song) {
    if (silent(played)) return false;
    const bool leftLarger = std::abs(song.left) >= std::abs(song.right);
    const float reference = leftLarger ? song.left : song.right;
    if (reference == 0.0f) return false;
    const float gain = (leftLarger ? played.left : played.right) / reference;
    if (!(gain > 0.0f && gain <= 1.0f)) return false;
    const auto near = [gain](float p, float s) { return std::abs(p - gain * s) <= 1e-6f + 1e-5f * std::abs(s); };
    return near(played.left, song.left) && near(played.right, song.right);
}

enum class Kind { Song, Silence, Other };

struct Run {
    Kind kind;
    std::size_t start;
    std::size_t length;
    std::size_t first;  // song runs: the song frame played first
};

// Frames on either side of a cut where the fades lie.
constexpr std::size_t kCutReach = 400;

float largestStep(const std::vector<Frame>& frames, std::size_t from, std::size_t to) {
    float largest = 0.0f;
    to = std::min(to, frames.size());
    for (std::size_t i = from + 1; i < to; ++i) {
        largest = std::max({largest, std::abs(frames[i].left - frames[i - 1].left),
                            std::abs(frames[i].right - frames[i - 1].right)});
    }
    return largest;
}

std::size_t before(std::size_t at, std::size_t reach) { return at > reach ? at - reach : 0; }

// One line per boundary between two runs where at least one side is the song.
void reportCuts(const std::vector<Run>& runs, const std::vector<Frame>& played, const std::vector<Frame>& song) {
    for (std::size_t r = 1; r < runs.size(); ++r) {
        const Run& a = runs[r - 1];
        const Run& b = runs[r];
        if (a.kind != Kind::Song && b.kind != Kind::Song) continue;
        const std::size_t at = b.start;
        float songStep = 0.0f;
        if (a.kind == Kind::Song) {
            const std::size_t last = a.first + a.length;
            songStep = std::max(songStep, largestStep(song, before(last, kCutReach), last + kCutReach));
        }
        if (b.kind == Kind::Song) {
            songStep = std::max(songStep, largestStep(song, before(b.first, kCutReach), b.first + kCutReach));
        }
        std::printf("cut %zu %.6f %.6f\n", at, largestStep(played, before(at, kCutReach), at + kCutReach), songStep);
    }
}

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
    std::vector<Run> runs;
    const auto report = [&](std::size_t end) {
        if (end == start) return;
        if (kind == Kind::Song) std::printf("song %zu %zu %zu\n", start, end - start, first);
        if (kind == Kind::Silence) std::printf("silence %zu %zu\n", start, end - start);
        if (kind == Kind::Other) std::printf("other %zu %zu\n", start, end - start);
        runs.push_back({kind, start, end - start, first});
    };
    for (std::size_t i = 0; i < played.size(); ++i) {
        if (kind == Kind::Song && next < song.size() &&
            (same(played[i], song[next]) || scaledFrom(played[i], song[next]))) {
            ++next;
            continue;
        }
        const Kind now = silent(played[i]) ? Kind::Silence : Kind::Other;
        std::optional<std::size_t> found;
        if (now == Kind::Other) found = findInSong(index, song, played, i);
        if (found) {
            // A fade in before the first exact frame belongs to the same run.
            std::size_t from = i;
            if (kind == Kind::Other) {
                while (from > start && *found >= i - from + 1 &&
                       scaledFrom(played[from - 1], song[*found - (i - from + 1)])) {
                    --from;
                }
            }
            report(from);
            start = from;
            first = *found - (i - from);
            next = *found + 1;
            kind = Kind::Song;
        } else if (now != kind) {
            report(i);
            kind = now;
            start = i;
        }
    }
    report(played.size());
    reportCuts(runs, played, song);
    return 0;
}
