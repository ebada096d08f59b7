#pragma once
// How the process ends when the main window goes: at once, with exit code 0,
// whatever is running (nested event loops of a tool included).

#include <functional>

namespace app {

// Default: flush stdio, then _exit(code) (no static destructors, no event loop
// unwinding). Tests replace it to keep their process alive.
void set_exit_handler(std::function<void(int)> handler);
// Runs before the process ends through end_process (also with a test handler), last
// registered first: what must not outlive the process (the data directory's lock).
void run_at_end(std::function<void()> task);
void end_process(int code);

}  // namespace app
