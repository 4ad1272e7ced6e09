// Cost of building the largest dither image start-up makes: 256 colours, 32,768 cube points.
#include <benchmark/benchmark.h>

#include "show/dither_image.h"
#include "show/dither_palettes.h"

namespace {

void BM_BuildDitherImage(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Image image = buildDitherImage(count, palette256.data());
        benchmark::DoNotOptimize(image.pixels.data());
    }
}
BENCHMARK(BM_BuildDitherImage)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace
