#pragma once
// A ToolContext without a main browser, for windows that never touch the back office.

#include <QString>

#include <string>
#include <utility>

#include "page/page_objects.h"
#include "settings/settings.h"
#include "tools/common/tool_context.h"

namespace testsupport {

class OfflineContext : public tools::ToolContext {
 public:
  explicit OfflineContext(std::string dir) : dir_(std::move(dir)) {}
  QString main_title() const override { return QStringLiteral("Quillory-TessaroV4.3正式版"); }
  // dir stands for the executable's folder; the data directory is the portable one.
  std::string data_dir() const override { return settings::portable_data_dir(dir_); }
  std::string address_text() const override { return {}; }
  void set_address_text(const std::string&) override {}
  platform::BrowserView* main_browser() override { return nullptr; }
  page::PageObjects& pages() override { return pages_; }

 private:
  std::string dir_;
  page::PageObjects pages_;
};

}  // namespace testsupport
