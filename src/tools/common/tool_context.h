#pragma once
// What a tool window needs of the application shell. The main window implements it;
// tests can implement it over a plain BrowserView.

#include <QString>

#include <string>
#include <string_view>

class QWidget;

namespace platform { class BrowserView; }
namespace page { class PageObjects; }

namespace tools {

// Platform root of an address: the part before its first ".cn" followed by ".cn", else
// before its first ".com" followed by ".com"; empty when neither occurs. Markers are
// found without regard to case and count only where they end a host label (not
// followed by an ASCII letter, digit or hyphen), so "http://www.cnkami.com/x" gives
// "http://www.cnkami.com".
std::string platform_root(std::string_view address);

class ToolContext {
 public:
  virtual ~ToolContext() = default;

  // "Quillory-TessaroV4.3正式版" (the main window's title).
  virtual QString main_title() const = 0;
  // The data directory in use, without a trailing separator (decided at start-up).
  virtual std::string data_dir() const = 0;
  // The address box of the main window (GBK).
  virtual std::string address_text() const = 0;
  virtual void set_address_text(const std::string& text) = 0;
  // The browser control of the browser window (the `browser handle` of the tools).
  virtual platform::BrowserView* main_browser() = 0;
  virtual page::PageObjects& pages() = 0;

  // Writes the platform root of the address box back into it and returns it.
  std::string take_platform_root();
  // Address box text followed by path, without any cut.
  std::string backoffice_address(std::string_view path) const;
  // Navigates the main browser to a GBK address.
  void navigate_main(const std::string& address);
  std::string data_file(std::string_view name) const;
  void ensure_data_dir() const;
};

}  // namespace tools
