// Saving what the window shows.
#pragma once

// Writes the front buffer (the frame last presented) as an RGB PNG, top row
// first. False, after a message, when the file cannot be written.
bool save_screenshot(const char *path);
