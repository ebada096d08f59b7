// The key-file reader and writer on arbitrary file contents: reads never crash, a write
// keeps every byte before the changed place and reads back as written.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/settings.h"
#include "text/text.h"

namespace {

const std::string& file_path() {
  static const std::string p = [] {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(base) + "/tessaro-fuzz-profile-" + std::to_string(getpid()) + ".ini";
  }();
  return p;
}

std::string trim(std::string s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; };
  while (!s.empty() && blank(s.back())) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && blank(s[i])) ++i;
  return s.substr(i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  static const std::string keys[] = {"k", "Select", text::utf8_to_gbk("网页地址"), "\x81\x41"};
  const std::string& key = keys[in.ConsumeIntegralInRange<int>(0, 3)];
  const bool do_write = in.ConsumeBool();
  std::string value = in.ConsumeRandomLengthString(64);
  const std::string content = in.ConsumeRemainingBytesAsString();

  const std::string& f = file_path();
  if (!settings::write_whole_file(f, content)) std::abort();
  (void)settings::read_key(f, key);
  (void)settings::has_key(f, key);
  (void)settings::read_profile(f, "init", key);
  if (do_write) {
    if (!settings::write_key(f, key, value)) std::abort();
    const std::size_t cut = value.find_first_of(std::string("\r\n\0", 3));
    if (cut != std::string::npos) value.resize(cut);
    const std::string want = trim(value);
    if (settings::read_key(f, key) != want) std::abort();
    if (!settings::has_key(f, key)) std::abort();
    // Nothing before the first changed byte is lost, nothing after it either.
    const std::string after = settings::read_whole_file(f);
    std::size_t same = 0;
    while (same < content.size() && same < after.size() && content[same] == after[same]) ++same;
    std::size_t tail = 0;
    while (tail < content.size() - same && tail < after.size() - same &&
           content[content.size() - 1 - tail] == after[after.size() - 1 - tail])
      ++tail;
    const std::size_t removed = content.size() - same - tail;
    if (removed > 0 && content.substr(same, removed).find('\n') != std::string::npos &&
        content.substr(same, removed).find('=') == std::string::npos)
      std::abort();  // only a part of one key line may go
  }
  settings::delete_file(f);
  return 0;
}
