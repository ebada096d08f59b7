#pragma once
namespace tools { class ToolContext; }
namespace tools::submission {
// Main window button "卡盟收录提交": shows the site-submission window (not modal, no owner).
void open_submission(ToolContext& ctx);
}  // namespace tools::submission
