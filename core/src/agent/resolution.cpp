#include "vantle/agent/resolution.h"
#include "vantle/agent/routing.h"

#include "vantle/records/json.h"
#include "vantle/spatial/matrix.h"
#include "vantle/spatial/resolver.h"
#include "vantle/strategies/direct_strategy.h"
#include "vantle/text/text.h"

namespace vantle::agent {

namespace {

namespace direct = strategies::direct;
namespace sp = spatial;

// Attribute values some resolver reads as text; every other attribute, such
// as a frame mark, travels as it came.
bool read_as_text(std::u32string_view name) { return direct::reads_attribute(name) || sp::reads_attribute(name); }

records::Elements read(const Json& records, const char* what = "elements") {
  return records::elements_from_json(records, {records::ALL_KEYS, read_as_text}, what);
}

records::Element read_one(const Json& record, std::size_t index, const char* what) {
  return records::element_from_json(record, index, {records::ALL_KEYS, read_as_text},
                                    (std::string("each of ") + what).c_str());
}

bool same_count(const Json& a, const Json& b) { return a.is_array() && b.is_array() && a.size() == b.size(); }

// Puts `record` in place `i` of `json` and of its typed records, if they were
// read; true when it may be placed otherwise than the one it replaces.
bool renew(Json& json, std::unique_ptr<records::Elements>& typed, std::size_t i, const Json& record,
           sp::Element (*place)(const records::Element&), const char* what) {
  json[i] = record;
  if (!typed) return true;
  records::Element fresh = read_one(json[i], i, what);
  const bool moved = !sp::same_layout(place((*typed)[i]), place(fresh));
  (*typed)[i] = std::move(fresh);
  return moved;
}

template <typename T, typename Make>
const T& once(std::unique_ptr<T>& slot, Make make) {
  if (!slot) slot = std::make_unique<T>(make());
  return *slot;
}

std::vector<sp::Element> laid_out(const records::Elements& records, sp::Element (*read)(const records::Element&)) {
  std::vector<sp::Element> out;
  out.reserve(records.size());
  for (const auto& r : records) out.push_back(read(r));
  return out;
}

Json resolve_on(const Json& record, const records::Elements& dom, const records::Elements& texts) {
  direct::Inputs needs = direct::inputs_for(text::decode(records::text_at(record, "action")));
  direct::Instruction in = records::step_from_json(record, needs.value, needs.ordinal);
  static const records::Elements none;
  return records::to_json(direct::resolve(in, needs.dom_elements ? dom : none, needs.text_elements ? texts : none));
}

}  // namespace

// Every key is read: the scan's records are whole, and a reader that learns
// a new key needs no change here.
ScanRecords::ScanRecords(const PageScan& scan) : elements_json_(scan.elements), text_json_(scan.text_elements) {}

bool ScanRecords::stand_for(const PageScan& scan) const {
  return scan.elements == elements_json_ && scan.text_elements == text_json_;
}

bool ScanRecords::take_on(const PageScan& scan) {
  if (!same_count(elements_json_, scan.elements) || !same_count(text_json_, scan.text_elements)) return false;
  bool changed = false, moved = false;
  try {
    for (std::size_t i = 0; i < scan.elements.size(); ++i) {
      if (elements_json_[i] == scan.elements[i]) continue;
      changed = true;
      moved |= renew(elements_json_, elements_, i, scan.elements[i], sp::layout_element, "elements");
    }
    for (std::size_t i = 0; i < scan.text_elements.size(); ++i)
      if (text_json_[i] != scan.text_elements[i])
        moved |= renew(text_json_, texts_, i, scan.text_elements[i], sp::layout_text, "text_elements");
  } catch (const std::exception&) {
    return false;
  }
  if (changed) shown_.reset();
  if (moved) layout_.reset();
  return true;
}

const records::Elements& ScanRecords::elements() const {
  return once(elements_, [&] { return read(elements_json_); });
}

const records::Elements& ScanRecords::text_elements() const {
  return once(texts_, [&] { return read(text_json_, "text_elements"); });
}

const records::Elements& ScanRecords::shown_controls() const {
  return once(shown_, [&] {
    records::Elements shown;
    for (const auto& e : elements())
      if (e.is_visible && !e.text.empty()) shown.push_back(e);
    return shown;
  });
}

const sp::Resolver& ScanRecords::layout() const {
  return once(layout_, [&] {
    return sp::Resolver(sp::build(laid_out(elements(), sp::layout_element), laid_out(text_elements(), sp::layout_text)));
  });
}

const ScanRecords& typed_records(const PageScan& scan) {
  if (!scan.typed) scan.typed = std::make_shared<const ScanRecords>(scan);
  return *scan.typed;
}

records::Elements scan_records(const Json& records, unsigned keys) {
  return records::elements_from_json(records, {keys, read_as_text});
}

Json resolve_direct(const Json& record, const PageScan& scan) {
  const ScanRecords& typed = typed_records(scan);
  return resolve_on(record, typed.elements(), typed.text_elements());
}

Json resolve_on_controls(const Json& record, const PageScan& scan) {
  static const records::Elements none;
  return resolve_on(record, none, typed_records(scan).shown_controls());
}

Json resolve_layout(const Json& record, const PageScan& scan) {
  const ScanRecords& typed = typed_records(scan);
  records::Step step = records::step_from_json(record, false, false);
  auto element_of = [&](const sp::Entry& e) {
    return &(e.is_anchor_only ? typed.text_elements() : typed.elements())[e.source];
  };
  // A spatial step never types into, ticks or attaches a file to what cannot
  // take it: keys typed into a link pass for done. A drop-down may be any
  // custom widget, so selecting is not narrowed.
  auto can_act = [&](const sp::Entry& e) {
    return step.action == U"select" || (!e.is_anchor_only && direct::takes_action(step.action, *element_of(e)));
  };
  sp::Resolution r = typed.layout().resolve(step.target, step.quoted, can_act);
  // The type word may name what the step cannot act on ("type into the
  // first button below ..."): then nothing is found.
  if (r.resolved && !can_act(*r.best)) r = {};
  return records::to_json(sp::result_of(r, element_of));
}

std::string matched_attribute(const Json& record, const Json& element) {
  records::Step step = records::step_from_json(record, false, false);
  const records::Element e = records::element_from_json(element, 0, {records::ALL_KEYS, read_as_text});
  const std::u32string target = direct::strip_type_descriptors(step.target, step.quoted);
  return text::encode(direct::matched_by(target, e, direct::label_names(step.action, e)));
}

const std::vector<sp::Entry>& layout_matrix(const PageScan& scan) { return typed_records(scan).layout().matrix(); }

Json entry_record(const sp::Entry* entry, const PageScan& scan) {
  if (!entry) return nullptr;
  const Json& source = entry->is_anchor_only ? scan.text_elements : scan.elements;
  return entry->source < source.size() ? source[entry->source] : Json(nullptr);
}

}  // namespace vantle::agent
