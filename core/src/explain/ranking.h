#pragma once
// Why the resolvers ordered their candidates as they did, worked out again
// from the same records and the same matching primitives.

#include <string>

#include "vantle/agent/engine.h"

namespace vantle::explain {

using Json = nlohmann::ordered_json;

struct Ranking {
  Json anchor = nullptr;                ///< the anchor record (layout only)
  std::string rule;                     ///< the ordering rule, in words
  Json candidates = Json::array();      ///< {rank, chosen, element, why}, in ranked order
  Json set_aside = Json::array();       ///< {element, why}: matched, but lost to a stronger preference
};

/// The direct strategy's (or text path's) ordering of `result`'s candidates.
Ranking rank_direct(const Json& query, const Json& result, const agent::PageScan& scan);

/// The layout resolver's anchor and ordering for the query's target.
Ranking rank_layout(const Json& query, const agent::PageScan& scan);

}  // namespace vantle::explain
