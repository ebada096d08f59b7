#include "app/process_exit.h"

#include <cstdio>
#include <unistd.h>

namespace app {

namespace {
std::function<void(int)>& handler() {
  static std::function<void(int)> h;
  return h;
}
}  // namespace

void set_exit_handler(std::function<void(int)> h) { handler() = std::move(h); }

void end_process(int code) {
  if (handler()) {
    handler()(code);
    return;
  }
  std::fflush(nullptr);
  ::_exit(code);
}

}  // namespace app
