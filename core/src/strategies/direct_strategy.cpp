#include "vantle/strategies/direct_strategy.h"

#include <algorithm>
#include <cmath>

#include "vantle/text/text.h"
#include "direct_util.h"

namespace vantle::strategies::direct {

namespace {

using Pool = std::vector<const Element*>;

Result found(const Element* element, Pool candidates) {
  Result r;
  r.resolved = true;
  r.confidence = 1.0;
  r.element = element;
  r.candidates = std::move(candidates);
  return r;
}

Result not_found_verification() {
  Result r;
  r.verified = false;
  r.state = State{};
  return r;
}

// Reading order: top to bottom, then left to right. A NaN coordinate sorts
// after every number so that the order stays well defined.
bool above_or_left_of(const Element* a, const Element* b) {
  auto key = [](const Element* e) {
    const auto& box = e->bounding_box;
    return std::pair<double, double>(box.y ? box.y->value : 0.0, box.x ? box.x->value : 0.0);
  };
  auto [ay, ax] = key(a);
  auto [by, bx] = key(b);
  if (detail::less_nan_last(ay, by)) return true;
  if (detail::less_nan_last(by, ay)) return false;
  return detail::less_nan_last(ax, bx);
}

const Element* pick(Pool& pool, long long ordinal) {
  const auto n = static_cast<long long>(pool.size());
  if (ordinal < -n) throw std::out_of_range("ordinal " + std::to_string(ordinal) + " is out of range");
  long long index = std::min(ordinal - 1, n - 1);
  if (index < 0) index += n;
  if (index < 0) throw std::out_of_range("ordinal " + std::to_string(ordinal) + " is out of range");
  return pool[static_cast<std::size_t>(index)];
}

using detail::Sources;

/// Matches of one kind of surface, in pool order.
Pool matching(const Pool& pool, const detail::Matcher& target, std::u32string_view action, bool visible,
              Sources which = Sources::all) {
  Pool out;
  for (const auto* el : pool)
    if (el->is_visible == visible && target.contained_in(*el, label_names(action, *el), which)) out.push_back(el);
  return out;
}

Pool exact_only(const Pool& pool, const detail::Matcher& target, std::u32string_view action, Sources which) {
  Pool out;
  for (const auto* el : pool)
    if (target.equal_to(*el, label_names(action, *el), which)) out.push_back(el);
  return out;
}

Pool matching_by(const Pool& pool, const detail::Matcher& target, std::u32string_view action, Sources which) {
  Pool out;
  for (const auto* el : pool)
    if (target.contained_in(*el, label_names(action, *el), which)) out.push_back(el);
  return out;
}

// A name a person sees or hears outweighs a type, class or id that happens to
// hold the same word: when any element matches by name, the others drop out.
// Without one, a field's own id or name outweighs the type every text field
// shares: "text" is the editor whose id is text, not the search box above it.
Sources names_first(Pool& matched, const detail::Matcher& target, std::u32string_view action) {
  Pool named = matching_by(matched, target, action, Sources::names);
  if (named.empty()) {
    Pool own = matching_by(matched, target, action, Sources::own);
    if (!own.empty()) matched = std::move(own);
    return Sources::others;
  }
  if (named.size() < matched.size()) matched = std::move(named);
  return Sources::names;
}

// Text a person can click: the innermost texts that name the target (a table
// cell rather than its row and table), since a click lands in the middle of
// the element chosen.
Pool clickable_text(const Elements& text_elements, const detail::Matcher& target) {
  Pool named;
  for (const auto& el : text_elements)
    if (el.is_visible && target.contained_in(el, false, Sources::names)) named.push_back(&el);
  Pool out;
  for (const auto* el : named)
    if (std::none_of(named.begin(), named.end(), [el](const Element* other) { return detail::is_inside(*other, *el); }))
      out.push_back(el);
  return out;
}

Pool all_of(const Elements& elements) {
  Pool out;
  out.reserve(elements.size());
  for (const auto& el : elements) out.push_back(&el);
  return out;
}

bool state_holds(std::u32string_view action, const State& state) {
  if (action == U"verify_present" || action == U"verify_text_present") return *state.present;
  if (action == U"verify_visible" || action == U"verify_text_visible") return *state.visible;
  if (action == U"verify_enabled") return *state.enabled;
  return !*state.enabled;  // verify_disabled
}

void check_action(std::u32string_view action, std::initializer_list<std::u32string_view> known) {
  if (std::find(known.begin(), known.end(), action) == known.end())
    throw UnknownActionError("no state check for action " + text::encode(text::quoted(action)));
}

Result verification(std::u32string_view action, const Element* chosen, Pool candidates, State state) {
  Result r = found(chosen, std::move(candidates));
  r.verified = state_holds(action, state);
  r.state = std::move(state);
  return r;
}

// `needle` is folded (text::fold); page text is folded the same way, so a
// typed apostrophe finds a curly one.
Pool containing(std::u32string_view needle, const Elements& elements) {
  Pool out;
  std::u32string folded;
  for (const auto& el : elements) {
    folded.assign(el.text);
    for (auto& c : folded) c = text::fold(c);
    if (text::contains(folded, needle)) out.push_back(&el);
  }
  return out;
}

}  // namespace

namespace detail {

bool is_inside(const Element& inner, const Element& outer) {
  return inner.xpath.size() > outer.xpath.size() && text::starts_with(inner.xpath, outer.xpath) &&
         inner.xpath[outer.xpath.size()] == U'/';
}

void sort_by_text_length(std::vector<const Element*>& pool) {
  std::stable_sort(pool.begin(), pool.end(),
                   [](const Element* a, const Element* b) { return a->text.size() < b->text.size(); });
}

}  // namespace detail

Inputs inputs_for(std::u32string_view action) {
  Inputs in;
  if (action == U"verify_spatial_text" || action == U"extract_text_spatial") {
    in.value = action == U"verify_spatial_text";
    // A text's attributes hold the extent of its own words (_text_box).
    in.text_keys = KEY_TAG | KEY_TEXT | KEY_XPATH | KEY_ATTRIBUTES | KEY_BOUNDING_BOX;
    in.dom_keys = KEY_TEXT | KEY_XPATH | KEY_ATTRIBUTES | KEY_BOUNDING_BOX;
  } else if (action == U"find_text" || action == U"find_exact_text") {
    in.text_keys = KEY_TEXT;
  } else if (action == U"verify_text_present" || action == U"verify_text_visible") {
    in.text_keys = KEY_TEXT | KEY_IS_VISIBLE;
  } else if (action == U"verify_present" || action == U"verify_visible" || action == U"verify_enabled" ||
             action == U"verify_disabled") {
    in.dom_keys = KEY_TEXT | KEY_ATTRIBUTES | KEY_IS_VISIBLE | KEY_IS_ENABLED;
  } else {
    in.ordinal = true;
    in.dom_keys = KEY_TAG | KEY_TEXT | KEY_ATTRIBUTES | KEY_IS_VISIBLE | KEY_IS_EDITABLE_FIELD | KEY_BOUNDING_BOX;
    if (action == U"extract_text") in.text_keys = KEY_TEXT | KEY_ATTRIBUTES | KEY_IS_VISIBLE | KEY_BOUNDING_BOX;
    if (action == U"click") in.text_keys = KEY_TEXT | KEY_XPATH | KEY_ATTRIBUTES | KEY_IS_VISIBLE | KEY_BOUNDING_BOX;
  }
  in.dom_elements = in.dom_keys != 0;
  in.text_elements = in.text_keys != 0;
  return in;
}

Result resolve(const Instruction& in, const Elements& dom, const Elements& text_elements) {
  const auto& action = in.action;
  if (action == U"verify_spatial_text")
    return resolve_verify_spatial_text(in.target, in.value, text_elements, dom, in.quoted);
  if (action == U"extract_text_spatial")
    return resolve_extract_spatial_text(in.target, text_elements, dom, in.quoted);
  if (action == U"find_text") return resolve_find_text(in.target, text_elements);
  if (action == U"find_exact_text") return resolve_find_exact_text(in.target, text_elements);
  if (action == U"verify_present" || action == U"verify_visible" || action == U"verify_enabled" ||
      action == U"verify_disabled")
    return resolve_verify(action, in.target, dom, in.quoted);
  if (action == U"verify_text_present" || action == U"verify_text_visible")
    return resolve_verify_text(action, in.target, text_elements);
  return resolve_generic(in, dom, text_elements);
}

Result resolve_generic(const Instruction& in, const Elements& dom, const Elements& text_elements) {
  const auto eligible = filter_by_action(in.action, dom);
  const detail::Matcher target(strip_type_descriptors(in.target, in.quoted));
  const auto& action = in.action;

  auto match_in = [&](const Pool& pool) {
    Pool found = matching(pool, target, action, true);
    return found.empty() ? matching(pool, target, action, false) : found;
  };
  Pool matched;
  // A tick is asked of a box: a box that answers to the name outranks any
  // other control that does, such as the button its label sits beside.
  if (action == U"verify_checked") matched = match_in(filter_by_action(U"check", dom));
  if (matched.empty()) matched = match_in(eligible);
  if (matched.empty() && action == U"extract_text") matched = matching(all_of(text_elements), target, U"", true);
  if (matched.empty() && action == U"click") matched = clickable_text(text_elements, target);
  if (matched.empty()) return Result{};

  const Sources which = names_first(matched, target, action);
  Pool exact = exact_only(matched, target, action, which);
  Pool& pool = exact.empty() ? matched : exact;
  if (in.ordinal > 0)
    std::stable_sort(pool.begin(), pool.end(), above_or_left_of);
  else
    detail::sort_by_text_length(pool);
  const Element* chosen = pick(pool, in.ordinal);
  return found(chosen, std::move(pool));
}

Result resolve_verify(std::u32string_view action, std::u32string_view target, const Elements& dom,
                      const language::Spans& quoted) {
  check_action(action, {U"verify_present", U"verify_visible", U"verify_enabled", U"verify_disabled"});
  const detail::Matcher scoring(strip_type_descriptors(target, quoted));
  Pool candidates;
  for (const auto& el : dom)
    if (scoring.contained_in(el, label_names(U"", el))) candidates.push_back(&el);
  names_first(candidates, scoring, U"");
  detail::sort_by_text_length(candidates);
  if (candidates.empty()) return not_found_verification();
  const Element* chosen = candidates.front();
  State state;
  state.present = true;
  state.visible = chosen->is_visible;
  state.enabled = chosen->is_enabled;
  return verification(action, chosen, std::move(candidates), std::move(state));
}

Result resolve_verify_text(std::u32string_view action, std::u32string_view target,
                           const Elements& text_elements) {
  check_action(action, {U"verify_text_present", U"verify_text_visible"});
  Pool candidates = containing(text::fold(target), text_elements);
  detail::sort_by_text_length(candidates);
  if (candidates.empty()) return not_found_verification();
  const Element* chosen = candidates.front();
  State state;
  state.present = true;
  state.visible = chosen->is_visible;
  return verification(action, chosen, std::move(candidates), std::move(state));
}

Result resolve_find_text(std::u32string_view target, const Elements& text_elements) {
  Pool matches = containing(text::fold(target), text_elements);
  detail::sort_by_text_length(matches);
  if (matches.empty()) return Result{};
  const Element* chosen = matches.front();
  return found(chosen, std::move(matches));
}

Result resolve_find_exact_text(std::u32string_view target, const Elements& text_elements) {
  const auto needle = text::fold(target);
  Pool exact;
  for (const auto& el : text_elements)
    if (text::fold(text::strip(el.text)) == needle) exact.push_back(&el);
  Pool contains = containing(needle, text_elements);
  if (exact.empty()) {
    detail::sort_by_text_length(contains);
    Result r;
    r.candidates = std::move(contains);
    return r;
  }
  const Element* chosen = exact.front();
  exact.insert(exact.end(), contains.begin(), contains.end());
  return found(chosen, std::move(exact));
}

}  // namespace vantle::strategies::direct
