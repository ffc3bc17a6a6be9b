#pragma once
/// The direct strategy and the layout resolver, called in-process on the
/// scan's JSON records. Results are resolution result records whose
/// `element` and `candidates` are the scan's own records.

#include <nlohmann/json.hpp>

#include <memory>
#include <vector>

#include "vantle/agent/engine.h"
#include "vantle/spatial/matrix.h"
#include "vantle/spatial/resolver.h"
#include "vantle/strategies/direct_strategy.h"

namespace vantle::agent {

/// A scan's records read for the resolvers, each part on first use: a step
/// retried on an unchanged page, and every later step on it, reads the page
/// once. Keeps its own copy of the records, which its elements' origins name,
/// so that it may outlive the scan it was read from.
class ScanRecords {
 public:
  explicit ScanRecords(const PageScan& scan);
  ScanRecords(const ScanRecords&) = delete;
  ScanRecords& operator=(const ScanRecords&) = delete;

  /// Whether `scan` holds the same records, so these stand for it too.
  bool stand_for(const PageScan& scan) const;
  /// Becomes the records of `scan`, a later scan of the same page: only the
  /// records that differ are read again, and the layout stays unless one of
  /// them is placed otherwise (a ticked box is not). False when the scan
  /// holds another number of records or one cannot be read: these records
  /// are then spent, and the scan must be read afresh.
  bool take_on(const PageScan& scan);
  const records::Elements& elements() const;
  const records::Elements& text_elements() const;
  /// The visible controls that show text of their own (a list box, a
  /// drop-down's choice), read as text a person sees.
  const records::Elements& shown_controls() const;
  /// The layout resolver over the scan's spatial matrix.
  const spatial::Resolver& layout() const;

 private:
  Json elements_json_, text_json_;
  mutable std::unique_ptr<records::Elements> elements_, texts_, shown_;
  mutable std::unique_ptr<spatial::Resolver> layout_;
};

/// The scan's read records: shared with the scan it was handed on from, or
/// read now and kept with the scan.
const ScanRecords& typed_records(const PageScan& scan);

/// DirectStrategy.resolve(record, elements, text_elements).
Json resolve_direct(const Json& record, const PageScan& scan);

/// A text check against what the scan's visible controls show
/// (ScanRecords::shown_controls) instead of its text elements.
Json resolve_on_controls(const Json& record, const PageScan& scan);

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

/// The spatial matrix of a scan, as resolve_layout reads it.
const std::vector<spatial::Entry>& layout_matrix(const PageScan& scan);

/// The scan record a matrix entry stands for; null when there is none.
Json entry_record(const spatial::Entry* entry, const PageScan& scan);

}  // namespace vantle::agent
