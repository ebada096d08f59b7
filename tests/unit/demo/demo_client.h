#pragma once
// A plain HTTP client of the demo back office for its tests.

#include <httplib.h>

#include <cctype>
#include <cstdio>
#include <string>

namespace demotest {

// A client that keeps the ASP.NET_SessionId cookie, like a browser.
class Browser {
 public:
  explicit Browser(int port) : client_("127.0.0.1", port) { client_.set_read_timeout(10); }
  httplib::Result get(const std::string& path) { return keep(client_.Get(path.c_str(), headers())); }
  httplib::Result post(const std::string& path, const std::string& body,
                       const std::string& type = "application/x-www-form-urlencoded") {
    return keep(client_.Post(path.c_str(), headers(), body, type.c_str()));
  }
  bool login(int theme, const std::string& code, const std::string& user = "demo",
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

inline std::string enc(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      char buf[4];
      snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

}  // namespace demotest
