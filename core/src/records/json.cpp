#include "vantle/records/json.h"

#include "vantle/text/text.h"

namespace vantle::records {

namespace {

// Key bits in the order a scan writes them.
constexpr unsigned SCAN_ORDER[] = {KEY_TAG,        KEY_TEXT,       KEY_HAS_DIRECT_TEXT, KEY_ATTRIBUTES, KEY_BOUNDING_BOX,
                                   KEY_IS_VISIBLE, KEY_IS_ENABLED, KEY_IS_EDITABLE_FIELD, KEY_XPATH};
constexpr const char* COORDS[] = {"x", "y", "width", "height"};

[[noreturn]] void wrong(const std::string& what, const char* wanted, const Json& value) {
  throw type_error(what + " must be " + wanted + ", not " + value.type_name());
}

// `what` names the value, and is called only when the value is of the wrong
// kind: a scan reads thousands of keys.
template <typename Name>
std::u32string text_of(const Json& value, const Name& what) {
  if (!value.is_string()) wrong(what(), "text", value);
  return text::decode(value.get_ref<const std::string&>());
}

Number number_of(const Json& value, const char* key) {
  if (value.is_number_integer() || value.is_number_unsigned()) return {value.get<double>(), true};
  if (value.is_number_float()) return {value.get<double>(), false};
  wrong(std::string("'") + key + "'", "a number", value);
}

Box box_of(const Json& value) {
  if (!value.is_object()) wrong("'bounding_box'", "a dict", value);
  Box box;
  box.present = !value.empty();
  std::optional<Number>* slots[] = {&box.x, &box.y, &box.width, &box.height};
  for (unsigned i = 0; i < 4; ++i) {
    auto it = value.find(COORDS[i]);
    if (it == value.end()) continue;
    if (it->is_null())
      box.nulls |= 1u << i;
    else
      *slots[i] = number_of(*it, COORDS[i]);
  }
  return box;
}

std::vector<Attribute> attributes_of(const Json& value, const Reading& reading) {
  if (!value.is_object()) wrong("'attributes'", "a dict", value);
  std::vector<Attribute> out;
  out.reserve(value.size());
  for (const auto& [name, item] : value.items()) {
    Attribute a{text::decode(name), {}, std::nullopt};
    if (item.is_string())
      a.value = text::decode(item.get_ref<const std::string&>());
    else if (!item.is_null() && reading.checks(a.name))
      wrong("attribute '" + name + "'", "text", item);
    else
      a.other = item;
    out.push_back(std::move(a));
  }
  return out;
}

void read_key(Element& e, unsigned key, const Json& value, const Reading& reading) {
  auto what = [key] { return std::string("'") + key_name(key) + "'"; };
  switch (key) {
    case KEY_TAG: e.tag = text_of(value, what); break;
    case KEY_TEXT: e.text = text_of(value, what); break;
    case KEY_XPATH: e.xpath = text_of(value, what); break;
    case KEY_ATTRIBUTES: e.attributes = attributes_of(value, reading); break;
    case KEY_IS_VISIBLE: e.is_visible = truthy(value); break;
    case KEY_IS_ENABLED: e.is_enabled = truthy(value); break;
    case KEY_IS_EDITABLE_FIELD: e.is_editable_field = truthy(value); break;
    case KEY_HAS_DIRECT_TEXT: e.has_direct_text = truthy(value); break;
    case KEY_BOUNDING_BOX: e.bounding_box = box_of(value); break;
  }
}

char code_of(unsigned key) {
  for (unsigned i = 0; i < 9; ++i)
    if (key == 1u << i) return KEY_CODES[i];
  return '*';
}

unsigned key_of_code(char code) { return 1u << static_cast<unsigned>(code - KEY_CODES[0]); }

Json box_json(const Box& box) {
  Json out = Json::object();
  const std::optional<Number>* slots[] = {&box.x, &box.y, &box.width, &box.height};
  for (unsigned i = 0; i < 4; ++i) {
    if (*slots[i])
      out[COORDS[i]] = to_json(**slots[i]);
    else if (box.nulls & (1u << i))
      out[COORDS[i]] = nullptr;
  }
  return out;
}

Json attributes_json(const std::vector<Attribute>& attributes) {
  Json out = Json::object();
  for (const auto& a : attributes) out[text::encode(a.name)] = a.other ? *a.other : Json(text::encode(a.value));
  return out;
}

Json value_json(const Element& e, unsigned key) {
  if (e.nulls & key) return nullptr;
  switch (key) {
    case KEY_TAG: return text::encode(e.tag);
    case KEY_TEXT: return text::encode(e.text);
    case KEY_XPATH: return text::encode(e.xpath);
    case KEY_ATTRIBUTES: return attributes_json(e.attributes);
    case KEY_IS_VISIBLE: return e.is_visible;
    case KEY_IS_ENABLED: return e.is_enabled;
    case KEY_IS_EDITABLE_FIELD: return e.is_editable_field;
    case KEY_HAS_DIRECT_TEXT: return e.has_direct_text;
    default: return box_json(e.bounding_box);
  }
}

Json text_or_null(const std::optional<std::u32string>& value) {
  return value ? Json(text::encode(*value)) : Json(nullptr);
}

Json element_or_null(const Element* element, Json (*write)(const Element&)) {
  if (!element) return nullptr;
  if (write) return write(*element);
  return element->origin ? origin_json(*element) : to_json(*element);
}

}  // namespace

Element element_from_json(const Json& record, std::size_t index, const Reading& reading, const char* what) {
  if (!record.is_object()) wrong(what, "a dict", record);
  Element e;
  e.index = index;
  e.origin = &record;
  for (const auto& [name, value] : record.items()) {
    const unsigned key = key_of(name);
    if (!(key & reading.keys)) {
      if (!e.rest.is_object()) e.rest = Json::object();
      e.rest[name] = value;
      e.order += '*';
      continue;
    }
    e.order += code_of(key);
    if (value.is_null()) {
      e.nulls |= key;
      continue;
    }
    e.keys |= key;
    read_key(e, key, value, reading);
  }
  return e;
}

Elements elements_from_json(const Json& records, const Reading& reading, const char* what) {
  Elements out;
  if (records.is_null()) return out;
  if (!records.is_array()) wrong(what, "a sequence of records", records);
  out.reserve(records.size());
  const std::string each = std::string("each of ") + what;
  for (std::size_t i = 0; i < records.size(); ++i)
    out.push_back(element_from_json(records[i], i, reading, each.c_str()));
  return out;
}

Step step_from_json(const Json& record, bool value, bool ordinal) {
  if (!record.is_object()) wrong("the step record", "a dict", record);
  auto text_key = [&](const char* key) {
    const Json& v = member(record, key);
    if (v.is_null() && !record.contains(key)) return std::u32string();
    return text_of(v, [key] { return std::string("the step's '") + key + "'"; });
  };
  Step step;
  step.action = text_key("action");
  step.target = text_key("target");
  if (value) step.value = text_key("value");
  if (const Json& n = member(record, "ordinal"); ordinal && record.contains("ordinal")) {
    if (!n.is_number_integer()) wrong("the step's 'ordinal'", "an integer", n);
    step.ordinal = n.get<long long>();
  }
  step.quoted = quoted_from_json(member(record, "_quoted"));
  return step;
}

language::Spans quoted_from_json(const Json& spans) {
  language::Spans out;
  if (!spans.is_array()) return out;
  for (const auto& span : spans) {
    if (span.is_array() && span.size() == 2 && span[0].is_number_unsigned() && span[1].is_number_unsigned())
      out.push_back({span[0].get<std::size_t>(), span[1].get<std::size_t>()});
  }
  return out;
}

Json to_json(const Element& e) {
  Json out = Json::object();
  if (e.order.empty()) {
    for (unsigned key : SCAN_ORDER)
      if (e.holds(static_cast<Key>(key))) out[key_name(key)] = value_json(e, key);
    if (e.rest.is_object())
      for (const auto& [name, value] : e.rest.items()) out[name] = value;
    return out;
  }
  static const Json none = Json::object();
  auto rest = (e.rest.is_object() ? e.rest : none).begin();
  for (char code : e.order) {
    if (code == '*') {
      out[rest.key()] = *rest;
      ++rest;
      continue;
    }
    const unsigned key = key_of_code(code);
    out[key_name(key)] = value_json(e, key);
  }
  return out;
}

Json to_json(const Number& n) {
  if (n.integral) return static_cast<long long>(n.value);
  return n.value;
}

Json to_json(const State& s) {
  Json out = Json::object();
  if (s.present) out["present"] = *s.present;
  if (s.visible) out["visible"] = *s.visible;
  if (s.enabled) out["enabled"] = *s.enabled;
  if (s.expected) out["expected"] = text::encode(*s.expected);
  if (s.actual) out["actual"] = text::encode(*s.actual);
  return out;
}

Json to_json(const Resolution& r, Json (*element)(const Element&)) {
  Json out = Json::object();
  out["resolved"] = r.resolved;
  if (r.verified) out["verified"] = *r.verified;
  out["confidence"] = r.confidence;
  out["element"] = element_or_null(r.element, element);
  if (r.state) out["state"] = to_json(*r.state);
  if (r.extracted) out["extracted"] = text::encode(*r.extracted);
  if (r.anchoring) {
    out["anchor_text"] = text::encode(r.anchoring->anchor_text);
    out["ordinal"] = r.anchoring->ordinal;
    out["type_relaxed"] = r.anchoring->type_relaxed;
    out["actual_type"] = text_or_null(r.anchoring->actual_type);
  }
  out["candidates"] = Json::array();
  for (const Element* c : r.candidates) out["candidates"].push_back(element_or_null(c, element));
  return out;
}

bool truthy(const Json& value) {
  if (value.is_boolean()) return value.get<bool>();
  if (value.is_number()) return value.get<double>() != 0;
  if (value.is_string()) return !value.get_ref<const std::string&>().empty();
  if (value.is_null()) return false;
  return !value.empty();
}

std::string text_of(const Json& value) {
  if (value.is_null()) return "";
  if (value.is_string()) return value.get<std::string>();
  return value.dump();
}

const Json& member(const Json& record, const char* key) {
  static const Json none = nullptr;
  if (!record.is_object()) return none;
  auto it = record.find(key);
  return it == record.end() ? none : *it;
}

std::string text_at(const Json& record, const char* key) {
  const Json& value = member(record, key);
  return value.is_string() ? value.get<std::string>() : std::string();
}

bool truth_at(const Json& record, const char* key, bool absent) {
  if (!record.is_object() || !record.contains(key)) return absent;
  return truthy(record[key]);
}

double number_at(const Json& record, const char* key) {
  const Json& value = member(record, key);
  return value.is_number() ? value.get<double>() : 0.0;
}

const Json& origin_json(const Element& element) { return *static_cast<const Json*>(element.origin); }

}  // namespace vantle::records
