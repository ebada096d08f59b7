#include "app/process_exit.h"

#include <cstdio>
#include <unistd.h>

#include <vector>

namespace app {

namespace {
std::function<void(int)>& handler() {
  static std::function<void(int)> h;
  return h;
}

std::vector<std::function<void()>>& end_tasks() {
  static std::vector<std::function<void()>> tasks;
  return tasks;
}

}  // namespace

void set_exit_handler(std::function<void(int)> h) { handler() = std::move(h); }

void run_at_end(std::function<void()> task) { end_tasks().push_back(std::move(task)); }

void end_process(int code) {
  std::vector<std::function<void()>> tasks;
  tasks.swap(end_tasks());
  for (auto it = tasks.rbegin(); it != tasks.rend(); ++it) (*it)();
  if (handler()) {
    handler()(code);
    return;
  }
  std::fflush(nullptr);
  ::_exit(code);
}

}  // namespace app
