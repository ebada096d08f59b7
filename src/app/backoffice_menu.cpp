#include "app/backoffice_menu.h"

#include "text/text.h"

namespace app {

const std::vector<Section>& sections() {
  static const std::vector<Section> table = {
      {"网吧售卡中心",
       {{"查看商品目录", "查看商品目录"},
        {"销售记录查询", "销售记录查询"},
        {"账户资金明细", "账户资金明细"}}},
      {"经销商系统",
       {{"下级客户档案管理", "下级客户档案管理"}, {"下级销售提成明细", "下级销售提成明细"}}},
      {"供货商系统",
       {{"发布供货商品", "发布供货商品"},
        {"供货商品管理", "供货商品管理"},
        {"直充库存管理", "直充商品库存管理"},
        {"卡密库存管理", "卡密商品库存管理"},
        {"收入转余额", "供货收入转至余额"}}},
      {"一卡通代理", {{"一卡通明细查询", "一卡通明细查询"}}},
  };
  return table;
}

std::string objclick_script(std::string_view link_text_gbk, std::string_view tag) {
  static const char* const lines[] = {
      "function objclick(name, text) {",
      "  var x = document.getElementsByTagName(name);",
      "  for (var i = 0; i < x.length; i++) {",
      "    if (new RegExp('^(' + text + ')$', 'i').test(x[i].value || x[i].innerHTML)) {",
      "      x[i].click(); break",
      "    }",
      "  }",
      "};",
  };
  std::string script;
  for (const char* line : lines) {
    script += line;
    script += "\r\n";
  }
  script += "objclick(\"";
  script += tag;
  script += "\", \"";
  script += link_text_gbk;
  script += "\")";
  return script;
}

std::string menu_link_for(std::string_view caption_gbk) {
  for (const Section& s : sections())
    for (const MenuEntry& e : s.entries)
      if (text::utf8_to_gbk(e.caption) == caption_gbk) return text::utf8_to_gbk(e.link);
  return {};
}

}  // namespace app
