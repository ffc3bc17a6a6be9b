#pragma once
/// The spatial matrix: scanned elements placed in reading order.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "vantle/records/records.h"
#include "vantle/spatial/geometry.h"

namespace vantle::spatial {

/// The attributes of an element that the spatial subsystem reads; absent reads
/// as empty text.
struct Attributes {
  std::u32string role, type, label, aria_label, placeholder, name;
  /// A control that shows an icon and no words (the scan's `_icon`).
  bool icon = false;
};

/// An element descriptor or a text element, as far as layout needs it.
struct Element {
  std::u32string tag, text;
  /// Absent when the element has no usable box; such an element is not placed.
  std::optional<Box> bounding_box;
  /// Where its own words sit, when smaller than its box (the scan's `_text_box`).
  std::optional<Box> text_box;
  Attributes attributes;
  bool is_enabled = true;
  std::string xpath;
};

/// One placed element of the matrix.
struct Entry {
  std::optional<long long> index;
  std::u32string tag;
  std::optional<std::u32string> element_type;
  std::u32string text, label, searchable;
  bool is_enabled = true;
  bool is_anchor_only = false;
  long long order_in_type = 0;
  /// Absent only in entries built by hand.
  std::optional<Position> position;
  /// The element the entry stands for.
  Element element;
  /// Where the element came from: its place in the interactable sequence, or
  /// in the text sequence when is_anchor_only.
  std::size_t source = 0;
};

/// The attributes whose values layout reads as text, of an element descriptor
/// and of a text element (records::Reading::text_attribute).
bool reads_attribute(std::u32string_view name);
bool text_reads_attribute(std::u32string_view name);
/// The keys the builder reads of each record; the resolver reads paths too.
inline constexpr unsigned DESCRIPTOR_KEYS = records::KEY_TAG | records::KEY_TEXT | records::KEY_ATTRIBUTES |
                                            records::KEY_BOUNDING_BOX | records::KEY_IS_ENABLED;
inline constexpr unsigned TEXT_KEYS =
    records::KEY_TAG | records::KEY_TEXT | records::KEY_ATTRIBUTES | records::KEY_BOUNDING_BOX;

/// An element descriptor as layout reads it; an absent `is_enabled` is true.
/// A box coordinate held as null is a type_error.
Element layout_element(const records::Element& record);
/// A text element as layout reads it: its box, tag, text, `_label`, the
/// extent of its words and its path.
Element layout_text(const records::Element& record);

/// Whether two elements would be placed alike: the matrix built with one in
/// place of the other is the same.
bool same_layout(const Element& a, const Element& b);

/// Tag to element type, in table order.
struct TagType {
  const char32_t* tag;
  const char32_t* type;
};
inline constexpr TagType TAG_TO_TYPE[] = {
    {U"a", U"link"}, {U"button", U"button"}, {U"input", U"input"},
    {U"select", U"select"}, {U"textarea", U"input"},
};

/// The element type of an interactable element: its ARIA role when that names
/// a control, "button" for submit-like inputs, else by tag.
std::u32string element_type(const Element& element);
/// Whether an entry is of an element type: "icon" takes any icon control,
/// whatever its tag, since a cog may be a button, a link or a span.
bool is_of_type(const Entry& entry, std::u32string_view type);
/// Text, label, aria-label, placeholder and name, non-empty ones joined by spaces.
std::u32string searchable(const Element& element);

/// Builds the matrix: interactable entries, then text entries, stably sorted by
/// top edge then left edge, numbered, and counted per element type.
std::vector<Entry> build(std::vector<Element> dom_elements, std::vector<Element> text_elements);

}  // namespace vantle::spatial
