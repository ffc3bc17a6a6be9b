#pragma once
/// When a step that did not resolve is tried again.

#include <optional>

namespace vantle::agent {

/// The longest the agent waits for the page to change between two attempts.
inline constexpr double kMaxPauseMs = 250.0;

/// How long to wait for the page to change before attempt `attempt` + 1
/// (attempts count from 0), given the time already spent; nothing when the
/// step's time is up. Pauses grow from 25 ms to kMaxPauseMs and never run
/// past the deadline.
std::optional<double> next_pause_ms(double elapsed_ms, double timeout_ms, int attempt);

}  // namespace vantle::agent
