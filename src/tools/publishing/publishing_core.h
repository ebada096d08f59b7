#pragma once
// The Qt-free parts of the publishing tool: the title-colour palette, the catalogue
// listing, the colour picker's pages and the code it reads back. GBK bytes throughout.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools::publishing {

inline constexpr int kPaletteSize = 276;

// The palette as one text: 276 codes "#rrggbb" (lower case) separated by CR LF.
const std::string& palette_text();
// The same, one code per entry.
const std::vector<std::string>& palette();
// Entry 1..276; empty outside that range.
std::string palette_entry(int index);

// Catalogue listing built from the outer text of the add form's first table: lines
// 3 .. k-15 of its k lines, each followed by "   编号：" + (line number - 1) + CR LF.
std::string catalogue_listing(std::string_view table_text);
// First line of the listing that contains keyword (case-sensitive); nullopt if none.
std::optional<std::string> find_listing_line(std::string_view listing, std::string_view keyword);

// The colour code left in the picker's rewritten document: every marker removed
// ("当前选中颜色代码值为：" and the bare tags), surrounding white space trimmed.
std::string colour_code_from_html(std::string_view html);
// Documents shorter than this are the picker's rewritten page.
inline constexpr std::size_t kPickedDocumentLimit = 100;

// Palette page (Setcolor.htm) and converter page (rgb.html), GBK.
std::string palette_page();
std::string converter_page();
// Id of the converter page's code input; its outputs are "r", "g", "b", its button "submit".
inline constexpr const char* kConverterInput = "colorcode";

// Red, green and blue of "#rgb" / "#rrggbb" (either case); nullopt for anything else.
// The converter page does the same in the page; this is its reference.
struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};
std::optional<Rgb> parse_colour_code(std::string_view code);

}  // namespace tools::publishing
