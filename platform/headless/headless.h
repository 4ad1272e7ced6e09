// What the headless backend offers beyond the common boundary: message boxes are captured
// instead of shown, so tests and tools can read them.
#pragma once

#include <string>
#include <vector>

namespace platform::headless {

struct CapturedMessageBox {
    std::string text;
    std::string caption;
};

// Returns the message boxes shown since the last call, oldest first, and forgets them.
std::vector<CapturedMessageBox> takeMessageBoxes();

}  // namespace platform::headless
