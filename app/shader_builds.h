// Making mode's live shaders: a saved file is built, and drawn once as its pass draws it, on a
// thread of its own in a second OpenGL context that shares the window's objects. The picture goes
// on with the old program meanwhile, and the new one takes over between two pictures; the driver's
// shader cache then serves its first draw in the window's context (see rehearsePass). Where the
// platform gives no second context, the build runs on the drawing thread as without options.
#pragma once

#include <vector>

#include "app/background_work.h"
#include "shaders/shader.h"
#include "shaders/shader_library.h"
#include "show/director.h"

struct ShaderBuilds {
    bool offThread = false;  // the platform makes worker contexts
    struct Built {
        platform::NativeString name;
        ShaderBuild build;
    };
    // The builds of one job; `unbuilt` holds the sources instead when the job could not take the
    // worker context, for the drawing thread to build.
    struct Job {
        std::vector<Built> built;
        std::vector<ChangedSource> unbuilt;
    };
    BackgroundWork<Job> building;
    RehearsalTargets targets;  // touched only by the running job
};

// Looks whether the platform makes worker contexts (the window's context current, as after
// start-up). Each job gets a new one, deleted before its programs are put in place: a program
// one context linked and the other drew, deleted while both lived, crashed the other's next draw
// (Mesa 22.3's llvmpipe, either way round, by the third save). With the worker context gone
// first, the drawing context alone has used the program it deletes.
void startShaderBuilds(ShaderBuilds& builds);

// Whether a job is building (its worker context then lives).
bool shaderBuildRunning(const ShaderBuilds& builds);

// Once a turn, between two pictures, on the drawing thread: puts the programs of a finished job
// into `library` (its rules with keepWorkingPrograms: a failed build keeps the working program)
// and starts a job for files saved since. True when a job's builds were put in place, so the
// picture is drawn again.
bool reloadShadersIfChanged(ShaderBuilds& builds, ShaderLibrary& library);
