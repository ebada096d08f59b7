// Ids from the scratch box, their groups and the status addresses.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/status/bulk_status_core.h"

using tools::status::group_ids;
using tools::status::ids_from_scratch;
using tools::status::status_address;
using tools::status::status_code;

namespace {

using Ids = std::vector<std::string>;

// n ids "first", "first+1", ...
Ids ids(int first, int n) {
  Ids out;
  for (int i = 0; i < n; ++i) out.push_back(std::to_string(first + i));
  return out;
}

std::string lines(const Ids& v) {
  std::string s;
  for (const auto& id : v) s += "SelfProduct/ProductTemplate.aspx?PID=" + id + "\r\n";
  return s;
}

}  // namespace

TEST(BulkStatusIds, OneIdPerLinkInOrderWithDuplicatesKept) {
  EXPECT_EQ(ids_from_scratch(lines({"7", "12", "7", "300"})), (Ids{"7", "12", "7", "300"}));
  // No trailing line break: the last line counts all the same; an empty box gives none.
  EXPECT_EQ(ids_from_scratch("SelfProduct/ProductTemplate.aspx?PID=5\r\nSelfProduct/ProductTemplate.aspx?PID=6"),
            (Ids{"5", "6"}));
  EXPECT_TRUE(ids_from_scratch("").empty());
  // Every occurrence of the prefix goes, wherever it stands; other text stays.
  EXPECT_EQ(ids_from_scratch("xSelfProduct/ProductTemplate.aspx?PID=1SelfProduct/ProductTemplate.aspx?PID=2\r\n"),
            (Ids{"x12"}));
  // A blank line in the middle is an (empty) id of its own.
  EXPECT_EQ(ids_from_scratch("SelfProduct/ProductTemplate.aspx?PID=1\r\n\r\nSelfProduct/ProductTemplate.aspx?PID=2\r\n"),
            (Ids{"1", "", "2"}));
}

TEST(BulkStatusGroups, ThreePagesOfTenTenAndFiveWithPageThreeCollectedTwice) {
  // The walk's fourth pass gets page 3 again: 10 + 10 + 5 + 5 = 30 ids, G = 10.
  Ids all = ids(1, 25);
  const Ids again = ids(21, 5);
  all.insert(all.end(), again.begin(), again.end());
  const Ids groups = group_ids(all, 3);
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0], "1,2,3,4,5,6,7,8,9,10");
  EXPECT_EQ(groups[1], "11,12,13,14,15,16,17,18,19,20");
  EXPECT_EQ(groups[2], "21,22,23,24,25,21,22,23,24,25");
}

TEST(BulkStatusGroups, TheTailBeyondGTimesPIsNotSent) {
  EXPECT_EQ(group_ids({"a", "b", "c"}, 2), (Ids{"a", "b"}));          // G = 1, "c" dropped
  EXPECT_EQ(group_ids(ids(1, 7), 3), (Ids{"1,2", "3,4", "5,6"}));      // G = 2, "7" dropped
  EXPECT_EQ(group_ids(ids(1, 6), 3), (Ids{"1,2", "3,4", "5,6"}));      // exact
  EXPECT_EQ(group_ids(ids(1, 4), 4), (Ids{"1", "2", "3", "4"}));
}

TEST(BulkStatusGroups, FewerIdsThanPagesMakeOneGroupOfAll) {
  EXPECT_EQ(group_ids({"a", "b", "c"}, 5), (Ids{"a,b,c"}));
  EXPECT_EQ(group_ids({"9"}, 2), (Ids{"9"}));
}

TEST(BulkStatusGroups, NoPageOrNoIdMakesNoGroup) {
  EXPECT_TRUE(group_ids({"a", "b"}, 0).empty());  // no division by zero
  EXPECT_TRUE(group_ids({"a", "b"}, -1).empty());
  EXPECT_TRUE(group_ids({}, 3).empty());
  EXPECT_TRUE(group_ids({}, 0).empty());
}

TEST(BulkStatusAddress, CommaAfterPidAndTheCodeOfEachButton) {
  EXPECT_EQ(status_code(0), 1);
  EXPECT_EQ(status_code(1), 0);
  EXPECT_EQ(status_code(2), -1);
  EXPECT_EQ(status_address("http://ka.example.com", "1,2,3", status_code(0)),
            "http://ka.example.com/SelfProduct/SetProductStatus.aspx?PID=,1,2,3&Status=1");
  EXPECT_EQ(status_address("http://ka.example.com", "4", status_code(1)),
            "http://ka.example.com/SelfProduct/SetProductStatus.aspx?PID=,4&Status=0");
  EXPECT_EQ(status_address("http://ka.example.com", "4", status_code(2)),
            "http://ka.example.com/SelfProduct/SetProductStatus.aspx?PID=,4&Status=-1");
  // The box text is taken as it is (no cut).
  EXPECT_EQ(status_address("http://ka.example.com/Index.aspx", "5", 1),
            "http://ka.example.com/Index.aspx/SelfProduct/SetProductStatus.aspx?PID=,5&Status=1");
}
