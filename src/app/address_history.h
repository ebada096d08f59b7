#pragma once
// The address history kept in the data directory's web.txt (GBK, CR LF between
// addresses, no empty lines).

#include <string>
#include <string_view>
#include <vector>

namespace app {

// The file text after recording address: unchanged when address already occurs in it
// (plain substring search, case significant; so an empty address never adds a line),
// else the text + CR LF + address cleaned with remove_blank_lines. changed tells
// whether the file must be written.
std::string history_with(std::string_view file_text, std::string_view address, bool* changed);

// Records address in web_txt (writing the file only when it changes) and returns the
// file's lines in file order.
std::vector<std::string> load_address_history(const std::string& web_txt, std::string_view address);

}  // namespace app
