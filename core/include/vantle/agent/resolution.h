#pragma once
/// The direct strategy and the layout resolver, called in-process on the
/// scan's JSON records. Results are resolution result records whose
/// `element` and `candidates` are the scan's own records.

#include <nlohmann/json.hpp>

#include "vantle/agent/engine.h"

namespace vantle::agent {

/// DirectStrategy.resolve(record, elements, text_elements).
Json resolve_direct(const Json& record, const PageScan& scan);

/// LayoutResolver(LayoutBuilder(elements, text_elements).build()).resolve(record).
Json resolve_layout(const Json& record, const PageScan& scan);

}  // namespace vantle::agent
