#pragma once
// The complaint window's plain logic: the reply templates of Complaint.txt, the complaint
// links of the list page, the particulars of a complaint page and the progress texts.
// GBK bytes throughout.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tools::complaints {

inline constexpr int kTemplateCount = 12;
using Templates = std::array<std::string, kTemplateCount>;

inline constexpr const char* kListPath = "/SelfProduct/ComplaintList.aspx";
inline constexpr const char* kComplaintDir = "/SelfProduct/";

// "[n]".
std::string template_marker(int n);
// Template n (1-12) of a Complaint.txt text: between the first "[n]" and the next "[n]"
// after it; empty when either is missing.
std::string read_template(std::string_view file_text, int n);
// The file read once per slot, in slot order; a missing file reads as empty templates.
Templates read_template_file(const std::string& path);
// The whole file: "[n]" + template n + "[n]" + CR LF for n = 1 to 12.
std::string template_file_text(const Templates& templates);

// Why a set of templates cannot be saved: the template (1-12) that holds a marker which
// would cut a slot short when the file is read back, and that marker's number. template_no
// 0 when every template reads back as written.
struct MarkerClash {
  int template_no = 0;
  int marker_no = 0;
};
MarkerClash find_marker_clash(const Templates& templates);

// Every "OnlineServiceTreat" in the page source with the text up to the next ">", trimmed;
// stops at a start without ">" after it and at an empty piece. A link ends before a
// double quote (the end of a quoted attribute value).
std::vector<std::string> collect_complaint_links(std::string_view page_source);

// The five labelled lines of a complaint page ("投诉客户：" ... "投诉内容："), each ending in
// CR LF; a value is the text between its SPAN marker and the next "</SPAN>".
std::string particulars(std::string_view page_source);

// "当前共" + count + "个投诉,正在处理第" + number + "个投诉".
std::string progress_text(std::size_t count, std::size_t number);
// The process button's caption while one press treats every remaining complaint.
std::string batch_caption(std::size_t count, std::size_t number);

// Order details' relative address: the text between "src:'" and the next "'}".
std::string order_details_path(std::string_view page_source);

}  // namespace tools::complaints
