#pragma once
namespace tools { class ToolContext; }
namespace tools::subaccounts {
// Main window button "[hot]批量注册": shows the registration window (not modal, no owner;
// it deletes itself when closed) and runs its opening, which ends with the login
// reminder box.
void open_registration(ToolContext& ctx);
}  // namespace tools::subaccounts
