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
    return std::pair<double, double>(box.y.value_or(0.0), box.x.value_or(0.0));
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

/// Drop-downs are named by their label as text fields are; a click or hover
/// must not hit a field because of its label.
bool uses_label(std::u32string_view action) { return action == U"type" || action == U"select"; }

Pool matching(const Pool& pool, const detail::Matcher& target, bool include_label, bool visible) {
  Pool out;
  for (const auto* el : pool)
    if (el->is_visible == visible && target.contained_in(*el, include_label)) out.push_back(el);
  return out;
}

Pool exact_only(const Pool& pool, const detail::Matcher& target, bool include_label) {
  Pool out;
  for (const auto* el : pool)
    if (target.equal_to(*el, include_label)) out.push_back(el);
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

Pool containing(std::u32string_view needle, const Elements& elements) {
  Pool out;
  std::u32string lowered;
  for (const auto& el : elements) {
    lowered.assign(el.text);
    for (auto& c : lowered) c = text::lower(c);
    if (text::contains(lowered, needle)) out.push_back(&el);
  }
  return out;
}

}  // namespace

namespace detail {

void sort_by_text_length(std::vector<const Element*>& pool) {
  std::stable_sort(pool.begin(), pool.end(),
                   [](const Element* a, const Element* b) { return a->text.size() < b->text.size(); });
}

}  // namespace detail

Inputs inputs_for(std::u32string_view action) {
  Inputs in;
  if (action == U"verify_spatial_text" || action == U"extract_text_spatial") {
    in.value = action == U"verify_spatial_text";
    in.text_keys = KEY_TAG | KEY_TEXT | KEY_XPATH | KEY_BOUNDING_BOX;
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
  const bool include_label = uses_label(in.action);

  Pool matched = matching(eligible, target, include_label, true);
  if (matched.empty()) matched = matching(eligible, target, include_label, false);
  if (matched.empty() && in.action == U"extract_text")
    matched = matching(all_of(text_elements), target, false, true);
  if (matched.empty()) return Result{};

  Pool exact = exact_only(matched, target, include_label);
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
    if (scoring.contained_in(el, false)) candidates.push_back(&el);
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
  Pool candidates = containing(text::lower(target), text_elements);
  detail::sort_by_text_length(candidates);
  if (candidates.empty()) return not_found_verification();
  const Element* chosen = candidates.front();
  State state;
  state.present = true;
  state.visible = chosen->is_visible;
  return verification(action, chosen, std::move(candidates), std::move(state));
}

Result resolve_find_text(std::u32string_view target, const Elements& text_elements) {
  Pool matches = containing(text::lower(target), text_elements);
  detail::sort_by_text_length(matches);
  if (matches.empty()) return Result{};
  const Element* chosen = matches.front();
  return found(chosen, std::move(matches));
}

Result resolve_find_exact_text(std::u32string_view target, const Elements& text_elements) {
  const auto needle = text::lower(target);
  Pool exact;
  for (const auto& el : text_elements)
    if (text::lower(text::strip(el.text)) == needle) exact.push_back(&el);
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
