#pragma once
namespace tools { class ToolContext; }
namespace tools::cards {
// Main window button "[完美]批量导卡": writes the platform root back into the address box,
// opens the inventory page in the main browser, then shows the card import window (not
// modal, no owner; it deletes itself when closed).
void open_cards(ToolContext& ctx);
}  // namespace tools::cards
