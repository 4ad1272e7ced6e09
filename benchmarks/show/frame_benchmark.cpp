// Cost of one 640 x 360 frame of each part of the show, drawn off screen by the real director
// and scene pass (headless EGL), next to a reference fragment program of 2,000 sin/cos iterations
// per pixel drawn the same way in the same run. Each part reports its wall-clock milliseconds per
// frame and its ratio to reference frames drawn alternately with its own ("ms", "x_reference"),
// and the same for the processor time of the whole process, the rasteriser's threads included
// ("cpu_ms", "x_reference_cpu"): on a machine shared with other work the processor time moves
// less than the wall clock. Google Benchmark's own CPU column is the whole process's processor
// time too (for a part, that of the pair of frames).
//
// The first frame of each part is measured too ("BM_FirstFrame"): the scene program built afresh
// from its file, then the part's frame drawn with it, which is what a part's first frame costs
// before the driver has a compiled copy of the program. The driver's shader cache on disk is
// turned off for the whole process so that every build is a real one.
//
// The show's resources are read from resources/ in the current folder when there is one (so a
// copy of an older scene and shader can be measured), otherwise from the source tree's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "gl/gl_api.h"
#include "gl/gl_helpers.h"
#include "gl/screen_size.h"
#include "shaders/shader.h"
#include "show/director.h"
#include "show/show_resources.h"
#include "show/startup.h"
#include "tools/headless_screen.h"
#include "show/timeline.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;

// Every iteration feeds the next, so the compiler can neither drop nor shorten the loop.
constexpr char kReferenceSource[] = R"(#version 450
layout(location = 0) uniform vec4 frame;
out vec4 fragColor;
void main() {
    vec2 p = gl_FragCoord.xy / max(frame.xy, vec2(1.0));
    float a = p.x;
    float b = p.y;
    for (int i = 0; i < 2000; ++i) {
        a = sin(a + b * 1.3);
        b = cos(b - a * 0.7);
    }
    fragColor = vec4(0.5 + 0.5 * a, 0.5 + 0.5 * b, 0.0, 1.0);
}
)";

struct FrameBench {
    bool ready = false;
    HeadlessScreen screen;
    std::unique_ptr<Shader> reference;
};

struct FrameCost {
    double ms = 0.0;     // wall clock per frame
    double cpuMs = 0.0;  // processor time of every thread of the process per frame
};

double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

FrameBench& bench() {
    static FrameBench state;
    return state;
}

bool prepare() {
    FrameBench& b = bench();
    if (b.ready) return true;
    if (!std::filesystem::exists("resources/scene.vxs")) std::filesystem::current_path(QV_SOURCE_DIR);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);  // read when the context is made
    if (auto error = openHeadlessScreen(b.screen, kWidth, kHeight)) {
        std::fprintf(stderr, "frame_benchmark: %s\n", error->c_str());
        return false;
    }
    if (!createShowResources()) return false;
    b.reference = std::make_unique<Shader>(kGlFragmentShader, kReferenceSource);
    b.ready = true;
    return true;
}

void drawReference() {
    const GLuint program = bench().reference->program;
    glApi.glBindFramebuffer(kGlFramebuffer, screenFramebuffer);
    glApi.glUseProgram(program);
    const float frame[4] = {static_cast<float>(kWidth), static_cast<float>(kHeight), 1.0f, 0.0f};
    glApi.glUniform4fv(0, 1, frame);
    drawFullScreenRect();  // waits for the GPU
}

void drawShowFrame(float seconds) {
    DirectorState state = idealDirectorState(seconds);
    drawFrameAt(state, seconds);  // every pass waits for the GPU
}

// Draws once and says what it cost.
template <typename Draw>
FrameCost timeFrame(Draw draw) {
    const double cpuStart = processCpuMs();
    const auto start = std::chrono::steady_clock::now();
    draw();
    const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return {spent.count(), processCpuMs() - cpuStart};
}

void BM_Reference(benchmark::State& state) {
    if (!prepare()) {
        state.SkipWithError("no headless OpenGL context or no show resources");
        return;
    }
    drawReference();  // the first draw of a program compiles its code for the rasteriser
    FrameCost total;
    for (auto _ : state) {
        const FrameCost cost = timeFrame(drawReference);
        state.SetIterationTime(cost.ms / 1000.0);
        total.ms += cost.ms;
        total.cpuMs += cost.cpuMs;
    }
    const auto frames = static_cast<double>(state.iterations());
    state.counters["ms"] = total.ms / frames;
    state.counters["cpu_ms"] = total.cpuMs / frames;
}

// Times `draw` once per iteration, each time just after a reference frame, and reports its cost
// and its ratio to those reference frames.
template <typename Draw>
void timeAgainstReference(benchmark::State& state, Draw draw) {
    FrameCost drawn;
    FrameCost reference;
    for (auto _ : state) {
        const FrameCost pairedReference = timeFrame(drawReference);
        const FrameCost cost = timeFrame(draw);
        state.SetIterationTime(cost.ms / 1000.0);
        drawn.ms += cost.ms;
        drawn.cpuMs += cost.cpuMs;
        reference.ms += pairedReference.ms;
        reference.cpuMs += pairedReference.cpuMs;
    }
    const auto frames = static_cast<double>(state.iterations());
    state.counters["ms"] = drawn.ms / frames;
    state.counters["x_reference"] = drawn.ms / reference.ms;
    state.counters["cpu_ms"] = drawn.cpuMs / frames;
    state.counters["x_reference_cpu"] = drawn.cpuMs / reference.cpuMs;
}

// One frame of the show at show time `seconds`. Each of its frames is paired with a reference
// frame drawn just before it, so that the ratio compares frames drawn under the same load of the
// machine.
void BM_Part(benchmark::State& state, float seconds) {
    if (!prepare()) {
        state.SkipWithError("no headless OpenGL context or no show resources");
        return;
    }
    const auto drawPart = [seconds] { drawShowFrame(seconds); };
    drawReference();
    drawPart();
    timeAgainstReference(state, drawPart);
}

// The scene program built again from resources/test.glsl into the show's slot, as a saved file
// is, and the part's frame drawn with it: the driver compiles the program for the rasteriser at
// that first draw. Paired with a reference frame like BM_Part.
void BM_FirstFrame(benchmark::State& state, float seconds) {
    if (!prepare()) {
        state.SkipWithError("no headless OpenGL context or no show resources");
        return;
    }
    const std::optional<std::string> source = readFile("resources/test.glsl");
    if (!source) {
        state.SkipWithError("resources/test.glsl cannot be read");
        return;
    }
    double compileCpuMs = 0.0;  // the program's compile and link, before the driver's code generation
    const auto buildAndDraw = [&] {
        const double start = processCpuMs();
        *shaderSlots.test = buildShaderQuietly(kGlFragmentShader, source->c_str()).shader;
        compileCpuMs += processCpuMs() - start;
        drawShowFrame(seconds);
    };
    drawReference();
    timeAgainstReference(state, buildAndDraw);
    state.counters["compile_cpu_ms"] = compileCpuMs / static_cast<double>(state.iterations());
}

struct Moment {
    float seconds = 0.0f;
    std::string name;  // "part4_plaza_heaviest_104s"
};

// The show times of benchmarks/show/show_times.txt, which the measuring scripts beside this
// program read too: one in each part, well inside its fades, and the plaza at its heaviest view.
std::vector<Moment> showMoments() {
    std::vector<Moment> moments;
    std::ifstream list(QV_SOURCE_DIR "/benchmarks/show/show_times.txt");
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream words(line);
        double seconds = 0.0;
        std::string name;
        if (line.empty() || line[0] == '#' || !(words >> seconds >> name)) continue;
        const auto at = static_cast<float>(seconds);
        moments.push_back({at, "part" + std::to_string(partAt(at)) + "_" + name + "_" +
                                   std::to_string(static_cast<int>(seconds)) + "s"});
    }
    return moments;
}

void registerBenchmarks() {
    benchmark::RegisterBenchmark("BM_Reference", BM_Reference)
        ->UseManualTime()
        ->MeasureProcessCPUTime()
        ->MinTime(2.0)
        ->Unit(benchmark::kMillisecond);
    const std::vector<Moment> moments = showMoments();
    if (moments.empty()) std::fprintf(stderr, "frame_benchmark: no show times in benchmarks/show/show_times.txt\n");
    for (const Moment& moment : moments) {
        benchmark::RegisterBenchmark(("BM_Part/" + moment.name).c_str(), BM_Part, moment.seconds)
            ->UseManualTime()
            ->MeasureProcessCPUTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
    }
    for (const Moment& moment : moments) {
        benchmark::RegisterBenchmark(("BM_FirstFrame/" + moment.name).c_str(), BM_FirstFrame, moment.seconds)
            ->UseManualTime()
            ->MeasureProcessCPUTime()
            ->MinTime(2.0)
            ->Unit(benchmark::kMillisecond);
    }
}

const int registered = (registerBenchmarks(), 0);

}  // namespace
