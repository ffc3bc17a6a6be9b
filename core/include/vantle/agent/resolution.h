#pragma once
/// The direct strategy and the layout resolver, called in-process on the
/// scan's JSON records. Results are resolution result records whose
/// `element` and `candidates` are the scan's own records.

#include <nlohmann/json.hpp>

#include <vector>

#include "vantle/agent/engine.h"
#include "vantle/spatial/matrix.h"
#include "vantle/strategies/direct_strategy.h"

namespace vantle::agent {

/// DirectStrategy.resolve(record, elements, text_elements).
Json resolve_direct(const Json& record, const PageScan& scan);

/// LayoutResolver(LayoutBuilder(elements, text_elements).build()).resolve(record).
Json resolve_layout(const Json& record, const PageScan& scan);

/// Where the direct strategy found `element` for the step `record`: "text" or
/// the attribute whose value or name holds the target, a name a person reads
/// ("text", "aria-label", "_label", "placeholder", "alt", ...) before "type",
/// "class", "id", "data-testid" or a "data-" name. Empty when the element does
/// not match the target (a spatial step, a text check).
std::string matched_attribute(const Json& record, const Json& element);

/// A scan's records as the resolvers read them (the `keys` of each); each
/// element's origin is its JSON record.
records::Elements scan_records(const Json& records, unsigned keys = records::ALL_KEYS);

/// The spatial matrix of a scan, as resolve_layout builds it.
std::vector<spatial::Entry> layout_matrix(const PageScan& scan);

/// The scan record a matrix entry stands for; null when there is none.
Json entry_record(const spatial::Entry* entry, const PageScan& scan);

}  // namespace vantle::agent
