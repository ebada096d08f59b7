// The complaint window's plain logic: Complaint.txt read per slot and written whole,
// marker clashes, complaint links, particulars and progress texts.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "settings/settings.h"
#include "text/text.h"
#include "tools/complaints/complaint_core.h"

using namespace tools::complaints;

namespace {

std::string g(const char* utf8) { return text::utf8_to_gbk(utf8); }
std::string u8(const std::string& gbk) { return text::gbk_to_utf8(gbk); }

class TempFile {
 public:
  TempFile() {
    path_ = (std::filesystem::temp_directory_path() /
             ("complaint_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++) + ".txt"))
                .string();
  }
  ~TempFile() { std::filesystem::remove(path_); }
  const std::string& path() const { return path_; }
  void write(const std::string& bytes) const {
    std::ofstream out(path_, std::ios::binary);
    out << bytes;
  }

 private:
  static inline int counter_ = 0;
  std::string path_;
};

Templates sample_templates() {
  Templates t;
  for (int n = 1; n <= kTemplateCount; ++n) t[n - 1] = g("回复") + std::to_string(n);
  t[1] = g("您好！\r\n已为您补发。\r\n\r\n祝您愉快");
  t[4] = "";
  t[9] = g("第十个[1模板]");
  return t;
}

}  // namespace

TEST(TemplateFile, IsTwelveMarkedEntriesWithCrLfAndNothingElse) {
  Templates t;
  t[0] = "a";
  t[11] = g("好");
  const std::string file = template_file_text(t);
  EXPECT_EQ(file, "[1]a[1]\r\n[2][2]\r\n[3][3]\r\n[4][4]\r\n[5][5]\r\n[6][6]\r\n[7][7]\r\n[8][8]\r\n[9][9]\r\n"
                  "[10][10]\r\n[11][11]\r\n[12]" + g("好") + "[12]\r\n");
}

TEST(TemplateFile, LineBreaksAndEmptySlotsSurviveWriteAndRead) {
  const Templates t = sample_templates();
  TempFile f;
  ASSERT_TRUE(settings::write_whole_file(f.path(), template_file_text(t)));
  EXPECT_EQ(read_template_file(f.path()), t);
  EXPECT_EQ(find_marker_clash(t).template_no, 0);
}

TEST(TemplateFile, MissingFileAndMissingMarkersReadEmpty) {
  TempFile f;  // never written
  for (const auto& t : read_template_file(f.path())) EXPECT_TRUE(t.empty());
  // Without its fifth marker pair only the fifth slot is empty.
  Templates t = sample_templates();
  t[4] = "five";
  std::string file = template_file_text(t);
  const std::string entry = "[5]five[5]\r\n";
  file.erase(file.find(entry), entry.size());
  f.write(file);
  const Templates back = read_template_file(f.path());
  for (int n = 1; n <= kTemplateCount; ++n) {
    if (n == 5) EXPECT_TRUE(back[n - 1].empty());
    else EXPECT_EQ(back[n - 1], t[n - 1]) << n;
  }
  // One marker alone reads empty too.
  EXPECT_EQ(read_template("[3]only an opening", 3), "");
  EXPECT_EQ(read_template("x[3]between[3]y[3]z[3]", 3), "between");
}

TEST(TemplateFile, MarkersOfOneDigitAreNotFoundInsideTwoDigitOnes) {
  const std::string file = "[10]ten[10]\r\n[11]eleven[11]\r\n[12]twelve[12]\r\n[1]one[1]\r\n";
  EXPECT_EQ(read_template(file, 1), "one");
  EXPECT_EQ(read_template(file, 10), "ten");
  EXPECT_EQ(read_template(file, 12), "twelve");
  EXPECT_EQ(read_template(file, 2), "");
}

TEST(TemplateFile, RandomBytesAndHugeFilesReadWithoutTrouble) {
  TempFile f;
  std::mt19937 rng(7);
  std::string noise(256 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  f.write(noise);
  const Templates t = read_template_file(f.path());  // whatever it finds, no crash
  for (const auto& s : t) EXPECT_LE(s.size(), noise.size());

  // 10 MB: one long template among ordinary ones.
  Templates big = sample_templates();
  big[6] = std::string(10 * 1024 * 1024, 'x');
  f.write(template_file_text(big));
  const Templates back = read_template_file(f.path());
  EXPECT_EQ(back[6].size(), big[6].size());
  EXPECT_EQ(back[11], big[11]);
}

TEST(MarkerClash, ATemplateHoldingItsOwnMarkerIsNamed) {
  Templates t = sample_templates();
  t[2] = g("请看[3]这里");
  const MarkerClash c = find_marker_clash(t);
  EXPECT_EQ(c.template_no, 3);
  EXPECT_EQ(c.marker_no, 3);
}

TEST(MarkerClash, ALaterSlotsMarkerBreaksThatSlotAndNamesTheHolder) {
  Templates t = sample_templates();
  t[0] = "see [7] below";
  const MarkerClash c = find_marker_clash(t);
  EXPECT_EQ(c.template_no, 1);
  EXPECT_EQ(c.marker_no, 7);
  // Written anyway, slot 7 would not read back: the check is about real damage.
  EXPECT_NE(read_template(template_file_text(t), 7), t[6]);
}

TEST(MarkerClash, EarlierSlotsMarkersAndNearMissesAreHarmless) {
  Templates t = sample_templates();
  t[6] = "see [1] and [2]";  // earlier slots read before reaching slot 7
  t[7] = "[8 ] [ 8] [08 [8";
  t[8] = "]";
  EXPECT_EQ(find_marker_clash(t).template_no, 0);
  const std::string file = template_file_text(t);
  for (int n = 1; n <= kTemplateCount; ++n) EXPECT_EQ(read_template(file, n), t[n - 1]) << n;
}

TEST(ComplaintLinks, CollectedFromTheListUpToTheNextAngleBracket) {
  const std::string page =
      "<TABLE><TR><TD><A class=treat href=OnlineServiceTreat.aspx?ID=1001>" + g("处理") +
      "</A></TD></TR><TR><TD><A href= OnlineServiceTreat.aspx?ID=1002 >x</A>"
      "<A href=onlineservicetreat.aspx?ID=1003>y</A></TD></TR></TABLE>";
  EXPECT_EQ(collect_complaint_links(page),
            (std::vector<std::string>{"OnlineServiceTreat.aspx?ID=1001", "OnlineServiceTreat.aspx?ID=1002",
                                      "OnlineServiceTreat.aspx?ID=1003"}));
}

TEST(ComplaintLinks, AQuotedValueEndsTheLinkAtItsClosingQuote) {
  // A value holding "=" is written in quotes; what follows the quote is not the link.
  EXPECT_EQ(collect_complaint_links("<A class=treat href=\"OnlineServiceTreat.aspx?ID=1001\">a</A>"
                                    "<A href=\"OnlineServiceTreat.aspx?ID=1002\" target=_blank>b</A>"),
            (std::vector<std::string>{"OnlineServiceTreat.aspx?ID=1001", "OnlineServiceTreat.aspx?ID=1002"}));
}

TEST(ComplaintLinks, StopAtAnEmptyPieceOrAMissingEnd) {
  EXPECT_TRUE(collect_complaint_links("<P>" + g("暂无投诉记录。") + "</P>").empty());
  EXPECT_EQ(collect_complaint_links("<A href=OnlineServiceTreat.aspx?ID=1>a</A><B OnlineServiceTreat>"
                                    "<A href=OnlineServiceTreat.aspx?ID=3>"),
            (std::vector<std::string>{"OnlineServiceTreat.aspx?ID=1"}));
  EXPECT_EQ(collect_complaint_links("<A href=OnlineServiceTreat.aspx?ID=1>a</A> OnlineServiceTreat.aspx?ID=2"),
            (std::vector<std::string>{"OnlineServiceTreat.aspx?ID=1"}));
}

TEST(Particulars, FiveLabelledLinesFromTheSpans) {
  const std::string page =
      "<TD><SPAN id=CustomerID>lisi2008</SPAN></TD><SPAN id=ComplaintDate>2024-05-02 11:21:00</SPAN>"
      "<span id=complainttitle>" + g("卡密无效") + "</span><SPAN id=SaleOrderNO>S2024107007</SPAN>"
      "<SPAN id=Complaint>" + g("提示卡密已被使用") + "</SPAN>";
  EXPECT_EQ(u8(particulars(page)),
            "投诉客户：lisi2008\r\n投诉时间：2024-05-02 11:21:00\r\n投诉主题：卡密无效\r\n订单号：S2024107007\r\n"
            "投诉内容：提示卡密已被使用\r\n");
}

TEST(Particulars, AbsentFieldsKeepTheirLabelsAndHugeTextsPassWhole) {
  EXPECT_EQ(u8(particulars("<HTML><BODY>loading")),
            "投诉客户：\r\n投诉时间：\r\n投诉主题：\r\n订单号：\r\n投诉内容：\r\n");
  const std::string huge(100 * 1024, 'z');
  const std::string p = particulars("<SPAN id=Complaint>" + huge + "</SPAN>");
  EXPECT_NE(p.find(huge + "\r\n"), std::string::npos);
}

TEST(ProgressTexts, StatusBarAndBatchCaption) {
  EXPECT_EQ(u8(progress_text(3, 1)), "当前共3个投诉,正在处理第1个投诉");
  EXPECT_EQ(u8(progress_text(12, 10)), "当前共12个投诉,正在处理第10个投诉");
  EXPECT_EQ(u8(batch_caption(3, 2)), "全部处理中(2/3)");
}

TEST(OrderDetails, RelativeAddressFromTheDialogScript) {
  EXPECT_EQ(order_details_path("onclick=\"showDialog({title:'x', iframe:{src:'SelfProduct/SaleOrderDetail.aspx?"
                               "OrderNO=S1'}})\""),
            "SelfProduct/SaleOrderDetail.aspx?OrderNO=S1");
  EXPECT_EQ(order_details_path("<P>no dialog</P>"), "");
}
