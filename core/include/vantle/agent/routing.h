#pragma once
/// Which resolver a parsed step goes to: targets named by their position
/// ("first button next to Sign up", "second button") go to the layout
/// resolver, everything else to the direct strategy.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "vantle/agent/step_parser.h"

namespace vantle::agent {

/// How the agent carries out a step.
enum class Route {
  direct,    ///< scan, resolve by text and attributes, act
  layout,    ///< scan, resolve through the spatial matrix, act
  keys,      ///< press_key / sendkeys: no element to find
  dialog,    ///< accept, dismiss or verify the pending native dialog
  wait,      ///< sleep for the given milliseconds
  navigate,  ///< load an address
  page,      ///< history, scrolling the window, the address and title checks: no element to find
};

/// True when `target` names its element by position: a relation phrase as
/// whole words, or an ordinal word together with a type word ("second
/// button", "3rd input"). Words inside `quoted` stretches are names, not
/// positions.
bool names_position(std::u32string_view target, const language::Spans& quoted = {});

/// The route of a parsed step. A target that is exactly a quoted literal is a
/// name, never a position, so it always goes the direct way.
Route route(const ParsedStep& step);

/// What a resolver reads for a step: its record, with the target the layout
/// resolver reads on that route, and the target's quoted stretches as
/// "_quoted": [[begin, end], ...] in code points.
nlohmann::ordered_json resolver_query(nlohmann::ordered_json record, const ParsedStep& step, Route how);

/// The quoted stretches a resolver query carries.
language::Spans quoted_of(const nlohmann::ordered_json& query);

}  // namespace vantle::agent
