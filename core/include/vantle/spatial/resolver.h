#pragma once
/// Resolving a target by its place relative to an anchor, or by ordinal.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vantle/language/quoting.h"
#include "vantle/spatial/matrix.h"

namespace vantle::spatial {

inline constexpr const char* ANCHOR_ATTRIBUTES[] = {"aria-label", "_label", "placeholder"};

/// A spatial target taken apart.
struct ParsedTarget {
  std::optional<std::u32string> anchor;
  std::optional<std::u32string> rel_strategy;
  std::optional<std::u32string> type_filter;
  std::optional<long long> ordinal;
  std::optional<std::u32string> search_text;
  std::optional<std::u32string> target_text;
  /// The step quoted the wanted element's words: they must be found.
  bool target_quoted = false;
};

/// Takes a target apart; words inside `quoted` stretches are names, never
/// relations, ordinals, type words or articles.
ParsedTarget parse_target(std::u32string_view target, const language::Spans& quoted = {});
/// Lower-cases and drops every space (U+0020) and hyphen.
std::u32string normalize(std::u32string_view text);

/// What a resolution found. Entries point into the resolver's matrix.
struct Resolution {
  bool resolved = false;
  /// The chosen entry; its element is the result's element.
  const Entry* best = nullptr;
  /// Set on the anchored path only.
  bool anchored = false;
  const Entry* anchor = nullptr;
  long long ordinal = 1;
  bool type_relaxed = false;
  std::optional<std::u32string> actual_type;
  std::vector<const Entry*> candidates;
};

/// The resolution result record of `r`: confidence 1.0 when resolved, the
/// anchoring keys on the anchored path; `record` gives the record an entry
/// stands for.
records::Resolution result_of(const Resolution& r,
                              const std::function<const records::Element*(const Entry&)>& record);

/// Ranks candidates by a relation to the anchor and cuts to the ordinal. An
/// unknown or absent strategy ranks nothing.
std::vector<const Entry*> rank(const std::vector<const Entry*>& candidates, const Entry& anchor,
                               const std::optional<std::u32string>& strategy,
                               std::optional<long long> ordinal);

/// Resolves targets against one matrix; keeps no state between calls.
class Resolver {
 public:
  explicit Resolver(std::vector<Entry> matrix);

  const std::vector<Entry>& matrix() const { return matrix_; }

  /// Which entries the step can act on (a field it types into, a box it
  /// ticks); an element the target does not name by type must pass it.
  using CanAct = std::function<bool(const Entry&)>;

  Resolution resolve(std::u32string_view target, const language::Spans& quoted = {},
                     const CanAct& can_act = nullptr) const;
  /// The entry the anchor phrase names, or nullptr.
  const Entry* find_anchor(std::u32string_view anchor_text) const;
  /// Every entry of the tier the anchor phrase names, the chosen anchor
  /// first, then the others in the order the choice prefers them.
  std::vector<const Entry*> anchors(std::u32string_view anchor_text) const;
  Resolution resolve_ordinal(long long ordinal, const std::optional<std::u32string>& type_filter,
                             const std::optional<std::u32string>& search_text) const;

 private:
  std::vector<const Entry*> pool(const Entry& anchor, const std::optional<std::u32string>& type,
                                 const ParsedTarget& t, const CanAct& can_act) const;

  std::vector<Entry> matrix_;
  // Lower-cased texts and anchor attributes, and normalised searchable texts,
  // worked out once per matrix.
  std::vector<std::u32string> text_lower_;
  std::vector<std::u32string> attrs_lower_[3];
  std::vector<std::u32string> searchable_norm_;
};

}  // namespace vantle::spatial
