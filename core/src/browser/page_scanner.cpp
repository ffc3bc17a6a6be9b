// The element-by-element scan: one browser call per element and property.

#include <iostream>
#include <unordered_set>

#include "vantle/browser/page_scanner.h"
#include "scan_detail.h"
#include "vantle/text/text.h"

namespace vantle::browser {

namespace {

using namespace detail;

Json attribute(const RemotePtr& handle, const std::string& name) {
  return handle->call_value("get_attribute", {Json(name)});
}

Json evaluate(const RemotePtr& target, const std::string& script) {
  return target->call_value("evaluate", {Json(script)});
}

/// The non-null values of `names`, in order (empty values kept).
Json read_attributes(const RemotePtr& handle, const std::vector<std::string>& names) {
  Json attrs = Json::object();
  for (const auto& name : names) {
    Json v = attribute(handle, name);
    if (!v.is_null()) attrs[name] = v;
  }
  return attrs;
}

void merge_data_attributes(const RemotePtr& handle, Json& attrs) {
  Json data = evaluate(handle, DATA_ATTRS_JS);
  if (!data.is_object()) return;
  for (const auto& [k, v] : data.items()) attrs[k] = v;
}

}  // namespace

PageScanner::PageScanner(RemotePtr page, ScanHooks hooks, bool batched)
    : PageScanner(std::move(page), std::move(hooks), batched, nullptr) {}

PageScanner::PageScanner(RemotePtr frame, ScanHooks hooks, bool batched, std::shared_ptr<const FrameView> view)
    : page_(std::move(frame)), hooks_(std::move(hooks)), batched_(batched), view_(std::move(view)) {}

ScanSettings PageScanner::settings() const { return hooks_.settings ? hooks_.settings() : ScanSettings{}; }

ScanResult PageScanner::extract_interactable_elements() {
  ScanResult result = scan_frames();
  save_snapshot(result.elements, result.text_elements);
  return result;
}

// This document's records, then those of each frame it embeds, depth first.
ScanResult PageScanner::scan_frames() {
  const std::vector<ChildFrame> children = child_frames(page_, !view_);
  Json geometry = Json::array();
  ScanResult result = batched_ ? batched_scan(children, geometry) : document_scan(children, geometry);
  if (view_) place_records(result, *view_);
  const FrameView here = view_ ? *view_ : FrameView{};
  for (std::size_t i = 0; i < children.size() && i < geometry.size(); ++i) {
    auto view = child_view(here, geometry[i]);
    if (!view) continue;
    PageScanner inner(children[i].frame, hooks_, batched_, std::make_shared<const FrameView>(std::move(*view)));
    inner.memo_ = memo_;
    try {
      ScanResult part = inner.scan_frames();
      for (auto& el : part.elements) result.elements.push_back(std::move(el));
      for (auto& t : part.text_elements) result.text_elements.push_back(std::move(t));
    } catch (const std::exception&) {
      // The frame navigated or went away while read: it shows nothing yet.
    }
  }
  return result;
}

ScanResult PageScanner::document_scan(const std::vector<ChildFrame>& children, Json& geometry) {
  ScanResult result;
  result.elements = interactable_group();
  for (auto& el : extract_custom_inputs()) result.elements.push_back(std::move(el));
  for (auto& el : extract_cursor_pointer_elements()) result.elements.push_back(std::move(el));
  assign_spatial_labels(result.elements, collect_label_candidates());
  result.text_elements = extract_text_elements();
  for (const ChildFrame& child : children) {
    try {
      geometry.push_back(evaluate(child.owner, FRAME_BOX_JS));
    } catch (const std::exception&) {
      geometry.push_back(nullptr);
    }
  }
  return result;
}

Json PageScanner::box_of_handle(const RemotePtr& handle) {
  if (!view_) return handle->call_value("bounding_box");
  Json box = evaluate(handle, ELEMENT_BOX_JS);
  shift_box(box, *view_);
  return box;
}

Json PageScanner::interactable_group() {
  Json elements = Json::array();
  for (const auto& handle : page_->call("query_selector_all", {Json(INTERACTABLE_SELECTOR)})->items()) {
    try {
      if (auto rec = interactable_record(handle)) elements.push_back(std::move(*rec));
    } catch (const std::exception&) {
      // The element went away or could not be read: leave it out.
    }
  }
  return elements;
}

std::optional<Json> PageScanner::interactable_record(const RemotePtr& handle) {
  bool visible = truthy(handle->call_value("is_visible"));
  bool enabled = truthy(handle->call_value("is_enabled"));
  std::string tag = text_of(evaluate(handle, TAG_JS));
  std::string text = trimmed(evaluate(handle, SHOWN_TEXT_JS));
  if (text.empty()) text = trimmed(attribute(handle, "value"));
  Json box = box_of_handle(handle);
  if (empty_box(box)) return std::nullopt;
  if (!visible && text_of(attribute(handle, "aria-label")).empty() && text_of(attribute(handle, "title")).empty())
    return std::nullopt;
  Json attrs = read_attributes(handle, CAPTURED_ATTRIBUTES);
  merge_data_attributes(handle, attrs);
  mark_icon(text, attrs, evaluate(handle, ICON_NAME_JS));
  mark_checked(attrs, evaluate(handle, CHECKED_STATE_JS));
  std::string xpath = text_of(evaluate(handle, XPATH_JS));
  if (takes_field_label(tag)) {
    std::string label = get_field_label(handle);
    if (!label.empty()) attrs["_label"] = label;
  }
  return descriptor(tag, text, std::move(attrs), std::move(box), visible, enabled, false, xpath);
}

Json PageScanner::extract_custom_inputs() {
  Json results = Json::array();
  std::unordered_set<std::string> seen;
  for (const auto& handle : page_->call("query_selector_all", {Json(CUSTOM_INPUT_SELECTOR)})->items()) {
    try {
      if (auto rec = custom_input_record(handle, seen)) results.push_back(std::move(*rec));
    } catch (const std::exception&) {
    }
  }
  return results;
}

std::optional<Json> PageScanner::custom_input_record(const RemotePtr& handle, std::unordered_set<std::string>& seen) {
  std::string tag = text_of(evaluate(handle, TAG_JS));
  std::string classes = text_of(attribute(handle, "class"));
  if (!is_custom_input(tag, classes)) return std::nullopt;
  Json box = box_of_handle(handle);
  if (empty_box(box)) return std::nullopt;
  if (!truthy(handle->call_value("is_visible"))) return std::nullopt;
  std::string xpath = text_of(evaluate(handle, XPATH_JS));
  if (!seen.insert(xpath).second) return std::nullopt;
  std::string text = trimmed(evaluate(handle, SHOWN_TEXT_JS));
  std::string label = get_field_label(handle);
  Json attrs = read_attributes(handle, CAPTURED_ATTRIBUTES);
  if (!label.empty()) attrs["_label"] = label;
  return descriptor(tag, text, std::move(attrs), std::move(box), true, true, true, xpath);
}

Json PageScanner::extract_cursor_pointer_elements() {
  Json raw;
  try {
    raw = page_->call_value("evaluate", {Json(POINTER_SCAN_JS)});
  } catch (const std::exception&) {
    return Json::array();
  }
  Json records = pointer_records(raw);
  if (view_) shift_records(records, *view_);
  return records;
}

std::string PageScanner::get_field_label(const RemotePtr& handle) {
  // Sources in the order a screen reader names the field; a failing script
  // only skips its source.
  auto scripted = [&](const std::string& script) {
    try {
      return trimmed(evaluate(handle, script));
    } catch (const std::exception&) {
      return std::string();
    }
  };
  if (auto t = scripted(LABELLEDBY_JS); !t.empty()) return t;
  if (auto aria = trimmed(attribute(handle, "aria-label")); !aria.empty()) return aria;
  if (auto t = scripted(NATIVE_LABEL_JS); !t.empty()) return t;
  if (auto placeholder = trimmed(attribute(handle, "placeholder")); !placeholder.empty()) return placeholder;
  if (auto title = trimmed(attribute(handle, "title")); !title.empty()) return title;
  for (const std::string* script : {&SIBLING_LABEL_JS, &PARENT_LABEL_JS, &CELL_LABEL_JS})
    if (auto t = scripted(*script); !t.empty()) return t;
  return "";
}

Json PageScanner::collect_label_candidates() {
  Json candidates = Json::array();
  std::unordered_set<std::string> seen;
  for (const auto& handle : page_->call("query_selector_all", {Json(LABEL_CANDIDATE_SELECTOR)})->items()) {
    try {
      if (!truthy(handle->call_value("is_visible"))) continue;
      std::string text = trimmed(evaluate(handle, SHOWN_TEXT_JS));
      Json box = box_of_handle(handle);
      if (text.empty() || box.is_null() || text::decode(text).size() > MAX_LABEL_TEXT) continue;
      if (box_of(box).height > MAX_LABEL_HEIGHT) continue;
      if (!seen.insert(label_candidate_key(text, box_of(box))).second) continue;
      Json c = Json::object();
      c["text"] = text;
      c["bounding_box"] = std::move(box);
      candidates.push_back(std::move(c));
    } catch (const std::exception&) {
    }
  }
  return candidates;
}

Json PageScanner::extract_text_elements() {
  Json candidates = Json::array();
  for (const auto& handle : page_->call("query_selector_all", {Json(TEXT_SELECTOR)})->items()) {
    try {
      if (auto rec = text_record(handle)) candidates.push_back(std::move(*rec));
    } catch (const std::exception&) {
    }
  }
  return dedup_text_elements(candidates);
}

std::optional<Json> PageScanner::text_record(const RemotePtr& handle) {
  if (!truthy(handle->call_value("is_visible"))) return std::nullopt;
  std::string text = trimmed(evaluate(handle, SHOWN_TEXT_JS));
  if (text.empty()) return std::nullopt;
  Json box = box_of_handle(handle);
  if (box.is_null()) return std::nullopt;
  std::string tag = text_of(evaluate(handle, TAG_JS));
  std::string xpath = text_of(evaluate(handle, XPATH_JS));
  Json attrs = read_attributes(handle, TEXT_ATTRIBUTES);
  merge_data_attributes(handle, attrs);
  mark_text_box(attrs, evaluate(handle, TEXT_BOX_JS));
  if (view_) shift_text_box(attrs, *view_);
  bool direct = truthy(evaluate(handle, DIRECT_TEXT_JS));
  return text_element(tag, text, direct, std::move(attrs), std::move(box), xpath);
}

void PageScanner::save_snapshot(const Json& elements, const Json& text_elements) {
  ScanSettings s = settings();
  if (!s.save_snapshots) return;
  std::string url = text_of(page_->attr("url")->value());
  std::string path = write_snapshot(s.log_path, local_timestamp(), url, elements, text_elements);
  std::string line = "  [DOM snapshot saved \xE2\x86\x92 " + path + "]";
  if (hooks_.print) hooks_.print(line);
  else std::cout << line << std::endl;
}

ScanResult scan_page(const RemotePtr& page, const ScanHooks& hooks) {
  ScanSettings s = hooks.settings ? hooks.settings() : ScanSettings{};
  return PageScanner(page, hooks, s.mode == ScanMode::batched).extract_interactable_elements();
}

}  // namespace vantle::browser
