#include "ranking.h"
#include "vantle/records/json.h"

#include "vantle/agent/routing.h"

#include <cstdio>

#include "vantle/agent/resolution.h"
#include "vantle/spatial/resolver.h"
#include "vantle/strategies/direct_strategy.h"
#include "vantle/text/text.h"

namespace vantle::explain {

namespace direct = strategies::direct;
namespace sp = spatial;

namespace {

std::string number(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", value);
  return buf;
}

std::string coordinate(const Json& record, const char* key) {
  const Json& value = records::member(records::member(record, "bounding_box"), key);
  return value.is_number() ? value.dump() : "0";
}

std::string reading_place(const Json& record) {
  return "at y=" + coordinate(record, "y") + ", x=" + coordinate(record, "x");
}

std::string text_length(const Json& record) {
  return "text length " + std::to_string(text::decode(records::text_at(record, "text")).size());
}

Json candidate(std::size_t rank, bool chosen, const Json& record, std::string why) {
  return Json{{"rank", rank}, {"chosen", chosen}, {"element", record}, {"why", std::move(why)}};
}

bool is_in(const Json& group, const Json& record) {
  return group.is_array() && std::find(group.begin(), group.end(), record) != group.end();
}

// ---- direct ------------------------------------------------------------------

struct Query {
  std::string action;
  std::u32string target;
  long long ordinal = 1;
  language::Spans quoted;
};

Query query_of(const Json& record) {
  Query q{records::text_at(record, "action"), text::decode(records::text_at(record, "target"))};
  const Json& ordinal = records::member(record, "ordinal");
  if (ordinal.is_number_integer()) q.ordinal = ordinal.get<long long>();
  q.quoted = agent::quoted_of(record);
  return q;
}

std::string nth(long long n) {
  long long tens = n % 100, ones = n % 10;
  const char* suffix = tens >= 11 && tens <= 13 ? "th" : ones == 1 ? "st" : ones == 2 ? "nd" : ones == 3 ? "rd" : "th";
  return std::to_string(n) + suffix;
}

// The direct strategy takes the last candidate for an ordinal beyond the
// pool; the layout resolver then finds nothing.
std::string ordinal_rule(long long ordinal, bool clamps) {
  if (ordinal == 1) return "; the first is taken";
  return "; ordinal " + std::to_string(ordinal) + " takes the " + nth(ordinal) +
         (clamps ? " (the last when there are fewer)" : "");
}

std::string generic_why(const direct::Element& e, const std::u32string& target, bool include_label) {
  std::string how = direct::exact_matches_element(target, e, include_label) ? "exact match" : "contains the target";
  return how + ", " + (e.is_visible ? "visible" : "hidden");
}

// Click, type, hover, select, extract: visible over hidden, exact over
// substring, then reading order and the ordinal.
Ranking rank_generic(const Query& q, const Json& result, const agent::PageScan& scan) {
  Ranking out;
  const Json& pool = records::member(result, "candidates");
  bool include_label = q.action == "type";
  std::u32string target = direct::strip_type_descriptors(q.target, q.quoted);
  direct::Elements dom = agent::scan_records(scan.elements);
  direct::Elements texts = agent::scan_records(scan.text_elements);
  std::vector<const direct::Element*> matched;
  for (const direct::Element* e : direct::filter_by_action(text::decode(q.action), dom)) {
    if (direct::matches_element(target, *e, include_label)) matched.push_back(e);
  }
  out.rule = "visible over hidden, exact over substring, then reading order (top to bottom, left to right)" +
             ordinal_rule(q.ordinal, true);
  if (direct::filters_by_action(text::decode(q.action)))
    out.rule = "only elements that can take '" + q.action + "'; " + out.rule;
  bool from_text = pool.is_array() && !pool.empty() && !is_in(scan.elements, pool.front());
  if (from_text) out.rule = "no interactable element matched, so visible page text was searched; " + out.rule;
  const Json& chosen = records::member(result, "element");
  for (std::size_t i = 0; pool.is_array() && i < pool.size(); ++i) {
    const direct::Elements& group = from_text ? texts : dom;
    std::string why;
    for (const auto& e : group) {
      if (*static_cast<const Json*>(e.origin) == pool[i]) {
        why = generic_why(e, target, include_label && !from_text);
        break;
      }
    }
    out.candidates.push_back(candidate(i + 1, pool[i] == chosen, pool[i], why + ", " + reading_place(pool[i])));
  }
  bool visible_match = std::any_of(matched.begin(), matched.end(), [](auto* e) { return e->is_visible; });
  for (const direct::Element* e : matched) {
    const Json& record = *static_cast<const Json*>(e->origin);
    if (is_in(pool, record)) continue;
    std::string why = !e->is_visible && visible_match ? "hidden, and a visible element matches"
                                                       : "contains the target only, and an exact match exists";
    out.set_aside.push_back(Json{{"element", record}, {"why", why}});
  }
  return out;
}

std::string state_words(const Json& record) {
  return std::string(records::member(record, "is_visible") == true ? "visible" : "hidden") + ", " +
         (records::member(record, "is_enabled") == true ? "enabled" : "disabled");
}

// Verification, find and spatial text paths: each has one fixed order.
Ranking rank_checks(const Query& q, const Json& result, const agent::PageScan& scan) {
  Ranking out;
  const Json& pool = records::member(result, "candidates");
  bool on_text = !is_in(scan.elements, records::member(result, "element")) && !records::member(result, "element").is_null();
  std::string action = q.action;
  if ((action == "verify_present" || action == "verify_visible") && on_text) action = "verify_text";
  if (action == "find_exact_text") {
    out.rule = "page text equal to the target, in page order, then page text containing it";
  } else if (action == "verify_spatial_text" || action == "extract_text_spatial") {
    out.rule = "the text nearest the anchor in the stated direction";
  } else if (action.rfind("verify_text", 0) == 0 || action == "find_text") {
    out.rule = "page text containing the target, shortest first; page order breaks ties";
    if (action != q.action) out.rule = "no element matched, so page text was searched: " + out.rule;
  } else {
    out.rule = "every element containing the target (hidden and disabled ones too), shortest text first; "
               "page order breaks ties";
  }
  const Json& chosen = records::member(result, "element");
  bool chosen_seen = false;
  for (std::size_t i = 0; pool.is_array() && i < pool.size(); ++i) {
    std::string why = text_length(pool[i]);
    if (action.rfind("verify_", 0) == 0 && action.rfind("verify_text", 0) != 0) why += ", " + state_words(pool[i]);
    bool is_chosen = !chosen_seen && pool[i] == chosen;
    chosen_seen = chosen_seen || is_chosen;
    out.candidates.push_back(candidate(i + 1, is_chosen, pool[i], why));
  }
  return out;
}

bool routed(const std::string& action) {
  return action == "verify_spatial_text" || action == "extract_text_spatial" || action == "find_text" ||
         action == "find_exact_text" || action.rfind("verify_", 0) == 0;
}

// ---- layout ------------------------------------------------------------------

std::string in_quotes(const std::u32string& text) { return text::encode(text::quoted(text)); }

std::string relation_rule(const std::u32string& strategy) {
  if (strategy == U"next_to") return "on the anchor's row (40 px tolerance) and to its right, in reading order";
  if (strategy == U"below") return "in the anchor's column and below it, nearest first (by top edge)";
  if (strategy == U"above") return "in the anchor's column and above it, nearest first (by bottom edge)";
  if (strategy == U"left") return "on the anchor's row and left of it, nearest first (by right edge)";
  if (strategy == U"right") return "on the anchor's row and right of it, nearest first (by left edge)";
  return "within 300 px (centre to centre) or 10 element-path steps of the anchor, closest centre first";
}

std::string relation_why(const std::u32string& strategy, const sp::Entry& e, const sp::Entry* anchor) {
  const sp::Position& p = *e.position;
  if (strategy == U"below") return "top edge y=" + number(p.y.value);
  if (strategy == U"above") return "bottom edge y=" + number(p.y2.value);
  if (strategy == U"left") return "right edge x=" + number(p.x2.value);
  if (strategy == U"right") return "left edge x=" + number(p.x.value);
  if (strategy == U"near" && anchor && anchor->position)
    return "centre distance " + number(sp::centre_distance(p, *anchor->position)) + " px, " +
           std::to_string(sp::dom_distance(e.element.xpath, anchor->element.xpath)) + " path steps";
  return "reading order #" + std::to_string(e.index.value_or(0));
}

std::string layout_rule(const sp::ParsedTarget& t, const sp::Resolution& r) {
  std::string type = t.type_filter ? text::encode(*t.type_filter) + " elements" : "elements of any type";
  std::string rule;
  if (!t.anchor || t.anchor->empty()) {
    rule = "no anchor: " + type + " in reading order";
    if (t.search_text) rule += ", those whose text is (else contains) " + in_quotes(*t.search_text);
  } else {
    rule = type + " " + relation_rule(t.rel_strategy.value_or(U""));
    if (t.target_text) rule += ", described by " + in_quotes(*t.target_text) + " when any is";
    if (t.rel_strategy == U"next_to") rule += "; only one is kept";
  }
  rule += ordinal_rule(t.ordinal.value_or(1), false);
  if (r.type_relaxed)
    rule += "; no " + type + " fits, so any type was taken (got " + text::encode(r.actual_type.value_or(U"")) + ")";
  return rule;
}

}  // namespace

Ranking rank_direct(const Json& query, const Json& result, const agent::PageScan& scan) {
  Query q = query_of(query);
  return routed(q.action) ? rank_checks(q, result, scan) : rank_generic(q, result, scan);
}

Ranking rank_layout(const Json& query, const agent::PageScan& scan) {
  Ranking out;
  std::u32string target = text::decode(records::text_at(query, "target"));
  const language::Spans quoted = agent::quoted_of(query);
  sp::ParsedTarget parsed = sp::parse_target(target, quoted);
  sp::Resolver resolver(agent::layout_matrix(scan));
  sp::Resolution r = resolver.resolve(target, quoted);
  const sp::Entry* anchor = parsed.anchor && !parsed.anchor->empty() ? resolver.find_anchor(*parsed.anchor) : nullptr;
  out.anchor = agent::entry_record(anchor, scan);
  out.rule = layout_rule(parsed, r);
  if (parsed.anchor && !parsed.anchor->empty() && !anchor)
    out.rule = "no element on the page is named " + in_quotes(*parsed.anchor) + "; " + out.rule;
  std::u32string strategy = r.anchored ? parsed.rel_strategy.value_or(U"") : U"";
  for (std::size_t i = 0; i < r.candidates.size(); ++i) {
    const sp::Entry& e = *r.candidates[i];
    std::string why = e.position ? relation_why(strategy, e, anchor) : "no position";
    out.candidates.push_back(candidate(i + 1, &e == r.best, agent::entry_record(&e, scan), why));
  }
  return out;
}

}  // namespace vantle::explain
