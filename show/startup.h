// Start-up: creates every long-lived resource of the production in a fixed order.
#pragma once

// The title of every message box that says why the production cannot run.
inline constexpr char kErrorBoxTitle[] = "Ulverror";

// Runs once, with the window visible and its OpenGL context current. False when the production
// cannot run (a message box has said why); the caller then ends the production.
bool startUp();

// The GPU side of start-up, also used by tools that render without a window: entry points,
// scene, shaders, title image, render targets and dither textures. False when the production
// cannot run (a message box has said why).
bool createShowResources();
