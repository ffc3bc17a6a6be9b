#include "scan_detail.h"

#include <unordered_set>

#include "vantle/text/text.h"

namespace vantle::browser::detail {

std::string trimmed(const Json& v) { return text::strip(std::string_view(text_of(v))); }

bool empty_box(const Json& box) {
  if (!box.is_object()) return true;
  auto dim = [&](const char* key) {
    auto it = box.find(key);
    return it == box.end() || !it->is_number() ? 0.0 : it->get<double>();
  };
  return dim("width") <= 0 || dim("height") <= 0;
}

bool takes_field_label(const std::string& tag) {
  // Drop-downs are named by their label element just like text fields.
  return tag == "input" || tag == "textarea" || tag == "select";
}

void mark_icon(std::string& text, Json& attrs, const Json& icon) {
  if (!icon.is_array() || icon.empty()) return;
  attrs["_icon"] = "true";
  if (text.empty()) text = trimmed(icon.at(0));
}

void mark_checked(Json& attrs, const Json& state) {
  if (state.is_boolean()) attrs["_checked"] = state.get<bool>() ? "true" : "false";
}

void mark_text_box(Json& attrs, const Json& box) {
  if (box.is_string()) attrs["_text_box"] = box;
}

Json descriptor(const std::string& tag, const std::string& text, Json attrs, Json box, bool visible, bool enabled,
                bool editable, const std::string& xpath) {
  Json d = Json::object();
  d.get_ref<Json::object_t&>().reserve(8);
  d["tag"] = tag;
  d["text"] = text;
  d["attributes"] = std::move(attrs);
  d["bounding_box"] = std::move(box);
  d["is_visible"] = visible;
  d["is_enabled"] = enabled;
  if (editable) d["is_editable_field"] = true;
  d["xpath"] = xpath;
  return d;
}

Json text_element(const std::string& tag, const std::string& text, bool direct, Json attrs, Json box,
                  const std::string& xpath) {
  Json t = Json::object();
  t.get_ref<Json::object_t&>().reserve(8);
  t["tag"] = tag;
  t["text"] = text;
  t["has_direct_text"] = direct;
  t["attributes"] = std::move(attrs);
  t["bounding_box"] = std::move(box);
  t["is_visible"] = true;
  t["is_enabled"] = true;
  t["xpath"] = xpath;
  return t;
}

Json pointer_records(const Json& raw) {
  Json results = Json::array();
  if (!raw.is_array()) return results;
  std::unordered_set<std::string> seen;
  for (const Json& item : raw) {
    auto xp = item.find("xpath");
    std::string xpath = xp == item.end() ? "" : text_of(*xp);
    if (!seen.insert(xpath).second) continue;
    Json attrs = Json::object();
    if (item.contains("cls") && truthy(item["cls"])) attrs["class"] = item["cls"];
    if (item.contains("aria") && truthy(item["aria"])) attrs["aria-label"] = item["aria"];
    if (item.contains("icon") && truthy(item["icon"])) attrs["_icon"] = "true";
    Json box = Json::object();
    box["x"] = item.at("x");
    box["y"] = item.at("y");
    box["width"] = item.at("w");
    box["height"] = item.at("h");
    Json d = Json::object();
    d["tag"] = "button";
    d["text"] = item.at("text");
    d["attributes"] = std::move(attrs);
    d["bounding_box"] = std::move(box);
    d["is_visible"] = true;
    d["is_enabled"] = true;
    d["xpath"] = xpath;
    results.push_back(std::move(d));
  }
  return results;
}

}  // namespace vantle::browser::detail
