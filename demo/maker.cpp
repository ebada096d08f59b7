// The maker's site: the notice page read at start-up, home, letter, help and feedback.

#include "backoffice.h"
#include "pages.h"

namespace demo {
namespace {

class MakerFamily : public Family {
 public:
  explicit MakerFamily(BackOffice& office) : office_(office) {}

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    routes.public_get("/xzrj.htm", [this](const Request&, Response& res) {
      const Options& opt = office_.options();
      std::string link = opt.maker_link.empty()
                             ? "http://demo.example.com:" + std::to_string(office_.port()) + "/"
                             : opt.maker_link;
      res.set_content(utf8_to_gbk(notice_page("卡盟演示后台", link)), "text/html; charset=gbk");
    });
    routes.public_get("/maker/index.htm",
                      [](const Request&, Response& res) { res.set_content(maker_home_page(), kHtml); });
    routes.public_get("/maker/letter.htm",
                      [](const Request&, Response& res) { res.set_content(maker_letter_page(), kHtml); });
    routes.public_get("/maker/help.htm", [this](const Request&, Response& res) {
      const Options& opt = office_.options();
      res.set_content(maker_help_page(opt.user, opt.password, opt.theme, opt.captcha), kHtml);
    });
    routes.public_get("/maker/feedback.htm",
                      [](const Request&, Response& res) { res.set_content(maker_feedback_page(""), kHtml); });
    routes.public_post("/maker/feedback.htm", [this](const Request&, const FormData& form, Response& res) {
      if (form.longest_value() > office_.options().max_field) {
        error_page(res, 413, maker_feedback_page("反馈内容过长！"));
        return;
      }
      office_.store().add_feedback(form.get("content"));
      res.set_content(maker_feedback_page("感谢您的反馈！"), kHtml);
    });
  }

 private:
  BackOffice& office_;
};

}  // namespace

std::unique_ptr<Family> make_maker_family(BackOffice& office) {
  return std::make_unique<MakerFamily>(office);
}

}  // namespace demo
