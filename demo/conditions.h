#pragma once
// How the demo's line and server behave, apart from its pages: answers delayed by a
// latency with jitter, posts refused when they follow the session's previous one too
// closely, and faults that tests arm for chosen pages (an error page, a page that never
// finishes, the session expired). /demo/ pages are never delayed or faulted.

#include <httplib.h>

#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace demo {

class BackOffice;

struct Fault {
  enum class Kind { error, hang, expire };
  Kind kind = Kind::error;
  std::string path;   // requests whose path ends with it, in any case
  int after = 0;      // matching requests let through first
  int count = 1;      // faults to give (0: every later matching request)
};

class Conditions {
 public:
  Conditions(BackOffice& office, int latency_ms, int jitter_ms, int min_post_interval_ms);
  ~Conditions();

  // The pre-routing handler and the /demo/ routes that set these at run time:
  // POST /demo/latency (latency, jitter, min_post_interval) and POST /demo/fault
  // (kind=error|hang|expire, path, after, count; kind=none clears every fault).
  void install(httplib::Server& server);
  // Clears the faults and lets every hanging answer end (POST /demo/reset).
  void reset();

  std::string json();
  std::string state_html();

 private:
  httplib::Server::HandlerResponse before_route(const httplib::Request& req, httplib::Response& res);
  int next_delay();

  BackOffice& office_;
  std::mutex mu_;
  int latency_ms_ = 0;
  int jitter_ms_ = 0;
  int min_post_interval_ms_ = 0;
  std::mt19937 rng_;
  std::vector<Fault> faults_;
  std::map<std::string, long long> last_post_ms_;  // per session
  int refused_posts_ = 0;
  std::vector<std::string> faulted_;  // "kind path" per fault given, in order
  std::atomic<unsigned> generation_{0};  // a hanging answer ends when this changes
  std::atomic<long long> requests_{0};   // page requests seen since the start (never reset)
  std::atomic<long long> answered_{0};   // and answered
};

}  // namespace demo
