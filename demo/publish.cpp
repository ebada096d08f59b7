// The add-product form and the list of what it stored.

#include "backoffice.h"
#include "pages.h"

namespace demo {
namespace {

class PublishFamily : public Family {
 public:
  explicit PublishFamily(BackOffice& office) : office_(office) {}

  void install(Routes& routes) override {
    using httplib::Request;
    using httplib::Response;
    routes.get("/SelfProduct/SelfProductAdd.aspx", [this](const Request& req, Response& res) {
      office_.store().visit(req.path, "发布供货商品");
      res.set_content(backoffice_page("发布供货商品", add_form_content()), kHtml);
    });
    routes.post("/SelfProduct/SelfProductAdd.aspx",
                [this](const Request&, const FormData& form, Response& res) { add_post(form, res); });
    routes.public_get("/demo/products", [this](const Request&, Response& res) {
      res.set_content(products_page(office_.store().products()), kHtml);
    });
  }

 private:
  BackOffice& office_;

  void add_post(const FormData& form, httplib::Response& res) {
    const size_t max_field = office_.options().max_field;
    for (const auto& [name, value] : form.fields) {
      if (value.size() > max_field) {
        error_page(res, 413,
                   backoffice_page("发布供货商品", add_form_content(),
                                   "提交的内容过长：" + name + " 超过 " + std::to_string(max_field) +
                                       " 字节，商品未保存。"));
        return;
      }
    }
    Product p;
    p.name = form.get("ProductName");
    if (trim(p.name).empty()) {
      res.set_content(backoffice_page("发布供货商品", add_form_content(), "商品名称不能为空！"), kHtml);
      return;
    }
    for (const auto& [name, value] : form.fields)
      if (name.rfind("cblCatalog$", 0) == 0) p.catalog_ids.push_back(value);
    p.sales_bound = form.get("radlSalesBound");
    p.unit = form.get("ProductUnit");
    p.parvalue = form.get("Parvalue");
    p.valid_date = form.get("txtValidDate");
    p.status = form.get("Status");
    p.title_color = form.get("TitleColor");
    p.bold = form.has("chkTitleBold");
    p.introduct = form.get("Introduct");
    p.notice = form.get("ProductNotice");
    p.charge_way = form.get("ChargeWay");
    p.saving_url = form.get("SavingUrl");
    p.service = form.get("ProductService");
    if (office_.store().add_product(std::move(p)) == 0) {
      res.set_content(backoffice_page("发布供货商品", add_form_content(), "商品名称已存在"), kHtml);
      return;
    }
    res.set_content(backoffice_page("发布供货商品", add_form_content(), "商品发布成功！"), kHtml);
  }
};

}  // namespace

std::unique_ptr<Family> make_publish_family(BackOffice& office) {
  return std::make_unique<PublishFamily>(office);
}

}  // namespace demo
