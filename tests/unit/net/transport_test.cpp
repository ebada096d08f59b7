// Where requests go: port 80 without a scheme, TLS with certificate checks on a given
// port, and the HTTP proxy.
#ifndef CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_OPENSSL_SUPPORT
#endif
#include <httplib.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <chrono>
#include <thread>

#include "net/http.h"
#include "raw_server.h"

using test_net::http_response;
using test_net::RawRequest;
using test_net::RawServer;

namespace {

// A self-signed certificate for localhost / 127.0.0.1, made once per run.
struct TestCertificate {
  std::filesystem::path dir;
  std::string cert;
  std::string key;
  bool ok = false;
  TestCertificate() {
    char tmpl[] = "/tmp/tessaro-net-tls-XXXXXX";
    if (!mkdtemp(tmpl)) return;
    dir = tmpl;
    cert = (dir / "cert.pem").string();
    key = (dir / "key.pem").string();
    std::string cmd = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost"
                      " -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout " +
                      key + " -out " + cert + " >/dev/null 2>&1";
    ok = std::system(cmd.c_str()) == 0;
  }
  ~TestCertificate() { std::filesystem::remove_all(dir); }
};

TestCertificate& certificate() {
  static TestCertificate c;
  return c;
}

struct Seen {
  std::mutex mutex;
  std::string target;
  std::string host;
  int hits = 0;
};

}  // namespace

TEST(Transport, AddressWithoutSchemeGoesToPort80OverHttp) {
  RawServer server([](const RawRequest&) { return http_response("200 OK", "", "on 80"); }, 80);
  if (!server.ok()) GTEST_SKIP() << "port 80 cannot be bound here";
  EXPECT_EQ(net::fetch_page_text("127.0.0.1/notice/xzrj.htm?v=2"), "on 80");
  auto req = server.requests().at(0);
  EXPECT_EQ(req.request_line(), "GET /notice/xzrj.htm?v=2 HTTP/1.1");
  EXPECT_EQ(req.value("Host"), "127.0.0.1");
  EXPECT_EQ(req.value("Referer"), "127.0.0.1/notice/xzrj.htm?v=2");
}

TEST(Transport, HttpsWithPortAndQueryConnectsSecurely) {
  ASSERT_TRUE(certificate().ok);
  httplib::SSLServer server(certificate().cert.c_str(), certificate().key.c_str());
  ASSERT_TRUE(server.is_valid());
  Seen seen;
  server.Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard lock(seen.mutex);
    seen.target = req.target;
    seen.host = req.get_header_value("Host");
    ++seen.hits;
    res.set_content("secure body", "text/plain");
  });
  if (!server.bind_to_port("127.0.0.1", 8443)) GTEST_SKIP() << "port 8443 in use";
  std::thread runner([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  // Certificate checks are on: an unknown issuer fails.
  net::HttpRequest untrusted;
  untrusted.address = "https://localhost:8443/check?q=0";
  EXPECT_EQ(net::http_request(untrusted), "");

  net::set_extra_ca_file(certificate().cert);
  net::HttpRequest r;
  r.address = "HTTPS://localhost:8443/pay/do.aspx?q=1&r=%D6%D0";
  std::string body = net::http_request(r);
  net::set_extra_ca_file("");

  server.stop();
  runner.join();
  EXPECT_EQ(body, "secure body");
  EXPECT_EQ(seen.hits, 1);
  EXPECT_EQ(seen.target, "/pay/do.aspx?q=1&r=%D6%D0");
  EXPECT_EQ(seen.host, "localhost:8443");
}

TEST(Transport, HttpsNeverRedirectsToPlainHttp) {
  ASSERT_TRUE(certificate().ok);
  RawServer plain([](const RawRequest&) { return http_response("200 OK", "", "plain"); });
  ASSERT_TRUE(plain.ok());
  httplib::SSLServer server(certificate().cert.c_str(), certificate().key.c_str());
  server.Get("/up", [&](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(plain.base() + "/down");
  });
  int port = server.bind_to_any_port("127.0.0.1");
  std::thread runner([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  net::set_extra_ca_file(certificate().cert);
  net::HttpRequest r;
  r.address = "https://localhost:" + std::to_string(port) + "/up";
  std::string body = net::http_request(r);
  net::set_extra_ca_file("");
  server.stop();
  runner.join();
  EXPECT_NE(body, "plain");
  EXPECT_EQ(plain.request_count(), 0u);
  EXPECT_EQ(r.location, plain.base() + "/down");
}

TEST(Transport, ProxyReceivesTheRequestInAbsoluteForm) {
  RawServer proxy([](const RawRequest&) { return http_response("200 OK", "", "via proxy"); });
  ASSERT_TRUE(proxy.ok());
  net::HttpRequest r;
  r.address = "shop.example.invalid/list.aspx?page=2";
  r.use_proxy = true;
  r.proxy = "127.0.0.1:" + std::to_string(proxy.port());
  EXPECT_EQ(net::http_request(r), "via proxy");
  auto req = proxy.requests().at(0);
  EXPECT_EQ(req.request_line(), "GET http://shop.example.invalid/list.aspx?page=2 HTTP/1.1");
  EXPECT_EQ(req.value("Host"), "shop.example.invalid");

  // Without the flag the request goes direct.
  RawServer target([](const RawRequest&) { return http_response("200 OK", "", "direct"); });
  ASSERT_TRUE(target.ok());
  net::HttpRequest direct;
  direct.address = target.base() + "/x";
  direct.proxy = r.proxy;
  EXPECT_EQ(net::http_request(direct), "direct");
  EXPECT_EQ(proxy.request_count(), 1u);
}
