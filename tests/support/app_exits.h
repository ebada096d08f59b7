#pragma once
// The application's end_process calls in a test: recorded instead of ending the test
// process.

#include <vector>

#include "app/process_exit.h"

namespace harness {

// The exit codes asked for so far, oldest first.
inline std::vector<int>& exit_codes() {
  static std::vector<int> codes;
  return codes;
}

// From tessaro_test_before_app: end_process records its code in exit_codes().
inline void record_exits() {
  app::set_exit_handler([](int code) { exit_codes().push_back(code); });
}

}  // namespace harness
