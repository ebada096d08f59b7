// Key files in the private-profile format: "[section]" lines followed by "key=value"
// lines, CR LF, GBK. Names match without regard to ASCII case; blanks around names
// and values are ignored; the first of several equal sections is the one used.

#include <sys/stat.h>

#include <optional>
#include <vector>

#include "settings/file_internal.h"
#include "settings/settings.h"
#include "text/text.h"

namespace settings {

namespace {

struct Line {
  std::size_t begin = 0;        // first byte of the line (after a byte-order mark)
  std::size_t content_end = 0;  // end of the text without CR LF / LF
  std::size_t end = 0;          // end including the line end
};

enum class Kind { blank, section, key, other };

struct Parsed {
  Kind kind = Kind::other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// ASCII letters fold; the bytes of double-byte characters compare exactly (a trail
// byte may look like a letter).
bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  while (i < a.size()) {
    const std::size_t len = text::char_length_at(a, i);
    if (len == 1) {
      unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
      if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
      if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
      if (x != y) return false;
    } else if (a.substr(i, len) != b.substr(i, len)) {
      return false;
    }
    i += len;
  }
  return true;
}

std::vector<Line> split_lines(std::string_view f) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  if (f.size() >= 3 && f.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
  while (pos < f.size()) {
    Line l;
    l.begin = pos;
    const std::size_t nl = f.find('\n', pos);
    if (nl == std::string_view::npos) {
      l.content_end = l.end = f.size();
    } else {
      l.end = nl + 1;
      l.content_end = (nl > pos && f[nl - 1] == '\r') ? nl - 1 : nl;
    }
    lines.push_back(l);
    pos = l.end;
  }
  return lines;
}

Parsed parse(std::string_view f, const Line& l) {
  Parsed p;
  const std::string_view s = trim(f.substr(l.begin, l.content_end - l.begin));
  if (s.empty()) {
    p.kind = Kind::blank;
    return p;
  }
  if (s.front() == '[') {
    const std::size_t close = s.rfind(']');
    if (close != std::string_view::npos && close > 0) {
      p.kind = Kind::section;
      p.name = trim(s.substr(1, close - 1));
      return p;
    }
  }
  if (s.front() == ';') return p;  // comment
  const std::size_t eq = s.find('=');
  if (eq == std::string_view::npos) return p;  // not a key line: kept, never matched
  p.kind = Kind::key;
  p.name = trim(s.substr(0, eq));
  p.value = trim(s.substr(eq + 1));
  return p;
}

struct Location {
  std::optional<std::size_t> section;  // index of the section's header line
  std::optional<std::size_t> key;      // index of the key line
  std::size_t last_content = 0;        // last non-blank line of the section
};

Location locate(std::string_view f, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
  Location loc;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Parsed p = parse(f, lines[i]);
    if (!loc.section) {
      if (p.kind == Kind::section && same_name(p.name, section)) {
        loc.section = i;
        loc.last_content = i;
      }
      continue;
    }
    if (p.kind == Kind::section) break;  // end of the first matching section
    if (p.kind != Kind::blank) loc.last_content = i;
    if (!loc.key && p.kind == Kind::key && !p.name.empty() && same_name(p.name, key)) loc.key = i;
  }
  return loc;
}

// What a read through the 10240-byte buffer returns: the value up to a NUL byte, cut
// to 10239 bytes (at a character boundary, so no half character comes back).
std::string buffered_value(std::string_view v) {
  const std::size_t nul = v.find('\0');
  if (nul != std::string_view::npos) v = v.substr(0, nul);
  const std::size_t cap = kReadBuffer - 1;
  if (v.size() <= cap) return std::string(v);
  std::size_t pos = 0;
  while (true) {
    const std::size_t len = text::char_length_at(v, pos);
    if (pos + len > cap) break;
    pos += len;
  }
  return std::string(v.substr(0, pos));
}

bool file_exists(const std::string& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0;
}

std::optional<std::string> find_value(const std::string& file, std::string_view section,
                                      std::string_view key) {
  std::string f;
  if (!detail::read_file(file, f)) return std::nullopt;
  const std::vector<Line> lines = split_lines(f);
  const Location loc = locate(f, lines, trim(section), trim(key));
  if (!loc.key) return std::nullopt;
  return std::string(parse(f, lines[*loc.key]).value);
}

bool valid_name(std::string_view n) {
  return !n.empty() && n.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

std::string read_profile(const std::string& file, std::string_view section, std::string_view key) {
  const std::optional<std::string> v = find_value(file, section, key);
  return v ? buffered_value(*v) : std::string();
}

std::string read_key(const std::string& file, std::string_view key) {
  return read_profile(file, key, key);
}

bool has_key(const std::string& file, std::string_view key) {
  return find_value(file, key, key).has_value();
}

namespace {

// The file content with key set in section; false for names the format cannot hold.
// *changed tells whether the content differs now (a key line that already reads
// exactly so is left as it is, without copying the file).
bool apply(std::string& f, std::string_view section_in, std::string_view key_in,
           std::string_view value_in, bool* changed) {
  *changed = false;
  const std::string_view section = trim(section_in), key = trim(key_in);
  if (!valid_name(section) || !valid_name(key) || key.find('=') != std::string_view::npos ||
      section.front() == '[')
    return false;
  // A value is one line: a line break or NUL would end it in the file anyway, and the
  // rest would turn into stray lines (or forged keys).
  const std::string_view value =
      trim(value_in.substr(0, value_in.find_first_of(std::string_view("\r\n\0", 3))));

  const std::vector<Line> lines = split_lines(f);
  const Location loc = locate(f, lines, section, key);
  std::string out;
  out.reserve(f.size() + section.size() + key.size() + value.size() + 16);
  if (loc.key) {
    const Line& l = lines[*loc.key];
    const std::string_view name = parse(f, l).name;  // keep the name as the file spells it
    const std::string_view line(f.data() + l.begin, l.end - l.begin);
    const bool has_end = l.end > l.content_end;
    if (line.size() == name.size() + 1 + value.size() + (has_end ? 2 : 0) &&
        line.substr(0, name.size()) == name && line[name.size()] == '=' &&
        line.substr(name.size() + 1, value.size()) == value &&
        (!has_end || line.substr(line.size() - 2) == "\r\n"))
      return true;  // already so
    out.append(f, 0, l.begin);
    out.append(name);
    out += "=";
    out.append(value);
    if (l.end > l.content_end) out += "\r\n";
    out.append(f, l.end, std::string::npos);
  } else if (loc.section) {
    const Line& l = lines[loc.last_content];
    out.append(f, 0, l.end);
    if (l.end == l.content_end) out += "\r\n";  // the last line had no line end
    out.append(key);
    out += "=";
    out.append(value);
    out += "\r\n";
    out.append(f, l.end, std::string::npos);
  } else {
    out = f;
    if (!out.empty() && out.back() != '\n' && out != "\xEF\xBB\xBF") out += "\r\n";
    out += "[";
    out.append(section);
    out += "]\r\n";
    out.append(key);
    out += "=";
    out.append(value);
    out += "\r\n";
  }
  f = std::move(out);
  *changed = true;
  return true;
}

struct Setting {
  std::string_view section, key, value;
};

// One read, the settings applied in order, one atomic write (none when nothing changes).
bool write_keys_in(const std::string& file, const std::vector<Setting>& settings) {
  std::string f;
  const bool read = detail::read_file(file, f);
  if (!read && file_exists(file)) return false;  // never clobber what cannot be read
  bool changed = !read;
  for (const Setting& s : settings) {
    bool c = false;
    if (!apply(f, s.section, s.key, s.value, &c)) return false;
    changed = changed || c;
  }
  if (!changed) return true;
  return detail::replace_file(file, f, detail::FileKind::key);
}

}  // namespace

bool write_profile(const std::string& file, std::string_view section, std::string_view key,
                   std::string_view value) {
  return write_keys_in(file, {{section, key, value}});
}

bool write_keys(const std::string& file,
                const std::vector<std::pair<std::string, std::string>>& keys_values) {
  std::vector<Setting> settings;
  settings.reserve(keys_values.size());
  for (const auto& [key, value] : keys_values) settings.push_back({key, key, value});
  return write_keys_in(file, settings);
}

bool write_key(const std::string& file, std::string_view key, std::string_view value) {
  return write_profile(file, key, key, value);
}

bool KeySaver::stamp_of(const std::string& file, Stamp& out) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  out.dev = st.st_dev;
  out.ino = st.st_ino;
  out.size = st.st_size;
  out.mtime_ns = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  out.ctime_ns = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
  return true;
}

bool KeySaver::save(const std::string& file, const KeyValues& keys_values) {
  if (known_ && file == file_ && keys_values == last_) {
    Stamp now;
    if (stamp_of(file, now) && now == stamp_) return true;
  }
  known_ = false;
  if (!write_keys(file, keys_values)) return false;
  file_ = file;
  last_ = keys_values;
  known_ = stamp_of(file, stamp_);
  return true;
}

}  // namespace settings
