#include "conditions.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <thread>

#include "backoffice.h"
#include "pages.h"
#include "util.h"

namespace demo {
namespace {

constexpr int kMaxHangMs = 300000;  // a hanging answer ends by itself after five minutes
constexpr const char* kTooFast = "操作太频繁，请稍后再试";

long long now_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool ends_with_nocase(const std::string& s, const std::string& tail) {
  if (tail.size() > s.size()) return false;
  return std::equal(tail.rbegin(), tail.rend(), s.rbegin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                std::tolower(static_cast<unsigned char>(b)); });
}

const char* kind_name(Fault::Kind k) {
  switch (k) {
    case Fault::Kind::error: return "error";
    case Fault::Kind::hang: return "hang";
    case Fault::Kind::expire: return "expire";
  }
  return "error";
}

int number(const FormData& form, const std::string& name, int fallback, int min, int max, bool& ok) {
  const std::string v = form.get(name);
  if (v.empty()) return fallback;
  char* end = nullptr;
  const long n = std::strtol(v.c_str(), &end, 10);
  if (*end != '\0' || n < min || n > max) {
    ok = false;
    return fallback;
  }
  return static_cast<int>(n);
}

}  // namespace

Conditions::Conditions(BackOffice& office, int latency_ms, int jitter_ms, int min_post_interval_ms)
    : office_(office),
      latency_ms_(latency_ms),
      jitter_ms_(jitter_ms),
      min_post_interval_ms_(min_post_interval_ms),
      rng_(std::random_device{}()) {}

Conditions::~Conditions() { ++generation_; }

int Conditions::next_delay() {
  std::lock_guard lock(mu_);
  if (latency_ms_ <= 0 && jitter_ms_ <= 0) return 0;
  int d = latency_ms_;
  if (jitter_ms_ > 0) d += std::uniform_int_distribution<int>(-jitter_ms_, jitter_ms_)(rng_);
  return std::max(0, d);
}

httplib::Server::HandlerResponse Conditions::before_route(const httplib::Request& req, httplib::Response& res) {
  using R = httplib::Server::HandlerResponse;
  if (req.path.rfind("/demo/", 0) == 0) return R::Unhandled;
  ++requests_;

  const int delay = next_delay();
  if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));

  // A fault armed for this page.
  std::optional<Fault::Kind> fault;
  {
    std::lock_guard lock(mu_);
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
      if (!ends_with_nocase(req.path, it->path)) continue;
      if (it->after > 0) {
        --it->after;
        break;
      }
      fault = it->kind;
      faulted_.push_back(std::string(kind_name(it->kind)) + " " + req.method + " " + req.path);
      if (it->count > 0 && --it->count == 0) faults_.erase(it);
      break;
    }
  }
  if (fault == Fault::Kind::expire) {
    // The session ends before the page is served: the page sends to the login form.
    const std::string id = office_.session_id(req);
    if (!id.empty()) office_.store().log_out(id);
  } else if (fault == Fault::Kind::error) {
    error_page(res, 500, message_page("500 服务器错误", "服务器处理请求时出错，请稍后再试。"));
    return R::Handled;
  } else if (fault == Fault::Kind::hang) {
    // The page starts and never finishes (until a reset or five minutes).
    const unsigned generation = generation_;
    std::atomic<unsigned>* current = &generation_;
    res.set_chunked_content_provider(kHtml, [generation, current](size_t offset, httplib::DataSink& sink) {
      if (offset == 0) {
        const std::string head = "<html><head><title>载入中</title></head><body><p>页面载入中……</p>";
        sink.write(head.data(), head.size());
        return true;
      }
      const long long until = now_ms() + kMaxHangMs;
      while (current->load() == generation && now_ms() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      sink.done();
      return true;
    });
    return R::Handled;
  }

  // Posts in quick succession are refused (the page tells so and shows itself again).
  if (req.method == "POST") {
    const std::string id = office_.session_id(req);
    std::lock_guard lock(mu_);
    const long long now = now_ms();
    if (min_post_interval_ms_ > 0 && !id.empty()) {
      auto it = last_post_ms_.find(id);
      const bool too_soon = it != last_post_ms_.end() && now - it->second < min_post_interval_ms_;
      last_post_ms_[id] = now;
      if (too_soon) {
        ++refused_posts_;
        res.set_content(std::string("<html><head><title>提示</title></head><body><script>alert('") + kTooFast +
                             "');location.replace(location.href);</script></body></html>",
                         kHtml);
        return R::Handled;
      }
    }
  }
  return R::Unhandled;
}

void Conditions::install(httplib::Server& server) {
  server.set_logger([this](const httplib::Request& req, const httplib::Response&) {
    if (req.path.rfind("/demo/", 0) != 0) ++answered_;
  });
  server.set_pre_routing_handler(
      [this](const httplib::Request& req, httplib::Response& res) { return before_route(req, res); });
  server.Post("/demo/latency", [this](const httplib::Request& req, httplib::Response& res) {
    std::string error;
    auto form = parse_form(req.body, error);
    bool ok = form.has_value();
    if (ok) {
      std::lock_guard lock(mu_);
      latency_ms_ = number(*form, "latency", latency_ms_, 0, 600000, ok);
      jitter_ms_ = number(*form, "jitter", jitter_ms_, 0, 600000, ok);
      min_post_interval_ms_ = number(*form, "min_post_interval", min_post_interval_ms_, 0, 600000, ok);
    }
    if (!ok) res.status = 400;
    res.set_content(json(), "application/json; charset=utf-8");
  });
  server.Post("/demo/fault", [this](const httplib::Request& req, httplib::Response& res) {
    std::string error;
    auto form = parse_form(req.body, error);
    bool ok = form.has_value();
    if (ok) {
      const std::string kind = form->get("kind");
      std::lock_guard lock(mu_);
      if (kind == "none") {
        faults_.clear();
      } else {
        Fault f;
        f.kind = kind == "hang" ? Fault::Kind::hang : kind == "expire" ? Fault::Kind::expire : Fault::Kind::error;
        ok = kind == "error" || kind == "hang" || kind == "expire";
        f.path = form->get("path");
        f.after = number(*form, "after", 0, 0, 1000000, ok);
        f.count = number(*form, "count", 1, 0, 1000000, ok);
        if (f.path.empty()) ok = false;
        if (ok) faults_.push_back(f);
      }
    }
    if (!ok) res.status = 400;
    res.set_content(json(), "application/json; charset=utf-8");
  });
}

void Conditions::reset() {
  std::lock_guard lock(mu_);
  faults_.clear();
  faulted_.clear();
  refused_posts_ = 0;
  last_post_ms_.clear();
  ++generation_;
}

std::string Conditions::json() {
  std::lock_guard lock(mu_);
  std::string faults;
  for (const Fault& f : faults_) {
    if (!faults.empty()) faults += ", ";
    faults += std::string("{\"kind\": \"") + kind_name(f.kind) + "\", \"path\": " + json_escape(f.path) +
              ", \"after\": " + std::to_string(f.after) + ", \"count\": " + std::to_string(f.count) + "}";
  }
  std::string given;
  for (const std::string& g : faulted_) given += (given.empty() ? "" : ", ") + json_escape(g);
  return "\"conditions\": {\"latency_ms\": " + std::to_string(latency_ms_) + ", \"jitter_ms\": " +
         std::to_string(jitter_ms_) + ", \"min_post_interval_ms\": " + std::to_string(min_post_interval_ms_) +
         ", \"refused_posts\": " + std::to_string(refused_posts_) + ", \"faults\": [" + faults +
         "], \"faulted\": [" + given + "], \"requests_seen\": " + std::to_string(requests_.load()) + "}";
}

std::string Conditions::state_html() {
  std::lock_guard lock(mu_);
  return "<h2>线路</h2><p>延迟 " + std::to_string(latency_ms_) + " 毫秒，抖动 ±" + std::to_string(jitter_ms_) +
         " 毫秒；两次提交最短间隔 " + std::to_string(min_post_interval_ms_) + " 毫秒（已拒绝 " +
         std::to_string(refused_posts_) + " 次）；待触发的故障 " + std::to_string(faults_.size()) + " 个。</p>";
}

}  // namespace demo
