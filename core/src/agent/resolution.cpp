#include "vantle/agent/resolution.h"
#include "vantle/agent/routing.h"

#include "vantle/spatial/json.h"
#include "vantle/spatial/matrix.h"
#include "vantle/spatial/resolver.h"
#include "vantle/strategies/direct_strategy.h"
#include "vantle/text/text.h"

namespace vantle::agent {

namespace {

namespace direct = strategies::direct;
namespace sp = spatial;

const Json& empty_object() {
  static const Json empty = Json::object();
  return empty;
}

const Json& member(const Json& record, const char* key) {
  if (!record.is_object()) return empty_object();
  auto it = record.find(key);
  return it == record.end() ? empty_object() : *it;
}

bool has(const Json& record, const char* key) { return record.is_object() && record.contains(key); }

std::u32string text_at(const Json& record, const char* key) {
  const Json& value = member(record, key);
  return value.is_string() ? text::decode(value.get_ref<const std::string&>()) : std::u32string();
}

bool truth_at(const Json& record, const char* key, bool absent = false) {
  if (!has(record, key)) return absent;
  const Json& value = record[key];
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_number()) return value.get<double>() != 0;
  if (value.is_string()) return !value.get_ref<const std::string&>().empty();
  return !value.is_null() && !value.empty();
}

std::optional<double> number_at(const Json& record, const char* key) {
  const Json& value = member(record, key);
  if (!value.is_number()) return std::nullopt;
  return value.get<double>();
}

// ---- direct ------------------------------------------------------------------

direct::Element direct_element(const Json& record, std::size_t index) {
  direct::Element e;
  e.index = index;
  e.origin = &record;
  e.tag = text_at(record, "tag");
  e.text = text_at(record, "text");
  e.xpath = text_at(record, "xpath");
  const Json& attrs = member(record, "attributes");
  if (attrs.is_object()) {
    for (const auto& [name, value] : attrs.items()) {
      std::u32string key = text::decode(name);
      if (!direct::reads_attribute(key) && key.rfind(U"data-", 0) != 0) continue;
      e.attributes.push_back({key, value.is_string() ? text::decode(value.get_ref<const std::string&>())
                                                     : std::u32string()});
    }
  }
  e.is_visible = truth_at(record, "is_visible");
  e.is_enabled = truth_at(record, "is_enabled");
  e.is_editable_field = truth_at(record, "is_editable_field");
  const Json& box = member(record, "bounding_box");
  if (box.is_object() && !box.empty()) {
    e.bounding_box.present = true;
    e.bounding_box.x = number_at(box, "x");
    e.bounding_box.y = number_at(box, "y");
    e.bounding_box.width = number_at(box, "width");
    e.bounding_box.height = number_at(box, "height");
  }
  return e;
}

direct::Elements scan_elements(const Json& records) {
  direct::Elements out;
  if (!records.is_array()) return out;
  out.reserve(records.size());
  for (std::size_t i = 0; i < records.size(); ++i) out.push_back(direct_element(records[i], i));
  return out;
}

Json record_of(const direct::Element* element) {
  return element ? *static_cast<const Json*>(element->origin) : Json(nullptr);
}

Json state_json(const direct::State& state) {
  Json out = Json::object();
  if (state.present) out["present"] = *state.present;
  if (state.visible) out["visible"] = *state.visible;
  if (state.enabled) out["enabled"] = *state.enabled;
  if (state.expected) out["expected"] = text::encode(*state.expected);
  if (state.actual) out["actual"] = text::encode(*state.actual);
  return out;
}

// ---- layout ------------------------------------------------------------------

std::vector<sp::Element> layout_elements(const Json& records) {
  std::vector<sp::Element> out;
  if (!records.is_array()) return out;
  out.reserve(records.size());
  for (const auto& record : records) out.push_back(sp::element_from_json(record));
  return out;
}

Json record_of_entry(const sp::Entry* entry, const PageScan& scan) {
  if (!entry) return nullptr;
  const Json& source = entry->is_anchor_only ? scan.text_elements : scan.elements;
  return entry->source < source.size() ? source[entry->source] : Json(nullptr);
}

}  // namespace

Json resolve_direct(const Json& record, const PageScan& scan) {
  direct::Instruction in;
  in.action = text_at(record, "action");
  in.target = text_at(record, "target");
  in.value = text_at(record, "value");
  const Json& ordinal = member(record, "ordinal");
  if (ordinal.is_number_integer()) in.ordinal = ordinal.get<long long>();
  in.quoted = quoted_of(record);
  direct::Inputs needs = direct::inputs_for(in.action);
  direct::Elements dom = needs.dom_elements ? scan_elements(scan.elements) : direct::Elements{};
  direct::Elements texts = needs.text_elements ? scan_elements(scan.text_elements) : direct::Elements{};
  direct::Result r = direct::resolve(in, dom, texts);

  Json out = Json::object();
  out["resolved"] = r.resolved;
  if (r.verified) out["verified"] = *r.verified;
  out["confidence"] = r.confidence;
  out["element"] = record_of(r.element);
  if (r.state) out["state"] = state_json(*r.state);
  if (r.extracted) out["extracted"] = text::encode(*r.extracted);
  out["candidates"] = Json::array();
  for (const auto* candidate : r.candidates) out["candidates"].push_back(record_of(candidate));
  return out;
}

Json resolve_layout(const Json& record, const PageScan& scan) {
  sp::Resolver resolver(layout_matrix(scan));
  sp::Resolution r = resolver.resolve(text_at(record, "target"), quoted_of(record));

  Json out = Json::object();
  out["resolved"] = r.resolved;
  out["confidence"] = r.resolved ? 1.0 : 0.0;
  out["element"] = r.resolved ? record_of_entry(r.best, scan) : Json(nullptr);
  if (r.resolved && r.anchored) {
    out["anchor_text"] = r.anchor ? text::encode(r.anchor->searchable) : std::string();
    out["ordinal"] = r.ordinal;
    out["type_relaxed"] = r.type_relaxed;
    out["actual_type"] = r.actual_type ? Json(text::encode(*r.actual_type)) : Json(nullptr);
  }
  out["candidates"] = Json::array();
  for (const auto* entry : r.candidates) out["candidates"].push_back(record_of_entry(entry, scan));
  return out;
}

std::string matched_attribute(const Json& record, const Json& element) {
  const std::u32string action = text_at(record, "action");
  const direct::Element e = direct_element(element, 0);
  const std::u32string target = direct::strip_type_descriptors(text_at(record, "target"), quoted_of(record));
  return text::encode(direct::matched_by(target, e, direct::label_names(action, e)));
}

direct::Elements direct_elements(const Json& records) { return scan_elements(records); }

std::vector<sp::Entry> layout_matrix(const PageScan& scan) {
  return sp::build(layout_elements(scan.elements), layout_elements(scan.text_elements));
}

Json entry_record(const sp::Entry* entry, const PageScan& scan) { return record_of_entry(entry, scan); }

}  // namespace vantle::agent
