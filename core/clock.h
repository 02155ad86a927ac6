// The clock, the sleep and the event pump that the request runner uses while it waits.
#pragma once

#include <cstdint>

// Milliseconds since the system started, from a monotonic 64-bit counter (no wrap in practice).
std::int64_t GetUptimeMs();

// Suspends the calling thread; a negative count sleeps 0.
void SleepMs(int milliseconds);

// Handles the calling thread's pending messages exactly as the main message loop does, and returns when
// the queue is empty or the quit request is next; the quit request stays queued.
void ProcessEvents();
