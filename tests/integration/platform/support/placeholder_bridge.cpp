// Link-time stand-in for the DOM bridge, used only while src/platform/dom_bridge.cpp is
// not in the tree (these tests do not use the bridge).
#include "platform/dom_bridge.h"

#include "platform/browser_view.h"

namespace platform {

struct DomBridge::Impl {};

DomBridge::DomBridge(BrowserView* view) : QObject(view) {}
DomBridge::~DomBridge() = default;

}  // namespace platform
