#pragma once
/// One step on one scan, exactly as the agent carries it out: the route, the
/// resolver's query, its result with the agent's own judgement (the page-text
/// fallback of presence checks, the state of elements found by position),
/// the verdict, and the failure message with its near misses. The agent and
/// `vantle explain` both call it, so they cannot disagree.

#include <string>
#include <string_view>
#include <vector>

#include "vantle/agent/engine.h"
#include "vantle/agent/routing.h"
#include "vantle/agent/step_parser.h"

namespace vantle::agent {

struct StepResolution {
  Route route = Route::direct;
  /// The record handed to the resolver (a position target has its ordinal word back).
  Json query = Json::object();
  /// The resolution result the agent acts on.
  Json result = nullptr;
  /// Where a drag ends, resolved like its source (null for other steps).
  Json destination = nullptr;
  /// The step passes on this scan: its element was found and is in the asserted state.
  bool passed = false;
  /// Why the step fails on this scan; empty when it passes.
  std::string message;
  /// What came closest when nothing matched, closest first.
  std::vector<std::string> near;
  /// The attribute the element matched through when it matched by no name a
  /// person reads (its id, class, type, name or data-*); empty otherwise.
  std::string matched_through;
};

/// The note a passing step carries when its element matched only through
/// `attribute`: such a match may not be the element the author meant.
std::string matched_through_note(const std::string& attribute);

/// True for the routes whose steps look for something on the page.
bool looks_at_page(Route route);

/// Resolves a parsed step against a scan. `instruction` is the step as
/// written; messages quote it. Only for steps that look at the page.
StepResolution resolve_step(std::u32string_view instruction, const ParsedStep& step, const PageScan& scan);

}  // namespace vantle::agent
