#pragma once
// Routes of the demo back office on a cpp-httplib server.

#include <httplib.h>

#include <memory>
#include <string>

#include "state.h"

namespace demo {

struct Options {
  int port = 0;
  int theme = 1;             // which ThemeN$ variant the login page uses (1-4)
  unsigned seed = 0;         // 0: a random seed
  std::string captcha;       // fixed captcha code; empty: a new random code per picture
  std::string user = "demo";
  std::string password = "demo123";
  std::string maker_link;    // address in the notice page; empty: http://demo.example.com:PORT/
  size_t max_field = 65536;  // longest accepted form value, in bytes
};

class BackOffice {
 public:
  explicit BackOffice(Options options);
  // Registers every page on server (call before listening).
  void install(httplib::Server& server);
  // The port actually bound (for the default maker link).
  void set_port(int port) { port_ = port; }
  Store& store() { return store_; }

 private:
  Options opt_;
  Store store_;
  int port_ = 0;

  std::string session_id(const httplib::Request& req);
  std::string ensure_session(const httplib::Request& req, httplib::Response& res);
  bool logged_in(const httplib::Request& req);

  void login_get(const httplib::Request& req, httplib::Response& res);
  void login_post(const httplib::Request& req, const std::string& body, httplib::Response& res);
  void captcha(const httplib::Request& req, httplib::Response& res);
  void add_post(const httplib::Request& req, const std::string& body, httplib::Response& res);
};

}  // namespace demo
