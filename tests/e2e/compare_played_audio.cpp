// Checks that a recording of the audio output is the song: every frame of the song, in order,
// with nothing else between them but silent frames (the output plays silence while it waits
// for the render). Usage: compare_played_audio PLAYED.raw SONG.raw
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

struct Frame {
    float left;
    float right;
};

std::vector<Frame> readFrames(const char* path, bool& ok) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ok = static_cast<bool>(file) || file.eof();
    std::vector<Frame> frames(bytes.size() / sizeof(Frame));
    if (!frames.empty()) std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(Frame));
    return frames;
}

bool sameBits(const Frame& a, const Frame& b) { return std::memcmp(&a, &b, sizeof(Frame)) == 0; }
bool silent(const Frame& f) { return f.left == 0.0f && f.right == 0.0f; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: compare_played_audio PLAYED.raw SONG.raw\n");
        return 2;
    }
    bool playedOk = false, songOk = false;
    const std::vector<Frame> played = readFrames(argv[1], playedOk);
    const std::vector<Frame> song = readFrames(argv[2], songOk);
    if (!playedOk || !songOk || song.empty()) {
        std::fprintf(stderr, "cannot read the recordings\n");
        return 1;
    }
    std::size_t next = 0;  // the next song frame expected
    std::size_t waited = 0;
    for (std::size_t i = 0; i < played.size() && next < song.size(); ++i) {
        if (sameBits(played[i], song[next])) {
            ++next;
        } else if (silent(played[i])) {
            ++waited;
        } else {
            std::fprintf(stderr, "played frame %zu is not song frame %zu\n", i, next);
            return 1;
        }
    }
    if (next != song.size()) {
        std::fprintf(stderr, "only %zu of %zu song frames were played\n", next, song.size());
        return 1;
    }
    std::printf("all %zu song frames played in order; %zu silent frames while waiting\n", song.size(), waited);
    return 0;
}
