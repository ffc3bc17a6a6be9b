#pragma once
/// The relative strategy: checks the kinds of its arguments and resolves
/// nothing; spatial targets go through the layout builder and resolver.

#include <optional>

#include "vantle/spatial/resolver.h"

namespace vantle::strategies {

/// The kind of a value handed to the strategy.
enum class Kind { record, sequence, other };

class RelativeStrategy {
 public:
  /// Never resolves anything, so the answer is always empty. Throws
  /// vantle::spatial::type_error naming the first argument of the wrong kind.
  std::optional<spatial::Resolution> resolve(Kind parsed_instruction, Kind matrix,
                                             Kind dom_candidates) const;
};

}  // namespace vantle::strategies
