#include "vantle/spatial/matrix.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "vantle/text/text.h"

namespace vantle::spatial {

namespace {

constexpr std::u32string_view READ_ATTRIBUTES[] = {U"role", U"type", U"_label", U"aria-label",
                                                   U"placeholder", U"name", U"_text_box"};

std::optional<Box> box_of(const records::Element& record) {
  const records::Box& b = record.bounding_box;
  if (!b.present) return std::nullopt;
  static const char* const coords[] = {"x", "y", "width", "height"};
  for (unsigned i = 0; i < 4; ++i)
    if (b.nulls & (1u << i)) throw records::type_error(std::string("'") + coords[i] + "' must be a number");
  return Box{b.x, b.y, b.width, b.height};
}

std::u32string attribute_text(const records::Element& record, std::u32string_view name) {
  const std::u32string* value = record.attribute(name);
  return value ? *value : std::u32string();
}

// The scan's marks beside the attributes: an icon control, and where a
// block's own words sit.
void read_marks(const records::Element& record, Element& e) {
  for (const auto& a : record.attributes)
    if (a.name == U"_icon") e.attributes.icon = true;
  if (const std::u32string* words = record.attribute(U"_text_box"); words && !words->empty())
    e.text_box = box_from_text(text::encode(*words));
}

}  // namespace

bool reads_attribute(std::u32string_view name) {
  return std::find(std::begin(READ_ATTRIBUTES), std::end(READ_ATTRIBUTES), name) != std::end(READ_ATTRIBUTES);
}

bool text_reads_attribute(std::u32string_view name) { return name == U"_label" || name == U"_text_box"; }

namespace {

// What layout reads of any record: its box, tag, text, label, marks and path.
Element placed(const records::Element& record) {
  Element e;
  e.bounding_box = box_of(record);
  e.tag = record.tag;
  e.text = record.text;
  e.attributes.label = attribute_text(record, U"_label");
  read_marks(record, e);
  e.xpath = text::encode(record.xpath);
  return e;
}

}  // namespace

Element layout_element(const records::Element& record) {
  Element e = placed(record);
  e.attributes.role = attribute_text(record, U"role");
  e.attributes.type = attribute_text(record, U"type");
  e.attributes.aria_label = attribute_text(record, U"aria-label");
  e.attributes.placeholder = attribute_text(record, U"placeholder");
  e.attributes.name = attribute_text(record, U"name");
  e.is_enabled = record.holds(records::KEY_IS_ENABLED) ? record.is_enabled : true;
  return e;
}

Element layout_text(const records::Element& record) {
  Element e = placed(record);
  // Only controls show icons; a text entry is never one.
  e.attributes.icon = false;
  return e;
}

namespace {

// Bit for bit, as the builder reads numbers: a whole 3 and a 3.0 are written
// back differently.
bool same_number(const std::optional<Number>& a, const std::optional<Number>& b) {
  if (!a || !b) return !a && !b;
  return a->integral == b->integral && (a->value == b->value || (std::isnan(a->value) && std::isnan(b->value)));
}

bool same_box(const std::optional<Box>& a, const std::optional<Box>& b) {
  if (!a || !b) return !a && !b;
  return same_number(a->x, b->x) && same_number(a->y, b->y) && same_number(a->width, b->width) &&
         same_number(a->height, b->height);
}

bool same_attributes(const Attributes& a, const Attributes& b) {
  return a.role == b.role && a.type == b.type && a.label == b.label && a.aria_label == b.aria_label &&
         a.placeholder == b.placeholder && a.name == b.name && a.icon == b.icon;
}

}  // namespace

bool same_layout(const Element& a, const Element& b) {
  return a.tag == b.tag && a.text == b.text && a.is_enabled == b.is_enabled && a.xpath == b.xpath &&
         same_attributes(a.attributes, b.attributes) && same_box(a.bounding_box, b.bounding_box) &&
         same_box(a.text_box, b.text_box);
}

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
  // A box or a radio is an input by its tag: the step names the kind of input.
  if (type == U"checkbox" || type == U"radio") {
    const auto& a = entry.element.attributes;
    return !entry.is_anchor_only && (text::lower(a.type) == type || a.role == type);
  }
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

// The element moves into its entry: a scan's worth of texts and paths is
// not copied again.
Entry interactable_entry(Element&& element, std::size_t source) {
  Entry e;
  e.tag = element.tag;
  e.element_type = element_type(element);
  e.text = element.text;
  e.label = element.attributes.label;
  e.searchable = searchable(element);
  e.is_enabled = element.is_enabled;
  e.is_anchor_only = false;
  e.position = position_of(*element.bounding_box);
  e.element = std::move(element);
  e.source = source;
  return e;
}

Entry text_entry(Element&& element, std::size_t source) {
  Entry e;
  e.tag = element.tag;
  e.element_type = U"text";
  e.text = element.text;
  e.label = element.attributes.label;
  e.searchable = element.text;
  e.is_enabled = true;
  e.is_anchor_only = true;
  e.position = position_of(*element.bounding_box);
  e.element = std::move(element);
  e.source = source;
  return e;
}

}  // namespace

std::vector<Entry> build(std::vector<Element> dom_elements, std::vector<Element> text_elements) {
  std::vector<Entry> entries;
  entries.reserve(dom_elements.size() + text_elements.size());
  for (std::size_t i = 0; i < dom_elements.size(); ++i)
    if (dom_elements[i].bounding_box) entries.push_back(interactable_entry(std::move(dom_elements[i]), i));
  for (std::size_t i = 0; i < text_elements.size(); ++i)
    if (text_elements[i].bounding_box) entries.push_back(text_entry(std::move(text_elements[i]), i));

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
