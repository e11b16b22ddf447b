#pragma once

#include <functional>

namespace tessaly::test {

// Runs the calling thread's Qt event loop (timers, sockets, queued signals, deleteLater()) until
// `done()` returns true or `timeoutMs` has passed; returns the last result of `done()`. Conditions
// set by other threads are noticed within a few milliseconds.
bool pumpEventsUntil(const std::function<bool()>& done, int timeoutMs);

} // namespace tessaly::test
