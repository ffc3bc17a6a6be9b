#pragma once
/// Scan records and matrix entries as JSON (nlohmann ordered_json), for
/// callers that hold a page scan in that form.

#include <nlohmann/json.hpp>

#include "vantle/spatial/matrix.h"

namespace vantle::spatial {

using Json = nlohmann::ordered_json;

/// Reads an element descriptor or text element. Absent and null keys read as
/// empty; a box that is absent, null or empty leaves the element unplaced.
/// Throws type_error naming the key when a value has the wrong kind.
Element element_from_json(const Json& record);
/// Reads a text element: only its box, tag, text, `_label` and path, the parts
/// a text entry is made of.
Element text_element_from_json(const Json& record);

/// A position record with the keys x, y, w, h, cx, cy, x2, y2.
Json position_to_json(const Position& position);

/// A matrix entry with its eleven keys; `element` is the record it stands for.
Json entry_to_json(const Entry& entry, const Json& element);

}  // namespace vantle::spatial
