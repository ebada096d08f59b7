// The template setter's plan per product, its link list and addresses, and the link
// collection from a product list page as the pager walk reads it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/text.h"
#include "tools/common/collect.h"
#include "tools/templates/templates_core.h"

using tools::templates::ApplyPlan;
using tools::templates::plan_for;
using tools::templates::split_links;
using tools::templates::template_address;
using tools::templates::type_items;

TEST(TemplatesPlan, SixTypesInOrder) {
  std::vector<std::string> items(type_items().begin(), type_items().end());
  EXPECT_EQ(items, (std::vector<std::string>{"卡密", "选号", "人工代充", "账号直充", "卡密直充", "接口直冲"}));
}

TEST(TemplatesPlan, TopUpTypesUseVendorAndTemplateOptionNumbers) {
  // "接口直冲", vendor index 3, template index 1: the 6th radio, options 4 and 2.
  const ApplyPlan p = plan_for(5, 3, 1);
  EXPECT_TRUE(p.type_chosen);
  EXPECT_TRUE(p.top_up);
  EXPECT_EQ(p.radio, 6);
  EXPECT_EQ(p.vendor_option, 4);
  EXPECT_EQ(p.template_option, 2);
  for (int k = 2; k <= 5; ++k) {
    EXPECT_TRUE(plan_for(k, 0, 0).top_up) << k;
    EXPECT_EQ(plan_for(k, 0, 0).radio, k + 1);
  }
  // An empty list (no selection) gives option number 0, which clears the page's list.
  EXPECT_EQ(plan_for(2, -1, -1).vendor_option, 0);
  EXPECT_EQ(plan_for(2, -1, -1).template_option, 0);
}

TEST(TemplatesPlan, CardCodesAndNumberSelectionUseTheRadioAlone) {
  for (int k : {0, 1}) {
    const ApplyPlan p = plan_for(k, 3, 2);
    EXPECT_TRUE(p.type_chosen);
    EXPECT_FALSE(p.top_up);
    EXPECT_EQ(p.radio, k + 1);
    EXPECT_EQ(p.vendor_option, 0);
    EXPECT_EQ(p.template_option, 0);
  }
}

TEST(TemplatesPlan, NoTypeDoesNothingMore) {
  for (int k : {-1, 6}) {
    const ApplyPlan p = plan_for(k, 0, 0);
    EXPECT_FALSE(p.type_chosen);
    EXPECT_EQ(p.radio, 0);
  }
}

TEST(TemplatesLinks, LinkListAndTemplateAddresses) {
  EXPECT_EQ(split_links("SelfProduct/ProductTemplate.aspx?PID=1\r\nSelfProduct/ProductTemplate.aspx?PID=2\r\n"),
            (std::vector<std::string>{"SelfProduct/ProductTemplate.aspx?PID=1", "SelfProduct/ProductTemplate.aspx?PID=2"}));
  EXPECT_TRUE(split_links("").empty());
  EXPECT_EQ(template_address("http://ka.example.com", "SelfProduct/ProductTemplate.aspx?PID=7"),
            "http://ka.example.com/SelfProduct/ProductTemplate.aspx?PID=7");
}

TEST(TemplatesLinks, ProductLinksOfAListPageWithSpacesAndAnEmptyPiece) {
  // As the pager walk collects them: marker "类型/模板', iframe:{src:'" up to "'}".
  const std::string start = text::utf8_to_gbk("类型/模板', iframe:{src:'");
  auto link = [&](const std::string& inner) {
    return "<A onclick=\"openDialog({title:'" + start + inner + "'}, width:560}); return false;\" "
           "href=\"javascript:void(0)\">x</A>";
  };
  const std::string full_space = "\xA1\xA1";  // the full-width space in GBK
  const std::string body = link("SelfProduct/ProductTemplate.aspx?PID=5") + link(" SelfProduct/ProductTemplate.aspx?PID=7 ") +
                           link(full_space + "SelfProduct/ProductTemplate.aspx?PID=8") + link("  ") +
                           link("SelfProduct/ProductTemplate.aspx?PID=9");
  std::vector<std::string> out;
  EXPECT_EQ(tools::collect_all_between(body, start, "'}", out), 3u);
  EXPECT_EQ(out, (std::vector<std::string>{"SelfProduct/ProductTemplate.aspx?PID=5", "SelfProduct/ProductTemplate.aspx?PID=7",
                                           "SelfProduct/ProductTemplate.aspx?PID=8"}));
}
