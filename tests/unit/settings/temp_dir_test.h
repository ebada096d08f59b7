#pragma once
// A fixture with a fresh directory under /tmp per test (removed afterwards), and helpers
// over the files in it.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace settingstest {

// UTF-8 literal to the GBK bytes the settings files hold.
inline std::string G(const char* utf8) { return text::utf8_to_gbk(utf8); }

class TempDirTest : public ::testing::Test {
 protected:
  explicit TempDirTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    std::string tmpl = "/tmp/" + prefix_ + "-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  static void put(const std::string& p, std::string_view bytes) {
    FILE* f = std::fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  static ino_t inode_of(const std::string& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_ino;
  }
  // The names in the directory, sorted.
  std::vector<std::string> entries() const {
    std::vector<std::string> v;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
  }

  std::string dir_;

 private:
  std::string prefix_;
};

}  // namespace settingstest
