#pragma once
// Small text helpers of the demo server: escaping, form decoding, GBK output.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace demo {

// Without ASCII white space at either end.
std::string trim(const std::string& s);
std::string html_escape(const std::string& s);
std::string json_escape(const std::string& s);  // with the surrounding quotes
bool valid_utf8(const std::string& s);

// One decoded application/x-www-form-urlencoded body, in order, duplicates kept.
struct FormData {
  std::vector<std::pair<std::string, std::string>> fields;
  // First value of name, or "" when absent.
  std::string get(const std::string& name) const;
  bool has(const std::string& name) const;
  std::vector<std::string> all(const std::string& name) const;
  // Longest value (bytes).
  size_t longest_value() const;
};

// Decodes a urlencoded body; nullopt when it is malformed (a bad %-escape or a
// name or value that is not UTF-8) and sets error to the reason.
std::optional<FormData> parse_form(const std::string& body, std::string& error);

// UTF-8 to GBK bytes (via GB18030); characters outside it become '?'.
std::string utf8_to_gbk(const std::string& utf8);

// Standard base64 with padding, as ASP.NET writes __VIEWSTATE. decode gives nullopt
// for text that is not base64.
std::string base64_encode(const std::string& bytes);
std::optional<std::string> base64_decode(const std::string& text);

}  // namespace demo
