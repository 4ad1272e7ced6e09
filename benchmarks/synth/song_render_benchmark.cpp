// Render speed of the song: the whole song as the production renders it, and
// one row of 5512 frames at a time walking through the song. The counter
// "realtime" is seconds of music rendered per second of running time.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/platform.h"
#include "synth/song_render.h"
#include "synth/sound_bank.h"

namespace {

std::vector<float>& songBuffer() {
    static std::vector<float> buffer(2 * static_cast<std::size_t>(kSongFrames));
    return buffer;
}

void setRealtimeCounter(benchmark::State& state, double frames) {
    state.counters["realtime"] = benchmark::Counter(frames / platform::kAudioFrameRate, benchmark::Counter::kIsRate);
}

void BM_WholeSong(benchmark::State& state) {
    su_write_stand_in_bank();
    float* buffer = songBuffer().data();
    for (auto _ : state) {
        su_render_song(buffer);
        benchmark::DoNotOptimize(buffer[2 * kSongFrames - 1]);
    }
    setRealtimeCounter(state, static_cast<double>(state.iterations()) * kSongFrames);
}
BENCHMARK(BM_WholeSong)->Unit(benchmark::kSecond)->MeasureProcessCPUTime()->UseRealTime();

// Rows in song order, one pass through all 896, so the average per row covers
// the quiet and the busy parts of the song alike.
void BM_SongRow(benchmark::State& state) {
    su_write_stand_in_bank();
    synth::SongRenderer& renderer = synth::songRenderer();
    std::vector<float> row(2 * synth::kSamplesPerRow);
    int next = 0;
    synth::beginSongRender(renderer);
    for (auto _ : state) {
        if (next == static_cast<int>(synth::kSongRows)) {
            state.PauseTiming();
            synth::beginSongRender(renderer);
            next = 0;
            state.ResumeTiming();
        }
        synth::renderSongRow(renderer, next++, row.data());
        benchmark::DoNotOptimize(row.data());
    }
    setRealtimeCounter(state, static_cast<double>(state.iterations()) * synth::kSamplesPerRow);
}
BENCHMARK(BM_SongRow)->Unit(benchmark::kMillisecond)->Iterations(synth::kSongRows);

}  // namespace
