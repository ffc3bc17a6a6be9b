// The batched scan: one in-page call gathers the facts, and the records are
// built here by the same rules as the element-by-element scan.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <unordered_set>

#include "scan_detail.h"
#include "vantle/browser/page_scanner.h"
#include "vantle/text/text.h"

namespace vantle::browser {

namespace {

using namespace detail;

Json box_record(const Json& b) {
  Json box = Json::object();
  box["x"] = b.at(0);
  box["y"] = b.at(1);
  box["width"] = b.at(2);
  box["height"] = b.at(3);
  return box;
}

Json captured(const Json& values, const std::vector<std::string>& names) {
  Json attrs = Json::object();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!values.at(i).is_null()) attrs[names[i]] = values.at(i);
  return attrs;
}

void merge_pairs(Json& attrs, const Json& pairs) {
  for (const Json& p : pairs) attrs[p.at(0).get<std::string>()] = p.at(1);
}

/// The first label source, in order of preference, that has text.
std::string field_label(const Json& sources) {
  if (!sources.is_array()) return "";
  for (const Json& s : sources)
    if (auto t = trimmed(s); !t.empty()) return t;
  return "";
}

// [visible, enabled, tag, innerText, value, box, captured, data pairs, xpath, label sources, icon, checked]
Json interactable(const Json& f) {
  std::string tag = f.at(2).get<std::string>();
  std::string text = trimmed(f.at(3));
  if (text.empty()) text = trimmed(f.at(4));
  Json attrs = captured(f.at(6), CAPTURED_ATTRIBUTES);
  merge_pairs(attrs, f.at(7));
  mark_icon(text, attrs, f.at(10));
  mark_checked(attrs, f.at(11));
  if (takes_field_label(tag)) {
    if (auto label = field_label(f.at(9)); !label.empty()) attrs["_label"] = label;
  }
  return descriptor(tag, text, std::move(attrs), box_record(f.at(5)), f.at(0).get<bool>(), f.at(1).get<bool>(),
                    false, f.at(8).get<std::string>());
}

// [tag, class, box, xpath, innerText or null when unreadable, captured, label sources]
Json custom_inputs(const Json& facts) {
  Json out = Json::array();
  std::unordered_set<std::string> seen;
  for (const Json& f : facts) {
    std::string tag = f.at(0).get<std::string>();
    if (!is_custom_input(tag, text_of(f.at(1)))) continue;
    std::string xpath = f.at(3).get<std::string>();
    if (!seen.insert(xpath).second || f.at(4).is_null()) continue;
    Json attrs = captured(f.at(5), CAPTURED_ATTRIBUTES);
    if (auto label = field_label(f.at(6)); !label.empty()) attrs["_label"] = label;
    out.push_back(descriptor(tag, trimmed(f.at(4)), std::move(attrs), box_record(f.at(2)), true, true, true, xpath));
  }
  return out;
}

// [innerText, box]
Json label_candidates(const Json& facts) {
  Json out = Json::array();
  std::unordered_set<std::string> seen;
  for (const Json& f : facts) {
    std::string text = trimmed(f.at(0));
    if (text.empty() || text::decode(text).size() > MAX_LABEL_TEXT) continue;
    Json box = box_record(f.at(1));
    if (box_of(box).height > MAX_LABEL_HEIGHT || !seen.insert(text).second) continue;
    Json c = Json::object();
    c["text"] = text;
    c["bounding_box"] = std::move(box);
    out.push_back(std::move(c));
  }
  return out;
}

// [tag, innerText, box, xpath, text attributes, data pairs, has direct text, words' box]
Json text_candidates(const Json& facts) {
  Json out = Json::array();
  for (const Json& f : facts) {
    std::string text = trimmed(f.at(1));
    if (text.empty()) continue;
    Json attrs = captured(f.at(4), TEXT_ATTRIBUTES);
    merge_pairs(attrs, f.at(5));
    mark_text_box(attrs, f.at(7));
    out.push_back(text_element(f.at(0).get<std::string>(), text, truthy(f.at(6)), std::move(attrs),
                               box_record(f.at(2)), f.at(3).get<std::string>()));
  }
  return out;
}

// Boxes ticked since the last scan, and nothing else changed: their records
// take the new state, [[path, checked], ...], in place.
void mend_ticks(ScanResult& records, std::string_view ticks) {
  Json list = Json::parse(ticks.begin(), ticks.end());
  for (const Json& tick : list) {
    const std::string& path = tick.at(0).get_ref<const std::string&>();
    for (Json& el : records.elements) {
      if (text_of(el.value("xpath", Json())) != path) continue;
      Json& attrs = el["attributes"];
      if (attrs.contains("_checked")) attrs["_checked"] = tick.at(1).get<bool>() ? "true" : "false";
    }
  }
}

}  // namespace

ScanResult PageScanner::batched_scan(const std::vector<ChildFrame>& children, Json& geometry) {
  ScanResult result;
  if (memo_) {
    result = remembered_scan(children, geometry);
  } else if (children.empty()) {
    result = records_from(text_of(page_->call_value("evaluate", {Json(batch_scan_script())})));
  } else {
    // The frames' geometry comes in the same call as the records.
    std::vector<RemotePtr> owners;
    for (const ChildFrame& child : children) owners.push_back(child.owner);
    std::string answer = text_of(page_->call_value("evaluate", {Json(framed_scan_script()), owners}));
    std::size_t newline = answer.find('\n');
    if (newline == std::string::npos) throw std::runtime_error("the page's scan returned no records");
    geometry = Json::parse(answer.substr(0, newline));
    result = records_from(std::string_view(answer).substr(newline + 1));
  }
  if (view_) {
    shift_records(result.elements, *view_);
    shift_records(result.text_elements, *view_);
  }
  return result;
}

// One document of a page with frames, read afresh only when its own watch
// saw a change; the frames' geometry is read every time.
ScanResult PageScanner::remembered_scan(const std::vector<ChildFrame>& children, Json& geometry) {
  auto doc = std::find_if(memo_->documents.begin(), memo_->documents.end(),
                          [&](const ScanMemo::Document& d) { return d.target->same(*page_); });
  if (doc == memo_->documents.end()) doc = memo_->documents.insert(memo_->documents.end(), {page_, "", {}, false});
  doc->seen = true;
  std::vector<RemotePtr> owners;
  for (const ChildFrame& child : children) owners.push_back(child.owner);
  Json since = doc->watch.empty() ? Json(nullptr) : Json(doc->watch);
  std::string answer =
      text_of(page_->call_value("evaluate", {Json(framed_watch_script(memo_->key, since)), owners}));
  if (!answer.empty() && answer.front() == '+') {
    memo_->opened = true;
    answer.erase(0, 1);
  }
  std::size_t newline = answer.find('\n');
  if (newline == std::string::npos) throw std::runtime_error("the page's scan returned no records");
  geometry = Json::parse(answer.substr(0, newline));
  std::string_view rest = std::string_view(answer).substr(newline + 1);
  if (rest.empty() && !doc->watch.empty()) return doc->records;
  if (!rest.empty() && rest.front() == '~' && !doc->watch.empty()) {
    mend_ticks(doc->records, rest.substr(1));
    ++memo_->ticks;
    ++memo_->version;
    return doc->records;
  }
  // Forget the old records first: if these cannot be read, nothing stale is left to reuse.
  doc->watch.clear();
  newline = rest.find('\n');
  if (newline == std::string::npos) throw std::runtime_error("the page's scan returned no records");
  doc->records = records_from(rest.substr(newline + 1));
  doc->watch = std::string(rest.substr(0, newline));
  ++memo_->documents_read;
  ++memo_->version;
  return doc->records;
}

ScanResult PageScanner::records_of(std::string_view facts_json) {
  ScanResult result = records_from(facts_json);
  save_snapshot(result.elements, result.text_elements);
  return result;
}

ScanResult PageScanner::records_from(std::string_view facts_json) {
  Json facts = Json::parse(facts_json.begin(), facts_json.end());
  ScanResult result;
  for (const Json& f : facts.at("i")) result.elements.push_back(interactable(f));
  for (auto& el : custom_inputs(facts.at("c"))) result.elements.push_back(std::move(el));
  for (auto& el : pointer_records(facts.at("p"))) result.elements.push_back(std::move(el));
  assign_spatial_labels(result.elements, label_candidates(facts.at("l")));
  result.text_elements = dedup_text_elements(text_candidates(facts.at("t")));
  return result;
}

}  // namespace vantle::browser

namespace vantle::browser {

namespace {

bool has_frames(const RemotePtr& page) {
  try {
    return !page->attr("main_frame")->attr("child_frames")->items().empty();
  } catch (const std::exception&) {
    return false;
  }
}

// Each document of the page keeps its own watch (the page's own watch alone
// cannot vouch for its frames).
ScanResult scan_with_frames(PageScanner& scanner, ScanMemo& memo) {
  memo.watch.clear();
  memo.opened = false;
  for (auto& doc : memo.documents) doc.seen = false;
  const std::size_t read_before = memo.documents_read;
  scanner.remember_in(&memo);
  ScanResult result;
  try {
    result = scanner.extract_interactable_elements();
  } catch (...) {
    memo.documents.clear();
    throw;
  }
  // Frames gone since the last scan leave their records behind.
  memo.documents.erase(std::remove_if(memo.documents.begin(), memo.documents.end(),
                                      [](const ScanMemo::Document& d) { return !d.seen; }),
                       memo.documents.end());
  if (memo.documents_read == read_before) ++memo.reused;
  return result;
}

}  // namespace

// Each memo keeps its own watch, so that two scanners of one page never
// take each other's watch for a change. Every extension module holds its own
// copy of the core, so a counter alone would repeat across them; the time
// of creation does not.
ScanMemo::ScanMemo() {
  static std::atomic<unsigned long> made{0};
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  key = "__vantleScanWatch" + std::to_string(now) + "_" + std::to_string(++made);
}

ScanResult scan_page(const RemotePtr& page, const ScanHooks& hooks, ScanMemo& memo) {
  ScanSettings s = hooks.settings ? hooks.settings() : ScanSettings{};
  PageScanner scanner(page, hooks, s.mode == ScanMode::batched);
  ++memo.scans;
  memo.marked = 0;
  if (s.mode != ScanMode::batched) {
    memo.watch.clear();
    memo.documents.clear();
    return scanner.extract_interactable_elements();
  }
  if (has_frames(page)) return scan_with_frames(scanner, memo);
  memo.documents.clear();
  Json since = memo.watch.empty() ? Json(nullptr) : Json(memo.watch);
  Json mark = memo.mark ? Json(memo.mark) : Json(nullptr);
  Json args = Json::array({memo.key, since, mark});
  Json kept = page->call_value("evaluate", {Json(kept_watched_scan_script()), args});
  std::string answer =
      detail::text_of(kept.is_null() ? page->call_value("evaluate", {Json(watched_scan_script()), args}) : kept);
  memo.marked = memo.mark;
  memo.opened = !answer.empty() && answer.front() == '+';
  if (memo.opened) answer.erase(0, 1);
  if (!memo.watch.empty() && (answer.empty() || answer.front() == '~')) {
    ++memo.reused;
    if (!answer.empty()) {
      mend_ticks(memo.last, std::string_view(answer).substr(1));
      ++memo.ticks;
      ++memo.version;
    }
    scanner.save_snapshot(memo.last.elements, memo.last.text_elements);
    return memo.last;
  }
  // Forget the old records first: if these cannot be read, nothing stale is left to reuse.
  memo.watch.clear();
  std::size_t newline = answer.find('\n');
  if (newline == std::string::npos) throw std::runtime_error("the page's scan returned no records");
  memo.last = scanner.records_of(std::string_view(answer).substr(newline + 1));
  memo.watch = answer.substr(0, newline);
  ++memo.version;
  return memo.last;
}

}  // namespace vantle::browser
