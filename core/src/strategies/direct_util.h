#pragma once
// Helpers shared by the direct resolution sources.

#include <cmath>
#include <vector>

#include "vantle/strategies/direct_strategy.h"

namespace vantle::strategies::direct::detail {

/// Strict weak order on doubles in which NaN sorts after every number, so a
/// stray NaN in a record cannot break a sort.
inline bool less_nan_last(double a, double b) {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a < b;
}

/// Stable sort on the number of characters of `text`.
void sort_by_text_length(std::vector<const Element*>& pool);

}  // namespace vantle::strategies::direct::detail
