#pragma once
// The application's fixed set of page automation objects, made once, owned for the
// whole run.

#include <array>

#include "page/live_page.h"
#include "page/page_snapshot.h"

class QWidget;

namespace page {

class PageObjects {
 public:
  static constexpr int kSnapshots = 11;
  static constexpr int kLivePages = 5;

  // Who uses which object.
  enum SnapshotUse {
    kStartup = 0, kLogin = 1, kPublishing = 2, kCatalogue = 3, kColour = 4, kTemplates = 5,
    kPricing = 6, kStatus = 7, kStockDeletion = 8, kOrders = 9, kCards = 10
  };
  // kLiveMain serves the login, the menus and the pricing window's alert.
  enum LiveUse { kLiveMain = 0, kLiveColour = 1, kLiveComplaints = 2, kLiveRegistration = 3, kLiveCards = 4 };

  PageSnapshot& snapshot(int i) { return snapshots_.at(i); }
  LivePage& live(int i) { return lives_.at(i); }

  // Start-up binding: attach snapshot kStartup to the browser; the result is not used.
  void bind_at_startup(QWidget* browser_handle) { snapshots_[kStartup].attach_page(browser_handle); }

 private:
  std::array<PageSnapshot, kSnapshots> snapshots_;
  std::array<LivePage, kLivePages> lives_;
};

}  // namespace page
