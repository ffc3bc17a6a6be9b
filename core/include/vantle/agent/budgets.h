#pragma once
/// The agent's time budgets, each derived from the step's own time limit so
/// that a longer `timeout_ms` stretches them all alike.

#include <algorithm>

namespace vantle::agent {

/// Playwright's default time limit for the page's own operations (clicks,
/// loads, element lookups) while the agent drives it.
inline constexpr double kMinActionTimeoutMs = 10000;

/// How long past a browser call's own limit the agent keeps waiting: the
/// driver reports its own time-out first, with a better message, unless the
/// browser has stalled altogether.
inline constexpr double kGuardSlackMs = 5000;

/// Clicking and typing try up to this many ways (element path, stable
/// attributes, scan-time point), each bounded by the page's limit.
inline constexpr int kActionWays = 3;

/// Launching or connecting to a browser may take this many page limits: a
/// cold Chromium start on a busy machine is slower than any page operation.
inline constexpr int kStartupLimits = 3;

/// Loading an address may take this many page limits: a first load pulls in
/// every resource of the page.
inline constexpr int kLoadLimits = 3;

/// Longest a failed step waits for its screenshot, and for the page to
/// settle before it: the failure matters more than its picture.
inline constexpr double kScreenshotMs = 5000;
inline constexpr double kSettleMs = 5000;

/// How long a step waits for a page that the page before it asked for (a
/// pop-up) and the browser has not reported yet. A window opened under a
/// name already in use reuses that page and never reports a new one.
inline constexpr double kNewPageWaitMs = 3000;

/// The page's own limit for one operation.
inline double page_limit_ms(double step_timeout_ms) { return std::max(step_timeout_ms, kMinActionTimeoutMs); }

/// The longest an element action (all its ways) may take.
inline double action_limit_ms(double step_timeout_ms) {
  return page_limit_ms(step_timeout_ms) * kActionWays + kGuardSlackMs;
}

/// The limit for loading an address.
inline double load_limit_ms(double step_timeout_ms) { return page_limit_ms(step_timeout_ms) * kLoadLimits; }

/// The limit for launching or connecting to the browser.
inline double startup_limit_ms(double step_timeout_ms) { return page_limit_ms(step_timeout_ms) * kStartupLimits; }

}  // namespace vantle::agent
