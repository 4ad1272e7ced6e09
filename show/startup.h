// Start-up: creates every long-lived resource of the production in a fixed order.
#pragma once

// Runs once, with the window visible and its OpenGL context current. False when the production
// cannot run (a message box has said why); the caller then ends the production.
bool startUp();
