#pragma once
// All texts between two markers, as the product-list tools collect template links,
// card-import addresses and complaint links. Plain C++ over GBK bytes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

struct CollectBetween {
  bool case_sensitive = false;
  std::size_t max_length = 0;  // 0: no limit; a longer piece ends the collection
  std::string prefix;
  std::string suffix;
  bool keep_start = false;  // put the start marker in front of each item
  bool keep_end = false;    // append the end marker to each item
  std::size_t start = 1;    // 1-based byte position where the search begins
};

// Empties out, then walks the source from the start position: the text between a start
// marker and the next end marker after it, trimmed of ASCII and full-width spaces,
// becomes prefix + text + suffix (markers as asked). The next search begins at that end
// marker. The walk stops at a start marker without end marker, at an empty piece and at
// a piece longer than max_length, so it may end before the source does. Returns out.size().
std::size_t collect_all_between(std::string_view source, std::string_view start_marker,
                                std::string_view end_marker, std::vector<std::string>& out,
                                const CollectBetween& options = {});

}  // namespace tools
