#include "vantle/agent/retry.h"

#include <algorithm>
#include <cmath>

namespace vantle::agent {

std::optional<double> next_pause_ms(double elapsed_ms, double timeout_ms, int attempt) {
  double remaining = timeout_ms - elapsed_ms;
  if (!(remaining > 0)) return std::nullopt;
  double grown = 25.0 * std::pow(2.0, std::clamp(attempt, 0, 8));
  return std::min({grown, kMaxPauseMs, remaining});
}

}  // namespace vantle::agent
