#include "tools/complaints/complaint_core.h"

#include "settings/settings.h"
#include "text/text.h"
#include "tools/common/collect.h"

namespace tools::complaints {

namespace {

std::string gbk(const char* utf8) { return text::utf8_to_gbk(utf8); }

struct Field {
  const char* marker;
  const char* label;  // UTF-8
};
constexpr Field kFields[] = {
    {"<SPAN id=CustomerID>", "投诉客户："},   {"<SPAN id=ComplaintDate>", "投诉时间："},
    {"<SPAN id=ComplaintTitle>", "投诉主题："}, {"<SPAN id=SaleOrderNO>", "订单号："},
    {"<SPAN id=Complaint>", "投诉内容："},
};

}  // namespace

std::string template_marker(int n) { return "[" + std::to_string(n) + "]"; }

std::string read_template(std::string_view file_text, int n) {
  const std::string marker = template_marker(n);
  return text::text_between(file_text, marker, marker);
}

Templates read_template_file(const std::string& path) {
  Templates t;
  for (int n = 1; n <= kTemplateCount; ++n)
    t[static_cast<std::size_t>(n - 1)] = read_template(settings::read_whole_file(path), n);
  return t;
}

std::string template_file_text(const Templates& templates) {
  std::size_t size = 0;
  for (const auto& t : templates) size += t.size() + 10;
  std::string out;
  out.reserve(size);
  for (int n = 1; n <= kTemplateCount; ++n) {
    const std::string marker = template_marker(n);
    out += marker;
    out += templates[static_cast<std::size_t>(n - 1)];
    out += marker;
    out += "\r\n";
  }
  return out;
}

MarkerClash find_marker_clash(const Templates& templates) {
  const std::string file = template_file_text(templates);
  int first_wrong = 0;
  for (int n = 1; n <= kTemplateCount && first_wrong == 0; ++n)
    if (read_template(file, n) != templates[static_cast<std::size_t>(n - 1)]) first_wrong = n;
  if (first_wrong == 0) return {};
  // A template holding its own marker, or the marker of a later slot (whose first
  // occurrence it then is), is the one to change.
  for (int n = 1; n <= kTemplateCount; ++n) {
    const std::string& t = templates[static_cast<std::size_t>(n - 1)];
    for (int m = n; m <= kTemplateCount; ++m)
      if (text::find_at_boundary(t, template_marker(m), 0, false) != std::string_view::npos) return {n, m};
  }
  return {first_wrong, first_wrong};
}

std::vector<std::string> collect_complaint_links(std::string_view page_source) {
  std::vector<std::string> links;
  CollectBetween options;
  options.keep_start = true;
  collect_all_between(page_source, "OnlineServiceTreat", ">", links, options);
  // The page source quotes an attribute value that holds "=": the link ends at its
  // closing quote (which the old engine did not write).
  for (std::string& link : links)
    if (const std::size_t quote = link.find('"'); quote != std::string::npos) link.erase(quote);
  return links;
}

std::string particulars(std::string_view page_source) {
  std::string out;
  for (const Field& f : kFields) {
    out += gbk(f.label);
    out += text::text_between(page_source, f.marker, "</SPAN>");
    out += "\r\n";
  }
  return out;
}

std::string progress_text(std::size_t count, std::size_t number) {
  return gbk("当前共") + std::to_string(count) + gbk("个投诉,正在处理第") + std::to_string(number) +
         gbk("个投诉");
}

std::string batch_caption(std::size_t count, std::size_t number) {
  return gbk("全部处理中(") + std::to_string(number) + "/" + std::to_string(count) + ")";
}

std::string order_details_path(std::string_view page_source) {
  return text::text_between(page_source, "src:'", "'}");
}

}  // namespace tools::complaints
