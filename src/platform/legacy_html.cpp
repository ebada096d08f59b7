#include "platform/legacy_html.h"

namespace platform {
namespace {

inline bool is_ascii_alpha(char16_t c) { return (c | 0x20) >= u'a' && (c | 0x20) <= u'z'; }
inline bool is_space(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}
inline char16_t upper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }
inline char16_t lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

// Elements whose content the engine writes without escaping ("<" may appear in it).
bool is_raw_text(const char16_t* name, qsizetype len) {
  static const char* const kNames[] = {"script",  "style",    "xmp",      "iframe",
                                       "noembed", "noframes", "noscript", "plaintext"};
  for (const char* n : kNames) {
    qsizetype i = 0;
    for (; i < len && n[i] && lower(name[i]) == char16_t(n[i]); ++i) {
    }
    if (i == len && n[i] == '\0') return true;
  }
  return false;
}

// True when a value (as the engine escaped it) must stay in quotes.
bool needs_quotes(const char16_t* v, qsizetype len) {
  if (len == 0) return true;
  for (qsizetype i = 0; i < len; ++i) {
    const char16_t c = v[i];
    if (is_space(c) || c == u'"' || c == u'\'' || c == u'<' || c == u'>' || c == u'=' ||
        c == u'`')
      return true;
    if (c == u'&') {
      // Escaped forms of the characters above.
      static const char16_t* const kEsc[] = {u"&quot;", u"&lt;", u"&gt;", u"&#"};
      for (const char16_t* e : kEsc) {
        qsizetype k = 0;
        while (e[k] && i + k < len && v[i + k] == e[k]) ++k;
        if (!e[k]) return true;
      }
    }
  }
  return false;
}

// Position of the first case-insensitive "</name" at or after from, or n.
qsizetype find_end_tag(const char16_t* s, qsizetype n, qsizetype from, const char16_t* name,
                       qsizetype len) {
  for (qsizetype i = from; i + 1 + len < n; ++i) {
    if (s[i] != u'<' || s[i + 1] != u'/') continue;
    qsizetype k = 0;
    while (k < len && lower(s[i + 2 + k]) == lower(name[k])) ++k;
    if (k == len) {
      const qsizetype after = i + 2 + len;
      if (after >= n || s[after] == u'>' || s[after] == u'/' || is_space(s[after])) return i;
    }
  }
  return n;
}

qsizetype find_seq(const char16_t* s, qsizetype n, qsizetype from, const char16_t* seq) {
  qsizetype len = 0;
  while (seq[len]) ++len;
  for (qsizetype i = from; i + len <= n; ++i) {
    qsizetype k = 0;
    while (k < len && s[i + k] == seq[k]) ++k;
    if (k == len) return i;
  }
  return n;
}

}  // namespace

QString legacy_outer_html(const QString& engine_html) {
  const char16_t* s = reinterpret_cast<const char16_t*>(engine_html.constData());
  const qsizetype n = engine_html.size();
  QString out;
  out.reserve(n);
  auto append = [&out, s](qsizetype from, qsizetype to) {
    if (to > from) out.append(reinterpret_cast<const QChar*>(s + from), to - from);
  };

  qsizetype i = 0;
  while (i < n) {
    // Text up to the next markup.
    qsizetype lt = i;
    while (lt < n && s[lt] != u'<') ++lt;
    append(i, lt);
    i = lt;
    if (i >= n) break;

    const char16_t next = i + 1 < n ? s[i + 1] : 0;
    if (next == u'!') {
      const bool comment = i + 3 < n && s[i + 2] == u'-' && s[i + 3] == u'-';
      qsizetype end = comment ? find_seq(s, n, i + 4, u"-->") : find_seq(s, n, i + 2, u">");
      end = end >= n ? n : end + (comment ? 3 : 1);
      append(i, end);
      i = end;
      continue;
    }
    if (next == u'?') {
      qsizetype end = find_seq(s, n, i + 2, u">");
      end = end >= n ? n : end + 1;
      append(i, end);
      i = end;
      continue;
    }
    const bool closing = next == u'/';
    const qsizetype name_start = i + (closing ? 2 : 1);
    if (name_start >= n || !is_ascii_alpha(s[name_start])) {
      out += u'<';
      ++i;
      continue;
    }
    qsizetype p = name_start;
    while (p < n && !is_space(s[p]) && s[p] != u'/' && s[p] != u'>') ++p;
    out += closing ? QStringLiteral("</") : QStringLiteral("<");
    for (qsizetype k = name_start; k < p; ++k) out += QChar(upper(s[k]));
    const qsizetype name_len = p - name_start;

    if (closing) {
      qsizetype end = find_seq(s, n, p, u">");
      end = end >= n ? n : end + 1;
      append(p, end);
      i = end;
      continue;
    }

    // Attributes.
    bool ended = false;
    while (p < n) {
      const qsizetype ws = p;
      while (p < n && is_space(s[p])) ++p;
      append(ws, p);
      if (p >= n) break;
      if (s[p] == u'>') {
        out += u'>';
        ++p;
        ended = true;
        break;
      }
      if (s[p] == u'/') {
        out += u'/';
        ++p;
        continue;
      }
      const qsizetype an = p;
      while (p < n && !is_space(s[p]) && s[p] != u'=' && s[p] != u'>' && s[p] != u'/') ++p;
      if (p == an) {  // stray character; copy it so nothing is lost
        out += QChar(s[p]);
        ++p;
        continue;
      }
      append(an, p);
      if (p < n && s[p] == u'=') {
        ++p;
        if (p < n && (s[p] == u'"' || s[p] == u'\'')) {
          const char16_t q = s[p];
          const qsizetype vs = p + 1;
          qsizetype ve = vs;
          while (ve < n && s[ve] != q) ++ve;
          out += u'=';
          if (q == u'"' && ve < n && !needs_quotes(s + vs, ve - vs)) {
            append(vs, ve);
          } else {
            out += QChar(q);
            append(vs, ve);
            if (ve < n) out += QChar(q);
          }
          p = ve < n ? ve + 1 : n;
        } else {  // unquoted (not produced by the engine): copy as it is
          const qsizetype vs = p;
          while (p < n && !is_space(s[p]) && s[p] != u'>') ++p;
          out += u'=';
          append(vs, p);
        }
      }
    }
    i = p;
    if (ended && is_raw_text(s + name_start, name_len)) {
      const qsizetype end = find_end_tag(s, n, i, s + name_start, name_len);
      append(i, end);
      i = end;
    }
  }
  return out;
}

}  // namespace platform
