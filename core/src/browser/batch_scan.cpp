// The batched scan: one in-page call gathers the facts, and the records are
// built here by the same rules as the element-by-element scan.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <unordered_set>

// The facts are the largest text the system reads (megabytes on a long
// page), so they get a reader made for speed; a malformed fact throws
// rather than reading past what is there.
#define RAPIDJSON_ASSERT(x) ((x) ? static_cast<void>(0) : throw std::runtime_error("the page's scan facts are malformed"))
#include <rapidjson/document.h>

#include "scan_detail.h"
#include "vantle/browser/page_scanner.h"
#include "vantle/text/text.h"

namespace vantle::browser {

namespace {

using namespace detail;
using Fact = rapidjson::Value;

// Numbers keep their form: whole numbers stay integers, as the driver reads them.
Json json_of(const Fact& v) {
  switch (v.GetType()) {
    case rapidjson::kNullType: return nullptr;
    case rapidjson::kFalseType: return false;
    case rapidjson::kTrueType: return true;
    case rapidjson::kStringType: return std::string(v.GetString(), v.GetStringLength());
    case rapidjson::kNumberType:
      if (v.IsUint64()) return v.GetUint64();
      if (v.IsInt64()) return v.GetInt64();
      return v.GetDouble();
    case rapidjson::kArrayType: {
      Json out = Json::array();
      for (const Fact& item : v.GetArray()) out.push_back(json_of(item));
      return out;
    }
    case rapidjson::kObjectType: {
      Json out = Json::object();
      for (const auto& m : v.GetObject())
        out[std::string(m.name.GetString(), m.name.GetStringLength())] = json_of(m.value);
      return out;
    }
  }
  return nullptr;
}

std::string_view view_of(const Fact& v) { return {v.GetString(), v.GetStringLength()}; }
std::string string_of(const Fact& v) { return std::string(view_of(v)); }

std::string fact_text(const Fact& v) { return v.IsString() ? string_of(v) : records::text_of(json_of(v)); }

std::string fact_trimmed(const Fact& v) {
  return v.IsString() ? text::strip(view_of(v)) : text::strip(std::string_view(fact_text(v)));
}

const Fact& group(const Fact& facts, const char* key) {
  auto it = facts.FindMember(key);
  if (it == facts.MemberEnd()) throw std::runtime_error(std::string("the page's scan facts have no ") + key);
  return it->value;
}

Box fact_box(const Fact& b) {
  auto coord = [&](unsigned i) {
    if (!b[i].IsNumber()) throw std::invalid_argument("box coordinate is not a number");
    return b[i].GetDouble();
  };
  return {coord(0), coord(1), coord(2), coord(3)};
}

Json box_record(const Fact& b) {
  Json box = Json::object();
  box.get_ref<Json::object_t&>().reserve(4);
  box["x"] = json_of(b[0]);
  box["y"] = json_of(b[1]);
  box["width"] = json_of(b[2]);
  box["height"] = json_of(b[3]);
  return box;
}

// [position in `names`, value, position, value, ...] of the attributes present.
Json captured(const Fact& present, const std::vector<std::string>& names) {
  Json attrs = Json::object();
  if (present.Size() % 2) throw std::runtime_error("the page's scan facts are malformed");
  for (rapidjson::SizeType k = 0; k < present.Size(); k += 2) {
    const std::size_t at = present[k].GetUint();
    if (at >= names.size()) throw std::runtime_error("the page's scan facts are malformed");
    attrs[names[at]] = json_of(present[k + 1]);
  }
  return attrs;
}

void merge_pairs(Json& attrs, const Fact& pairs) {
  for (const Fact& p : pairs.GetArray()) attrs[string_of(p[0])] = json_of(p[1]);
}

/// The first label source, in order of preference, that has text.
std::string field_label(const Fact& sources) {
  if (!sources.IsArray()) return "";
  for (const Fact& s : sources.GetArray())
    if (auto t = fact_trimmed(s); !t.empty()) return t;
  return "";
}

// [visible, enabled, tag, innerText, value, box, captured, data pairs, xpath, label sources, icon, checked]
Json interactable(const Fact& f) {
  std::string tag = string_of(f[2]);
  std::string text = fact_trimmed(f[3]);
  if (text.empty()) text = fact_trimmed(f[4]);
  Json attrs = captured(f[6], CAPTURED_ATTRIBUTES);
  merge_pairs(attrs, f[7]);
  if (!f[10].IsNull()) mark_icon(text, attrs, json_of(f[10]));
  if (!f[11].IsNull()) mark_checked(attrs, json_of(f[11]));
  if (takes_field_label(tag)) {
    if (auto label = field_label(f[9]); !label.empty()) attrs["_label"] = label;
  }
  return descriptor(tag, text, std::move(attrs), box_record(f[5]), f[0].GetBool(), f[1].GetBool(), false,
                    string_of(f[8]));
}

// [tag, class, box, xpath, innerText or null when unreadable, captured, label sources]
void add_custom_inputs(const Fact& facts, Json& out) {
  std::unordered_set<std::string> seen;
  for (const Fact& f : facts.GetArray()) {
    std::string tag = string_of(f[0]);
    if (!is_custom_input(tag, fact_text(f[1]))) continue;
    std::string xpath = string_of(f[3]);
    if (!seen.insert(xpath).second || f[4].IsNull()) continue;
    Json attrs = captured(f[5], CAPTURED_ATTRIBUTES);
    if (auto label = field_label(f[6]); !label.empty()) attrs["_label"] = label;
    out.push_back(descriptor(tag, fact_trimmed(f[4]), std::move(attrs), box_record(f[2]), true, true, true, xpath));
  }
}

// [innerText, box]: the labels' texts and boxes, each text once in each place.
void label_candidates(const Fact& facts, std::vector<Box>& boxes, std::vector<std::string>& texts) {
  std::unordered_set<std::string> seen;
  for (const Fact& f : facts.GetArray()) {
    std::string text = fact_trimmed(f[0]);
    if (text.empty() || text::decode(text).size() > MAX_LABEL_TEXT) continue;
    Box box = fact_box(f[1]);
    if (box.height > MAX_LABEL_HEIGHT || !seen.insert(label_candidate_key(text, box)).second) continue;
    boxes.push_back(box);
    texts.push_back(std::move(text));
  }
}

// [tag, innerText, box, xpath, text attributes, data pairs, has direct text, words' box]
// Wrappers are told apart first, so records are built only for the texts kept.
Json text_elements(const Fact& facts) {
  std::vector<TextCandidate> candidates;
  std::vector<const Fact*> sources;
  for (const Fact& f : facts.GetArray()) {
    std::string text = fact_trimmed(f[1]);
    if (text.empty()) continue;
    bool direct = records::truthy(json_of(f[6]));
    candidates.push_back({std::move(text), direct, fact_box(f[2])});
    sources.push_back(&f);
  }
  Json out = Json::array();
  for (std::size_t i : dedup_text_indices(candidates)) {
    const Fact& f = *sources[i];
    Json attrs = captured(f[4], TEXT_ATTRIBUTES);
    merge_pairs(attrs, f[5]);
    if (!f[7].IsNull()) mark_text_box(attrs, json_of(f[7]));
    out.push_back(text_element(string_of(f[0]), candidates[i].text, candidates[i].has_direct_text, std::move(attrs),
                               box_record(f[2]), string_of(f[3])));
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
  rapidjson::Document facts;
  // Full precision: every coordinate reads back as the very number the page wrote.
  facts.Parse<rapidjson::kParseFullPrecisionFlag>(facts_json.data(), facts_json.size());
  if (facts.HasParseError() || !facts.IsObject()) throw std::runtime_error("the page's scan returned unreadable facts");
  ScanResult result;
  for (const Fact& f : group(facts, "i").GetArray()) result.elements.push_back(interactable(f));
  add_custom_inputs(group(facts, "c"), result.elements);
  for (auto& el : pointer_records(json_of(group(facts, "p")))) result.elements.push_back(std::move(el));
  std::vector<Box> label_boxes;
  std::vector<std::string> label_texts;
  label_candidates(group(facts, "l"), label_boxes, label_texts);
  assign_spatial_labels(result.elements, label_boxes, label_texts);
  result.text_elements = text_elements(group(facts, "t"));
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
