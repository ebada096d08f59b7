#include "backoffice.h"

#include <random>

#include "conditions.h"
#include "pages.h"

namespace demo {
namespace {

constexpr const char* kCookie = "ASP.NET_SessionId";

// Reads the whole body (the library's own form parsing refuses bodies over 8 KB, and a
// product's introduction may well be longer).
void read_body(const httplib::ContentReader& reader, std::string& body) {
  reader([&body](const char* data, size_t n) {
    body.append(data, n);
    return true;
  });
}

// Decodes a form post; on failure answers 400 and returns nullopt.
std::optional<FormData> decode_form(const httplib::Request& req, const std::string& body,
                                    httplib::Response& res) {
  std::string type = req.get_header_value("Content-Type");
  std::string error;
  if (type.rfind("application/x-www-form-urlencoded", 0) != 0) {
    error = "只接受 application/x-www-form-urlencoded 表单";
  } else if (auto form = parse_form(body, error)) {
    return form;
  }
  error_page(res, 400, message_page("请求无效", "表单无法解析：" + error + "。"));
  return std::nullopt;
}

}  // namespace

void error_page(httplib::Response& res, int status, const std::string& html) {
  res.status = status;
  res.set_header("X-Demo-Page", "1");
  res.set_content(html, kHtml);
}

void redirect(httplib::Response& res, const std::string& to) {
  res.status = 302;
  res.set_header("Location", to);
  res.set_content("<html><body><a href=\"" + to + "\">" + to + "</a></body></html>", kHtml);
}

// ---------------------------------------------------------------------------------
// Routes

void Routes::public_get(const std::string& pattern, Get handler) {
  gets_.insert(pattern);
  server_.Get(pattern, [handler](const httplib::Request& req, httplib::Response& res) { handler(req, res); });
}

void Routes::get(const std::string& pattern, Get handler) {
  BackOffice* office = &office_;
  public_get(pattern, [office, handler](const httplib::Request& req, httplib::Response& res) {
    if (!office->logged_in(req)) return redirect(res, "/Login.aspx");
    handler(req, res);
  });
}

void Routes::public_raw_post(const std::string& pattern, RawPost handler) {
  server_.Post(pattern, [handler](const httplib::Request& req, httplib::Response& res,
                                  const httplib::ContentReader& reader) {
    std::string body;
    read_body(reader, body);
    handler(req, body, res);
  });
}

void Routes::public_post(const std::string& pattern, Post handler) {
  public_raw_post(pattern, [handler](const httplib::Request& req, const std::string& body, httplib::Response& res) {
    if (auto form = decode_form(req, body, res)) handler(req, *form, res);
  });
}

void Routes::post(const std::string& pattern, Post handler) {
  BackOffice* office = &office_;
  public_raw_post(pattern, [office, handler](const httplib::Request& req, const std::string& body,
                                             httplib::Response& res) {
    if (!office->logged_in(req)) return redirect(res, "/Login.aspx");
    if (auto form = decode_form(req, body, res)) handler(req, *form, res);
  });
}

// ---------------------------------------------------------------------------------
// BackOffice

BackOffice::BackOffice(Options options)
    : opt_(std::move(options)), store_(opt_.seed ? opt_.seed : std::random_device{}()) {
  store_.set_sample_products(opt_.products, opt_.unreviewed);
  families_.push_back(make_account_family(*this));
  families_.push_back(make_publish_family(*this));
  families_.push_back(make_maker_family(*this));
  families_.push_back(make_inventory_family(*this));
  families_.push_back(make_complaints_family(*this));
  families_.push_back(make_orders_family(*this));
  families_.push_back(make_product_list_family(*this));
  families_.push_back(make_product_template_family(*this));
  families_.push_back(make_product_status_family(*this));
  families_.push_back(make_subaccount_family(*this));
  families_.push_back(make_pricing_family(*this));
  conditions_ = std::make_unique<Conditions>(*this, opt_.latency_ms, opt_.jitter_ms, opt_.min_post_interval_ms);
}

BackOffice::~BackOffice() = default;

std::string BackOffice::session_id(const httplib::Request& req) {
  std::string cookies = req.get_header_value("Cookie");
  const std::string key = std::string(kCookie) + "=";
  size_t pos = 0;
  while (pos < cookies.size()) {
    size_t end = cookies.find(';', pos);
    if (end == std::string::npos) end = cookies.size();
    std::string piece = trim(cookies.substr(pos, end - pos));
    if (piece.rfind(key, 0) == 0) {
      std::string id = piece.substr(key.size());
      if (store_.has_session(id)) return id;
    }
    pos = end + 1;
  }
  return {};
}

std::string BackOffice::ensure_session(const httplib::Request& req, httplib::Response& res) {
  std::string id = session_id(req);
  if (id.empty()) {
    id = store_.new_session();
    res.set_header("Set-Cookie", std::string(kCookie) + "=" + id + "; path=/; HttpOnly");
  }
  return id;
}

bool BackOffice::logged_in(const httplib::Request& req) {
  std::string id = session_id(req);
  return !id.empty() && store_.session(id).logged_in;
}

std::string BackOffice::user(const httplib::Request& req) {
  std::string id = session_id(req);
  return id.empty() ? std::string() : store_.session(id).user;
}

std::string BackOffice::json() {
  std::string j = "{\n  " + store_.json_members() + ",\n  " + conditions_->json();
  for (auto& f : families_) {
    std::string members = f->json();
    if (!members.empty()) j += ",\n  " + members;
  }
  return j + "\n}\n";
}

std::string BackOffice::state_page() {
  std::string sections = conditions_->state_html();
  for (auto& f : families_) sections += f->state_html();
  return demo_index_page(sections);
}

void BackOffice::reset() {
  store_.reset();
  for (auto& f : families_) f->reset();
  conditions_->reset();
}

void BackOffice::install(httplib::Server& svr) {
  using httplib::Request;
  using httplib::Response;
  Routes routes(svr, *this);
  conditions_->install(svr);
  for (auto& f : families_) f->install(routes);

  // Menu pages that no family serves: each names itself.
  for (const auto& m : menu_entries()) {
    if (routes.has_get(m.path)) continue;
    std::string text = m.text;
    routes.get(m.path, [this, text](const Request& req, Response& res) {
      store_.visit(req.path, text);
      res.set_content(backoffice_page(text, menu_page_content(text)), kHtml);
    });
  }

  // Pages for people and tests.
  routes.public_get("/demo/", [this](const Request&, Response& res) { res.set_content(state_page(), kHtml); });
  routes.public_get("/demo/state.json", [this](const Request&, Response& res) {
    res.set_header("Cache-Control", "no-cache");
    res.set_content(json(), "application/json; charset=utf-8");
  });
  routes.public_raw_post("/demo/reset", [this](const Request&, const std::string&, Response& res) {
    reset();
    res.set_content("{\"reset\": true}\n", "application/json; charset=utf-8");
  });

  svr.set_error_handler(httplib::Server::HandlerWithResponse([](const Request&, Response& res) {
    // Our own error pages carry their text already.
    if (res.has_header("X-Demo-Page")) return httplib::Server::HandlerResponse::Unhandled;
    std::string title = res.status == 404   ? "404 找不到页面"
                        : res.status == 413 ? "413 请求过大"
                        : res.status == 400 ? "400 请求无效"
                                            : std::to_string(res.status) + " 错误";
    std::string text = res.status == 404   ? "您访问的页面不存在。"
                       : res.status == 413 ? "提交的内容过大，服务器拒绝处理。"
                                           : "服务器无法处理这个请求。";
    res.set_content(message_page(title, text), kHtml);
    return httplib::Server::HandlerResponse::Handled;
  }));
}

}  // namespace demo
