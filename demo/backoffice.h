#pragma once
// The demo back office on a cpp-httplib server: options, sessions, the store, and the
// page families (one source file each) that register their pages through Routes.

#include <httplib.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "state.h"
#include "util.h"

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
  int products = 0;          // sample products that passed review, present from the start
  int unreviewed = 0;        // sample products waiting for review
  int cards = 0;             // sample cards in stock per sample product
  int inventory_page_size = 20;  // products per page of the inventory page
  int complaints = 3;        // open complaints, present from the start and after every reset
  int orders = 5;            // manual orders waiting, likewise
  int order_every_ms = 60000;  // a new manual order arrives this often (0: none)
  int page_size = 10;        // products per page of the product list
  bool pager = true;         // the product list shows its pager
  bool subaccount_postback = false;  // "新建下级" posts back for the form instead of showing it in place
  int latency_ms = 0;        // every answer (but /demo/) is delayed this long …
  int jitter_ms = 0;         // … plus or minus up to this
  int min_post_interval_ms = 0;  // a post sooner than this after the session's last is refused
};

inline constexpr const char* kHtml = "text/html; charset=utf-8";

// An error answer with our own page (the server's error handler leaves it alone).
void error_page(httplib::Response& res, int status, const std::string& html);
void redirect(httplib::Response& res, const std::string& to);

class BackOffice;
class Conditions;

// Registration of a family's pages. Back-office pages answer 302 to /Login.aspx
// without a logged-in session unless registered as public. Posts read their body
// themselves (no size limit of the library's form parser) and hand over the decoded
// form; a body that is not a urlencoded form answers 400.
class Routes {
 public:
  using Get = std::function<void(const httplib::Request&, httplib::Response&)>;
  using Post = std::function<void(const httplib::Request&, const FormData&, httplib::Response&)>;
  using RawPost = std::function<void(const httplib::Request&, const std::string&, httplib::Response&)>;

  Routes(httplib::Server& server, BackOffice& office) : server_(server), office_(office) {}

  // pattern: a path or a regular expression (cpp-httplib's matching).
  void get(const std::string& pattern, Get handler);
  void post(const std::string& pattern, Post handler);
  void public_get(const std::string& pattern, Get handler);
  void public_post(const std::string& pattern, Post handler);
  void public_raw_post(const std::string& pattern, RawPost handler);

  bool has_get(const std::string& pattern) const { return gets_.count(pattern) != 0; }

 private:
  httplib::Server& server_;
  BackOffice& office_;
  std::set<std::string> gets_;
};

// A family of pages: its routes, its own state, and its parts of /demo/state.json
// and of the /demo/ page.
class Family {
 public:
  virtual ~Family() = default;
  virtual void install(Routes& routes) = 0;
  // Members of the state object, `"name": value` pairs joined by ",\n  ", or "".
  virtual std::string json() { return {}; }
  // A section of the /demo/ page (HTML), or "".
  virtual std::string state_html() { return {}; }
  // Forgets what the tools did (POST /demo/reset).
  virtual void reset() {}
};

class BackOffice {
 public:
  explicit BackOffice(Options options);
  ~BackOffice();
  // Registers every page on server (call before listening).
  void install(httplib::Server& server);
  // The port actually bound (for the default maker link).
  void set_port(int port) { port_ = port; }
  int port() const { return port_; }
  const Options& options() const { return opt_; }
  Store& store() { return store_; }

  std::string session_id(const httplib::Request& req);
  std::string ensure_session(const httplib::Request& req, httplib::Response& res);
  bool logged_in(const httplib::Request& req);
  // User name of the request's session ("" when not logged in).
  std::string user(const httplib::Request& req);

  // /demo/state.json and the /demo/ page.
  std::string json();
  std::string state_page();
  void reset();

 private:
  Options opt_;
  Store store_;
  int port_ = 0;
  std::vector<std::unique_ptr<Family>> families_;
  std::unique_ptr<Conditions> conditions_;
};

// The families, in the order they install.
std::unique_ptr<Family> make_account_family(BackOffice& office);  // login, captcha, index, menus
std::unique_ptr<Family> make_publish_family(BackOffice& office);  // the add-product form
std::unique_ptr<Family> make_maker_family(BackOffice& office);    // the maker's site
std::unique_ptr<Family> make_inventory_family(BackOffice& office);  // card stock, card import
std::unique_ptr<Family> make_complaints_family(BackOffice& office);  // complaint list and treatment
std::unique_ptr<Family> make_orders_family(BackOffice& office);      // manual order list and batch form
std::unique_ptr<Family> make_product_list_family(BackOffice& office);      // the product list and its pager
std::unique_ptr<Family> make_product_template_family(BackOffice& office);  // a product's type and template
std::unique_ptr<Family> make_product_status_family(BackOffice& office);    // sale status of listed products
std::unique_ptr<Family> make_subaccount_family(BackOffice& office);  // sub-customers and their registration
std::unique_ptr<Family> make_pricing_family(BackOffice& office);     // regional stock and level prices

// The links that the pricing family adds to a product's row of the product list.
std::string pricing_row_links(const Product& p, bool unreviewed);

}  // namespace demo
