// The main window's periodic save (four keys of configure.ini) against a naive writer
// that rewrites the whole file in place with stdio, in the same run; and the periodic
// save's tick with nothing changed on a 50 MB configure.ini against the same tick on a
// small one and against the old tick (four write_key calls, each reading the file).
// Run: build/bench/settings/bench_settings

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ratio_reporter.h"
#include "settings/settings.h"
#include "text/text.h"

namespace {

struct Dir {
  Dir() {
    char tmpl[] = "/tmp/tessaro-bench-XXXXXX";
    path = ::mkdtemp(tmpl);
  }
  ~Dir() { std::filesystem::remove_all(path); }
  std::string path;
};

const std::vector<std::string>& keys() {
  static const std::vector<std::string> k = [] {
    std::vector<std::string> v;
    for (const char* u : {"保存帐", "保存密", "网页地址", "选择框1", "商品目录1", "目录编号2",
                          "目录编号3", "商品面值", "商品的面值", "数量单位名称", "有效售后天数",
                          "销售范围", "是否允许销售", "计费方式", "充值网址", "客服联系方式"})
      v.push_back(text::utf8_to_gbk(u));
    return v;
  }();
  return k;
}

void fill(const std::string& f) {
  for (const auto& k : keys()) settings::write_key(f, k, "value of " + k);
}

// Naive: the whole file rewritten in place (fopen "wb"), no flush to disk.
void naive_write(const std::string& f, const std::vector<std::pair<std::string, std::string>>& kv) {
  FILE* out = std::fopen(f.c_str(), "wb");
  if (!out) return;
  for (const auto& [k, v] : kv) std::fprintf(out, "[%s]\r\n%s=%s\r\n", k.c_str(), k.c_str(), v.c_str());
  std::fclose(out);
}

void save(benchmark::State& st, bool changing) {
  Dir d;
  const std::string f = d.path + "/configure.ini";
  fill(f);
  long n = 0;
  for (auto _ : st) {
    const std::string v = changing ? std::to_string(n++) : "same";
    for (int i = 0; i < 4; ++i) settings::write_key(f, keys()[i], v);
  }
}
void save_naive(benchmark::State& st) {
  Dir d;
  const std::string f = d.path + "/configure.ini";
  std::vector<std::pair<std::string, std::string>> kv;
  for (const auto& k : keys()) kv.emplace_back(k, "value of " + k);
  long n = 0;
  for (auto _ : st) {
    for (int i = 0; i < 4; ++i) {
      kv[static_cast<std::size_t>(i)].second = std::to_string(n++);
      naive_write(f, kv);
    }
  }
}

void Batched_tessaro(benchmark::State& st) {
  Dir d;
  const std::string f = d.path + "/configure.ini";
  fill(f);
  long n = 0;
  for (auto _ : st) {
    std::vector<std::pair<std::string, std::string>> kv;
    for (int i = 0; i < 4; ++i) kv.emplace_back(keys()[static_cast<std::size_t>(i)], std::to_string(n++));
    settings::write_keys(f, kv);
  }
}
BENCHMARK(Batched_tessaro)->Name("save 4 keys in one write_keys/tessaro")->Unit(benchmark::kMicrosecond);
BENCHMARK(save_naive)->Name("save 4 keys in one write_keys/baseline")->Unit(benchmark::kMicrosecond);

void Changed_tessaro(benchmark::State& st) { save(st, true); }
void Unchanged_tessaro(benchmark::State& st) { save(st, false); }
BENCHMARK(Changed_tessaro)->Name("save 4 keys, values changed/tessaro")->Unit(benchmark::kMicrosecond);
BENCHMARK(save_naive)->Name("save 4 keys, values changed/baseline")->Unit(benchmark::kMicrosecond);
BENCHMARK(Unchanged_tessaro)->Name("save 4 keys, values unchanged/tessaro")->Unit(benchmark::kMicrosecond);
BENCHMARK(save_naive)->Name("save 4 keys, values unchanged/baseline")->Unit(benchmark::kMicrosecond);

// configure.ini with the main window's keys, padded to about size bytes.
std::string padded_file(const Dir& d, std::size_t size) {
  const std::string f = d.path + "/configure.ini";
  fill(f);
  std::string bytes = settings::read_whole_file(f);
  const std::string line = "; " + std::string(1022, 'x') + "\r\n";
  while (bytes.size() < size) bytes += line;
  settings::write_whole_file(f, bytes);
  return f;
}

settings::KeySaver::KeyValues tick_values() {
  settings::KeySaver::KeyValues kv;
  for (int i = 0; i < 4; ++i) kv.emplace_back(keys()[static_cast<std::size_t>(i)], "value");
  return kv;
}

void tick(benchmark::State& st, std::size_t size) {
  Dir d;
  const std::string f = padded_file(d, size);
  settings::KeySaver saver;
  const auto kv = tick_values();
  saver.save(f, kv);
  for (auto _ : st) benchmark::DoNotOptimize(saver.save(f, kv));
}
void Tick50_tessaro(benchmark::State& st) { tick(st, 50u << 20); }
void TickSmall_baseline(benchmark::State& st) { tick(st, 0); }
BENCHMARK(Tick50_tessaro)->Name("tick, nothing changed: 50 MB file vs small file/tessaro")->Unit(benchmark::kMicrosecond);
BENCHMARK(TickSmall_baseline)->Name("tick, nothing changed: 50 MB file vs small file/baseline")->Unit(benchmark::kMicrosecond);

void OldTick50_baseline(benchmark::State& st) {
  Dir d;
  const std::string f = padded_file(d, 50u << 20);
  const auto kv = tick_values();
  for (auto _ : st)
    for (const auto& [k, v] : kv) settings::write_key(f, k, v);
}
BENCHMARK(Tick50_tessaro)->Name("tick, nothing changed, 50 MB file: saver vs four write_key/tessaro")->Unit(benchmark::kMicrosecond);
BENCHMARK(OldTick50_baseline)->Name("tick, nothing changed, 50 MB file: saver vs four write_key/baseline")->Unit(benchmark::kMillisecond);

void Read_tessaro(benchmark::State& st) {
  Dir d;
  const std::string f = d.path + "/configure.ini";
  fill(f);
  for (auto _ : st)
    for (int i = 0; i < 4; ++i) benchmark::DoNotOptimize(settings::read_key(f, keys()[i]));
}
BENCHMARK(Read_tessaro)->Name("read 4 keys/tessaro")->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return run_with_ratios(argc, argv, false); }
