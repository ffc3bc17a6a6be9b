#pragma once
// Helpers shared by the direct resolution sources.

#include <cmath>
#include <string>
#include <string_view>
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

/// Lower-cases `s` into `out`, reading "_" and "-" as spaces: the form in
/// which targets and surfaces are compared.
void normalise_into(std::u32string& out, std::u32string_view s);

/// Tests one target against many elements without normalising it again.
class Matcher {
 public:
  explicit Matcher(std::u32string_view target);
  /// The target is contained in a surface of the element.
  bool contained_in(const Element& element, bool include_label) const;
  /// The target equals a surface of the element, stripped of white space.
  bool equal_to(const Element& element, bool include_label) const;

 private:
  std::u32string needle_;
  mutable std::u32string buffer_;
};

/// Stable sort on the number of characters of `text`.
void sort_by_text_length(std::vector<const Element*>& pool);

}  // namespace vantle::strategies::direct::detail
