// User names of new sub-accounts: shape, repeats, kinds of character, the retry rule.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/subaccounts/user_name.h"

namespace {

using tools::subaccounts::clock_seed;
using tools::subaccounts::make_name;
using tools::subaccounts::NameChoice;
using tools::subaccounts::next_name;

// 1-based positions of the name where each random character stands, written out from
// the layout c1 c2 c3 c4 c5 c6 c7 c8 c1 c10 c11 c12 c3 c2 c3 c4 c5 c5 c5 c1 c9 c10 c11 c2.
const std::map<int, std::vector<int>> kPositions = {
    {1, {1, 9, 20}}, {2, {2, 14, 24}}, {3, {3, 13, 15}}, {4, {4, 16}}, {5, {5, 17, 18, 19}}, {6, {6}},
    {7, {7}},        {8, {8}},         {9, {21}},        {10, {10, 22}}, {11, {11, 23}},       {12, {12}},
};
const std::set<int> kFirstLetters = {6, 7, 9};
const std::set<int> kSecondLetters = {1, 3, 4, 6, 10, 11};

char at(const std::string& name, int position) { return name[static_cast<size_t>(position - 1)]; }

void expect_shape(const std::string& name, const std::set<int>& letters) {
  ASSERT_EQ(name.size(), 24u) << name;
  int covered = 0;
  for (const auto& [c, positions] : kPositions) {
    const char first = at(name, positions.front());
    for (int p : positions) {
      EXPECT_EQ(at(name, p), first) << name << ": c" << c << " at position " << p;
      ++covered;
    }
    if (letters.count(c))
      EXPECT_TRUE(first >= 'A' && first <= 'Z') << name << ": c" << c << " should be a letter";
    else
      EXPECT_TRUE(first >= '0' && first <= '9') << name << ": c" << c << " should be a digit";
  }
  EXPECT_EQ(covered, 24);
}

TEST(UserName, BothChoicesRepeatTheSharedCharactersAndPutLettersAndDigitsInTheirPlaces) {
  for (std::uint64_t seed = 1; seed <= 500; ++seed) {
    expect_shape(make_name(NameChoice::first, seed * 7919), kFirstLetters);
    expect_shape(make_name(NameChoice::second, seed * 7919), kSecondLetters);
  }
}

TEST(UserName, CharactersAreDrawnFromEveryDigitAndLetterEvenly) {
  // Across many seeds, c6 (a letter in both choices) and c2 (a digit in both) take every
  // value of their kind, each about equally often.
  std::map<char, int> letters, digits;
  const int n = 26000;
  for (int seed = 0; seed < n; ++seed) {
    const std::string name = make_name(seed % 2 ? NameChoice::first : NameChoice::second, seed + 1000003ull * seed);
    ++letters[at(name, 6)];
    ++digits[at(name, 2)];
  }
  ASSERT_EQ(letters.size(), 26u);
  ASSERT_EQ(digits.size(), 10u);
  for (const auto& [c, k] : letters) EXPECT_NEAR(k, n / 26, n / 26 / 4) << c;
  for (const auto& [c, k] : digits) EXPECT_NEAR(k, n / 10, n / 10 / 4) << c;
}

TEST(UserName, TheSameSeedGivesTheSameNameAndCharactersDiffer) {
  EXPECT_EQ(make_name(NameChoice::first, 42), make_name(NameChoice::first, 42));
  EXPECT_NE(make_name(NameChoice::first, 42), make_name(NameChoice::first, 43));
  // The twelve characters are drawn independently: over a few names, c1 and c2 differ
  // somewhere (a generator that repeats one value would fail this).
  bool differ = false;
  for (std::uint64_t s = 1; s < 20; ++s) {
    const std::string name = make_name(NameChoice::first, s);
    differ = differ || at(name, 1) != at(name, 2);
  }
  EXPECT_TRUE(differ);
}

TEST(UserName, FirstChoiceUnlessItEqualsTheBoxThenTheSecondUntilItDiffers) {
  int calls = 0;
  auto fixed = [&calls](std::uint64_t s) {
    return [&calls, s] {
      ++calls;
      return s;
    };
  };
  // The box holds something else: one generation, first choice.
  EXPECT_EQ(next_name("", fixed(5)), make_name(NameChoice::first, 5));
  EXPECT_EQ(calls, 1);

  // The first choice equals the box: the second choice, seeded afresh.
  calls = 0;
  const std::string box = make_name(NameChoice::first, 5);
  std::vector<std::uint64_t> seeds = {5, 6};
  auto sequence = [&] { return seeds[static_cast<size_t>(calls++)]; };
  const std::string name = next_name(box, sequence);
  EXPECT_EQ(name, make_name(NameChoice::second, 6));
  EXPECT_NE(name, box);
  EXPECT_EQ(calls, 2);
  expect_shape(name, kSecondLetters);

  // A box holding a second-choice name: the first choice never equals it.
  calls = 0;
  EXPECT_EQ(next_name(make_name(NameChoice::second, 5), fixed(5)), make_name(NameChoice::first, 5));
  EXPECT_EQ(calls, 1);
}

TEST(UserName, ClockSeededNamesInATightLoopNeverRepeat) {
  std::set<std::uint64_t> seeds;
  for (int i = 0; i < 10000; ++i) seeds.insert(clock_seed());
  EXPECT_EQ(seeds.size(), 10000u);

  std::set<std::string> names;
  std::string box;
  for (int i = 0; i < 2000; ++i) {
    box = next_name(box, clock_seed);
    names.insert(box);
  }
  EXPECT_EQ(names.size(), 2000u);
}

}  // namespace
