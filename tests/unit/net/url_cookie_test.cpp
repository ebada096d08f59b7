// URL, header-value, user-agent and cookie-jar helpers.
#include <gtest/gtest.h>

#include "net/http.h"

using net::header_value;
using net::merge_cookies;
using net::url_host;
using net::url_path;
using net::url_port;

TEST(UrlHelpers, HostPortAndPathOfTypicalAddresses) {
  EXPECT_EQ(url_host("www.Shop.com/a/b.aspx?x=1"), "www.shop.com");
  EXPECT_EQ(url_port("www.Shop.com/a/b.aspx?x=1"), 80);
  EXPECT_EQ(url_path("www.Shop.com/a/b.aspx?x=1"), "/a/b.aspx?x=1");

  EXPECT_EQ(url_host("HTTPS://Pay.Example.com:8443/p?q=1&r=2"), "pay.example.com");
  EXPECT_EQ(url_host("HTTPS://Pay.Example.com:8443/p?q=1&r=2", true), "pay.example.com:8443");
  EXPECT_EQ(url_port("HTTPS://Pay.Example.com:8443/p?q=1&r=2"), 8443);
  EXPECT_EQ(url_path("HTTPS://Pay.Example.com:8443/p?q=1&r=2"), "/p?q=1&r=2");

  EXPECT_EQ(url_port("https://secure.example.com"), 443);
  EXPECT_EQ(url_path("https://secure.example.com"), "/");
  EXPECT_EQ(url_port("http://a.example.com:81"), 81);
  EXPECT_EQ(url_path("http://a.example.com:81"), "/");
  EXPECT_EQ(url_path("http://a.example.com?x=1"), "/");
}

TEST(UrlHelpers, AnHttpAddressInsideTheQueryDoesNotNameTheHost) {
  EXPECT_EQ(url_host("shop.example.com/go?to=http://other.example.org/x"), "shop.example.com");
  EXPECT_EQ(url_path("shop.example.com/go?to=http://other.example.org/x"),
            "/go?to=http://other.example.org/x");
}

TEST(HeaderValue, TextAfterTheFirstColonTrimmed) {
  EXPECT_EQ(header_value("Location:  http://a.com/x  "), "http://a.com/x");
  EXPECT_EQ(header_value("no colon here"), "");
  EXPECT_EQ(header_value("X:"), "");
}

TEST(UserAgent, RulesForTheAgentText) {
  EXPECT_EQ(net::user_agent_for(""), net::kDefaultUserAgent);
  EXPECT_EQ(net::user_agent_for("Referer: x"), net::kDefaultUserAgent);
  EXPECT_EQ(net::user_agent_for("user-agent:  Bot/2 \r\nAccept: */*"), "Bot/2");
  // One line without a line break: the value of the whole text.
  EXPECT_EQ(net::user_agent_for("User-Agent: Bot/1.0"), "Bot/1.0");
  // The last of several lines: the value of the whole text after its first colon, cut at
  // the line break so that it cannot add header lines.
  EXPECT_EQ(net::user_agent_for("Referer: r\r\nUser-Agent: Bot/3"), "r");
}

TEST(MergeCookies, ReceivedReplaceAndDeletedDrop) {
  std::string jar = "a=1; b=2";
  EXPECT_EQ(merge_cookies(jar, "b=3; c=deleted"), "b=3; a=1");
  EXPECT_EQ(jar, "b=3; a=1");
}

TEST(MergeCookies, SpacesDuplicatesAndEmptyTexts) {
  std::string jar = " x = 1 ; y=2;";
  EXPECT_EQ(merge_cookies(jar, ""), "x=1; y=2");
  jar = "a=1; a=1; b=2";
  EXPECT_EQ(merge_cookies(jar, "c=3; c=3"), "c=3; a=1; b=2");
  jar = "";
  EXPECT_EQ(merge_cookies(jar, ""), "");
  jar = "flag; a=1";
  // A piece without "=" is named by its whole text.
  EXPECT_EQ(merge_cookies(jar, "flag=on"), "flag=on; a=1");
  jar = "s=1";
  EXPECT_EQ(merge_cookies(jar, "s=deleted"), "");
}
