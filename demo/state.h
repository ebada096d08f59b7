#pragma once
// What the demo back office holds: products, logins, visits. Thread-safe.

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace demo {

struct CatalogEntry {
  std::string id;    // the check box value, e.g. "1001"
  std::string name;  // its label
};

// The catalogue shown on the add form, in display order.
const std::vector<CatalogEntry>& catalog();

struct Product {
  int id = 0;
  std::string name;                      // ProductName
  std::vector<std::string> catalog_ids;  // ticked cblCatalog values, in form order
  std::string sales_bound;               // radlSalesBound: "0" subordinates, "1" all, "" none
  std::string unit;                      // ProductUnit
  std::string parvalue;                  // Parvalue
  std::string valid_date;                // txtValidDate
  std::string status;                    // Status: "0" on sale, "1" paused, "2" forbidden, "" none
  std::string title_color;               // TitleColor
  bool bold = false;                     // chkTitleBold ticked
  std::string introduct;                 // Introduct
  std::string notice;                    // ProductNotice
  std::string charge_way;                // ChargeWay
  std::string saving_url;                // SavingUrl
  std::string service;                   // ProductService
  bool reviewed = true;                  // passed the platform's review
};

struct Session {
  std::string captcha;    // last code shown by /Handler.ashx
  bool logged_in = false;
  std::string user;
};

class Store {
 public:
  explicit Store(unsigned seed);

  // Sample products present at start and after every reset: reviewed ones, then
  // unreviewed ones, ids from 1.
  void set_sample_products(int reviewed, int unreviewed);

  // Sessions, by the ASP.NET_SessionId cookie value.
  std::string new_session();
  bool has_session(const std::string& id);
  Session session(const std::string& id);
  void set_captcha(const std::string& id, const std::string& code);
  void set_logged_in(const std::string& id, const std::string& user);
  void log_out(const std::string& id);

  void count_login(bool ok, const std::string& user);
  int add_product(Product p);  // returns its id; 0 when a product of that name exists (nothing stored)
  std::vector<Product> products();
  // Runs f on the products under the store's lock (families change them in place).
  template <class F>
  auto with_products(F&& f) {
    std::lock_guard lock(mu_);
    return f(products_);
  }
  void visit(const std::string& path, const std::string& title);
  void add_feedback(const std::string& text);
  void reset();  // forgets products, counts and visits (not sessions)

  std::string random_digits(int n);
  unsigned random_seed();

  // Members of /demo/state.json (products, logins, last page, visits, feedback).
  std::string json_members();

 private:
  std::mutex mu_;
  unsigned rng_state_;
  std::map<std::string, Session> sessions_;
  std::deque<std::string> session_order_;  // oldest first, for the cap below
  std::vector<Product> products_;
  int next_product_id_ = 1;
  int sample_reviewed_ = 0;
  int sample_unreviewed_ = 0;
  void add_samples();  // with mu_ held
  int logins_ok_ = 0;
  int logins_failed_ = 0;
  std::string last_user_;
  std::string last_path_;
  std::string last_title_;
  std::vector<std::string> visits_;
  std::vector<std::string> feedback_;
  unsigned next_random();
};

}  // namespace demo
