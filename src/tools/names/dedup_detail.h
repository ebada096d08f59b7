#pragma once
// Internals of remove_duplicates, exposed for the tests and the benchmark.

#include <cstddef>
#include <string_view>
#include <vector>

#include "tools/names/name_ops.h"

namespace tools::names::detail {

// Suffix array of s (values in [0, upper]) by induced sorting.
std::vector<int> suffix_array(const std::vector<int>& s, int upper);

// The line-by-line algorithm: search the whole kept text for every line. Quadratic;
// the reference that remove_duplicates must agree with.
DedupResult remove_duplicates_direct(std::string_view text);

// True when every character of line is ASCII or a complete double- or four-byte
// character (so a match of its bytes at a boundary always ends at a boundary).
bool well_formed(std::string_view line);

}  // namespace tools::names::detail
