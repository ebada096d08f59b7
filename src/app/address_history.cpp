#include "app/address_history.h"

#include "settings/settings.h"
#include "text/text.h"

namespace app {

std::string history_with(std::string_view file_text, std::string_view address, bool* changed) {
  if (file_text.find(address) != std::string_view::npos) {
    if (changed) *changed = false;
    return std::string(file_text);
  }
  std::string joined(file_text);
  joined += "\r\n";
  joined += address;
  if (changed) *changed = true;
  return text::remove_blank_lines(joined);
}

std::vector<std::string> load_address_history(const std::string& web_txt, std::string_view address) {
  bool changed = false;
  std::string content = history_with(settings::read_whole_file(web_txt), address, &changed);
  if (changed) settings::write_whole_file(web_txt, content);
  // The list shows the file as it is now (read again, as a failed write leaves it).
  return text::split_text(settings::read_whole_file(web_txt), "\r\n");
}

}  // namespace app
