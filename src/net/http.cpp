// HTTP client over libcurl's blocking easy interface.
#include "net/http.h"

#include <curl/curl.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "text/text.h"

namespace net {

const std::string kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; QX7TB; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

namespace {

constexpr std::size_t kHeaderBufferSize = 5000;
constexpr long kMaxRedirects = 20;
constexpr long kReadChunk = 1024;

// ---- process-wide state -------------------------------------------------------

struct Globals {
  std::mutex mutex;  // guards timeouts and ca_file
  HttpTimeouts timeouts;
  std::string ca_file;
  CURLSH* share = nullptr;
  std::mutex share_locks[CURL_LOCK_DATA_LAST];
};

void lock_share(CURL*, curl_lock_data data, curl_lock_access, void* user) {
  static_cast<Globals*>(user)->share_locks[data].lock();
}
void unlock_share(CURL*, curl_lock_data data, void* user) {
  static_cast<Globals*>(user)->share_locks[data].unlock();
}

// Never destroyed: handles may still be in use while statics go away at exit.
Globals& globals() {
  static Globals* g = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    auto* made = new Globals;
    made->share = curl_share_init();
    if (made->share) {
      curl_share_setopt(made->share, CURLSHOPT_LOCKFUNC, lock_share);
      curl_share_setopt(made->share, CURLSHOPT_UNLOCKFUNC, unlock_share);
      curl_share_setopt(made->share, CURLSHOPT_USERDATA, made);
      curl_share_setopt(made->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    return made;
  }();
  return *g;
}

// ---- small text helpers --------------------------------------------------------

bool is_upper_ascii(char c) { return c >= 'A' && c <= 'Z'; }

// ASCII letters lower-cased at character starts only, so GBK trail bytes stay intact.
std::string lower_ascii(std::string_view s) {
  std::string out(s);
  std::size_t i = 0;
  while (i < out.size()) {
    std::size_t len = text::char_length_at(out, i);
    if (len == 1 && is_upper_ascii(out[i])) out[i] = static_cast<char>(out[i] - 'A' + 'a');
    i += len == 0 ? 1 : len;
  }
  return out;
}

bool starts_with_https(std::string_view address) {
  return lower_ascii(address.substr(0, 5)) == "https";
}

bool contains(std::string_view hay, std::string_view needle, bool case_sensitive = true) {
  return text::find_at_boundary(hay, needle, 0, case_sensitive) != std::string_view::npos;
}

// ---- one transfer ----------------------------------------------------------------

struct Transfer {
  CURL* curl = nullptr;
  std::string body;
  bool reserved = false;
  std::string headers;   // header block of the latest response
  bool headers_overflow = false;
  bool headers_complete = false;  // its closing blank line arrived
};

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::size_t n = size * count;
  if (!t->reserved) {
    t->reserved = true;
    curl_off_t length = -1;
    if (curl_easy_getinfo(t->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length > 0 && length < (curl_off_t{1} << 30)) {
      t->body.reserve(static_cast<std::size_t>(length));
    }
  }
  t->body.append(data, n);
  return n;
}

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  std::size_t n = size * count;
  std::string_view line(data, n);
  // Every response of a redirect chain (and every interim 1xx) starts with its status
  // line; only the last block is kept, as the old library reported only the final one.
  if (line.substr(0, 5) == "HTTP/") {
    t->headers.clear();
    t->headers_overflow = false;
    t->headers_complete = false;
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.empty()) t->headers_complete = true;
  if (t->headers_overflow) return n;
  if (t->headers.size() + line.size() + 2 > kHeaderBufferSize) {
    t->headers_overflow = true;
    return n;
  }
  t->headers.append(line);
  t->headers.append("\r\n");
  return n;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct UrlDeleter {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

// Header lines of the completed text as libcurl takes them: split on any CR or LF, empty
// and malformed lines (no name before the colon, white space or controls in the name)
// dropped. "Name:" with an empty value is sent as such ("Name;" tells libcurl so).
void add_header_lines(std::string_view text, std::string_view skip_line,
                      std::unique_ptr<curl_slist, SlistDeleter>& list) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line == skip_line) continue;
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) continue;
    std::string_view name = line.substr(0, colon);
    bool good = true;
    for (unsigned char c : name) {
      if (c <= 0x20 || c == 0x7f) good = false;
    }
    if (!good) continue;
    std::string entry;
    if (header_value(line).empty()) {
      entry.assign(name);
      entry.push_back(';');
    } else {
      entry.assign(line);
    }
    curl_slist* grown = curl_slist_append(list.get(), entry.c_str());
    if (grown) {
      list.release();
      list.reset(grown);
    }
  }
}

std::string without_line_breaks(std::string_view s) {
  std::size_t cut = s.find_first_of("\r\n");
  return std::string(s.substr(0, cut));
}

}  // namespace

// ---- URL and cookie helpers ------------------------------------------------------

std::string url_host(std::string_view address, bool keep_port) {
  std::string a = lower_ascii(address);
  if (a.empty() || a.back() != '/') a.push_back('/');
  std::string host;
  auto after = [&](std::string_view scheme) {
    std::size_t from = scheme.size();
    std::size_t slash = a.find('/', from);
    return a.substr(from, slash - from);
  };
  if (a.rfind("https://", 0) == 0) {
    host = after("https://");
  } else {
    // Only a leading "http://" names the scheme; an "http://" inside the query of an
    // address without scheme belongs to the path.
    if (a.rfind("http://", 0) != 0) a.insert(0, "http://");
    host = after("http://");
  }
  if (!keep_port) {
    std::size_t colon = host.find(':');
    if (colon != std::string::npos) host.erase(colon);
  }
  return host;
}

int url_port(std::string_view address) {
  std::string host = url_host(address, true);
  std::size_t colon = host.rfind(':');
  if (colon == std::string::npos) return starts_with_https(address) ? 443 : 80;
  return static_cast<int>(text::to_integer(std::string_view(host).substr(colon + 1)));
}

std::string url_path(std::string_view address) {
  std::string host = url_host(address, false);
  std::size_t at = text::find_at_boundary(address, host, 0, false);
  if (at == std::string_view::npos) return "/";
  std::size_t slash = address.find('/', at);
  if (slash == std::string_view::npos) return "/";
  return std::string(address.substr(slash));
}

std::string header_value(std::string_view line) {
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return text::trim_spaces(line.substr(colon + 1));
}

std::string merge_cookies(std::string& jar, std::string_view received) {
  auto name_of = [](std::string_view piece) {
    return text::trim_spaces(piece.substr(0, piece.find('=')));
  };
  std::vector<std::string> got = text::split_text(text::remove_spaces(received), ";");
  std::vector<std::string> had = text::split_text(text::remove_spaces(jar), ";");

  std::vector<std::string> list = got;
  for (const auto& piece : had) {
    std::string name = name_of(piece);
    bool replaced = false;
    for (const auto& r : got) {
      if (name_of(r) == name) {
        replaced = true;
        break;
      }
    }
    if (!replaced) list.push_back(piece);
  }

  std::string rebuilt;
  for (const auto& piece : list) {
    static const std::string kDeleted = "=deleted";
    if (piece.size() >= kDeleted.size() &&
        piece.compare(piece.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
      continue;
    }
    rebuilt += piece;
    rebuilt += "; ";
  }
  if (rebuilt.size() >= 2) rebuilt.erase(rebuilt.size() - 2);

  std::vector<std::string> unique;
  for (auto& piece : text::split_text(rebuilt, "; ")) {
    bool seen = false;
    for (const auto& u : unique) {
      if (u == piece) {
        seen = true;
        break;
      }
    }
    if (!seen) unique.push_back(std::move(piece));
  }
  std::string result;
  for (std::size_t i = 0; i < unique.size(); ++i) {
    if (i) result += "; ";
    result += unique[i];
  }
  jar = result;
  return result;
}

std::string user_agent_for(std::string_view extra_headers) {
  if (!contains(extra_headers, "User-Agent:", false)) return kDefaultUserAgent;
  std::string agent = text::trim_spaces(text::text_between(extra_headers, "User-Agent:", "\r\n"));
  if (agent.empty()) agent = header_value(extra_headers);
  return without_line_breaks(agent);
}

// ---- settings --------------------------------------------------------------------

void set_http_timeouts(const HttpTimeouts& timeouts) {
  Globals& g = globals();
  std::lock_guard lock(g.mutex);
  g.timeouts = timeouts;
}

HttpTimeouts http_timeouts() {
  Globals& g = globals();
  std::lock_guard lock(g.mutex);
  return g.timeouts;
}

void set_extra_ca_file(const std::string& pem_path) {
  Globals& g = globals();
  std::lock_guard lock(g.mutex);
  g.ca_file = pem_path;
}

void clear_process_cookies() {
  Globals& g = globals();
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl || !g.share) return;
  curl_easy_setopt(curl.get(), CURLOPT_SHARE, g.share);
  curl_easy_setopt(curl.get(), CURLOPT_COOKIELIST, "ALL");
}

// ---- requests --------------------------------------------------------------------

std::string http_request(HttpRequest& r) {
  Globals& g = globals();
  HttpTimeouts timeouts;
  std::string ca_file;
  {
    std::lock_guard lock(g.mutex);
    timeouts = g.timeouts;
    ca_file = g.ca_file;
  }

  const bool secure = starts_with_https(r.address);
  const std::string method = r.method == 1 ? "POST" : "GET";
  const std::string agent = user_agent_for(r.extra_headers);

  // Session and connection: the target is host, port and path as the URL helpers
  // read them, the scheme from the secure test.
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return {};
  CURL* c = curl.get();

  const int port = url_port(r.address);
  if (port < 0 || port > 65535) return {};
  std::string url = secure ? "https://" : "http://";
  url += url_host(r.address, false);
  if (port != 0) url += ":" + std::to_string(port);
  url += url_path(r.address);
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed ||
      curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(),
                   CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE | CURLU_PATH_AS_IS) != CURLUE_OK) {
    return {};
  }
  {
    char* host = nullptr;
    bool has_host = curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) == CURLUE_OK && host &&
                    *host;
    curl_free(host);
    if (!has_host) return {};
  }
  curl_easy_setopt(c, CURLOPT_CURLU, parsed.get());
  curl_easy_setopt(c, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, agent.c_str());
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");

  // Proxy: the old "http=" list applied to http requests; everything else goes direct,
  // and the environment's proxy variables are never consulted.
  std::string proxy;
  if (r.use_proxy && !secure && !r.proxy.empty()) proxy = "http://" + r.proxy;
  curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());

  // Flags. Reload: there is no cache, and the request asks proxies for a fresh copy.
  // Cookie-jar mode: no process cookie store. Redirects followed unless asked not to;
  // http requests may be redirected to https, https requests never to http.
  if (!r.cookie_jar && g.share) {
    curl_easy_setopt(c, CURLOPT_SHARE, g.share);
    curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");
  }
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, r.no_redirect ? 0L : 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!ca_file.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, ca_file.c_str());

  if (timeouts.connect_ms > 0) curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, timeouts.connect_ms);
  if (timeouts.low_speed_seconds > 0) {
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, timeouts.low_speed_seconds);
  }
  if (timeouts.total_ms > 0) curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, timeouts.total_ms);

  // Header completion, each test a case-sensitive search of the current text.
  std::string& h = r.extra_headers;
  if (!contains(h, "Referer:")) {
    if (h.empty()) {
      h = "Referer: " + r.address;
    } else {
      h += "\r\nReferer: " + r.address;
    }
  }
  if (!contains(h, "Accept:")) h += "\r\nAccept: */*";
  if (!contains(h, "Accept-Language:")) h += "\r\nAccept-Language: zh-cn";
  if (!contains(h, "Content-Type:")) h += "\r\nContent-Type: application/x-www-form-urlencoded";
  std::string cookie_line;
  if (!r.cookies.empty()) {
    cookie_line = "Cookie: " + r.cookies;
    h += "\r\n" + cookie_line;
  }

  std::unique_ptr<curl_slist, SlistDeleter> list;
  // The cookie line is handed over separately so that libcurl joins it with the process
  // store's cookies into one Cookie header.
  add_header_lines(h, cookie_line, list);
  if (!cookie_line.empty()) curl_easy_setopt(c, CURLOPT_COOKIE, r.cookies.c_str());
  if (!contains(h, "Cache-Control:", false)) {
    add_header_lines("Cache-Control: no-cache", {}, list);
  }
  // The old library never waited for "100 Continue"; "Expect:" keeps libcurl from asking.
  if (curl_slist* grown = curl_slist_append(list.get(), "Expect:")) {
    list.release();
    list.reset(grown);
  }
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, list.get());

  // Body.
  if (r.method != 0) {
    if (r.form_bytes.empty()) r.form_bytes = r.form_text;
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.form_bytes.size()));
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, r.form_bytes.data());
    if (method != "POST") curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
  } else {
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  }

  Transfer t;
  t.curl = c;
  curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kReadChunk);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, on_body);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, on_header);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);

  // Send and read; failures are not reported, the body is whatever arrived.
  curl_easy_perform(c);

  // Response headers: the final block, or blanks when it did not arrive whole or did not
  // fit.
  if (!t.headers_complete || t.headers_overflow) {
    r.response_headers.assign(kHeaderBufferSize, ' ');
  } else {
    r.response_headers = t.headers;
  }

  r.received_cookies.clear();
  for (const auto& line : text::split_text(r.response_headers, "\r\n")) {
    if (contains(line, "Location:")) r.location = header_value(line);
    if (contains(line, "Set-Cookie")) {
      r.received_cookies += text::trim_spaces(text::text_between(line, "Set-Cookie:", ";"));
      r.received_cookies += "; ";
    }
  }
  if (r.received_cookies.size() >= 2) r.received_cookies.erase(r.received_cookies.size() - 2);
  if (r.cookie_jar) merge_cookies(r.cookies, r.received_cookies);
  if (r.location.empty()) r.location = r.response_headers;
  return std::move(t.body);
}

std::string http_request_utf8(HttpRequest& request) {
  std::string body = http_request(request);
  std::size_t at = body.find("utf-8");
  bool utf8 = (at != std::string::npos && at + 1 < 500) ||
              text::find_at_boundary(request.response_headers, "utf-8", 0, false) !=
                  std::string_view::npos;
  if (utf8) body = text::convert_charset(body, "UTF-8", "GBK");
  return body;
}

std::string fetch_page_text(const std::string& address) {
  HttpRequest request;
  request.address = address;
  return http_request(request);
}

}  // namespace net
