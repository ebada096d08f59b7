// http_request against a raw local server: request headers, cookies, redirects,
// response-header rules, bad servers.
#include <gtest/gtest.h>

#include <chrono>

#include "net/http.h"
#include "raw_server.h"
#include "text/text.h"

using test_net::http_response;
using test_net::RawRequest;
using test_net::RawServer;

namespace {

RawServer ok_server(const std::string& headers = "", const std::string& body = "hello") {
  return RawServer([=](const RawRequest&) { return http_response("200 OK", headers, body); });
}

}  // namespace

TEST(HttpRequest, GetCarriesTheDefaultHeadersInTheirOrder) {
  RawServer server([](const RawRequest&) { return http_response("200 OK", "X-A: 1\r\n", "body"); });
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/page.aspx?id=7";
  std::string body = net::http_request(r);
  EXPECT_EQ(body, "body");

  const std::string expected_headers = "Referer: " + r.address +
                                       "\r\nAccept: */*\r\nAccept-Language: zh-cn"
                                       "\r\nContent-Type: application/x-www-form-urlencoded";
  EXPECT_EQ(r.extra_headers, expected_headers);

  auto req = server.requests().at(0);
  EXPECT_EQ(req.request_line(), "GET /page.aspx?id=7 HTTP/1.1");
  EXPECT_EQ(req.values("Referer"), std::vector<std::string>{r.address});
  EXPECT_EQ(req.value("Accept"), "*/*");
  EXPECT_EQ(req.value("Accept-Language"), "zh-cn");
  EXPECT_EQ(req.value("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(req.values("User-Agent"), std::vector<std::string>{net::kDefaultUserAgent});
  EXPECT_EQ(req.value("Cache-Control"), "no-cache");
  EXPECT_TRUE(req.values("Cookie").empty());

  // Raw headers of the response, CR LF lines, and the whole text as location.
  EXPECT_EQ(r.response_headers.rfind("HTTP/1.1 200 OK\r\nX-A: 1\r\n", 0), 0u);
  EXPECT_EQ(r.response_headers.substr(r.response_headers.size() - 4), "\r\n\r\n");
  EXPECT_EQ(r.location, r.response_headers);
  EXPECT_EQ(r.received_cookies, "");
}

TEST(HttpRequest, CallersRefererIsKeptOnlyWhenSpelledExactly) {
  auto server = ok_server();
  ASSERT_TRUE(server.ok());
  net::HttpRequest kept;
  kept.address = server.base() + "/a";
  kept.extra_headers = "Referer: http://from.example.com/";
  net::http_request(kept);
  EXPECT_EQ(kept.extra_headers.rfind("Referer: http://from.example.com/\r\nAccept: */*", 0), 0u);

  net::HttpRequest lower;
  lower.address = server.base() + "/b";
  lower.extra_headers = "referer: http://from.example.com/";
  net::http_request(lower);
  EXPECT_EQ(lower.extra_headers.rfind("referer: http://from.example.com/\r\nReferer: " +
                                          lower.address + "\r\n",
                                      0),
            0u);

  auto reqs = server.requests();
  ASSERT_EQ(reqs.size(), 2u);
  EXPECT_EQ(reqs[0].values("Referer"), std::vector<std::string>{"http://from.example.com/"});
  // Both lines reach the server.
  EXPECT_EQ(reqs[1].values("Referer").size(), 2u);
}

TEST(HttpRequest, OneUserAgentLineWithoutLineBreakSetsTheAgent) {
  auto server = ok_server();
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/";
  r.extra_headers = "User-Agent: TessaroBot/1.0";
  net::http_request(r);
  EXPECT_EQ(server.requests().at(0).values("User-Agent"),
            std::vector<std::string>{"TessaroBot/1.0"});
}

TEST(HttpRequest, MalformedCallerHeaderLinesAreNotSent) {
  auto server = ok_server();
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/";
  r.extra_headers = "no colon line\r\n: empty name\r\nBad Name: x\r\nX-Lone: a\rX-Split: b\r\nX-Empty:";
  net::http_request(r);
  auto req = server.requests().at(0);
  EXPECT_EQ(req.head.find("no colon line"), std::string::npos);
  EXPECT_EQ(req.head.find(": empty name"), std::string::npos);
  EXPECT_EQ(req.head.find("Bad Name"), std::string::npos);
  EXPECT_EQ(req.value("X-Lone"), "a");
  EXPECT_EQ(req.value("X-Split"), "b");
  EXPECT_EQ(req.values("X-Empty").size(), 1u);
}

TEST(HttpRequest, PostFillsTheFormBytesAndSendsThem) {
  auto server = ok_server();
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/post.aspx";
  r.method = 1;
  r.form_text = "a=1&b=%D6%D0";
  net::http_request(r);
  EXPECT_EQ(r.form_bytes, r.form_text);

  net::HttpRequest bytes;
  bytes.address = server.base() + "/post.aspx";
  bytes.method = 1;
  bytes.form_text = "ignored";
  bytes.form_bytes = std::string("x\0y", 3);
  net::http_request(bytes);

  auto reqs = server.requests();
  ASSERT_EQ(reqs.size(), 2u);
  EXPECT_EQ(reqs[0].request_line(), "POST /post.aspx HTTP/1.1");
  EXPECT_EQ(reqs[0].body, "a=1&b=%D6%D0");
  EXPECT_EQ(reqs[0].value("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_TRUE(reqs[0].values("Expect").empty());
  EXPECT_EQ(reqs[1].body, std::string("x\0y", 3));
}

TEST(HttpRequest, SetCookieLinesGiveTheReceivedCookies) {
  RawServer server([](const RawRequest&) {
    return http_response("200 OK",
                         "Set-Cookie: flag\r\n"
                         "Set-Cookie:  sid=AB12 ; path=/; HttpOnly\r\n"
                         "Set-Cookie: c=deleted; expires=Thu, 01 Jan 1970 00:00:00 GMT\r\n",
                         "");
  });
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/";
  r.cookie_jar = true;
  r.cookies = "a=1; sid=old";
  r.received_cookies = "stale";
  net::http_request(r);
  // The line without ";" adds an empty piece.
  EXPECT_EQ(r.received_cookies, "; sid=AB12; c=deleted");
  // The empty piece survives the merge as a leading "; ", as the old jar text had it.
  EXPECT_EQ(r.cookies, "; sid=AB12; a=1");
  EXPECT_EQ(server.requests().at(0).values("Cookie"), std::vector<std::string>{"a=1; sid=old"});
}

TEST(HttpRequest, ProcessCookieStoreOutsideJarModeOnly) {
  net::clear_process_cookies();
  RawServer server([](const RawRequest& req) {
    if (req.request_line().find("/set") != std::string::npos) {
      return http_response("200 OK", "Set-Cookie: store=1; path=/\r\n", "");
    }
    if (req.request_line().find("/jarset") != std::string::npos) {
      return http_response("200 OK", "Set-Cookie: jaronly=1; path=/\r\n", "");
    }
    return http_response("200 OK", "", "");
  });
  ASSERT_TRUE(server.ok());
  auto get = [&](const std::string& path, bool jar, const std::string& cookies) {
    net::HttpRequest r;
    r.address = server.base() + path;
    r.cookie_jar = jar;
    r.cookies = cookies;
    net::http_request(r);
  };
  get("/set", false, "");
  get("/plain", false, "");
  get("/mixed", false, "own=2");
  get("/jar", true, "own=3");
  get("/jarset", true, "");
  get("/after", false, "");

  auto reqs = server.requests();
  ASSERT_EQ(reqs.size(), 6u);
  EXPECT_EQ(reqs[1].values("Cookie"), std::vector<std::string>{"store=1"});
  // Caller's cookies and the store's travel in one Cookie header.
  ASSERT_EQ(reqs[2].values("Cookie").size(), 1u);
  EXPECT_NE(reqs[2].value("Cookie").find("store=1"), std::string::npos);
  EXPECT_NE(reqs[2].value("Cookie").find("own=2"), std::string::npos);
  // Cookie-jar mode: nothing from the store, nothing into it.
  EXPECT_EQ(reqs[3].values("Cookie"), std::vector<std::string>{"own=3"});
  EXPECT_EQ(reqs[5].values("Cookie"), std::vector<std::string>{"store=1"});
  net::clear_process_cookies();
}

TEST(HttpRequest, TwoLocationLinesReportTheSecond) {
  RawServer server([](const RawRequest&) {
    return http_response("302 Found", "Location: /first\r\nLocation: /second\r\n", "moved");
  });
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/";
  r.no_redirect = true;
  EXPECT_EQ(net::http_request(r), "moved");
  EXPECT_EQ(r.location, "/second");
  EXPECT_EQ(server.request_count(), 1u);
}

TEST(HttpRequest, RedirectsAreFollowedAndOnlyTheFinalResponseCounts) {
  RawServer server([](const RawRequest& req) {
    if (req.request_line().find("/start") != std::string::npos) {
      return http_response("302 Found", "Location: /final\r\nSet-Cookie: hop=1\r\n",
                           "redirect body");
    }
    return http_response("200 OK", "X-Final: yes\r\n", "final body");
  });
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/start";
  r.cookie_jar = true;
  EXPECT_EQ(net::http_request(r), "final body");
  EXPECT_EQ(r.response_headers.rfind("HTTP/1.1 200 OK\r\nX-Final: yes\r\n", 0), 0u);
  EXPECT_EQ(r.location, r.response_headers);
  EXPECT_EQ(server.requests().at(1).request_line(), "GET /final HTTP/1.1");
}

TEST(HttpRequest, ALocationKeptWhenTheResponseHasNone) {
  auto server = ok_server();
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/";
  r.location = "previous";
  net::http_request(r);
  EXPECT_EQ(r.location, "previous");
}

TEST(HttpRequest, ARedirectLoopEnds) {
  RawServer server([](const RawRequest&) {
    return http_response("302 Found", "Location: /loop\r\n", "");
  });
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/loop";
  EXPECT_EQ(net::http_request(r), "");
  EXPECT_LE(server.request_count(), 22u);
  EXPECT_EQ(r.location, "/loop");
}

TEST(HttpRequest, HeadersOverTheBufferLeaveBlanks) {
  const std::string long_target = "/" + std::string(10 * 1024, 'x');
  RawServer server([&](const RawRequest&) {
    return http_response("302 Found", "Set-Cookie: k=v\r\nLocation: " + long_target + "\r\n",
                         "body");
  });
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/";
  r.no_redirect = true;
  r.cookie_jar = true;
  r.cookies = "a=1";
  EXPECT_EQ(net::http_request(r), "body");
  EXPECT_EQ(r.response_headers, std::string(5000, ' '));
  EXPECT_EQ(r.location, r.response_headers);
  EXPECT_EQ(r.received_cookies, "");
  EXPECT_EQ(r.cookies, "a=1");
}

TEST(HttpRequest, OddResponseHeaderLines) {
  RawServer server([](const RawRequest&) {
    return std::string(
        "HTTP/1.1 200 OK\r\n"
        "Set-Cookie:\r\n"
        "X-Location: Location:/odd\r\n"
        "Content-Location: /other\n"  // bare LF
        "Content-Length: 2\r\n"
        "Connection: close\r\n\r\nok");
  });
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/";
  EXPECT_EQ(net::http_request(r), "ok");
  // Each line containing "Location:" counts, the last one wins.
  EXPECT_EQ(r.location, "/other");
  EXPECT_NE(r.response_headers.find("Content-Location: /other\r\nContent-Length"),
            std::string::npos);
  EXPECT_EQ(r.received_cookies, "");
}

TEST(HttpRequest, AHeaderLineWithoutColonEndsTheResponse) {
  RawServer server([](const RawRequest&) {
    return std::string(
        "HTTP/1.1 200 OK\r\n"
        "garbage without colon\r\n"
        "Location: /x\r\n"
        "Content-Length: 2\r\n"
        "Connection: close\r\n\r\nok");
  });
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/";
  EXPECT_EQ(net::http_request(r), "");
  EXPECT_EQ(r.response_headers, std::string(5000, ' '));
  EXPECT_EQ(r.location, r.response_headers);
}

TEST(HttpRequest, AServerThatNeverAnswersTimesOut) {
  RawServer server([](const RawRequest&) { return std::optional<std::string>(); });
  ASSERT_TRUE(server.ok());
  net::HttpTimeouts saved = net::http_timeouts();
  net::set_http_timeouts({2000, 1, 0});
  net::HttpRequest r;
  r.address = server.base() + "/";
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(net::http_request(r), "");
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  net::set_http_timeouts(saved);
  EXPECT_LT(seconds, 20.0);
  EXPECT_EQ(r.response_headers, std::string(5000, ' '));
  server.stop();
}

TEST(HttpRequest, RefusedConnectionGivesAnEmptyBody) {
  int port;
  {
    RawServer gone(nullptr);
    ASSERT_TRUE(gone.ok());
    port = gone.port();
  }
  net::HttpRequest r;
  r.address = "http://127.0.0.1:" + std::to_string(port) + "/";
  EXPECT_EQ(net::http_request(r), "");
  EXPECT_EQ(net::fetch_page_text(r.address), "");
}

TEST(HttpRequest, BadAddressesMakeNoRequest) {
  net::HttpRequest r;
  r.address = "http://bad host\r\nX: y/";
  r.extra_headers = "keep";
  EXPECT_EQ(net::http_request(r), "");
  EXPECT_EQ(r.extra_headers, "keep");
  net::HttpRequest port;
  port.address = "http://127.0.0.1:99999/";
  EXPECT_EQ(net::http_request(port), "");
}

TEST(HttpRequest, LargeBodyIsReadWhole) {
  const std::size_t size = 100u << 20;
  std::string big(size, '\0');
  for (std::size_t i = 0; i < size; i += 4096) big[i] = static_cast<char>('a' + (i / 4096) % 26);
  RawServer server([&](const RawRequest&) { return http_response("200 OK", "", big); });
  ASSERT_TRUE(server.ok());
  net::HttpRequest r;
  r.address = server.base() + "/big";
  std::string body = net::http_request(r);
  ASSERT_EQ(body.size(), size);
  EXPECT_TRUE(body == big);
}

TEST(HttpRequestUtf8, BodyMarkerBelowByte500OrHeaderMarker) {
  const std::string chinese = "\xe4\xb8\xad\xe6\x96\x87";  // UTF-8
  const std::string chinese_gbk = text::utf8_to_gbk(chinese);
  auto page_with_marker_at = [&](std::size_t position) {  // 1-based
    return std::string(position - 1, ' ') + "utf-8" + chinese;
  };
  std::string body;
  std::string content_type = "text/html";
  RawServer server([&](const RawRequest&) {
    return http_response("200 OK", "Content-Type: " + content_type + "\r\n", body);
  });
  ASSERT_TRUE(server.ok());
  auto fetch = [&] {
    net::HttpRequest r;
    r.address = server.base() + "/";
    return net::http_request_utf8(r);
  };

  body = page_with_marker_at(499);
  EXPECT_EQ(fetch(), std::string(498, ' ') + "utf-8" + chinese_gbk);
  body = page_with_marker_at(500);
  EXPECT_EQ(fetch(), body);
  body = "<meta charset=UTF-8>" + chinese;  // upper case in the body does not count
  EXPECT_EQ(fetch(), body);
  content_type = "text/html; charset=UTF-8";
  EXPECT_EQ(fetch(), "<meta charset=UTF-8>" + chinese_gbk);
}

TEST(FetchPageText, BodyBytesUnconverted) {
  const std::string gbk = text::utf8_to_gbk("[友情标题1]标题[/友情标题1]");
  RawServer server([&](const RawRequest&) {
    return http_response("200 OK", "Content-Type: text/html; charset=utf-8\r\n", gbk);
  });
  ASSERT_TRUE(server.ok());
  EXPECT_EQ(net::fetch_page_text(server.base() + "/xzrj.htm"), gbk);
  EXPECT_EQ(server.requests().at(0).request_line(), "GET /xzrj.htm HTTP/1.1");
}
