#include "backoffice.h"

#include <random>

#include "captcha.h"
#include "pages.h"
#include "util.h"

namespace demo {
namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kCookie = "ASP.NET_SessionId";

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// An error answer with our own page (the error handler leaves it alone).
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

// Decodes a form post; on failure answers 400 and returns nullopt.
std::optional<FormData> read_form(const httplib::Request& req, const std::string& body, httplib::Response& res) {
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

BackOffice::BackOffice(Options options)
    : opt_(std::move(options)), store_(opt_.seed ? opt_.seed : std::random_device{}()) {}

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

void BackOffice::login_get(const httplib::Request& req, httplib::Response& res) {
  ensure_session(req, res);
  res.set_content(login_page(opt_.theme, ""), kHtml);
}

void BackOffice::login_post(const httplib::Request& req, const std::string& body, httplib::Response& res) {
  std::string id = ensure_session(req, res);
  auto form = read_form(req, body, res);
  if (!form) return;
  if (form->longest_value() > 1024) {
    error_page(res, 413, login_page(opt_.theme, "输入内容过长！"));
    return;
  }
  const std::string t = "Theme" + std::to_string(opt_.theme);
  std::string user = form->get("UserName");
  std::string code = trim(form->get(t + "$txtCheckCode"));
  std::string expected = opt_.captcha.empty() ? store_.session(id).captcha : opt_.captcha;
  std::string message;
  if (expected.empty() || code != expected) {
    message = "验证码错误！";
  } else if (user != opt_.user || form->get("Password2") != opt_.password) {
    message = "用户名或密码错误！";
  }
  if (!message.empty()) {
    store_.count_login(false, user);
    res.set_content(login_page(opt_.theme, message), kHtml);
    return;
  }
  store_.set_logged_in(id, user);
  store_.count_login(true, user);
  redirect(res, "/Index.aspx");
}

void BackOffice::captcha(const httplib::Request& req, httplib::Response& res) {
  std::string id = ensure_session(req, res);
  std::string code = opt_.captcha.empty() ? store_.random_digits(4) : opt_.captcha;
  store_.set_captcha(id, code);
  std::mt19937 rng(store_.random_seed());
  res.set_header("Cache-Control", "no-cache, no-store");
  res.set_content(captcha_png(code, rng), "image/png");
}

void BackOffice::add_post(const httplib::Request& req, const std::string& body, httplib::Response& res) {
  auto form = read_form(req, body, res);
  if (!form) return;
  for (const auto& [name, value] : form->fields) {
    if (value.size() > opt_.max_field) {
      error_page(res, 413,
                 backoffice_page("发布供货商品", add_form_content(),
                                 "提交的内容过长：" + name + " 超过 " + std::to_string(opt_.max_field) +
                                     " 字节，商品未保存。"));
      return;
    }
  }
  Product p;
  p.name = form->get("ProductName");
  if (trim(p.name).empty()) {
    res.set_content(backoffice_page("发布供货商品", add_form_content(), "商品名称不能为空！"), kHtml);
    return;
  }
  for (const auto& [name, value] : form->fields)
    if (name.rfind("cblCatalog$", 0) == 0) p.catalog_ids.push_back(value);
  p.sales_bound = form->get("radlSalesBound");
  p.unit = form->get("ProductUnit");
  p.parvalue = form->get("Parvalue");
  p.valid_date = form->get("txtValidDate");
  p.status = form->get("Status");
  p.title_color = form->get("TitleColor");
  p.bold = form->has("chkTitleBold");
  p.introduct = form->get("Introduct");
  p.notice = form->get("ProductNotice");
  p.charge_way = form->get("ChargeWay");
  p.saving_url = form->get("SavingUrl");
  p.service = form->get("ProductService");
  store_.add_product(std::move(p));
  res.set_content(backoffice_page("发布供货商品", add_form_content(), "商品发布成功！"), kHtml);
}

void BackOffice::install(httplib::Server& svr) {
  using httplib::Request;
  using httplib::Response;

  // Pages only for a logged-in session: others are sent to the login page.
  auto guarded = [this](auto handler) {
    return [this, handler](const Request& req, Response& res) {
      if (!logged_in(req)) {
        redirect(res, "/Login.aspx");
        return;
      }
      handler(req, res);
    };
  };

  // Form posts read their body themselves: the library's own form parsing refuses
  // bodies over 8 KB, and a product's introduction may well be longer.
  auto post = [&svr](const std::string& path, auto handler) {
    svr.Post(path, [handler](const Request& req, Response& res, const httplib::ContentReader& reader) {
      std::string body;
      reader([&body](const char* data, size_t n) {
        body.append(data, n);
        return true;
      });
      handler(req, body, res);
    });
  };
  auto guarded_post = [this](auto handler) {
    return [this, handler](const Request& req, const std::string& body, Response& res) {
      if (!logged_in(req)) {
        redirect(res, "/Login.aspx");
        return;
      }
      handler(req, body, res);
    };
  };

  for (const char* path : {"/", "/Login.aspx"}) {
    svr.Get(path, [this](const Request& req, Response& res) { login_get(req, res); });
    post(path, [this](const Request& req, const std::string& body, Response& res) { login_post(req, body, res); });
  }
  svr.Get("/Handler.ashx", [this](const Request& req, Response& res) { captcha(req, res); });
  svr.Get("/Logout.aspx", [this](const Request& req, Response& res) {
    std::string id = session_id(req);
    if (!id.empty()) store_.log_out(id);
    redirect(res, "/Login.aspx");
  });

  svr.Get("/Index.aspx", guarded([this](const Request& req, Response& res) {
    Account a;
    a.user = store_.session(session_id(req)).user;
    int tab = -1;
    if (req.has_param("tab")) {
      std::string t = req.get_param_value("tab");
      if (t.size() == 1 && t[0] >= '0' && t[0] < '0' + static_cast<int>(sections().size())) tab = t[0] - '0';
    }
    std::string title = tab >= 0 ? sections()[tab] : "后台首页";
    store_.visit(req.path + (tab >= 0 ? "?tab=" + std::to_string(tab) : ""), title);
    res.set_content(backoffice_page(title, index_content(a, tab)), kHtml);
  }));

  svr.Get("/SelfProduct/SelfProductAdd.aspx", guarded([this](const Request& req, Response& res) {
    store_.visit(req.path, "发布供货商品");
    res.set_content(backoffice_page("发布供货商品", add_form_content()), kHtml);
  }));
  post("/SelfProduct/SelfProductAdd.aspx",
       guarded_post([this](const Request& req, const std::string& body, Response& res) { add_post(req, body, res); }));

  // The other menu pages: each names itself.
  for (const auto& m : menu_entries()) {
    if (m.path == "/SelfProduct/SelfProductAdd.aspx") continue;
    std::string text = m.text;
    svr.Get(m.path, guarded([this, text](const Request& req, Response& res) {
      store_.visit(req.path, text);
      res.set_content(backoffice_page(text, menu_page_content(text)), kHtml);
    }));
  }

  // Pages for people and tests.
  svr.Get("/demo/", [](const Request&, Response& res) { res.set_content(demo_index_page(), kHtml); });
  svr.Get("/demo/products",
          [this](const Request&, Response& res) { res.set_content(products_page(store_.products()), kHtml); });
  svr.Get("/demo/state.json", [this](const Request&, Response& res) {
    res.set_header("Cache-Control", "no-cache");
    res.set_content(store_.json(), "application/json; charset=utf-8");
  });
  post("/demo/reset", [this](const Request&, const std::string&, Response& res) {
    store_.reset();
    res.set_content("{\"reset\": true}\n", "application/json; charset=utf-8");
  });

  // The maker's site.
  svr.Get("/xzrj.htm", [this](const Request&, Response& res) {
    std::string link = opt_.maker_link.empty() ? "http://demo.example.com:" + std::to_string(port_) + "/"
                                               : opt_.maker_link;
    res.set_content(utf8_to_gbk(notice_page("卡盟演示后台", link)), "text/html; charset=gbk");
  });
  svr.Get("/maker/index.htm", [](const Request&, Response& res) { res.set_content(maker_home_page(), kHtml); });
  svr.Get("/maker/letter.htm",
          [](const Request&, Response& res) { res.set_content(maker_letter_page(), kHtml); });
  svr.Get("/maker/help.htm", [this](const Request&, Response& res) {
    res.set_content(maker_help_page(opt_.user, opt_.password, opt_.theme, opt_.captcha), kHtml);
  });
  svr.Get("/maker/feedback.htm",
          [](const Request&, Response& res) { res.set_content(maker_feedback_page(""), kHtml); });
  post("/maker/feedback.htm", [this](const Request& req, const std::string& body, Response& res) {
    auto form = read_form(req, body, res);
    if (!form) return;
    if (form->longest_value() > opt_.max_field) {
      error_page(res, 413, maker_feedback_page("反馈内容过长！"));
      return;
    }
    store_.add_feedback(form->get("content"));
    res.set_content(maker_feedback_page("感谢您的反馈！"), kHtml);
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
