#pragma once
// Waiting for a page load in addition to a step's fixed wait: a slow platform then
// still shows the page the next step expects, and a page that never finishes costs
// only the limit.

namespace platform { class BrowserView; }

namespace tools {

class ToolRun;

inline constexpr int kPageLoadLimitMs = 10000;

// After a fixed wait: while browser is loading, keeps waiting (responsively, in short
// steps, through run) up to limit_ms more. False when the run is to end (window closed).
bool wait_page_loaded(ToolRun& run, platform::BrowserView* browser, int limit_ms = kPageLoadLimitMs);

}  // namespace tools
