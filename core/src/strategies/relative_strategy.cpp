#include "vantle/strategies/relative_strategy.h"

#include "vantle/spatial/errors.h"

namespace vantle::strategies {

namespace {

void expect(Kind got, Kind wanted, const char* name) {
  if (got == wanted) return;
  const char* what = wanted == Kind::record ? "a dict" : "a sequence";
  throw spatial::type_error(std::string(name) + " must be " + what);
}

}  // namespace

std::optional<spatial::Resolution> RelativeStrategy::resolve(Kind parsed_instruction, Kind matrix,
                                                             Kind dom_candidates) const {
  expect(parsed_instruction, Kind::record, "parsed_instruction");
  expect(matrix, Kind::record, "matrix");
  expect(dom_candidates, Kind::sequence, "dom_candidates");
  return std::nullopt;
}

}  // namespace vantle::strategies
