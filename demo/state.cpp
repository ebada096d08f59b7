#include "state.h"

#include "util.h"

namespace demo {

const std::vector<CatalogEntry>& catalog() {
  static const std::vector<CatalogEntry> entries = [] {
    const char* names[] = {
        "腾讯QQ币",      "腾讯Q点",        "QQ会员",         "网易一卡通",     "盛大点卡",
        "完美一卡通",    "久游一卡通",     "搜狐一卡通",     "征途点卡",       "巨人一卡通",
        "魔兽世界点卡",  "梦幻西游点卡",   "大话西游点卡",   "天下贰点卡",     "剑侠情缘点卡",
        "骏网一卡通",    "联通充值卡",     "移动充值卡",     "电信充值卡",     "话费直充",
        "游戏直充",      "迅雷会员",       "优酷会员",       "爱奇艺会员",     "网盘空间",
        "软件激活码",    "域名主机",       "电子书卡",       "音乐会员",       "其他卡类",
    };
    std::vector<CatalogEntry> v;
    int id = 1001;
    for (const char* n : names) v.push_back({std::to_string(id++), n});
    return v;
  }();
  return entries;
}

Store::Store(unsigned seed) : rng_state_(seed ? seed : 0x9E3779B9u) {}

unsigned Store::next_random() {
  // xorshift32: reproducible for a given --seed.
  unsigned x = rng_state_;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  rng_state_ = x;
  return x;
}

std::string Store::random_digits(int n) {
  std::lock_guard lock(mu_);
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('0' + next_random() % 10);
  return s;
}

unsigned Store::random_seed() {
  std::lock_guard lock(mu_);
  return next_random();
}

std::string Store::new_session() {
  static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz012345";
  std::lock_guard lock(mu_);
  std::string id;
  do {
    id.clear();
    for (int i = 0; i < 24; ++i) id += alphabet[next_random() % 32];
  } while (sessions_.count(id));
  sessions_[id];
  session_order_.push_back(id);
  // Every cookie-less visitor gets a session; keep memory bounded.
  constexpr size_t kMaxSessions = 20000;
  while (session_order_.size() > kMaxSessions) {
    sessions_.erase(session_order_.front());
    session_order_.pop_front();
  }
  return id;
}

bool Store::has_session(const std::string& id) {
  std::lock_guard lock(mu_);
  return sessions_.count(id) != 0;
}

Session Store::session(const std::string& id) {
  std::lock_guard lock(mu_);
  auto it = sessions_.find(id);
  return it == sessions_.end() ? Session{} : it->second;
}

void Store::set_captcha(const std::string& id, const std::string& code) {
  std::lock_guard lock(mu_);
  auto it = sessions_.find(id);
  if (it != sessions_.end()) it->second.captcha = code;
}

void Store::set_logged_in(const std::string& id, const std::string& user) {
  std::lock_guard lock(mu_);
  auto it = sessions_.find(id);
  if (it == sessions_.end()) return;
  it->second.logged_in = true;
  it->second.user = user;
}

void Store::log_out(const std::string& id) {
  std::lock_guard lock(mu_);
  auto it = sessions_.find(id);
  if (it != sessions_.end()) {
    it->second.logged_in = false;
    it->second.user.clear();
  }
}

void Store::count_login(bool ok, const std::string& user) {
  std::lock_guard lock(mu_);
  if (ok) {
    ++logins_ok_;
    last_user_ = user;
  } else {
    ++logins_failed_;
  }
}

int Store::add_product(Product p) {
  std::lock_guard lock(mu_);
  for (const Product& q : products_)
    if (q.name == p.name) return 0;
  // "面向所有客户(需审核)" waits for the platform's review.
  p.reviewed = p.sales_bound != "1";
  p.id = next_product_id_++;
  products_.push_back(std::move(p));
  return products_.back().id;
}

std::vector<Product> Store::products() {
  std::lock_guard lock(mu_);
  return products_;
}

void Store::visit(const std::string& path, const std::string& title) {
  std::lock_guard lock(mu_);
  last_path_ = path;
  last_title_ = title;
  visits_.push_back(path);
  if (visits_.size() > 1000) visits_.erase(visits_.begin());
}

void Store::add_feedback(const std::string& text) {
  std::lock_guard lock(mu_);
  feedback_.push_back(text);
}

void Store::set_sample_products(int reviewed, int unreviewed) {
  std::lock_guard lock(mu_);
  sample_reviewed_ = reviewed;
  sample_unreviewed_ = unreviewed;
  products_.clear();
  next_product_id_ = 1;
  add_samples();
}

void Store::add_samples() {
  static const char* const kinds[] = {"腾讯QQ币", "网易一卡通", "盛大点卡", "魔兽世界点卡", "骏网一卡通",
                                      "联通充值卡", "移动充值卡", "征途点卡"};
  static const char* const values[] = {"10", "15", "30", "50", "100"};
  const int total = sample_reviewed_ + sample_unreviewed_;
  for (int i = 0; i < total; ++i) {
    Product p;
    p.id = next_product_id_++;
    const char* value = values[i % 5];
    p.name = std::string(kinds[i % 8]) + value + "元-" + std::to_string(p.id);
    p.parvalue = value;
    p.unit = "张";
    p.status = "0";
    p.sales_bound = i < sample_reviewed_ ? "0" : "1";
    p.reviewed = i < sample_reviewed_;
    products_.push_back(std::move(p));
  }
}

void Store::reset() {
  std::lock_guard lock(mu_);
  products_.clear();
  next_product_id_ = 1;
  add_samples();
  logins_ok_ = logins_failed_ = 0;
  last_user_.clear();
  last_path_.clear();
  last_title_.clear();
  visits_.clear();
  feedback_.clear();
}

std::string Store::json_members() {
  std::lock_guard lock(mu_);
  std::string j = "\"products\": [";
  for (size_t i = 0; i < products_.size(); ++i) {
    const Product& p = products_[i];
    j += i ? ",\n    {" : "\n    {";
    j += "\"id\": " + std::to_string(p.id);
    j += ", \"name\": " + json_escape(p.name);
    j += ", \"catalog\": [";
    for (size_t k = 0; k < p.catalog_ids.size(); ++k) j += (k ? ", " : "") + json_escape(p.catalog_ids[k]);
    j += "]";
    j += ", \"sales_bound\": " + json_escape(p.sales_bound);
    j += ", \"unit\": " + json_escape(p.unit);
    j += ", \"parvalue\": " + json_escape(p.parvalue);
    j += ", \"valid_date\": " + json_escape(p.valid_date);
    j += ", \"status\": " + json_escape(p.status);
    j += ", \"title_color\": " + json_escape(p.title_color);
    j += std::string(", \"bold\": ") + (p.bold ? "true" : "false");
    j += ", \"introduct\": " + json_escape(p.introduct);
    j += ", \"notice\": " + json_escape(p.notice);
    j += ", \"charge_way\": " + json_escape(p.charge_way);
    j += ", \"saving_url\": " + json_escape(p.saving_url);
    j += ", \"service\": " + json_escape(p.service);
    j += std::string(", \"reviewed\": ") + (p.reviewed ? "true" : "false");
    j += "}";
  }
  j += products_.empty() ? "],\n" : "\n  ],\n";
  j += "  \"logins\": {\"ok\": " + std::to_string(logins_ok_) + ", \"failed\": " +
       std::to_string(logins_failed_) + ", \"last_user\": " + json_escape(last_user_) + "},\n";
  j += "  \"last_page\": {\"path\": " + json_escape(last_path_) + ", \"title\": " + json_escape(last_title_) +
       "},\n";
  j += "  \"visits\": [";
  for (size_t i = 0; i < visits_.size(); ++i) j += (i ? ", " : "") + json_escape(visits_[i]);
  j += "],\n  \"feedback\": [";
  for (size_t i = 0; i < feedback_.size(); ++i) j += (i ? ", " : "") + json_escape(feedback_[i]);
  j += "]";
  return j;
}

}  // namespace demo
