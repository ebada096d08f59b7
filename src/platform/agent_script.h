#pragma once
// Source of the agent script that the DOM bridge injects into the isolated world of every
// document.

#include <QString>

namespace platform {

// The agent: defines window.__tessaroAgent (isolated world only) unless it exists.
const QString& agent_script_source();

}  // namespace platform
