#pragma once
namespace tools { class ToolContext; }
namespace tools::publishing {
class PublishingWindow;
// Main window button "自动上架商品": writes the platform root back into the address box,
// navigates the main browser to the add form, then shows the publishing window
// (not modal, no owner; it deletes itself when closed). Returns the window.
PublishingWindow* open_publishing(ToolContext& ctx);
}  // namespace tools::publishing
