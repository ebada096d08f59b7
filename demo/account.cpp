// Login, captcha, logout and the back-office home page.

#include <random>

#include "backoffice.h"
#include "captcha.h"
#include "pages.h"

namespace demo {
namespace {

class AccountFamily : public Family {
 public:
  explicit AccountFamily(BackOffice& office) : office_(office) {}

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    for (const char* path : {"/", "/Login.aspx"}) {
      routes.public_get(path, [this](const Request& req, Response& res) {
        office_.ensure_session(req, res);
        res.set_content(login_page(office_.options().theme, ""), kHtml);
      });
      routes.public_post(path, [this](const Request& req, const FormData& form, Response& res) {
        login_post(req, form, res);
      });
    }
    routes.public_get("/Handler.ashx", [this](const Request& req, Response& res) { captcha(req, res); });
    routes.public_get("/Logout.aspx", [this](const Request& req, Response& res) {
      std::string id = office_.session_id(req);
      if (!id.empty()) office_.store().log_out(id);
      redirect(res, "/Login.aspx");
    });
    routes.get("/Index.aspx", [this](const Request& req, Response& res) {
      Account a;
      a.user = office_.user(req);
      int tab = -1;
      if (req.has_param("tab")) {
        std::string t = req.get_param_value("tab");
        if (t.size() == 1 && t[0] >= '0' && t[0] < '0' + static_cast<int>(sections().size())) tab = t[0] - '0';
      }
      std::string title = tab >= 0 ? sections()[tab] : "后台首页";
      office_.store().visit(req.path + (tab >= 0 ? "?tab=" + std::to_string(tab) : ""), title);
      res.set_content(backoffice_page(title, index_content(a, tab)), kHtml);
    });
  }

 private:
  BackOffice& office_;

  void login_post(const httplib::Request& req, const FormData& form, httplib::Response& res) {
    const Options& opt = office_.options();
    Store& store = office_.store();
    std::string id = office_.ensure_session(req, res);
    if (form.longest_value() > 1024) {
      error_page(res, 413, login_page(opt.theme, "输入内容过长！"));
      return;
    }
    const std::string t = "Theme" + std::to_string(opt.theme);
    std::string user = form.get("UserName");
    std::string code = trim(form.get(t + "$txtCheckCode"));
    std::string expected = opt.captcha.empty() ? store.session(id).captcha : opt.captcha;
    std::string message;
    if (expected.empty() || code != expected) {
      message = "验证码错误！";
    } else if (user != opt.user || form.get("Password2") != opt.password) {
      message = "用户名或密码错误！";
    }
    if (!message.empty()) {
      store.count_login(false, user);
      res.set_content(login_page(opt.theme, message), kHtml);
      return;
    }
    store.set_logged_in(id, user);
    store.count_login(true, user);
    redirect(res, "/Index.aspx");
  }

  void captcha(const httplib::Request& req, httplib::Response& res) {
    const Options& opt = office_.options();
    Store& store = office_.store();
    std::string id = office_.ensure_session(req, res);
    std::string code = opt.captcha.empty() ? store.random_digits(4) : opt.captcha;
    store.set_captcha(id, code);
    std::mt19937 rng(store.random_seed());
    res.set_header("Cache-Control", "no-cache, no-store");
    res.set_content(captcha_png(code, rng), "image/png");
  }
};

}  // namespace

std::unique_ptr<Family> make_account_family(BackOffice& office) {
  return std::make_unique<AccountFamily>(office);
}

}  // namespace demo
