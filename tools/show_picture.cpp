#include "tools/show_picture.h"

#include <cstddef>

#include "show/director.h"
#include "show/timeline.h"

namespace {

// Whether the director draws show time `seconds` through the opening's dither pass, deciding as
// drawFrameAt does from the ideal clock's state.
bool drawnDithered(float seconds) {
    const DirectorState state = idealDirectorState(seconds);
    const ScenePart& part = timeline[static_cast<std::size_t>(state.currentPart)];
    return framePathFor(part.camera, seconds - state.partStart) != FramePath::Direct;
}

}  // namespace

std::optional<std::string> drawShowPicture(HeadlessScreen& screen, float seconds, RgbaImage& picture) {
    selectScreen(screen, !drawnDithered(seconds));
    DirectorState director = idealDirectorState(seconds);
    drawFrameAt(director, seconds);
    return readPicture(screen, picture);
}
