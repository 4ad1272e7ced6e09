// What encoding adds to a capture: the same 640 x 360 pictures of the show drawn by the director
// and read back, once on their own and once handed to the MP4 writer with their sound (whose
// encoder thread works while the next picture is drawn). Every iteration draws the same eight
// consecutive pictures at 60 frames per second from 8 s into part 1 (lit and moving),
// so the two figures compare like with like. Run it from anywhere: it reads the repository's
// resources/.
//
// "CPU" is the whole process's processor time (the drawing threads of the software renderer and
// the encoder's threads included), which a busy machine disturbs less than the wall time. On a
// shared machine interleave the repetitions, so both benchmarks see the same load:
//   capture_benchmark --benchmark_repetitions=4 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/platform.h"
#include "show/director.h"
#include "show/startup.h"
#include "tools/headless_screen.h"
#include "tools/output_file.h"
#include "show/timeline.h"
#include "tools/video_writer.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kFps = 60;
constexpr int kPictures = 8;
const double kFrom = partStartSeconds(1) + 8.0;

// The show's resources at 640 x 360, made once for the whole program.
bool showReady() {
    static const bool ready = [] {
        static HeadlessScreen screen;
        std::filesystem::current_path(QV_SOURCE_DIR);
        if (auto error = openHeadlessScreen(screen, kWidth, kHeight)) {
            std::fprintf(stderr, "capture_benchmark: %s\n", error->c_str());
            return false;
        }
        return createShowResources();
    }();
    return ready;
}

// A soundtrack as long as the pictures: a plain tone, as costly to encode as any sound.
const std::vector<float>& soundtrack() {
    static const std::vector<float> sound = [] {
        std::vector<float> samples(2 * platform::kAudioFrameRate * kPictures / kFps);
        for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = 0.3f * std::sin(0.05f * float(i / 2));
        return samples;
    }();
    return sound;
}

// Draws the pictures with the director stepping through them and reads each back; `take`
// receives each picture.
template <typename Take>
void drawPictures(Take&& take) {
    DirectorState director = idealDirectorState(static_cast<float>(kFrom));
    for (int i = 0; i < kPictures; ++i) {
        drawFrameAt(director, static_cast<float>(kFrom + double(i) / kFps));
        RgbaImage picture;
        if (auto error = readScreen(kWidth, kHeight, picture)) {
            std::fprintf(stderr, "capture_benchmark: %s\n", error->c_str());
            std::exit(1);  // a benchmark of black pictures would measure nothing
        }
        take(std::move(picture.pixels));
    }
}

// Where the benchmark writes: a temporary file beside a name unique to this process, discarded
// after each run.
std::filesystem::path scratchVideo() {
    return std::filesystem::temp_directory_path() / ("qv_capture_benchmark_" + std::to_string(::getpid()) + ".mp4");
}

// Writes the pictures `feed` hands over into a fresh file; false (the state told why) on failure.
template <typename Feed>
bool writeVideo(benchmark::State& state, Feed&& feed) {
    OutputFile file;
    VideoWriter writer;
    std::optional<std::string> error = openOutput(file, scratchVideo());
    if (!error) error = openVideoWriter(writer, file.descriptor, file.temporary, {kWidth, kHeight, kFps, soundtrack()});
    if (!error) error = feed(writer);
    if (!error) error = finishVideoWriter(writer);
    if (error) state.SkipWithError(error->c_str());
    return !error;  // the file guard discards the file either way
}

void BM_DrawPictures(benchmark::State& state) {
    if (!showReady()) return state.SkipWithError("the show's resources could not be created");
    for (auto _ : state) {
        drawPictures([](std::vector<std::uint8_t> pixels) { benchmark::DoNotOptimize(pixels.data()); });
    }
    state.SetItemsProcessed(state.iterations() * kPictures);
}

void BM_DrawAndEncodePictures(benchmark::State& state) {
    if (!showReady()) return state.SkipWithError("the show's resources could not be created");
    for (auto _ : state) {
        const bool written = writeVideo(state, [](VideoWriter& writer) {
            std::optional<std::string> error;
            drawPictures([&](std::vector<std::uint8_t> pixels) {
                if (!error) error = addVideoFrame(writer, std::move(pixels));
            });
            return error;
        });
        if (!written) return;
    }
    state.SetItemsProcessed(state.iterations() * kPictures);
}

// The encoder's own cost: the same pictures, drawn beforehand, written without drawing.
void BM_EncodePictures(benchmark::State& state) {
    if (!showReady()) return state.SkipWithError("the show's resources could not be created");
    std::vector<std::vector<std::uint8_t>> pictures;
    drawPictures([&](std::vector<std::uint8_t> pixels) { pictures.push_back(std::move(pixels)); });
    for (auto _ : state) {
        const bool written = writeVideo(state, [&](VideoWriter& writer) {
            std::optional<std::string> error;
            for (const std::vector<std::uint8_t>& picture : pictures) {
                if (!error) error = addVideoFrame(writer, picture);
            }
            return error;
        });
        if (!written) return;
    }
    state.SetItemsProcessed(state.iterations() * kPictures);
}

BENCHMARK(BM_DrawPictures)->Iterations(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_DrawAndEncodePictures)->Iterations(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_EncodePictures)->Iterations(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
