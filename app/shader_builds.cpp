#include "app/shader_builds.h"

#include <algorithm>
#include <utility>

#include "app/making_canvas.h"
#include "platform/platform.h"

namespace {

struct PendingSource {
    ChangedSource source;
    ShowPass pass;
};

// A file saved several times before its job starts is built once, from its last text.
std::vector<ChangedSource> lastOfEach(std::vector<ChangedSource> changed) {
    std::vector<ChangedSource> kept;
    for (auto file = changed.rbegin(); file != changed.rend(); ++file) {
        const bool later = std::any_of(kept.begin(), kept.end(), [&](const ChangedSource& k) { return k.name == file->name; });
        if (!later) kept.insert(kept.begin(), std::move(*file));
    }
    return kept;
}

// Each source is built twice from the same text: one program for the drawing context, and one
// this context draws once and deletes. The driver's cache knows them as one, so the drawing
// context's first draw finds the rehearsal's work.
ShaderBuilds::Job buildAndRehearse(std::vector<PendingSource> sources, const PassBindings& bindings,
                                   RehearsalTargets& targets) {
    ShaderBuilds::Job job;
    if (!platform::holdWorkerGlContext(true)) {
        for (PendingSource& pending : sources) job.unbuilt.push_back(std::move(pending.source));
        return job;
    }
    std::vector<Shader> rehearsed;
    for (PendingSource& pending : sources) {
        ShaderBuild build = buildShaderQuietly(kGlFragmentShader, pending.source.text.c_str());
        if (build.linked && pending.pass != ShowPass::None) {
            rehearsed.push_back(buildShaderQuietly(kGlFragmentShader, pending.source.text.c_str()).shader);
            rehearsePass(pending.pass, rehearsed.back(), bindings, kMakingCanvasFormat, targets);
        }
        job.built.push_back({std::move(pending.source.name), std::move(build)});
    }
    endRehearsals(targets);
    rehearsed.clear();
    platform::holdWorkerGlContext(false);
    return job;
}

}  // namespace

void startShaderBuilds(ShaderBuilds& builds) {
    builds.offThread = platform::createWorkerGlContext();
    platform::destroyWorkerGlContext();
}

bool shaderBuildRunning(const ShaderBuilds& builds) { return backgroundBusy(builds.building); }

bool reloadShadersIfChanged(ShaderBuilds& builds, ShaderLibrary& library) {
    if (!builds.offThread) return library.reloadChanged() > 0;
    if (backgroundBusy(builds.building)) {
        std::optional<ShaderBuilds::Job> job = takeBackgroundResult(builds.building);
        if (!job) return false;
        platform::destroyWorkerGlContext();
        for (ShaderBuilds::Built& built : job->built) library.installBuild(built.name, std::move(built.build));
        // The job could not take the worker context: build here, as without it.
        for (const ChangedSource& file : job->unbuilt) {
            library.installBuild(file.name, buildShaderQuietly(kGlFragmentShader, file.text.c_str()));
        }
        return true;
    }
    std::vector<ChangedSource> changed = lastOfEach(library.takeChangedSources());
    if (changed.empty()) return false;
    if (!platform::createWorkerGlContext()) {
        for (const ChangedSource& file : changed) {
            library.installBuild(file.name, buildShaderQuietly(kGlFragmentShader, file.text.c_str()));
        }
        return true;
    }
    builds.targets.picture = 0;  // framebuffers belong to the context that made them
    builds.targets.offscreen = 0;
    std::vector<PendingSource> sources;
    for (ChangedSource& file : changed) {
        const ShowPass pass = passDrawing(library.shaders.at(file.name).get());
        sources.push_back({std::move(file), pass});
    }
    startBackgroundWork(builds.building, [sources = std::move(sources), bindings = currentPassBindings(),
                                          &targets = builds.targets]() mutable {
        return buildAndRehearse(std::move(sources), bindings, targets);
    });
    return false;
}
