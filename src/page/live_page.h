#pragma once
// Page automation object that searches the current document afresh on every call.
// Keys and texts are GBK; skip passes over the first k attribute matches.

#include <string>

#include "platform/dom_bridge.h"

class QWidget;

namespace page {

class LivePage {
 public:
  LivePage();
  ~LivePage();
  LivePage(const LivePage&) = delete;
  LivePage& operator=(const LivePage&) = delete;

  // False when the handle holds no browser or no document was obtained.
  bool attach_live_page(QWidget* browser_handle);

  void live_set_input_text(const std::string& key, const std::string& text, int skip = 0);
  void live_set_textarea_text(const std::string& key, const std::string& text, int skip = 0);
  bool live_check_radio(const std::string& key, int skip = 0, bool fire = false);
  bool live_click_button(const std::string& key, int skip = 0);
  bool live_click_link(const std::string& key, int skip = 0, bool clear_target = false);
  // outerHTML of the root element in the old engine's serialisation, CR LF line ends.
  std::string get_document_html();
  // Bytes of the picture the page shows: a 24-bit BMP file for format 0 and 1,
  // re-encoded for 2 JPEG, 3 GIF, 4 TIFF, 5 PNG; empty when nothing was found.
  // The clipboard's text is left as it was.
  std::string get_image_element_bytes(const std::string& key, int format = 0);
  // language 0 (default) = JavaScript; any other value = VBScript: nothing, false.
  bool run_script(const std::string& script, int language = 0);

  QWidget* browser_handle() const;

 private:
  struct Impl;
  Impl* d;
};

}  // namespace page
