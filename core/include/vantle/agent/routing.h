#pragma once
/// Which resolver a parsed step goes to: targets named by their position
/// ("first button next to Sign up", "second button") go to the layout
/// resolver, everything else to the direct strategy.

#include <string>
#include <string_view>

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
};

/// True when `target` names its element by position: a relation phrase (next
/// to, below, under, above, left of, right of, near) as whole words, or an
/// ordinal word together with a type word ("second button", "3rd input").
bool names_position(std::u32string_view target);

/// The ordinal word, as written, that the parser took off the front of a
/// click or extract target ("Second"); empty when it took none.
std::u32string taken_ordinal_word(std::u32string_view instruction, const ParsedStep& step);

/// The target as the layout resolver reads it: the taken ordinal word given back.
std::u32string layout_target(std::u32string_view instruction, const ParsedStep& step);

/// The route of a parsed step. A target that is exactly a quoted literal is a
/// name, never a position, so it always goes the direct way.
Route route(std::u32string_view instruction, const ParsedStep& step);

}  // namespace vantle::agent
