// Suffix array by induced sorting (SA-IS), linear time.

#include <algorithm>
#include <numeric>
#include <vector>

#include "tools/names/dedup_detail.h"

namespace tools::names::detail {

namespace {

std::vector<int> sa_naive(const std::vector<int>& s) {
  const int n = static_cast<int>(s.size());
  std::vector<int> sa(n);
  std::iota(sa.begin(), sa.end(), 0);
  std::sort(sa.begin(), sa.end(), [&](int l, int r) {
    if (l == r) return false;
    while (l < n && r < n) {
      if (s[l] != s[r]) return s[l] < s[r];
      ++l;
      ++r;
    }
    return l == n;
  });
  return sa;
}

std::vector<int> sa_is(const std::vector<int>& s, int upper) {
  const int n = static_cast<int>(s.size());
  if (n == 0) return {};
  if (n < 10) return sa_naive(s);

  std::vector<int> sa(n);
  std::vector<char> ls(n, 0);  // 1: S-type (suffix smaller than the next one)
  for (int i = n - 2; i >= 0; --i) {
    ls[i] = (s[i] == s[i + 1]) ? ls[i + 1] : (s[i] < s[i + 1]);
  }
  std::vector<int> sum_l(upper + 1, 0), sum_s(upper + 1, 0);
  for (int i = 0; i < n; ++i) {
    if (!ls[i]) {
      sum_s[s[i]]++;
    } else {
      sum_l[s[i] + 1]++;
    }
  }
  for (int i = 0; i <= upper; ++i) {
    sum_s[i] += sum_l[i];
    if (i < upper) sum_l[i + 1] += sum_s[i];
  }

  std::vector<int> buf(upper + 1);
  auto induce = [&](const std::vector<int>& lms) {
    std::fill(sa.begin(), sa.end(), -1);
    std::copy(sum_s.begin(), sum_s.end(), buf.begin());
    for (int d : lms) {
      if (d == n) continue;
      sa[buf[s[d]]++] = d;
    }
    std::copy(sum_l.begin(), sum_l.end(), buf.begin());
    sa[buf[s[n - 1]]++] = n - 1;
    for (int i = 0; i < n; ++i) {
      const int v = sa[i];
      if (v >= 1 && !ls[v - 1]) sa[buf[s[v - 1]]++] = v - 1;
    }
    std::copy(sum_l.begin(), sum_l.end(), buf.begin());
    for (int i = n - 1; i >= 0; --i) {
      const int v = sa[i];
      if (v >= 1 && ls[v - 1]) sa[--buf[s[v - 1] + 1]] = v - 1;
    }
  };

  std::vector<int> lms_map(n + 1, -1);
  int m = 0;
  for (int i = 1; i < n; ++i) {
    if (!ls[i - 1] && ls[i]) lms_map[i] = m++;
  }
  std::vector<int> lms;
  lms.reserve(m);
  for (int i = 1; i < n; ++i) {
    if (!ls[i - 1] && ls[i]) lms.push_back(i);
  }

  induce(lms);

  if (m) {
    std::vector<int> sorted_lms;
    sorted_lms.reserve(m);
    for (int v : sa) {
      if (lms_map[v] != -1) sorted_lms.push_back(v);
    }
    std::vector<int> rec_s(m);
    int rec_upper = 0;
    rec_s[lms_map[sorted_lms[0]]] = 0;
    for (int i = 1; i < m; ++i) {
      int l = sorted_lms[i - 1], r = sorted_lms[i];
      const int end_l = (lms_map[l] + 1 < m) ? lms[lms_map[l] + 1] : n;
      const int end_r = (lms_map[r] + 1 < m) ? lms[lms_map[r] + 1] : n;
      bool same = true;
      if (end_l - l != end_r - r) {
        same = false;
      } else {
        while (l < end_l) {
          if (s[l] != s[r]) break;
          ++l;
          ++r;
        }
        if (l == n || s[l] != s[r]) same = false;
      }
      if (!same) ++rec_upper;
      rec_s[lms_map[sorted_lms[i]]] = rec_upper;
    }
    std::vector<int> rec_sa = sa_is(rec_s, rec_upper);
    for (int i = 0; i < m; ++i) sorted_lms[i] = lms[rec_sa[i]];
    induce(sorted_lms);
  }
  return sa;
}

}  // namespace

std::vector<int> suffix_array(const std::vector<int>& s, int upper) { return sa_is(s, upper); }

}  // namespace tools::names::detail
