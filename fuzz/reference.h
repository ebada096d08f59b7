#pragma once
// Slow, obviously right reference versions of the boundary search, for the fuzz targets.

#include <string>
#include <string_view>

#include "text/text.h"

namespace fuzzref {

inline char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Walks every character from the start and compares character by character.
inline std::size_t find(std::string_view hay, std::string_view nd, std::size_t from, bool cs) {
  if (nd.empty()) return std::string_view::npos;
  std::size_t p = 0;
  while (p < hay.size()) {
    if (p >= from) {
      std::size_t q = p, i = 0;
      bool ok = true;
      while (ok && i < nd.size()) {
        const std::size_t len = text::char_length_at(hay, q);
        if (len == 0 || i + len > nd.size()) {
          ok = false;
          break;
        }
        for (std::size_t k = 0; k < len; ++k) {
          const char a = hay[q + k], b = nd[i + k];
          if (!(a == b || (!cs && len == 1 && fold(a) == fold(b)))) ok = false;
        }
        q += len;
        i += len;
      }
      if (ok && i == nd.size()) return p;
    }
    p += text::char_length_at(hay, p);
  }
  return std::string_view::npos;
}

}  // namespace fuzzref
