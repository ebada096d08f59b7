#pragma once
// A plain HTTP client of the demo back office for its tests, readers of its pages, and a
// fixture sharing one demo server per suite.

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "demo_process.h"

namespace demotest {

// A client that keeps the ASP.NET_SessionId cookie, like a browser.
class Browser {
 public:
  explicit Browser(int port, int read_timeout_s = 10) : port_(port), client_("127.0.0.1", port) {
    client_.set_read_timeout(read_timeout_s);
  }
  httplib::Result get(const std::string& path) { return keep(client_.Get(path.c_str(), headers())); }
  httplib::Result post(const std::string& path, const std::string& body,
                       const std::string& type = "application/x-www-form-urlencoded") {
    return keep(client_.Post(path.c_str(), headers(), body, type.c_str()));
  }
  // What arrives of a page within seconds (for a page that never ends).
  std::string partial(const std::string& path, int seconds) {
    httplib::Client h("127.0.0.1", port_);
    h.set_read_timeout(seconds);
    std::string body;
    h.Get(path.c_str(), headers(), [&](const char* data, size_t n) {
      body.append(data, n);
      return true;
    });
    return body;
  }
  bool login(int theme = 1, const std::string& code = "1234", const std::string& user = "demo",
             const std::string& password = "demo123") {
    get("/Login.aspx");
    get("/Handler.ashx");
    auto r = post("/Login.aspx", "UserName=" + user + "&Password2=" + password + "&Theme" + std::to_string(theme) +
                                     "%24txtCheckCode=" + code + "&Theme" + std::to_string(theme) +
                                     "%24btnLogin=%E7%99%BB+%E5%BD%95");
    return r && r->status == 302 && r->get_header_value("Location") == "/Index.aspx";
  }
  std::string cookie;

 private:
  int port_;
  httplib::Client client_;
  httplib::Headers headers() const {
    return cookie.empty() ? httplib::Headers{} : httplib::Headers{{"Cookie", cookie}};
  }
  httplib::Result keep(httplib::Result r) {
    if (r && r->has_header("Set-Cookie")) {
      std::string c = r->get_header_value("Set-Cookie");
      cookie = c.substr(0, c.find(';'));
    }
    return r;
  }
};

inline std::string enc(const std::string& s) { return testsupport::url_encode(s); }

inline int count(const std::string& hay, const std::string& needle) {
  int n = 0;
  for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
  return n;
}

inline bool has(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// The first group of every match of pattern in text.
inline std::vector<std::string> all(const std::string& text, const std::string& pattern) {
  std::vector<std::string> out;
  std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    out.push_back((*it)[1].str());
  return out;
}

// The page's view state, "" when it has none.
inline std::string view_state(const std::string& page) {
  std::smatch m;
  static const std::regex re("name=\"__VIEWSTATE\" id=\"__VIEWSTATE\" value=\"([^\"]*)\"");
  return std::regex_search(page, m, re) ? m[1].str() : std::string();
}

// The text of the page's alert() message box, "" when it shows none.
inline std::string alert_of(const std::string& page) {
  std::smatch m;
  static const std::regex re("alert\\(\"([^\"]*)\"\\);");
  return std::regex_search(page, m, re) ? m[1].str() : std::string();
}

// Tests sharing one demo server per suite: the suite's SetUpTestSuite starts it through
// start_demo(arguments); each test begins with what it recorded forgotten.
class ServerSuite : public ::testing::Test {
 protected:
  static void start_demo(const std::vector<std::string>& args) {
    demo_ = std::make_unique<testsupport::DemoProcess>();
    ASSERT_TRUE(demo_->start(args));
  }
  static void TearDownTestSuite() { demo_.reset(); }
  void SetUp() override {
    ASSERT_TRUE(demo_ && demo_->port() > 0);
    demo_->post("/demo/reset", "");
  }

  static inline std::unique_ptr<testsupport::DemoProcess> demo_;
};

}  // namespace demotest
