// What samples per pixel cost a capture: one 320 x 180 picture of the plaza's heaviest view
// (104 s) drawn with 1, 4, 9 and 16 samples a pixel (at 1, 2, 3 and 4 times the width and height)
// and read back, reduced on the GPU where there is more than one. Quote the ratios to the
// one-sample figure taken in one run. Run it from anywhere: it reads the repository's resources/.
//
//   samples_benchmark --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "show/director.h"
#include "show/startup.h"
#include "show/timeline.h"
#include "tools/headless_screen.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr float kShowTime = partStartTime(4) + 34.0f;

// Opens a screen for `samples` and, the first time, the show's resources (the plaza draws straight
// into the screen, so resources made at the first screen's size serve every other), and selects
// the supersampled screen.
bool openScreen(HeadlessScreen& screen, int samples) {
    std::filesystem::current_path(QV_SOURCE_DIR);
    if (auto error = openHeadlessScreen(screen, kWidth, kHeight, samples)) {
        std::fprintf(stderr, "samples_benchmark: %s\n", error->c_str());
        return false;
    }
    static const bool resources = createShowResources();
    selectScreen(screen, true);
    return resources;
}

void BM_DrawPictureWithSamples(benchmark::State& state) {
    HeadlessScreen screen;
    if (!openScreen(screen, static_cast<int>(state.range(0)))) return state.SkipWithError("no screen or resources");
    RgbaImage picture;
    for (auto _ : state) {
        drawShowTime(kShowTime);
        if (auto error = readPicture(screen, picture)) return state.SkipWithError(error->c_str());
        benchmark::DoNotOptimize(picture.pixels.data());
    }
}

BENCHMARK(BM_DrawPictureWithSamples)
    ->Arg(1)
    ->Arg(4)
    ->Arg(9)
    ->Arg(16)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace
