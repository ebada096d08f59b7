#pragma once
// What the card import computes without the page: the import addresses on the inventory
// page, the card count in force, the pace and the text sent for one product. Plain C++
// over GBK bytes.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tools::cards {

inline constexpr std::string_view kInventoryPath = "/SelfProduct/SelfProductInventory.aspx";
// Around each product's card-import address in the inventory page's source.
inline constexpr std::string_view kAddressStart = "iframe:{src:'";
inline constexpr std::string_view kAddressEnd = "'}";

// The card counts of the four boxes, in the order they are tested.
inline constexpr std::array<int, 4> kCardCounts = {50, 100, 200, 400};

// Every card-import address of the page source, left to right, trimmed; the collection
// ends at a start marker without end marker and at an empty address.
std::vector<std::string> import_addresses(std::string_view page_source);

// The card count in force for the next product: the count of the first ticked box
// (50, 100, 200, 400 in that order); current when no box is ticked.
int card_count(const std::array<bool, 4>& ticked, int current);

// The pace box as a whole number of seconds: an optional sign and the digits that
// follow leading spaces; anything else (or nothing) counts as 0. Values beyond what a
// wait can hold are capped.
long long pace_seconds(std::string_view text);
// The wait between "Submit" and "Save" for that pace: 0 for a pace of 0 or less.
long long pace_wait_ms(std::string_view text);

// The card lines of the content box (GBK, lines ending CR LF; a final line break adds
// no line).
std::vector<std::string> card_lines(std::string_view content);

// The text sent for one product: line followed by CR LF, count times (empty for a
// count of 0 or less).
std::string import_text(std::string_view line, int count);

}  // namespace tools::cards
