// Writers of the periodic save killed at random moments, many times: the old save (four
// write_key calls, one atomic write each) against the one-write KeySaver. After each
// kill: does the file hold the four keys of one tick, keys of two ticks, or lack keys?
// At the end: the temporaries left behind, before and after the start-up sweep.
// Run: build/bench/settings/settings_kill_bench [kills per writer, default 1000]

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "text/text.h"

namespace {

namespace fs = std::filesystem;

struct Counts {
  int kills = 0, saved = 0, mixed = 0, partial = 0;
  std::size_t temporaries = 0, after_sweep = 0;
};

settings::KeySaver::KeyValues values(long n) {
  const std::string v = std::to_string(n);
  return {{text::utf8_to_gbk("保存帐"), "p" + v},
          {text::utf8_to_gbk("保存密"), "a" + v},
          {text::utf8_to_gbk("选择框1"), text::utf8_to_gbk("真")},
          {text::utf8_to_gbk("网页地址"), "http://s" + v + ".com"}};
}

std::size_t temporaries(const std::string& dir) {
  std::size_t n = 0;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().find(".tmp-") != std::string::npos) ++n;
  return n;
}

Counts run(int kills, bool one_write) {
  char tmpl[] = "/tmp/tessaro-kill-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  const std::string f = dir + "/configure.ini";
  {
    std::string pad = "; " + std::string(64 * 1024, 'x') + "\r\n";
    settings::write_whole_file(f, pad);
  }
  std::mt19937 random(2024);
  std::uniform_int_distribution<int> delay_us(100, 30000);
  Counts c;
  for (int k = 0; k < kills; ++k) {
    const long base = (k + 1) * 1000000L;
    const pid_t child = ::fork();
    if (child < 0) break;
    if (child == 0) {
      settings::KeySaver saver;
      for (long n = base;; ++n) {
        const auto kv = values(n);
        if (one_write) {
          saver.save(f, kv);
        } else {
          for (const auto& [key, value] : kv) settings::write_key(f, key, value);
        }
      }
    }
    ::usleep(static_cast<useconds_t>(delay_us(random)));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ++c.kills;
    const std::string p = settings::read_key(f, text::utf8_to_gbk("保存帐"));
    const std::string a = settings::read_key(f, text::utf8_to_gbk("保存密"));
    const std::string s = settings::read_key(f, text::utf8_to_gbk("网页地址"));
    if (p.empty() && a.empty() && s.empty()) continue;  // killed before its first save
    ++c.saved;
    if (p.empty() || a.empty() || s.empty() || settings::read_whole_file(f).compare(0, 3, "; x") != 0) {
      ++c.partial;
      continue;
    }
    if (p.substr(1) != a.substr(1) || s != "http://s" + p.substr(1) + ".com") ++c.mixed;
  }
  c.temporaries = temporaries(dir);
  ::usleep(20000);
  settings::remove_stale_temporaries(dir, std::chrono::system_clock::now());
  c.after_sweep = temporaries(dir);
  fs::remove_all(dir);
  return c;
}

void report(const char* name, const Counts& c) {
  std::printf("%-40s kills %5d, file holds a save %5d: keys of two ticks %5d, keys missing %5d;"
              " temporaries left %5zu, after the sweep %zu\n",
              name, c.kills, c.saved, c.mixed, c.partial, c.temporaries, c.after_sweep);
}

}  // namespace

int main(int argc, char** argv) {
  const int kills = argc > 1 ? std::atoi(argv[1]) : 1000;
  report("four write_key calls (old periodic save)", run(kills, false));
  report("KeySaver, one write_keys", run(kills, true));
  return 0;
}
