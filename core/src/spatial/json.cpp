#include "vantle/spatial/json.h"

#include "vantle/spatial/errors.h"
#include "vantle/text/text.h"

namespace vantle::spatial {

namespace {

const Json* find(const Json& record, const char* key) {
  if (!record.is_object()) return nullptr;
  auto it = record.find(key);
  return it == record.end() ? nullptr : &*it;
}

std::u32string text_of(const Json& record, const char* key) {
  const Json* v = find(record, key);
  if (!v || v->is_null()) return {};
  if (!v->is_string()) throw type_error(std::string("'") + key + "' must be a str");
  return text::decode(v->get_ref<const std::string&>());
}

std::optional<Number> number_of(const Json& box, const char* key) {
  const Json* v = find(box, key);
  if (!v) return std::nullopt;
  if (v->is_number_integer()) return Number{v->get<double>(), true};
  if (v->is_number_float()) return Number{v->get<double>(), false};
  throw type_error(std::string("'") + key + "' must be a number");
}

bool is_empty(const Json& v) {
  if (v.is_null()) return true;
  if (v.is_object() || v.is_array() || v.is_string()) return v.empty();
  if (v.is_boolean()) return !v.get<bool>();
  if (v.is_number()) return v.get<double>() == 0;
  return false;
}

Json number_json(const Number& n) {
  if (n.integral) return static_cast<long long>(n.value);
  return n.value;
}

std::optional<Box> box_of(const Json& record) {
  const Json* bb = find(record, "bounding_box");
  if (!bb || is_empty(*bb)) return std::nullopt;
  if (!bb->is_object()) throw type_error("'bounding_box' must be a dict");
  return Box{number_of(*bb, "x"), number_of(*bb, "y"), number_of(*bb, "width"), number_of(*bb, "height")};
}

const Json* attributes_of(const Json& record) {
  const Json* attrs = find(record, "attributes");
  if (!attrs || attrs->is_null()) return nullptr;
  if (!attrs->is_object()) throw type_error("'attributes' must be a dict");
  return attrs;
}

}  // namespace

Element element_from_json(const Json& record) {
  if (!record.is_object()) throw type_error("an element record must be an object");
  Element e;
  e.bounding_box = box_of(record);
  e.tag = text_of(record, "tag");
  e.text = text_of(record, "text");
  if (const Json* attrs = attributes_of(record)) {
    e.attributes.role = text_of(*attrs, "role");
    e.attributes.type = text_of(*attrs, "type");
    e.attributes.label = text_of(*attrs, "_label");
    e.attributes.aria_label = text_of(*attrs, "aria-label");
    e.attributes.placeholder = text_of(*attrs, "placeholder");
    e.attributes.name = text_of(*attrs, "name");
    e.attributes.icon = find(*attrs, "_icon") != nullptr;
    e.text_box = box_from_text(text::encode(text_of(*attrs, "_text_box")));
  }
  if (const Json* enabled = find(record, "is_enabled")) e.is_enabled = !is_empty(*enabled);
  e.xpath = text::encode(text_of(record, "xpath"));
  return e;
}

Element text_element_from_json(const Json& record) {
  if (!record.is_object()) throw type_error("a text element record must be an object");
  Element e;
  e.bounding_box = box_of(record);
  e.tag = text_of(record, "tag");
  e.text = text_of(record, "text");
  if (const Json* attrs = attributes_of(record)) {
    e.attributes.label = text_of(*attrs, "_label");
    e.text_box = box_from_text(text::encode(text_of(*attrs, "_text_box")));
  }
  e.xpath = text::encode(text_of(record, "xpath"));
  return e;
}

Json position_to_json(const Position& p) {
  Json out = Json::object();
  const Number* values[] = {&p.x, &p.y, &p.w, &p.h, &p.cx, &p.cy, &p.x2, &p.y2};
  for (int i = 0; i < 8; ++i) out[COORD_NAMES[i]] = number_json(*values[i]);
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
