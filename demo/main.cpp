// tessaro-demo: the demo back office. Prints "listening on 127.0.0.1:PORT" first.

#include <sys/socket.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "backoffice.h"

namespace {

const char* kUsage =
    "usage: tessaro-demo [options]\n"
    "  --port N          port on 127.0.0.1 (0 = any free port; default 0)\n"
    "  --theme N         login page theme 1-4: names of the captcha box and login button\n"
    "                    (ThemeN$txtCheckCode, ThemeN$btnLogin); default 1\n"
    "  --seed N          seed for captcha codes, pictures and session ids (reproducible runs)\n"
    "  --captcha CODE    fixed captcha code instead of a random one per picture\n"
    "  --user NAME       account name (default demo)\n"
    "  --password PW     account password (default demo123)\n"
    "  --maker-link URL  address in the maker's notice page (default http://demo.example.com:PORT/)\n"
    "  --products N      sample products that passed review (default 0)\n"
    "  --unreviewed N    sample products waiting for review (default 0)\n"
    "  --cards N         sample cards in stock per sample product (default 0)\n"
    "  --inventory-page-size N\n"
    "                    products per page of the card inventory page (default 20)\n"
    "  --complaints N    open complaints at the start and after every reset (default 3)\n"
    "  --orders N        manual orders waiting at the start and after every reset (default 5)\n"
    "  --order-every MS  a new manual order arrives every MS milliseconds (0 = none; default 60000)\n"
    "  --page-size N     products per page of the product list, 1-1000 (default 10)\n"
    "  --pager on|off    whether the product list shows its pager (default on)\n"
    "  --subaccount-form inline|postback\n"
    "                    \"新建下级\" shows the registration form in place, or posts back for it\n"
    "                    (default inline)\n"
    "  --latency MS      every answer (GET and POST, not /demo/) is delayed MS milliseconds\n"
    "  --jitter MS       … plus or minus up to MS milliseconds, at random (default 0)\n"
    "  --min-post-interval MS\n"
    "                    a post sooner than MS after the session's previous one is refused\n"
    "                    with \"操作太频繁，请稍后再试\" (0 = never; default 0)\n"
    "  --help            this text\n"
    "The first line on stdout is \"listening on 127.0.0.1:PORT\".\n";

bool parse_int(const std::string& s, long min, long max, long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (*end != '\0' || v < min || v > max) return false;
  out = v;
  return true;
}

int usage_error(const std::string& message) {
  std::cerr << "tessaro-demo: " << message << "\n" << kUsage;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  demo::Options opt;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (i + 1 >= argc) return usage_error("missing value for " + a);
    std::string v = argv[++i];
    long n = 0;
    if (a == "--port") {
      if (!parse_int(v, 0, 65535, n)) return usage_error("--port needs 0-65535");
      opt.port = static_cast<int>(n);
    } else if (a == "--theme") {
      if (!parse_int(v, 1, 4, n)) return usage_error("--theme needs 1-4");
      opt.theme = static_cast<int>(n);
    } else if (a == "--seed") {
      if (!parse_int(v, 0, 4294967295L, n)) return usage_error("--seed needs a whole number");
      opt.seed = static_cast<unsigned>(n);
    } else if (a == "--captcha") {
      if (v.empty() || v.size() > 8 || v.find_first_not_of("0123456789") != std::string::npos)
        return usage_error("--captcha needs 1-8 digits");
      opt.captcha = v;
    } else if (a == "--user") {
      if (v.empty()) return usage_error("--user needs a name");
      opt.user = v;
    } else if (a == "--password") {
      opt.password = v;
    } else if (a == "--maker-link") {
      opt.maker_link = v;
    } else if (a == "--products" || a == "--unreviewed") {
      if (!parse_int(v, 0, 1000000, n)) return usage_error(a + " needs 0-1000000");
      (a == "--products" ? opt.products : opt.unreviewed) = static_cast<int>(n);
    } else if (a == "--cards") {
      if (!parse_int(v, 0, 100000, n)) return usage_error("--cards needs 0-100000");
      opt.cards = static_cast<int>(n);
    } else if (a == "--inventory-page-size") {
      if (!parse_int(v, 1, 100000, n)) return usage_error("--inventory-page-size needs 1-100000");
      opt.inventory_page_size = static_cast<int>(n);
    } else if (a == "--complaints" || a == "--orders") {
      if (!parse_int(v, 0, 100000, n)) return usage_error(a + " needs 0-100000");
      (a == "--complaints" ? opt.complaints : opt.orders) = static_cast<int>(n);
    } else if (a == "--order-every") {
      if (!parse_int(v, 0, 86400000, n)) return usage_error("--order-every needs 0-86400000 (milliseconds)");
      opt.order_every_ms = static_cast<int>(n);
    } else if (a == "--page-size") {
      if (!parse_int(v, 1, 1000, n)) return usage_error("--page-size needs 1-1000");
      opt.page_size = static_cast<int>(n);
    } else if (a == "--pager") {
      if (v != "on" && v != "off") return usage_error("--pager needs on or off");
      opt.pager = v == "on";
    } else if (a == "--subaccount-form") {
      if (v != "inline" && v != "postback") return usage_error("--subaccount-form needs inline or postback");
      opt.subaccount_postback = v == "postback";
    } else if (a == "--latency" || a == "--jitter" || a == "--min-post-interval") {
      if (!parse_int(v, 0, 600000, n)) return usage_error(a + " needs 0-600000 (milliseconds)");
      (a == "--latency" ? opt.latency_ms : a == "--jitter" ? opt.jitter_ms : opt.min_post_interval_ms) =
          static_cast<int>(n);
    } else {
      return usage_error("unknown option " + a);
    }
  }

  demo::BackOffice office(opt);
  httplib::Server server;
  server.new_task_queue = [] { return new httplib::ThreadPool(64); };
  server.set_payload_max_length(8 * 1024 * 1024);
  server.set_keep_alive_timeout(2);
  // SO_REUSEADDR only: the library's default SO_REUSEPORT would let a second
  // server bind a port that is already taken. The socket is kept to widen the
  // library's listen backlog of 5, which drops connections of parallel clients
  // (they come back only after a one-second SYN retry).
  int listen_socket = -1;
  server.set_socket_options([&listen_socket](int sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listen_socket = sock;
  });
  office.install(server);

  int port = opt.port;
  if (port == 0) {
    port = server.bind_to_any_port("127.0.0.1");
    if (port < 0) {
      std::cerr << "tessaro-demo: cannot listen on 127.0.0.1 (no free port)\n";
      return 2;
    }
  } else if (!server.bind_to_port("127.0.0.1", port)) {
    std::cerr << "tessaro-demo: cannot listen on 127.0.0.1:" << port
              << ": the port is taken or not allowed\n";
    return 2;
  }
  if (listen_socket >= 0) ::listen(listen_socket, SOMAXCONN);
  office.set_port(port);
  std::cout << "listening on 127.0.0.1:" << port << std::endl;
  return server.listen_after_bind() ? 0 : 2;
}
