// vantle.engine.spatial.layout_builder: places scanned elements into the
// spatial matrix. The work is done by vantle::spatial::build; this file only
// reads the records and writes the entries back, pointing at the caller's own
// element dicts.

#include <nanobind/nanobind.h>

#include <algorithm>
#include <ctime>

#include "spatial/records.h"
#include "vantle/spatial/matrix.h"

namespace nb = nanobind;
using namespace nb::literals;
namespace sp = vantle::spatial;
namespace rec = vantle::py::spatial_records;
using vantle::py::to_str;

namespace {

struct LayoutBuilder {
  nb::object dom_elements;
  nb::object text_elements;
};

nb::list items_of(nb::handle sequence) {
  nb::list out;
  for (nb::handle item : sequence) out.append(item);
  return out;
}

// Entry keys, made once: building a matrix writes them for every element.
const std::vector<nb::handle>& keys() {
  static const auto* names = new std::vector<nb::handle>([] {
    std::vector<nb::handle> v;
    for (const char* k : {"index", "tag", "element_type", "text", "label", "searchable", "is_enabled",
                          "is_anchor_only", "order_in_type", "position", "element"})
      v.push_back(nb::str(k).release());
    return v;
  }());
  return *names;
}

// The element's own text object when it holds text, so equal strings are not
// made again; otherwise the text the core read.
nb::object same_text(nb::handle record, const char* key, const std::u32string& value) {
  nb::handle original = rec::item(record, key);
  if (original.is_valid() && PyUnicode_CheckExact(original.ptr())) return nb::borrow(original);
  return to_str(value);
}

nb::dict entry_dict(const sp::Entry& e, nb::handle element) {
  const auto& k = keys();
  nb::handle attrs = rec::item(element, "attributes");
  nb::object label = attrs.is_valid() && PyDict_Check(attrs.ptr()) ? same_text(attrs, "_label", e.label)
                                                                   : nb::object(to_str(e.label));
  nb::object values[] = {
      nb::int_(*e.index), same_text(element, "tag", e.tag), to_str(*e.element_type),
      same_text(element, "text", e.text), label, to_str(e.searchable), nb::bool_(e.is_enabled),
      nb::bool_(e.is_anchor_only), nb::int_(e.order_in_type), rec::position_dict(*e.position),
      nb::borrow(element)};
  nb::dict d;
  for (size_t i = 0; i < k.size(); ++i)
    if (PyDict_SetItem(d.ptr(), k[i].ptr(), values[i].ptr()) != 0) throw nb::python_error();
  return d;
}

nb::list build(const LayoutBuilder& self) {
  if (!rec::is_sequence(self.dom_elements)) throw nb::type_error("dom_elements must be a sequence");
  nb::list dom = items_of(self.dom_elements);
  nb::list texts = self.text_elements.is_none() ? nb::list() : items_of(self.text_elements);
  std::vector<sp::Element> dom_in, text_in;
  dom_in.reserve(dom.size());
  text_in.reserve(texts.size());
  for (nb::handle el : dom) dom_in.push_back(rec::descriptor(el, "each of dom_elements"));
  for (nb::handle el : texts) text_in.push_back(rec::text_element(el, "each of text_elements"));

  nb::list matrix;
  for (const sp::Entry& e : sp::build(dom_in, text_in))
    matrix.append(entry_dict(e, e.is_anchor_only ? texts[e.source] : dom[e.source]));
  return matrix;
}

double time_core_build(nb::handle dom_elements, nb::handle text_elements, int repeats) {
  std::vector<sp::Element> dom, texts;
  for (nb::handle el : dom_elements) dom.push_back(rec::descriptor(el, "each of dom_elements"));
  if (!text_elements.is_none())
    for (nb::handle el : text_elements) texts.push_back(rec::text_element(el, "each of text_elements"));
  // Processor time, so other work on a shared machine inflates it less.
  const std::clock_t start = std::clock();
  size_t placed = 0;
  for (int i = 0; i < repeats; ++i) placed += sp::build(dom, texts).size();
  const double spent = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  static volatile size_t sink;  // keeps the timed work from being optimised away
  sink = placed;
  return spent / std::max(repeats, 1);
}

void init(LayoutBuilder* self, nb::object dom_elements, nb::object text_elements) {
  if (!rec::is_sequence(dom_elements)) throw nb::type_error("dom_elements must be a sequence");
  if (!text_elements.is_none() && !rec::is_sequence(text_elements))
    throw nb::type_error("text_elements must be a sequence or None");
  bool no_text = text_elements.is_none() || nb::len(text_elements) == 0;
  new (self) LayoutBuilder{std::move(dom_elements), no_text ? nb::list() : std::move(text_elements)};
}

nb::dict tag_to_type() {
  nb::dict d;
  for (const auto& row : sp::TAG_TO_TYPE) d[to_str(row.tag)] = to_str(row.type);
  return d;
}

}  // namespace

NB_MODULE(layout_builder, m) {
  m.doc() =
      "Builds the spatial matrix: every scanned element with a box, in reading order "
      "(top edge, then left edge), with its element type, searchable text and place "
      "among the elements of its type.";
  rec::register_errors();

  nb::class_<LayoutBuilder>(m, "LayoutBuilder",
                            "Turns a page scan (element descriptors and text elements) into the "
                            "spatial matrix. Text elements are anchor-only.")
      .def("__init__", &init, "dom_elements"_a, "text_elements"_a = nb::none(),
           "Keeps the element descriptors, and the text elements (an empty list when None or "
           "empty). Raises TypeError when either is not a sequence.")
      .def_rw("dom_elements", &LayoutBuilder::dom_elements, "The element descriptors, as given.")
      .def_rw("text_elements", &LayoutBuilder::text_elements, "The text elements, or an empty list.")
      .def("build", &build,
           "Returns the matrix: a new list of entry dicts (index, tag, element_type, text, label, "
           "searchable, is_enabled, is_anchor_only, order_in_type, position, element). Elements "
           "without a bounding box are left out; each entry's element is the caller's own dict.");

  m.def(
      "_element_type",
      [](nb::handle element) {
        rec::require_dict(element, "element");
        return to_str(sp::element_type(rec::descriptor(element)));
      },
      "element"_a,
      "Element type of one descriptor: its ARIA role when that is button, link, textbox or "
      "combobox; \"button\" for submit, button and reset inputs; else by tag.");
  m.def(
      "_position",
      [](nb::handle bb) {
        rec::require_dict(bb, "bb");
        sp::Box box{rec::maybe_number(bb, "x"), rec::maybe_number(bb, "y"),
                    rec::maybe_number(bb, "width"), rec::maybe_number(bb, "height")};
        return rec::position_dict(sp::position_of(box));
      },
      "bb"_a, "Position record (x, y, w, h, cx, cy, x2, y2) of one bounding box; absent values read as 0.");
  m.def(
      "_searchable",
      [](nb::handle element) {
        rec::require_dict(element, "element");
        return to_str(sp::searchable(rec::descriptor(element)));
      },
      "element"_a, "Text, _label, aria-label, placeholder and name of a descriptor, non-empty ones joined by spaces.");
  m.attr("_TAG_TO_TYPE") = tag_to_type();
  m.def("_time_core_build", &time_core_build, "dom_elements"_a, "text_elements"_a.none(), "repeats"_a,
        "Seconds per matrix build spent in the core alone, the records already read (benchmarks).");
}
