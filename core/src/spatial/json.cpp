#include "vantle/spatial/json.h"

#include "vantle/records/json.h"

#include "vantle/text/text.h"

namespace vantle::spatial {

Json position_to_json(const Position& p) {
  Json out = Json::object();
  const Number* values[] = {&p.x, &p.y, &p.w, &p.h, &p.cx, &p.cy, &p.x2, &p.y2};
  for (int i = 0; i < 8; ++i) out[COORD_NAMES[i]] = records::to_json(*values[i]);
  return out;
}

Json entry_to_json(const Entry& e, const Json& element) {
  Json out = Json::object();
  out["index"] = e.index.value_or(0);
  out["tag"] = text::encode(e.tag);
  out["element_type"] = e.element_type ? Json(text::encode(*e.element_type)) : Json(nullptr);
  out["text"] = text::encode(e.text);
  out["label"] = text::encode(e.label);
  out["searchable"] = text::encode(e.searchable);
  out["is_enabled"] = e.is_enabled;
  out["is_anchor_only"] = e.is_anchor_only;
  out["order_in_type"] = e.order_in_type;
  out["position"] = e.position ? position_to_json(*e.position) : Json(nullptr);
  out["element"] = element;
  return out;
}

}  // namespace vantle::spatial
