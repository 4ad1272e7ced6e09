#include "app/window_events.h"

bool windowEventEndsLoop(const platform::WindowEvent& event) {
    switch (event.kind) {
        case platform::WindowEventKind::Destroy:
        case platform::WindowEventKind::Close:
            return true;
        case platform::WindowEventKind::KeyDown:
            return event.key == platform::Key::Escape;
        case platform::WindowEventKind::Expose:
        case platform::WindowEventKind::Resize:
        case platform::WindowEventKind::Other:
            return false;
    }
    return false;
}
