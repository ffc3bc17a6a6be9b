#pragma once
/// Matrix entries as JSON (nlohmann ordered_json); the records they stand for
/// are read and written by records/json.h.

#include <nlohmann/json.hpp>

#include "vantle/spatial/matrix.h"

namespace vantle::spatial {

using Json = nlohmann::ordered_json;

/// A position record with the keys x, y, w, h, cx, cy, x2, y2.
Json position_to_json(const Position& position);

/// A matrix entry with its eleven keys; `element` is the record it stands for.
Json entry_to_json(const Entry& entry, const Json& element);

}  // namespace vantle::spatial
