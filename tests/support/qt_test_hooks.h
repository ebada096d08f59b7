#pragma once
#include <string>
#include <vector>

// Called before the QApplication is made; append Chromium switches (such as a
// --host-resolver-rules="MAP ..." rule) to args.
void tessaro_test_before_app(std::vector<std::string>& args);
// Called after all tests ran, before the QApplication goes.
void tessaro_test_after_all();
