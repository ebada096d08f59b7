// The fast de-duplication agrees with the line-by-line search of the kept text.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "text/text.h"
#include "tools/names/dedup_detail.h"
#include "tools/names/name_ops.h"

namespace tools::names {
namespace {

using detail::remove_duplicates_direct;

std::vector<int> naive_suffix_array(const std::vector<int>& s) {
  std::vector<int> sa(s.size());
  std::iota(sa.begin(), sa.end(), 0);
  std::sort(sa.begin(), sa.end(), [&](int a, int b) {
    return std::lexicographical_compare(s.begin() + a, s.end(), s.begin() + b, s.end());
  });
  return sa;
}

TEST(SuffixArray, MatchesSortedSuffixes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    const int n = static_cast<int>(rng() % 200);
    const int upper = 1 + static_cast<int>(rng() % 4);
    std::vector<int> s(n);
    for (int& v : s) v = static_cast<int>(rng() % (upper + 1));
    ASSERT_EQ(detail::suffix_array(s, upper), naive_suffix_array(s)) << "round " << round;
  }
  std::vector<int> same(5000, 3);
  EXPECT_EQ(detail::suffix_array(same, 3), naive_suffix_array(same));
}

// Random lists over a small alphabet: ASCII letters of both cases, characters whose
// trail bytes are letters (癮 B0 61, 癆 B0 41, 癰 B0 62), other Chinese characters, a
// four-byte character, spaces and, when asked, lone CR, LF and broken lead bytes.
std::string random_list(std::mt19937& rng, bool hostile) {
  static const std::vector<std::string> common = {
      "a", "b", "A", text::utf8_to_gbk("癮"), text::utf8_to_gbk("癆"), text::utf8_to_gbk("癰"),
      text::utf8_to_gbk("中"), text::utf8_to_gbk("卡"), " ", text::utf8_to_gbk("𠀀")};
  static const std::vector<std::string> odd = {"\r", "\n", "\xB0", "\x81\x30", "0"};
  const int lines = 1 + static_cast<int>(rng() % 40);
  std::string t;
  for (int i = 0; i < lines; ++i) {
    const int len = static_cast<int>(rng() % 5);
    for (int k = 0; k < len; ++k) {
      if (hostile && rng() % 6 == 0) {
        t += odd[rng() % odd.size()];
      } else {
        t += common[rng() % common.size()];
      }
    }
    if (i + 1 < lines || rng() % 2) t += "\r\n";
  }
  return t;
}

TEST(Dedup, AgreesWithTheDirectSearchOnRandomLists) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 20000; ++round) {
    const std::string t = random_list(rng, round % 2 == 1);
    const DedupResult fast = remove_duplicates(t);
    const DedupResult direct = remove_duplicates_direct(t);
    ASSERT_EQ(fast.text, direct.text) << "round " << round;
    ASSERT_EQ(fast.lines, direct.lines);
    ASSERT_EQ(fast.kept, direct.kept);
    ASSERT_EQ(fast.kept, split_lines(fast.text).size());
  }
}

TEST(Dedup, AgreesOnALongListWithSubstrings) {
  // Many lines that are pieces of earlier lines and long repeated runs.
  std::mt19937 rng(99);
  std::vector<std::string> pool;
  std::string t;
  for (int i = 0; i < 3000; ++i) {
    std::string line;
    if (!pool.empty() && rng() % 3 == 0) {
      const std::string& from = pool[rng() % pool.size()];
      const std::size_t a = rng() % (from.size() + 1);
      line = from.substr(a, rng() % (from.size() - a + 1));
    } else {
      const int len = 1 + static_cast<int>(rng() % 12);
      for (int k = 0; k < len; ++k) line += (rng() % 2) ? text::utf8_to_gbk("点卡") : "Q";
      if (rng() % 2) line += std::to_string(rng() % 50);
    }
    pool.push_back(line);
    t += line + "\r\n";
  }
  EXPECT_EQ(remove_duplicates(t).text, remove_duplicates_direct(t).text);
}

TEST(Dedup, WellFormedLines) {
  EXPECT_TRUE(detail::well_formed(""));
  EXPECT_TRUE(detail::well_formed("ab " + text::utf8_to_gbk("中𠀀")));
  EXPECT_FALSE(detail::well_formed("a\xB0"));
  EXPECT_FALSE(detail::well_formed("\x81\x30x"));
  EXPECT_FALSE(detail::well_formed("\x80"));
}

}  // namespace
}  // namespace tools::names
