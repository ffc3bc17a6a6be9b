#include "vantle/spatial/matrix.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "vantle/text/text.h"

namespace vantle::spatial {

std::u32string element_type(const Element& element) {
  const auto& role = element.attributes.role;
  if (role == U"button" || role == U"link" || role == U"textbox" || role == U"combobox") return role;
  const auto& type = element.attributes.type;
  if (element.tag == U"input" && (type == U"submit" || type == U"button" || type == U"reset"))
    return U"button";
  for (const auto& row : TAG_TO_TYPE)
    if (element.tag == row.tag) return row.type;
  return element.tag;
}

bool is_of_type(const Entry& entry, std::u32string_view type) {
  if (type == U"icon") return !entry.is_anchor_only && entry.element.attributes.icon;
  return entry.element_type && *entry.element_type == type;
}

std::u32string searchable(const Element& element) {
  const auto& a = element.attributes;
  std::vector<std::u32string> parts;
  for (const auto* part : {&element.text, &a.label, &a.aria_label, &a.placeholder, &a.name})
    if (!part->empty()) parts.push_back(*part);
  return text::strip(text::join(parts, U" "));
}

namespace {

// A total order on coordinates: NaN sorts after every number, so a corrupt box
// cannot break the sort.
bool before(double a, double b) {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a < b;
}

bool same(double a, double b) { return !before(a, b) && !before(b, a); }

Entry interactable_entry(const Element& element, std::size_t source) {
  Entry e;
  e.tag = element.tag;
  e.element_type = element_type(element);
  e.text = element.text;
  e.label = element.attributes.label;
  e.searchable = searchable(element);
  e.is_enabled = element.is_enabled;
  e.is_anchor_only = false;
  e.position = position_of(*element.bounding_box);
  e.element = element;
  e.source = source;
  return e;
}

Entry text_entry(const Element& element, std::size_t source) {
  Entry e;
  e.tag = element.tag;
  e.element_type = U"text";
  e.text = element.text;
  e.label = element.attributes.label;
  e.searchable = element.text;
  e.is_enabled = true;
  e.is_anchor_only = true;
  e.position = position_of(*element.bounding_box);
  e.element = element;
  e.source = source;
  return e;
}

}  // namespace

std::vector<Entry> build(const std::vector<Element>& dom_elements,
                         const std::vector<Element>& text_elements) {
  std::vector<Entry> entries;
  entries.reserve(dom_elements.size() + text_elements.size());
  for (std::size_t i = 0; i < dom_elements.size(); ++i)
    if (dom_elements[i].bounding_box) entries.push_back(interactable_entry(dom_elements[i], i));
  for (std::size_t i = 0; i < text_elements.size(); ++i)
    if (text_elements[i].bounding_box) entries.push_back(text_entry(text_elements[i], i));

  // No row tolerance: reading order is the raw top edge, then the left edge.
  // Sorting a permutation keeps the heavy entries from being shuffled.
  std::vector<std::size_t> order(entries.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const auto& p = *entries[a].position;
    const auto& q = *entries[b].position;
    if (!same(p.y.value, q.y.value)) return before(p.y.value, q.y.value);
    return before(p.x.value, q.x.value);
  });
  std::vector<Entry> sorted;
  sorted.reserve(entries.size());
  for (std::size_t i : order) sorted.push_back(std::move(entries[i]));

  std::unordered_map<std::u32string, long long> counts;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    sorted[i].index = static_cast<long long>(i);
    sorted[i].order_in_type = ++counts[*sorted[i].element_type];
  }
  return sorted;
}

}  // namespace vantle::spatial
