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

// The scan read for the layout, beside the records its entries stand for.
struct Layout {
  records::Elements dom, texts;
  std::vector<sp::Entry> matrix;
};

Layout layout_of(const PageScan& scan) {
  Layout out;
  out.dom = records::elements_from_json(scan.elements, {sp::DESCRIPTOR_KEYS | records::KEY_XPATH, read_as_text});
  out.texts = records::elements_from_json(scan.text_elements, {sp::TEXT_KEYS | records::KEY_XPATH, read_as_text},
                                          "text_elements");
  std::vector<sp::Element> dom, texts;
  dom.reserve(out.dom.size());
  texts.reserve(out.texts.size());
  for (const auto& r : out.dom) dom.push_back(sp::layout_element(r));
  for (const auto& r : out.texts) texts.push_back(sp::layout_text(r));
  out.matrix = sp::build(dom, texts);
  return out;
}

}  // namespace

records::Elements scan_records(const Json& records, unsigned keys) {
  return records::elements_from_json(records, {keys, read_as_text});
}

Json resolve_direct(const Json& record, const PageScan& scan) {
  direct::Inputs needs = direct::inputs_for(text::decode(records::text_at(record, "action")));
  direct::Instruction in = records::step_from_json(record, needs.value, needs.ordinal);
  // Every key is read: the scan's records are whole, and a reader that
  // learns a new key needs no change here.
  records::Elements dom = needs.dom_elements ? scan_records(scan.elements) : records::Elements{};
  records::Elements texts = needs.text_elements ? scan_records(scan.text_elements) : records::Elements{};
  return records::to_json(direct::resolve(in, dom, texts));
}

Json resolve_layout(const Json& record, const PageScan& scan) {
  Layout layout = layout_of(scan);
  sp::Resolver resolver(std::move(layout.matrix));
  records::Step step = records::step_from_json(record, false, false);
  sp::Resolution r = resolver.resolve(step.target, step.quoted);
  return records::to_json(sp::result_of(r, [&](const sp::Entry& e) {
    return &(e.is_anchor_only ? layout.texts : layout.dom)[e.source];
  }));
}

std::string matched_attribute(const Json& record, const Json& element) {
  records::Step step = records::step_from_json(record, false, false);
  const records::Element e = records::element_from_json(element, 0, {records::ALL_KEYS, read_as_text});
  const std::u32string target = direct::strip_type_descriptors(step.target, step.quoted);
  return text::encode(direct::matched_by(target, e, direct::label_names(step.action, e)));
}

std::vector<sp::Entry> layout_matrix(const PageScan& scan) { return layout_of(scan).matrix; }

Json entry_record(const sp::Entry* entry, const PageScan& scan) {
  if (!entry) return nullptr;
  const Json& source = entry->is_anchor_only ? scan.text_elements : scan.elements;
  return entry->source < source.size() ? source[entry->source] : Json(nullptr);
}

}  // namespace vantle::agent
