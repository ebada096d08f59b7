#pragma once
// Blocking HTTP/HTTPS client (libcurl easy interface), with the header defaults,
// cookie bookkeeping, proxy and redirect control that the old WinInet routine had.
// All texts are narrow (GBK) byte strings; bodies are raw bytes.

#include <string>
#include <string_view>

namespace net {

// The eleven parameters of one request, in their old order. A caller fills the "in"
// fields, passes the object, and reads the "out" fields afterwards; "in/out" fields
// are read and then rewritten by the call, as the old by-reference parameters were.
struct HttpRequest {
  // 1, in: full URL; "http://" is assumed when no scheme is given.
  std::string address;
  // 2, in: 1 = POST; any other value = GET (a value other than 0 still sends the form
  // bytes as body).
  int method = 0;
  // 3, in: POST body as text.
  std::string form_text;
  // 4, in/out: value of the Cookie header to send; in cookie-jar mode also the jar
  // into which received cookies are merged (merge_cookies).
  std::string cookies;
  // 4a, in: cookie-jar mode: the process cookie store is bypassed (nothing sent from
  // it, nothing stored into it).
  bool cookie_jar = false;
  // 5, out: name=value pairs of this response's Set-Cookie lines joined with "; ".
  std::string received_cookies;
  // 6, in/out: request header lines separated by "\r\n"; the default Referer, Accept,
  // Accept-Language, Content-Type and Cookie lines are appended to this very text.
  std::string extra_headers;
  // 7, in/out: value of the response's Location line; when the response has none
  // and the field is empty, the complete response header text.
  std::string location;
  // 8, in: do not follow redirects.
  bool no_redirect = false;
  // 9, in/out: POST body as bytes; when empty it is filled with form_text.
  std::string form_bytes;
  // 10, in: proxy "host:port", used for http:// requests (the old "http=" proxy
  // list); https requests go direct.
  std::string proxy;
  // 10a, in: use the proxy.
  bool use_proxy = false;
  // 11, out: raw response header text of the final response, lines ended by "\r\n"
  // (at most 5000 bytes; longer headers leave 5000 blanks here and no Location or
  // Set-Cookie line is seen).
  std::string response_headers;
};

// Default user agent when the extra headers name none.
extern const std::string kDefaultUserAgent;

// Performs one request and returns the response body (empty when the request could
// not be made). Follows redirects (at most 20) unless no_redirect. Blocks the
// calling thread; see set_http_timeouts for the time-outs.
//
// Outside cookie-jar mode one cookie store is kept for the whole process: cookies
// set by responses are sent again to their sites by later requests.
std::string http_request(HttpRequest& request);

// http_request, then the body is converted from UTF-8 to GBK when the bytes "utf-8"
// start at a 1-based position below 500 of the body, or "utf-8" occurs anywhere in
// the response headers (case-insensitive).
std::string http_request_utf8(HttpRequest& request);

// A GET with only the address given; the body bytes as text, not converted.
std::string fetch_page_text(const std::string& address);

// The user agent a request sends for these extra headers: the text between
// "User-Agent:" (case-insensitive) and the next "\r\n", trimmed; when that is empty,
// header_value of the whole header text; without "User-Agent:" the default. Cut at
// the first CR or LF, so it can never add a header line.
std::string user_agent_for(std::string_view extra_headers);

// Host of an address, lower-cased, with or without ":port".
std::string url_host(std::string_view address, bool keep_port = false);
// Port of an address: the number after the host's last ":", else 443 for addresses
// starting with "https" and 80 otherwise.
int url_port(std::string_view address);
// Path of an address from the first "/" after the host (query included); "/" when
// there is none.
std::string url_path(std::string_view address);

// Text after the first colon, trimmed of spaces; empty without a colon.
std::string header_value(std::string_view line);

// Merges received cookies into the jar (received pieces first, jar pieces of other
// names after them, pieces ending in "=deleted" dropped, exact duplicates removed).
// The jar receives the result, which is also returned.
std::string merge_cookies(std::string& jar, std::string_view received);

// Time-outs of every request. Defaults: connect 15 s; abort when less than 1 byte/s
// arrives for 30 s (covers a server that accepts and never answers); whole request
// 300 s. 0 disables a limit.
struct HttpTimeouts {
  long connect_ms = 15000;
  long low_speed_seconds = 30;
  long total_ms = 300000;
};
void set_http_timeouts(const HttpTimeouts& timeouts);
HttpTimeouts http_timeouts();

// A PEM file of CA certificates trusted for https in place of the system bundle
// file (the system certificate directory still applies); empty: the system bundle.
// For private installations and tests.
void set_extra_ca_file(const std::string& pem_path);

// Forgets every cookie of the process cookie store.
void clear_process_cookies();

}  // namespace net
