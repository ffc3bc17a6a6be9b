#include "vantle/spatial/resolver.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "vantle/spatial/errors.h"
#include "vantle/text/text.h"

namespace vantle::spatial {

namespace {

const Position& position(const Entry& e) {
  if (!e.position) throw missing_key("matrix entry has no 'position'");
  return *e.position;
}

long long index(const Entry& e) {
  if (!e.index) throw missing_key("matrix entry has no 'index'");
  return *e.index;
}

double coord(const Entry& e, Coord c) { return position(e).get(c); }

using Entries = std::vector<const Entry*>;

Entries keep_if(const Entries& entries, const std::function<bool(const Entry&)>& keep) {
  Entries out;
  for (const Entry* e : entries)
    if (keep(*e)) out.push_back(e);
  return out;
}

// The row and column tests allow 40 px of slack. In a table whose rows are
// closer than that, the neighbouring rows pass the row test too, and the row
// above, coming first in reading order, would win. Candidates that share the
// anchor's extent outright are the intended ones whenever there are any.
// Without one, a control that sits beside the anchor only within the slack
// and is named by a label of its own belongs to that label's row: the ticked
// filter box under a drop-down is not "the checkbox left of" its option.
Entries prefer_exact_overlap(Entries kept, const Entry& anchor, bool rows) {
  const Position& a = position(anchor);
  Entries exact = keep_if(kept, [&](const Entry& e) {
    return rows ? overlaps_vertically_exact(position(e), a) : overlaps_horizontally_exact(position(e), a);
  });
  if (!exact.empty() || !rows) return exact.empty() ? kept : exact;
  const std::u32string name = text::fold(anchor.text);
  const std::u32string anchor_label = text::fold(anchor.element.attributes.label);
  return keep_if(kept, [&](const Entry& e) {
    const std::u32string own = text::fold(e.element.attributes.label);
    return own.empty() || text::same_label(own, name) || text::same_label(own, anchor_label);
  });
}

void sort_by(Entries& entries, const std::function<double(const Entry&)>& key, bool descending) {
  std::vector<std::pair<double, const Entry*>> keyed;
  keyed.reserve(entries.size());
  for (const Entry* e : entries) keyed.emplace_back(key(*e), e);
  // NaN keys go last either way, so a corrupt box cannot break the sort.
  auto less = [](double a, double b) { return !std::isnan(a) && (std::isnan(b) || a < b); };
  std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& l, const auto& r) {
    if (std::isnan(l.first) || std::isnan(r.first)) return less(l.first, r.first);
    return descending ? less(r.first, l.first) : less(l.first, r.first);
  });
  for (size_t i = 0; i < keyed.size(); ++i) entries[i] = keyed[i].second;
}

Entries at_ordinal(const Entries& ranked, long long ordinal) {
  if (ordinal < 1 || static_cast<size_t>(ordinal) > ranked.size()) return {};
  return {ranked[static_cast<size_t>(ordinal - 1)]};
}

Entries filter_by_relation(const Entries& candidates, const Entry& anchor, std::u32string_view s) {
  const Position& a = position(anchor);
  if (s == U"next_to" || s == U"right")
    return keep_if(candidates, [&](const Entry& e) {
      return overlaps_vertically(position(e), a) && coord(e, Coord::x) >= a.get(Coord::x2);
    });
  if (s == U"left")
    return keep_if(candidates, [&](const Entry& e) {
      return coord(e, Coord::x2) <= a.get(Coord::x) && overlaps_vertically(position(e), a);
    });
  if (s == U"below")
    return keep_if(candidates, [&](const Entry& e) {
      return coord(e, Coord::y) >= a.get(Coord::y2) && overlaps_horizontally(position(e), a);
    });
  if (s == U"above")
    return keep_if(candidates, [&](const Entry& e) {
      return coord(e, Coord::y2) <= a.get(Coord::y) && overlaps_horizontally(position(e), a);
    });
  // "near"
  const auto anchor_path = detail::segments(anchor.element.xpath);
  return keep_if(candidates, [&](const Entry& e) {
    return centre_distance(position(e), a) <= NEAR_MAX_PIXELS ||
           detail::dom_distance(detail::segments(e.element.xpath), anchor_path) <= NEAR_MAX_DOM_STEPS;
  });
}

void sort_by_relation(Entries& kept, const Entry& anchor, std::u32string_view s) {
  if (s == U"next_to")
    sort_by(kept, [](const Entry& e) { return static_cast<double>(index(e)); }, false);
  else if (s == U"below")
    sort_by(kept, [](const Entry& e) { return coord(e, Coord::y); }, false);
  else if (s == U"above")
    sort_by(kept, [](const Entry& e) { return coord(e, Coord::y2); }, true);
  else if (s == U"left")
    sort_by(kept, [](const Entry& e) { return coord(e, Coord::x2); }, true);
  else if (s == U"right")
    sort_by(kept, [](const Entry& e) { return coord(e, Coord::x); }, false);
  else
    sort_by(kept, [&](const Entry& e) { return centre_distance(position(e), position(anchor)); }, false);
}

bool known_strategy(std::u32string_view s) {
  return s == U"next_to" || s == U"below" || s == U"above" || s == U"left" || s == U"right" ||
         s == U"near";
}

}  // namespace

Entries rank(const Entries& candidates, const Entry& placed_anchor, const std::optional<std::u32string>& strategy,
             std::optional<long long> ordinal) {
  if (!strategy || !known_strategy(*strategy)) return {};
  // Measured from the anchor's words where they sit inside a wider block, as
  // the eye measures from a heading's words, not from the page-wide block.
  Entry anchor = placed_anchor;
  if (anchor.element.text_box) anchor.position = position_of(*anchor.element.text_box);
  const std::u32string& s = *strategy;
  Entries kept = filter_by_relation(candidates, anchor, s);
  if (s == U"next_to" || s == U"left" || s == U"right")
    kept = prefer_exact_overlap(std::move(kept), anchor, true);
  else if (s == U"below" || s == U"above")
    kept = prefer_exact_overlap(std::move(kept), anchor, false);
  sort_by_relation(kept, anchor, s);

  if (s == U"next_to") {
    if (ordinal && !kept.empty()) return at_ordinal(kept, *ordinal);
    if (kept.size() > 1) kept.resize(1);
  }
  if (ordinal) return at_ordinal(kept, *ordinal);
  return kept;
}

Resolver::Resolver(std::vector<Entry> matrix) : matrix_(std::move(matrix)) {
  const size_t n = matrix_.size();
  text_lower_.reserve(n);
  searchable_norm_.reserve(n);
  for (auto& v : attrs_lower_) v.reserve(n);
  for (const Entry& e : matrix_) {
    // A header's sort mark is not part of the name it is anchored by.
    text_lower_.push_back(text::without_trailing_mark(text::fold(e.text)));
    searchable_norm_.push_back(normalize(e.searchable));
    const Attributes& a = e.element.attributes;
    attrs_lower_[0].push_back(text::fold(a.aria_label));
    attrs_lower_[1].push_back(text::fold(a.label));
    attrs_lower_[2].push_back(text::fold(a.placeholder));
  }
}

namespace {

double side(const Entry& e, Coord c) {
  if (!e.position || !e.position->has(c)) return 999;
  return e.position->get(c);
}

// A text that opens with the anchor's words, then a space or a line break (a
// bold heading over the links of its box reads "Keywords\nCreate New").
bool opens_with(std::u32string_view text, std::u32string_view anchor) {
  return text.size() > anchor.size() && text::starts_with(text, anchor) && text::is_space(text[anchor.size()]);
}

// Interactable entries first, then the smaller, then the earlier.
void prefer(Entries& tier) {
  auto area = [](const Entry* e) { return side(*e, Coord::w) * side(*e, Coord::h); };
  std::stable_sort(tier.begin(), tier.end(), [&](const Entry* a, const Entry* b) {
    if (a->is_anchor_only != b->is_anchor_only) return !a->is_anchor_only;
    return area(a) < area(b);
  });
}

// The kind of native field an entry is, if it is one: "checkbox", "radio",
// "input" (a text field) or "select".
std::u32string_view field_kind(const Entry& e) {
  if (e.is_anchor_only) return {};
  const std::u32string type = text::lower(e.element.attributes.type);
  if (e.element.tag == U"input") {
    if (type == U"checkbox" || type == U"radio") return type == U"checkbox" ? U"checkbox" : U"radio";
    if (type == U"submit" || type == U"button" || type == U"reset" || type == U"image") return {};
    return U"input";
  }
  if (e.element.tag == U"textarea") return U"input";
  if (e.element.tag == U"select") return U"select";
  return {};
}

// A type word may miss a custom widget (a styled box, a link drawn as a
// button), but a native field of another kind is never what it names: a
// "checkbox" step that took the drop-down beside would pass for done.
void drop_other_fields(Entries& entries, std::u32string_view wanted) {
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const Entry* e) {
                                 const std::u32string_view kind = field_kind(*e);
                                 return !kind.empty() && kind != wanted;
                               }),
                entries.end());
}

}  // namespace

const Entry* Resolver::find_anchor(std::u32string_view anchor_text) const {
  Entries tier = anchors(anchor_text);
  return tier.empty() ? nullptr : tier.front();
}

Entries Resolver::anchors(std::u32string_view anchor_text) const {
  const std::u32string anchor = text::without_trailing_mark(text::fold(anchor_text));
  Entries text_hits, attr_hits;
  for (size_t i = 0; i < matrix_.size(); ++i) {
    if (text::same_label(text_lower_[i], anchor)) {
      text_hits.push_back(&matrix_[i]);
      continue;
    }
    for (const auto& attr : attrs_lower_)
      if (!attr[i].empty() && text::same_label(attr[i], anchor)) {
        attr_hits.push_back(&matrix_[i]);
        break;
      }
  }
  Entries tier = text_hits.empty() ? attr_hits : text_hits;

  // Each prefix tier is collected whole: the choice below must see every
  // namesake, or the first one in reading order would win whatever its size.
  const std::u32string spaced = anchor + U" ";
  const std::u32string bracketed = anchor + U"(";
  // a label reading "Country: Canada" still starts with the name "Country"
  const std::u32string colon = std::u32string(text::without_colon(anchor)) + U":";
  const bool named = colon.size() > 1;
  if (tier.empty()) {
    for (size_t i = 0; i < matrix_.size(); ++i)
      if (opens_with(text_lower_[i], anchor) || text::starts_with(text_lower_[i], bracketed) ||
          (named && text::starts_with(text_lower_[i], colon)))
        tier.push_back(&matrix_[i]);
  }
  if (tier.empty()) {
    for (size_t i = 0; i < matrix_.size(); ++i)
      for (const auto& attr : attrs_lower_)
        if (text::starts_with(attr[i], spaced)) {
          tier.push_back(&matrix_[i]);
          break;
        }
  }
  prefer(tier);
  return tier;
}

Entries Resolver::pool(const Entry& anchor, const std::optional<std::u32string>& type, const ParsedTarget& t,
                       const CanAct& can_act) const {
  const long long anchor_index = index(anchor);
  Entries typed;
  std::vector<size_t> at;
  for (size_t i = 0; i < matrix_.size(); ++i) {
    const Entry& e = matrix_[i];
    if (index(e) == anchor_index || e.is_anchor_only) continue;
    if (type ? !is_of_type(e, *type) : can_act && !can_act(e)) continue;
    typed.push_back(&e);
    at.push_back(i);
  }
  if (!t.target_text || t.target_text->empty()) return typed;
  const std::u32string wanted = normalize(*t.target_text);
  Entries named;
  for (size_t k = 0; k < typed.size(); ++k)
    if (text::contains(searchable_norm_[at[k]], wanted)) named.push_back(typed[k]);
  // Loose words ("the edit") may describe what bears no such text; a quoted
  // name that nothing bears must not pass for the nearest other element.
  return named.empty() && !t.target_quoted ? typed : named;
}

Resolution Resolver::resolve(std::u32string_view target, const language::Spans& quoted,
                             const CanAct& can_act) const {
  const ParsedTarget t = parse_target(target, quoted);
  const bool no_anchor = !t.anchor || t.anchor->empty();
  if (no_anchor && !t.ordinal) return {};
  if (no_anchor) return resolve_ordinal(*t.ordinal, t.type_filter, t.search_text);

  const Entries named = anchors(*t.anchor);
  if (named.empty()) return {};
  const Entry* anchor = named.front();
  Entries candidates = pool(*anchor, t.type_filter, t, can_act);
  if (candidates.empty()) return {};
  Entries ranked = rank(candidates, *anchor, t.rel_strategy, t.ordinal);
  // A namesake of the anchor that has what the step asks for beside it is
  // the one meant ("dropdown right of category" where a smaller link also
  // reads "category"); only when none has does the type filter go.
  for (std::size_t i = 1; ranked.empty() && i < named.size(); ++i) {
    Entries other =
        rank(pool(*named[i], t.type_filter, t, can_act), *named[i], t.rel_strategy, t.ordinal);
    if (!other.empty()) {
      anchor = named[i];
      ranked = std::move(other);
    }
  }
  bool relaxed = false;
  // Relaxed, the type still has to suit the step: typing into the link that
  // happens to sit below the anchor would pass for done.
  if (ranked.empty() && t.type_filter) {
    candidates = pool(*anchor, std::nullopt, t, can_act);
    drop_other_fields(candidates, *t.type_filter);
    ranked = rank(candidates, *anchor, t.rel_strategy, t.ordinal);
    relaxed = true;
  }
  if (ranked.empty()) return {};

  Resolution r;
  r.resolved = true;
  r.best = ranked.front();
  r.anchored = true;
  r.anchor = anchor;
  r.ordinal = t.ordinal.value_or(1);
  r.type_relaxed = relaxed;
  r.actual_type = relaxed ? r.best->element_type : t.type_filter;
  r.candidates = std::move(ranked);
  return r;
}

Resolution Resolver::resolve_ordinal(long long ordinal, const std::optional<std::u32string>& type_filter,
                                     const std::optional<std::u32string>& search_text) const {
  Entries candidates;
  std::vector<size_t> at;
  for (size_t i = 0; i < matrix_.size(); ++i) {
    const Entry& e = matrix_[i];
    if (e.is_anchor_only || (type_filter && !is_of_type(e, *type_filter))) continue;
    candidates.push_back(&e);
    at.push_back(i);
  }
  if (search_text && !search_text->empty()) {
    const std::u32string wanted = text::fold(*search_text);
    Entries exact;
    for (size_t k = 0; k < candidates.size(); ++k)
      if (text::strip(text_lower_[at[k]]) == wanted) exact.push_back(candidates[k]);
    if (static_cast<long long>(exact.size()) >= ordinal) {
      candidates = exact;
    } else {
      const std::u32string norm = normalize(*search_text);
      Entries named;
      for (size_t k = 0; k < candidates.size(); ++k)
        if (text::contains(searchable_norm_[at[k]], norm)) named.push_back(candidates[k]);
      if (!named.empty()) candidates = named;
    }
  }
  Entries chosen = at_ordinal(candidates, ordinal);
  if (chosen.empty()) return {};
  Resolution r;
  r.resolved = true;
  r.best = chosen.front();
  r.candidates = std::move(candidates);
  return r;
}

}  // namespace vantle::spatial

namespace vantle::spatial {

records::Resolution result_of(const Resolution& r,
                              const std::function<const records::Element*(const Entry&)>& record) {
  records::Resolution out;
  if (!r.resolved) return out;
  out.resolved = true;
  out.confidence = 1.0;
  out.element = record(*r.best);
  if (r.anchored)
    out.anchoring = records::Anchoring{r.anchor ? r.anchor->searchable : std::u32string(), r.ordinal,
                                       r.type_relaxed, r.actual_type};
  for (const Entry* e : r.candidates) out.candidates.push_back(record(*e));
  return out;
}

}  // namespace vantle::spatial
