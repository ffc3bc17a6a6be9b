#pragma once
/// Resolving a target by its place relative to an anchor, or by ordinal.

#include <optional>
#include <string>
#include <vector>

#include "vantle/spatial/matrix.h"

namespace vantle::spatial {

/// Relation phrase to relation strategy, in table order.
struct Relation {
  const char32_t* phrase;
  const char32_t* strategy;
};
inline constexpr Relation RELATIONS[] = {
    {U"next to", U"next_to"}, {U"below", U"below"},  {U"under", U"below"},
    {U"above", U"above"},     {U"left of", U"left"}, {U"right of", U"right"},
    {U"near", U"near"},
};

struct OrdinalWord {
  const char32_t* word;
  int number;
};
inline constexpr OrdinalWord ORDINALS[] = {
    {U"first", 1}, {U"second", 2}, {U"third", 3}, {U"fourth", 4}, {U"fifth", 5},
    {U"1st", 1},   {U"2nd", 2},    {U"3rd", 3},   {U"4th", 4},    {U"5th", 5},
};

struct TypeKeyword {
  const char32_t* word;
  const char32_t* type;
};
inline constexpr TypeKeyword TYPE_KEYWORDS[] = {
    {U"button", U"button"}, {U"btn", U"button"},   {U"link", U"link"},
    {U"anchor", U"link"},   {U"input", U"input"},  {U"field", U"input"},
    {U"textbox", U"input"}, {U"select", U"select"}, {U"dropdown", U"select"},
};

inline constexpr const char32_t* ARTICLES[] = {U"the", U"a", U"an"};
inline constexpr const char* ANCHOR_ATTRIBUTES[] = {"aria-label", "_label", "placeholder"};

/// A spatial target taken apart.
struct ParsedTarget {
  std::optional<std::u32string> anchor;
  std::optional<std::u32string> rel_strategy;
  std::optional<std::u32string> type_filter;
  std::optional<long long> ordinal;
  std::optional<std::u32string> search_text;
  std::optional<std::u32string> target_text;
};

ParsedTarget parse_target(std::u32string_view target);
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

  Resolution resolve(std::u32string_view target) const;
  /// The entry the anchor phrase names, or nullptr.
  const Entry* find_anchor(std::u32string_view anchor_text) const;
  Resolution resolve_ordinal(long long ordinal, const std::optional<std::u32string>& type_filter,
                             const std::optional<std::u32string>& search_text) const;

 private:
  std::vector<const Entry*> pool(const Entry& anchor, const std::optional<std::u32string>& type,
                                 const std::optional<std::u32string>& target_text) const;

  std::vector<Entry> matrix_;
  // Lower-cased texts and anchor attributes, and normalised searchable texts,
  // worked out once per matrix.
  std::vector<std::u32string> text_lower_;
  std::vector<std::u32string> attrs_lower_[3];
  std::vector<std::u32string> searchable_norm_;
};

}  // namespace vantle::spatial
