#include "app/making_mode.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/making_canvas.h"
#include "app/readout.h"
#include "app/scene_watch.h"
#include "app/shader_builds.h"
#include "app/show_steps.h"
#include "app/window_events.h"
#include "gl/gl_api.h"
#include "gl/screen_size.h"
#include "platform/paths.h"
#include "scene/scene.h"
#include "shaders/shader_library.h"
#include "show/director.h"
#include "show/timeline.h"
#include "synth/audio_clock.h"
#include "synth/song_rows.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often the rate is read, and with it the title and the readout's rate.
constexpr auto kRateInterval = std::chrono::milliseconds(500);
// While nothing changes, the loop looks for keys and saves this often.
constexpr auto kIdleWait = std::chrono::milliseconds(10);
constexpr std::size_t kProblemLength = 120;

struct MakingSession {
    PlayPosition play;
    FrameRateMeter meter;
    double rate = 0.0;
    Clock::time_point lastReading{};
    std::uint32_t seeksDrawn = 0;
    bool drawnOnce = false;
    double drawnTime = 0.0;  // show time of the picture on the canvas
    std::uint64_t picturesDrawn = 0;
    RepeatGate repeats;
    bool readoutShown = true;
    bool exposed = false;
    int windowWidth = 0;  // the window's client area now; the show draws at the start's size
    int windowHeight = 0;
    OverlayText overlayShown;  // the text on the window now
    MakingCanvas canvas;
    bool canvasTried = false;
    SceneFileWatch sceneWatch;
    ShaderBuilds shaderBuilds;
    // QUORVALE_PICTURE_LOG names a file that gets one line per new picture shown: the steady
    // clock in milliseconds and the picture's show time, for measuring gaps between pictures.
    std::FILE* pictureLog = nullptr;
};

MakingSession& session() {
    static MakingSession instance;
    return instance;
}

std::int32_t partCount() { return static_cast<std::int32_t>(timeline.size()); }

// Comma and Period: one step from the held time; at the show's ends nothing moves.
void stepFrom(PlayPosition& play, bool forward) {
    hold(play);
    const std::int64_t from = millisecondOf(seekBase(play));
    const std::optional<std::int64_t> to = forward ? nextStepMillisecond(from) : previousStepMillisecond(from);
    if (to) requestSeek(play, timeOfMillisecond(*to));
}

// The shader's build problem and the scene's load problem, as one text; nothing when all is well.
std::optional<std::string> loadProblem(const MakingSession& s) {
    std::optional<std::string> problem = shaderLibrary.buildProblem();
    if (s.sceneWatch.problem) problem = problem ? *problem + "\n" + *s.sceneWatch.problem : *s.sceneWatch.problem;
    return problem;
}

PlayState playState(const PlayPosition& play) {
    if (play.heldAtEnd) return PlayState::HeldAtEnd;
    return play.paused ? PlayState::Paused : PlayState::Playing;
}

std::string currentReadout(const MakingSession& s) {
    const ShowStep where = showStepAt(s.play.showTime);
    ReadoutFacts facts;
    facts.part = where.part;
    facts.set = partSetName(where.part);
    const synth::SongRow row = synth::songRowAt(songFrameAt(s.play.showTime, songFramesTotal()));
    facts.pattern = row.pattern;
    facts.row = row.row;
    facts.seconds = s.play.showTime;
    facts.step = where.step;
    facts.framesPerSecond = s.rate;
    facts.state = playState(s.play);
    if (audioWaitsForSong()) {
        facts.renderedShare = static_cast<double>(songFramesWritten()) / std::max<std::uint32_t>(songFramesTotal(), 1);
    }
    facts.loop = s.play.loop;
    return readoutLine(facts);
}

// The show at the play position, into the canvas, from a black start.
void drawShowPicture(MakingSession& s) {
    if (!s.canvasTried) {
        s.canvasTried = true;
        if (!makeMakingCanvas(s.canvas, screenWidth, screenHeight)) {
            std::fprintf(stderr, "no framebuffer for the picture: the readout is drawn over the show directly\n");
        }
    }
    const auto seconds = static_cast<float>(s.play.showTime);
    clearCanvas(s.canvas);
    // Every picture from the scene settled at its time, as after a jump: a loop's wrap, a seek
    // and a reloaded scene are then nothing special.
    settleSceneAt(theScene, seconds);
    drawShowTime(seconds);
    countFrame(s.meter);
    ++s.picturesDrawn;
    s.seeksDrawn = s.play.seeksDone;
    s.drawnOnce = true;
    s.drawnTime = s.play.showTime;
}

void logPicture(const MakingSession& s) {
    if (s.pictureLog == nullptr) return;
    const double milliseconds = std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
    std::fprintf(s.pictureLog, "%.3f %.3f\n", milliseconds, s.play.showTime);
    std::fflush(s.pictureLog);
}

}  // namespace

bool applyMakingKey(PlayPosition& play, platform::Key key, bool shift) {
    using platform::Key;
    const double base = seekBase(play);
    const double jump = shift ? kFineSeekSeconds : kSeekStepSeconds;
    const std::int32_t part = showStepAt(base).part;
    switch (key) {
        case Key::Space:
            togglePause(play);
            return true;
        case Key::Left:
            requestMove(play, -jump);
            return true;
        case Key::Right:
            requestMove(play, jump);
            return true;
        case Key::Up:
        case Key::Down:
            return requestRowStep(play, key == Key::Up, shift);
        case Key::P:
            loopCurrentPattern(play);
            return true;
        case Key::Comma:
        case Key::Period:
            stepFrom(play, key == Key::Period);
            return true;
        case Key::PageUp:
            requestSeek(play, timeOfMillisecond(firstMillisecondOfPart(std::max(part - 1, 0))));
            return true;
        case Key::PageDown:
            // The last part has no next one: the key does nothing there.
            if (part + 1 >= partCount()) return false;
            requestSeek(play, timeOfMillisecond(firstMillisecondOfPart(part + 1)));
            return true;
        case Key::Home:
            requestSeek(play, play.loop ? play.loop->from : 0.0);
            return true;
        case Key::LeftBracket:
            return setLoopStartHere(play);
        case Key::RightBracket:
            return setLoopEndHere(play);
        case Key::Backspace:
            if (!play.loop) return false;
            setLoop(play, std::nullopt);
            return true;
        case Key::Tab:
        case Key::Escape:
        case Key::Other:
            return false;
    }
    return false;
}

bool pressActs(RepeatGate& gate, const platform::WindowEvent& event, std::uint64_t picturesDrawn) {
    using platform::Key;
    if (!event.repeat) return true;
    const bool moves = event.key == Key::Left || event.key == Key::Right || event.key == Key::Comma ||
                       event.key == Key::Period || event.key == Key::Up || event.key == Key::Down;
    if (!moves || gate.pictureOfLastRepeat == picturesDrawn) return false;
    gate.pictureOfLastRepeat = picturesDrawn;
    return true;
}

void countFrame(FrameRateMeter& meter) { ++meter.frames; }

double readFrameRate(FrameRateMeter& meter, Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - meter.since).count();
    if (seconds > 0.0 && meter.since != Clock::time_point{}) meter.lastRate = meter.frames / seconds;
    meter.since = now;
    meter.frames = 0;
    return meter.lastRate;
}

std::string makingTitle(std::int32_t part, double seconds, double framesPerSecond, bool paused,
                        const std::optional<std::string>& problem) {
    char text[96];
    if (paused) {
        std::snprintf(text, sizeof text, "Quorvale \xC2\xB7 part %d \xC2\xB7 %.3f s \xC2\xB7 paused", part, seconds);
    } else {
        std::snprintf(text, sizeof text, "Quorvale \xC2\xB7 part %d \xC2\xB7 %.1f s \xC2\xB7 %.1f fps", part, seconds,
                      framesPerSecond);
    }
    std::string title = text;
    if (problem) {
        // The first line of the log is enough to see what broke; stderr has the whole of it.
        std::string line = problem->substr(0, problem->find('\n'));
        if (line.size() > kProblemLength) line = line.substr(0, kProblemLength) + "...";
        title += " \xC2\xB7 " + line;
    }
    return title;
}

void startMakingMode(const ProductionOptions& options) {
    MakingSession& s = session();
    s = MakingSession{};
    s.play.loop = options.loop;
    // The output starts at the start time, at its whole millisecond, and that picture comes first.
    const std::int64_t start = millisecondOf(seekTarget(options.loop, startTime(options)));
    planAudioStart(timeOfMillisecond(start), options.loop);
    s.play.showTime = timeOfMillisecond(start);
    shaderLibrary.keepWorkingPrograms = true;
    startShaderBuilds(s.shaderBuilds);
    if (const char* logPath = std::getenv("QUORVALE_PICTURE_LOG"); logPath != nullptr && *logPath != '\0') {
        s.pictureLog = std::fopen(logPath, "w");
    }
    startSceneWatch(s.sceneWatch, std::filesystem::path(platform::NativeString(platform::kResourceFolder)) / "scene.vxs");
}

bool makingModeEventEndsLoop(const platform::WindowEvent& event) {
    MakingSession& s = session();
    if (event.kind == platform::WindowEventKind::Expose) {
        s.exposed = true;
        return false;
    }
    if (event.kind == platform::WindowEventKind::Resize && event.width > 0 && event.height > 0) {
        s.windowWidth = event.width;
        s.windowHeight = event.height;
        s.exposed = true;
        return false;
    }
    if (event.kind == platform::WindowEventKind::KeyDown && event.key != platform::Key::Escape) {
        if (!pressActs(s.repeats, event, s.picturesDrawn)) return false;
        if (event.key == platform::Key::Tab) {
            s.readoutShown = !s.readoutShown;
        } else {
            applyMakingKey(s.play, event.key, event.shift);
        }
        return false;
    }
    return windowEventEndsLoop(event);
}

void drawMakingFrame() {
    MakingSession& s = session();
    const bool firstTurn = !s.drawnOnce;
    if (!firstTurn) followClock(s.play);
    const Clock::time_point now = Clock::now();
    const bool rebuilt = reloadShadersIfChanged(s.shaderBuilds, shaderLibrary);
    // A new scene replaces textures a shader job's worker context may have bound: it waits until
    // the job is done and that context gone, so the drawing context alone has used what it frees.
    // A job starts only after a picture drawn with the scene it binds.
    const SceneReload scene =
        shaderBuildRunning(s.shaderBuilds) ? SceneReload::Unchanged : reloadSceneIfChanged(s.sceneWatch, now);
    // The show is drawn only when its picture would change: an unchanged held or waiting picture
    // is shown again from the canvas, not drawn again.
    const bool jumped = s.play.seeksDone != s.seeksDrawn;
    const bool redraw = firstTurn || jumped || s.play.showTime != s.drawnTime || rebuilt ||
                        scene == SceneReload::Loaded || s.canvas.framebuffer == 0;
    if (redraw) drawShowPicture(s);
    // A held picture's time goes to the title with the picture, so the two always agree.
    if (jumped || rebuilt || (redraw && s.play.paused) || now - s.lastReading >= kRateInterval) {
        if (now - s.lastReading >= kRateInterval) {
            s.lastReading = now;
            s.rate = readFrameRate(s.meter, now);
        }
        const std::optional<std::string> shaderProblem = shaderLibrary.buildProblem();
        platform::setWindowTitle(makingTitle(showStepAt(s.play.showTime).part, s.play.showTime, s.rate, s.play.paused,
                                             shaderProblem));
    }
    if (s.windowWidth == 0) {
        s.windowWidth = screenWidth;
        s.windowHeight = screenHeight;
    }
    const OverlayText overlay =
        layOutOverlay(currentReadout(s), s.readoutShown, loadProblem(s), s.windowWidth, s.windowHeight);
    if (redraw || s.exposed || !(overlay == s.overlayShown)) {
        presentCanvas(s.canvas, s.windowWidth, s.windowHeight);
        glViewport(0, 0, s.windowWidth, s.windowHeight);
        drawOverlay(overlay, s.windowWidth, s.windowHeight);
        glViewport(0, 0, screenWidth, screenHeight);  // the show's passes draw at the start's size
        platform::swapBuffers();
        if (redraw) logPicture(s);
        s.overlayShown = overlay;
        s.exposed = false;
    } else {
        std::this_thread::sleep_for(kIdleWait);
    }
}
