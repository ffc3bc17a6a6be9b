// Python face of direct resolution. Records are read once into core elements
// that remember the dict they came from, so every result hands back the very
// records the caller passed in.

#include <nanobind/nanobind.h>

#include <algorithm>
#include <ctime>
#include <climits>
#include <optional>
#include <string>

#include "common/convert.h"
#include "common/records.h"
#include "vantle/language/vocabulary.h"
#include "vantle/strategies/direct_strategy.h"
#include "vantle/text/text.h"

namespace nb = nanobind;
namespace ds = vantle::strategies::direct;

namespace {

using vantle::py::text_arg;

using vantle::py::Records;

Records records_of(nb::handle seq, const char* what, unsigned wanted = ds::ALL_KEYS) {
  return vantle::py::elements(seq, {wanted, ds::reads_attribute}, what);
}

nb::list record_list(const std::vector<const ds::Element*>& elements) {
  nb::list out;
  for (const auto* el : elements) out.append(vantle::py::record(el));
  return out;
}

struct Call {
  ds::Instruction instruction;
  Records dom, text;
};

Call call_of(nb::handle parsed, nb::handle dom_elements, nb::handle text_elements) {
  Call c;
  if (!PyDict_Check(parsed.ptr())) vantle::py::wrong_type("parsed_instruction", "a dict", parsed);
  const auto needs = ds::inputs_for(vantle::py::text_item(parsed, "action", "the instruction's 'action'"));
  c.instruction = vantle::py::step(parsed, needs.value, needs.ordinal);
  if (dom_elements.is_none()) vantle::py::wrong_type("dom_elements", "a sequence of records", dom_elements);
  if (needs.dom_elements) c.dom = records_of(dom_elements, "dom_elements", needs.dom_keys);
  if (needs.text_elements) c.text = records_of(text_elements, "text_elements", needs.text_keys);
  return c;
}

template <typename Work>
ds::Result without_gil(Work work) {
  nb::gil_scoped_release release;
  return work();
}

struct DirectStrategy {};

nb::dict resolve(nb::handle parsed, nb::handle dom_elements, nb::handle text_elements) {
  Call c = call_of(parsed, dom_elements, text_elements);
  return vantle::py::result(without_gil([&] { return ds::resolve(c.instruction, c.dom.elements, c.text.elements); }));
}

double time_core_resolve(nb::handle parsed, nb::handle dom_elements, nb::handle text_elements, int repeats) {
  if (repeats < 1) throw nb::value_error("repeats must be at least 1");
  Call c = call_of(parsed, dom_elements, text_elements);
  nb::gil_scoped_release release;
  // Processor time of this process: other work on a shared machine does not
  // count against the core.
  const std::clock_t start = std::clock();
  std::size_t sink = 0;
  for (int i = 0; i < repeats; ++i)
    sink += ds::resolve(c.instruction, c.dom.elements, c.text.elements).candidates.size();
  const double spent = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  volatile std::size_t keep = sink;
  (void)keep;
  return spent / repeats;
}

bool truthy(nb::handle obj) {
  int t = PyObject_IsTrue(obj.ptr());
  if (t < 0) throw nb::python_error();
  return t == 1;
}

ds::Element single(nb::handle element) {
  return vantle::py::element(element, 0, {ds::ALL_KEYS, ds::reads_attribute});
}

nb::object filter_by_action(nb::handle action, nb::handle elements) {
  auto a = text_arg(action, "action");
  if (!ds::filters_by_action(a)) return nb::borrow(elements);
  Records r = records_of(elements, "elements");
  return record_list(ds::filter_by_action(a, r.elements));
}

template <std::size_t N>
nb::tuple name_tuple(const std::array<std::u32string_view, N>& names) {
  nb::list out;
  for (auto n : names) out.append(vantle::py::to_str(n));
  return nb::tuple(out);
}

}  // namespace

NB_MODULE(direct_strategy, m) {
  m.doc() =
      "Level 1 resolution strategy: matches instructions to DOM elements by text and attributes.";

  m.attr("_MATCH_ATTRIBUTES") = name_tuple(ds::MATCH_ATTRIBUTES);
  nb::list descriptors;
  for (const auto& row : vantle::language::type_words())
    if (row.descriptor) descriptors.append(vantle::py::to_str(row.word));
  m.attr("_TYPE_DESCRIPTORS") = nb::frozenset(descriptors);
  m.attr("_TEXT_ONLY_TAGS") = nb::steal(PyFrozenSet_New(name_tuple(ds::TEXT_ONLY_TAGS).ptr()));
  m.attr("_DOM_DISTANCE_THRESHOLD") = nb::int_(ds::DOM_DISTANCE_THRESHOLD);
  m.attr("_TYPEABLE_TAGS") = nb::steal(PyFrozenSet_New(name_tuple(ds::TYPEABLE_TAGS).ptr()));
  m.attr("_TYPEABLE_ROLES") = nb::steal(PyFrozenSet_New(name_tuple(ds::TYPEABLE_ROLES).ptr()));
  m.attr("_SELECTABLE_TAGS") = nb::steal(PyFrozenSet_New(name_tuple(ds::SELECTABLE_TAGS).ptr()));

  std::vector<vantle::language::Relation> rows;
  for (const auto& r : vantle::language::relations())
    if (!r.direction.empty()) rows.push_back(r);
  std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.direction_place < b.direction_place; });
  nb::dict directions;
  for (const auto& r : rows) directions[vantle::py::to_str(r.phrase)] = vantle::py::to_str(r.direction);
  m.attr("_DIRECTIONS") = directions;

  nb::register_exception_translator([](const std::exception_ptr& p, void*) {
    try {
      std::rethrow_exception(p);
    } catch (const ds::MissingKeyError& e) {
      PyErr_SetString(PyExc_KeyError, e.what());
    } catch (const ds::UnknownActionError& e) {
      PyErr_SetString(PyExc_KeyError, e.what());
    }
  });

  m.def(
      "_searchable_strings",
      [](nb::handle element, nb::handle include_label) {
        nb::list out;
        for (const auto& s : ds::searchable_strings(single(element), truthy(include_label)))
          out.append(vantle::py::to_str(s));
        return out;
      },
      nb::arg("element"), nb::arg("include_label") = false,
      "The human-readable text surfaces of one element: its text, the values of the match\n"
      "attributes (_label only with include_label), and words taken from its class, id and\n"
      "data- attribute names.");
  m.def(
      "_matches_element",
      [](nb::handle target, nb::handle element, nb::handle include_label) {
        return ds::matches_element(text_arg(target, "target"), single(element), truthy(include_label));
      },
      nb::arg("target"), nb::arg("element"), nb::arg("include_label") = false,
      "True when the target is contained in any surface of the element, ignoring case and\n"
      "reading '_' and '-' as spaces on both sides.");
  m.def(
      "_exact_matches_element",
      [](nb::handle target, nb::handle element, nb::handle include_label) {
        return ds::exact_matches_element(text_arg(target, "target"), single(element), truthy(include_label));
      },
      nb::arg("target"), nb::arg("element"), nb::arg("include_label") = false,
      "True when the target equals a surface of the element, compared as _matches_element\n"
      "does, the surface stripped of surrounding white space.");
  m.def(
      "_matched_by",
      [](nb::handle target, nb::handle element, nb::handle include_label) {
        return vantle::py::to_str(ds::matched_by(text_arg(target, "target"), single(element), truthy(include_label)));
      },
      nb::arg("target"), nb::arg("element"), nb::arg("include_label") = false,
      "Where the target matches the element: 'text' or the attribute's name, a name a person\n"
      "reads (text, aria-label, _label, placeholder, alt) before type, class, id or data-*;\n"
      "'' when it does not match.");
  m.def(
      "_strip_type_descriptors",
      [](nb::handle target) { return vantle::py::to_str(ds::strip_type_descriptors(text_arg(target, "target"))); },
      nb::arg("target"),
      "Removes element-type words ('button', 'field', ...) from the end, then the start, of a\n"
      "target; returns the target unchanged when nothing would remain.");
  m.def("_filter_by_action", &filter_by_action, nb::arg("action"), nb::arg("elements"),
        "The elements that can take the action: typeable ones for 'type', native selects for\n"
        "'select' (a new list); the given sequence itself for any other action.");
  m.def(
      "_dom_distance",
      [](nb::handle a, nb::handle b) { return ds::dom_distance(text_arg(a, "xpath_a"), text_arg(b, "xpath_b")); },
      nb::arg("xpath_a"), nb::arg("xpath_b"),
      "Tree steps between two elements given by their element paths: up to the deepest\n"
      "shared step and down again.");
  m.def(
      "_norm", [](nb::handle t) { return vantle::py::to_str(ds::norm(text_arg(t, "text"))); }, nb::arg("text"),
      "The form in which a spatial text check compares expected and actual text: lower-cased,\n"
      "without '$', '£', '€' and ',', trimmed.");
  m.def("_time_core_resolve", &time_core_resolve, nb::arg("parsed_instruction"), nb::arg("dom_elements"),
        nb::arg("text_elements") = nb::none(), nb::arg("repeats") = 100,
        "Processor seconds per resolution spent in the core alone: converts the records once,\n"
        "then resolves `repeats` times. For benchmarks.");

  nb::class_<DirectStrategy>(m, "DirectStrategy",
                             "Level 1 resolution strategy. Resolves a parsed instruction against a "
                             "list of live DOM elements.\nUses case-insensitive exact contains matching "
                             "— no fuzzy or semantic scoring.")
      .def(nb::init<>())
      .def(
          "resolve",
          [](DirectStrategy&, nb::handle parsed, nb::handle dom, nb::handle text) { return resolve(parsed, dom, text); },
          nb::arg("parsed_instruction"), nb::arg("dom_elements"), nb::arg("text_elements") = nb::none(),
          "Resolves a parsed instruction to one of the given records. Returns a resolution\n"
          "result dict: resolved, confidence, element, candidates (plus verified and state for\n"
          "verifications, extracted for spatial extraction).")
      .def(
          "_resolve_verify",
          [](DirectStrategy&, nb::handle action, nb::handle target, nb::handle dom) {
            auto a = text_arg(action, "action");
            auto t = text_arg(target, "target");
            Records r = records_of(dom, "dom_elements");
            return vantle::py::result(without_gil([&] { return ds::resolve_verify(a, t, r.elements); }));
          },
          nb::arg("action"), nb::arg("target"), nb::arg("dom_elements"),
          "Find target element then assert its state matches the requested condition.")
      .def(
          "_resolve_verify_text",
          [](DirectStrategy&, nb::handle action, nb::handle target, nb::handle text) {
            auto a = text_arg(action, "action");
            auto t = text_arg(target, "target");
            Records r = records_of(text, "text_elements");
            return vantle::py::result(without_gil([&] { return ds::resolve_verify_text(a, t, r.elements); }));
          },
          nb::arg("action"), nb::arg("target"), nb::arg("text_elements"),
          "Find text element containing target then assert its state.")
      .def(
          "_resolve_find_text",
          [](DirectStrategy&, nb::handle target, nb::handle text) {
            auto t = text_arg(target, "target");
            Records r = records_of(text, "text_elements");
            return vantle::py::result(without_gil([&] { return ds::resolve_find_text(t, r.elements); }));
          },
          nb::arg("target"), nb::arg("text_elements"),
          "Resolve by contains match — passes if target is a substring of any text element.")
      .def(
          "_resolve_find_exact_text",
          [](DirectStrategy&, nb::handle target, nb::handle text) {
            auto t = text_arg(target, "target");
            Records r = records_of(text, "text_elements");
            return vantle::py::result(without_gil([&] { return ds::resolve_find_exact_text(t, r.elements); }));
          },
          nb::arg("target"), nb::arg("text_elements"),
          "Resolve by exact equality — element text must equal target (case-insensitive).")
      .def(
          "_resolve_verify_spatial_text",
          [](DirectStrategy&, nb::handle target, nb::handle expected, nb::handle text, nb::handle dom) {
            auto t = text_arg(target, "target");
            auto e = text_arg(expected, "expected");
            Records tr = records_of(text, "text_elements");
            Records dr = records_of(dom, "dom_elements");
            return vantle::py::result(
                without_gil([&] { return ds::resolve_verify_spatial_text(t, e, tr.elements, dr.elements); }));
          },
          nb::arg("target"), nb::arg("expected"), nb::arg("text_elements"), nb::arg("dom_elements") = nb::none(),
          "Find the text element in the given direction from the anchor and compare to expected.")
      .def(
          "_resolve_extract_spatial_text",
          [](DirectStrategy&, nb::handle target, nb::handle text, nb::handle dom) {
            auto t = text_arg(target, "target");
            Records tr = records_of(text, "text_elements");
            Records dr = records_of(dom, "dom_elements");
            return vantle::py::result(
                without_gil([&] { return ds::resolve_extract_spatial_text(t, tr.elements, dr.elements); }));
          },
          nb::arg("target"), nb::arg("text_elements"), nb::arg("dom_elements") = nb::none(),
          "Find the nearest text element in the given direction and return its text.");
}
