#include "app/making_mode.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "app/window_events.h"
#include "scene/scene.h"
#include "shaders/shader_library.h"
#include "show/director.h"
#include "show/timeline.h"
#include "synth/audio_clock.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTitleInterval = std::chrono::milliseconds(500);
// While held with nothing to redraw, the loop looks for keys and saves this often.
constexpr auto kIdleWait = std::chrono::milliseconds(10);
constexpr std::size_t kProblemLength = 120;

struct MakingSession {
    PlayPosition play;
    FrameRateMeter meter;
    Clock::time_point lastTitle{};
    std::uint32_t seeksDrawn = 0;
    bool drawnOnce = false;
    double drawnTime = 0.0;  // show time of the picture on screen
};

MakingSession& session() {
    static MakingSession instance;
    return instance;
}

std::int32_t partCount() { return static_cast<std::int32_t>(timeline.size()); }

void showTitle(MakingSession& s, Clock::time_point now) {
    s.lastTitle = now;
    const double rate = readFrameRate(s.meter, now);
    platform::setWindowTitle(
        makingTitle(partAt(static_cast<float>(s.play.showTime)), s.play.showTime, rate, s.play.paused, shaderLibrary.buildProblem()));
}

}  // namespace

double partEntrySeconds(std::size_t part) {
    return part == 0 ? 0.0 : partStartSeconds(part) + 1.0 / platform::kAudioFrameRate;
}

bool applyMakingKey(PlayPosition& play, platform::Key key) {
    using platform::Key;
    const double base = seekBase(play);
    const std::int32_t basePart = partAt(static_cast<float>(base));
    switch (key) {
        case Key::Space:
            togglePause(play);
            return true;
        case Key::Left:
            requestSeek(play, base - kSeekStepSeconds);
            return true;
        case Key::Right:
            requestSeek(play, base + kSeekStepSeconds);
            return true;
        case Key::PageUp:
            requestSeek(play, partEntrySeconds(static_cast<std::size_t>(std::max(basePart - 1, 0))));
            return true;
        case Key::PageDown:
            // The last part has no next one: the key does nothing there.
            if (basePart + 1 >= partCount()) return false;
            requestSeek(play, partEntrySeconds(static_cast<std::size_t>(basePart + 1)));
            return true;
        case Key::Home:
            requestSeek(play, play.loop ? play.loop->from : 0.0);
            return true;
        case Key::Escape:
        case Key::Other:
            return false;
    }
    return false;
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
        std::snprintf(text, sizeof text, "Quorvale \xC2\xB7 part %d \xC2\xB7 %.2f s \xC2\xB7 paused", part, seconds);
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
    const double start = startTime(options);
    if (start > 0.0) requestSeek(s.play, start);
    shaderLibrary.keepWorkingPrograms = true;
}

bool makingModeEventEndsLoop(const platform::WindowEvent& event) {
    if (event.kind == platform::WindowEventKind::KeyDown && event.key != platform::Key::Escape) {
        applyMakingKey(session().play, event.key);
        return false;
    }
    return windowEventEndsLoop(event);
}

void drawMakingFrame() {
    MakingSession& s = session();
    followPlayPosition(s.play);
    const bool jumped = s.play.seeksDone != s.seeksDrawn;
    const bool rebuilt = shaderLibrary.reloadChanged() > 0;
    // A held picture is drawn again only when it would change: a seek, a shader save, or the
    // pause itself, which stops the clock a little after the last frame's time.
    const bool draw = !s.play.paused || jumped || rebuilt || !s.drawnOnce || s.play.showTime != s.drawnTime;
    const float seconds = static_cast<float>(s.play.showTime);
    if (draw) {
        if (jumped || !s.drawnOnce) settleSceneAt(theScene, seconds);
        drawShowTime(seconds);
        platform::swapBuffers();
        countFrame(s.meter);
        s.seeksDrawn = s.play.seeksDone;
        s.drawnOnce = true;
        s.drawnTime = s.play.showTime;
    }
    const Clock::time_point now = Clock::now();
    if (jumped || rebuilt || now - s.lastTitle >= kTitleInterval) showTitle(s, now);
    if (!draw) std::this_thread::sleep_for(kIdleWait);
}
