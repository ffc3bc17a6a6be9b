#include "vantle/records/records.h"

namespace vantle::records {

namespace {

constexpr const char* KEY_NAMES[] = {"tag",        "text",       "xpath",             "attributes",  "is_visible",
                                     "is_enabled", "is_editable_field", "bounding_box", "has_direct_text"};

}  // namespace

const char* key_name(unsigned key) {
  for (unsigned i = 0; i < std::size(KEY_NAMES); ++i)
    if (key == 1u << i) return KEY_NAMES[i];
  return nullptr;
}

unsigned key_of(std::string_view name) {
  for (unsigned i = 0; i < std::size(KEY_NAMES); ++i)
    if (name == KEY_NAMES[i]) return 1u << i;
  return 0;
}

const std::u32string* Element::attribute(std::u32string_view name) const {
  for (const auto& a : attributes)
    if (a.name == name) return a.is_text() ? &a.value : nullptr;
  return nullptr;
}

bool Element::same_record(const Element& other) const {
  if (origin && other.origin) return origin == other.origin;
  return this == &other;
}

}  // namespace vantle::records
