#pragma once
// User names for new sub-accounts: 24 characters built from twelve random characters
// c1 ... c12 in a fixed pattern, each a decimal digit or an upper-case letter.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tools::subaccounts {

inline constexpr int kNameLength = 24;

// Which of c1 ... c12 stands at each position of the name (1-based character numbers).
inline constexpr std::array<int, kNameLength> kNamePattern = {1, 2, 3, 4, 5, 6, 7, 8, 1, 10, 11, 12,
                                                              3, 2, 3, 4, 5, 5, 5, 1, 9, 10, 11, 2};

// First choice: c6, c7 and c9 are letters, the others digits. Second choice: c1, c3, c4,
// c6, c10 and c11 are letters, the others digits.
enum class NameChoice { first, second };

// True when character n (1..12) is a letter under choice.
bool is_letter(NameChoice choice, int n);

// The name that a generator seeded with seed gives under choice: every character drawn
// with equal probability from the ten digits or the 26 letters "A"-"Z".
std::string make_name(NameChoice choice, std::uint64_t seed);

// A new name for a box that holds current: the first choice, or, when that equals
// current, the second choice again and again until it differs. The generator is seeded
// from seed() before each generation.
std::string next_name(const std::string& current, const std::function<std::uint64_t()>& seed);

// A seed from the clock (nanoseconds), made distinct for every call in the process so
// that two generations within one clock tick still differ.
std::uint64_t clock_seed();

}  // namespace tools::subaccounts
