#include "tools/subaccounts/open_registration.h"

#include "tools/subaccounts/registration_window.h"

namespace tools::subaccounts {

void open_registration(ToolContext& ctx) {
  auto* window = new RegistrationWindow(ctx);
  window->show();
  window->open();
}

}  // namespace tools::subaccounts
