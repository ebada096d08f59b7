#include "tools/subaccounts/user_name.h"

#include <atomic>
#include <chrono>
#include <random>

namespace tools::subaccounts {

bool is_letter(NameChoice choice, int n) {
  if (choice == NameChoice::first) return n == 6 || n == 7 || n == 9;
  return n == 1 || n == 3 || n == 4 || n == 6 || n == 10 || n == 11;
}

std::string make_name(NameChoice choice, std::uint64_t seed) {
  std::seed_seq seq{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32)};
  std::mt19937 random(seq);
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> letter(0, 25);
  std::array<char, 13> c{};
  for (int n = 1; n <= 12; ++n)
    c[n] = is_letter(choice, n) ? static_cast<char>('A' + letter(random)) : static_cast<char>('0' + digit(random));
  std::string name;
  name.reserve(kNameLength);
  for (int n : kNamePattern) name += c[n];
  return name;
}

std::string next_name(const std::string& current, const std::function<std::uint64_t()>& seed) {
  std::string name = make_name(NameChoice::first, seed());
  while (name == current) name = make_name(NameChoice::second, seed());
  return name;
}

std::uint64_t clock_seed() {
  static std::atomic<std::uint64_t> calls{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ns = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
  // The call count goes into the high bits, so a clock that did not move still gives a
  // new seed.
  return ns ^ (calls.fetch_add(1) * 0x9E3779B97F4A7C15ull);
}

}  // namespace tools::subaccounts
