#pragma once
// Page automation object that captures the document's form elements once per attach.
// Keys and texts are GBK; occurrences count from 1 (0 acts like 1).

#include <QPointer>

#include <string>

#include "platform/dom_bridge.h"

class QWidget;

namespace platform { class BrowserView; }

namespace page {

using platform::Element;

// The BrowserView that browser_handle is or holds among its descendants (depth first);
// nullptr when there is none.
platform::BrowserView* find_browser(QWidget* browser_handle);

class PageSnapshot {
 public:
  PageSnapshot();
  ~PageSnapshot();
  PageSnapshot(const PageSnapshot&) = delete;
  PageSnapshot& operator=(const PageSnapshot&) = delete;

  // Obtains the document and captures every collection (frames included); true when a
  // document was obtained. On failure the snapshot is empty.
  bool attach_page(QWidget* browser_handle);

  bool click_button(const std::string& key, int occurrence = 1);
  void set_textbox_text(const std::string& key, const std::string& text, int occurrence = 1);
  std::string get_textbox_text(const std::string& key, int occurrence = 1);
  void set_textarea_text(const std::string& key, const std::string& text, int occurrence = 1);
  bool check_radio(const std::string& key, int occurrence = 1);
  Element get_radio_element(int n);
  bool click_checkbox(const std::string& key, int occurrence = 1);
  bool uncheck_checkbox(const std::string& key, int occurrence = 1);
  int count_checkboxes();
  int select_option(const std::string& key, int option_number, int occurrence = 1);
  int get_selected_index(const std::string& key, int occurrence = 1);
  int count_options(const std::string& key, int occurrence = 1);
  std::string get_option_text(const std::string& key, int option_number, int occurrence = 1);
  std::string get_select_name(const std::string& key, int occurrence = 1);
  Element get_select_element(int n);
  bool click_link(const std::string& key, int occurrence = 1);
  bool click_titled_link(const std::string& key, int occurrence = 1);
  std::string get_table_text(const std::string& key, int occurrence = 1);
  std::string get_body_html();
  Element get_document();
  void fire_element_event(const Element& element, const std::string& event_name);
  // language 1 (default) = JavaScript; any other value = VBScript, which this engine
  // lacks: nothing runs and the result is false.
  bool run_script(const std::string& script, int language = 1);

  // Sizes of the collections, in capture order, for tests and diagnostics.
  struct Counts {
    int divs = 0, buttons = 0, tables = 0, radios = 0, checkboxes = 0, textboxes = 0,
        selects = 0, links = 0, hidden = 0, images = 0, textareas = 0, frames = 0,
        forms = 0, spans = 0, list_items = 0, cites = 0, image_inputs = 0, titled_links = 0;
  };
  Counts counts() const;
  bool attached() const;

 private:
  struct Impl;
  Impl* d;
};

// Direct document operations on a handle from get_document().
Element get_element_by_id(const Element& document, const std::string& id);
void set_element_value(const Element& element, const std::string& text);

}  // namespace page
