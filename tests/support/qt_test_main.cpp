// main() of every test binary that needs Qt: one QApplication per binary, then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <string>
#include <vector>

#include "qt_test_hooks.h"

// Default hook: nothing to do. A test binary overrides it (for example to start the
// demo back office and map its host name) by defining the same function.
__attribute__((weak)) void tessaro_test_before_app(std::vector<std::string>&) {}
__attribute__((weak)) void tessaro_test_after_all() {}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  std::vector<std::string> chromium_args;
  tessaro_test_before_app(chromium_args);
  std::string flags = "--disable-gpu --no-sandbox --disable-background-networking --disable-component-update";
  if (const char* env = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS")) flags = env;
  for (const auto& a : chromium_args) flags += " " + a;
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  int rc = RUN_ALL_TESTS();
  tessaro_test_after_all();
  return rc;
}
