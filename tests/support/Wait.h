#pragma once

#include <chrono>
#include <functional>

namespace TestSupport {

// Polls condition, yielding between polls, until it holds or the deadline passes.
// Returns whether it held. Tests wait on state this way instead of sleeping; the
// deadline is generous and only ends a test that would otherwise hang.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(30));

}  // namespace TestSupport
