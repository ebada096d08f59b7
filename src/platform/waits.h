#pragma once
// The two kinds of wait of the step sequences.

namespace platform {

// Waits ms milliseconds while processing every event (the browser loads, timers fire,
// stop buttons act).
void wait_responsive(int ms);
// Waits ms milliseconds keeping windows painted and timers running, but holding user
// input back until the pause ends.
void pause_blocking(int ms);

// Tests shorten waits: every wait lasts ms * scale (default 1.0).
void set_wait_scale(double scale);
double wait_scale();

}  // namespace platform
