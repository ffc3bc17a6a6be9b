// vantle.engine.browser.page_scanner: the page scanner for Python.

#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include "common/convert.h"
#include "common/py_remote.h"
#include "common/scan_hooks.h"
#include "vantle/browser/page_scanner.h"

namespace nb = nanobind;
using namespace nb::literals;
namespace br = vantle::browser;
using vantle::py::from_json;
using vantle::py::to_json;
using vantle::py::to_str;
using vantle::py::utf8;

namespace {

struct Scanner {
  nb::object page;
  bool batched = false;

  br::PageScanner core() const {
    return br::PageScanner(vantle::py::wrap(page), vantle::py::scan_hooks(), batched);
  }
};

// Thousands of records make thousands of dicts, and each few hundred would
// start a collection that walks every record made so far: none of them can
// be garbage yet, so collecting waits until they are all built.
struct CollectionPaused {
  int was_enabled = PyGC_Disable();
  ~CollectionPaused() {
    if (was_enabled) PyGC_Enable();
  }
};

nb::tuple as_pair(const br::ScanResult& r) {
  CollectionPaused paused;
  return nb::make_tuple(from_json(r.elements), from_json(r.text_elements));
}

// Records are normally plain dicts; other mappings are read through .get().
nb::object get(nb::handle mapping, const char* key) {
  if (PyDict_CheckExact(mapping.ptr())) {
    PyObject* v = PyDict_GetItemString(mapping.ptr(), key);
    return v ? nb::borrow(v) : nb::none();
  }
  return mapping.attr("get")(key);
}

bool truthy(nb::handle obj) {
  int r = PyObject_IsTrue(obj.ptr());
  if (r < 0) throw nb::python_error();
  return r == 1;
}

double number(nb::handle mapping, const char* key) {
  nb::object item = get(mapping, key);
  if (item.is_none()) item = mapping[key];  // raises the mapping's own KeyError
  double v = PyFloat_AsDouble(item.ptr());
  if (v == -1.0 && PyErr_Occurred()) throw nb::python_error();
  return v;
}

br::Box box(nb::handle record) {
  return {number(record, "x"), number(record, "y"), number(record, "width"), number(record, "height")};
}

// Works on the caller's own records: labels are set in place.
void assign_spatial_labels(nb::handle elements, nb::handle label_candidates) {
  std::vector<nb::object> els, cands;
  for (nb::handle e : elements) els.push_back(nb::borrow(e));
  for (nb::handle c : label_candidates) cands.push_back(nb::borrow(c));
  std::vector<std::optional<br::Box>> targets;
  for (const auto& el : els) {
    nb::object attrs = get(el, "attributes");
    nb::object bb = get(el, "bounding_box");
    bool labelled = !attrs.is_none() && truthy(get(attrs, "_label"));
    if (labelled || bb.is_none()) targets.emplace_back();
    else targets.emplace_back(box(bb));
  }
  std::vector<br::Box> boxes;
  for (const auto& c : cands) boxes.push_back(box(c["bounding_box"]));
  std::vector<long> chosen = br::choose_spatial_labels(targets, boxes);
  for (std::size_t t = 0; t < chosen.size(); ++t) {
    if (chosen[t] < 0) continue;
    nb::object label = cands[static_cast<std::size_t>(chosen[t])]["text"];
    if (!truthy(label)) continue;
    nb::object attrs = get(els[t], "attributes");
    if (attrs.is_none()) {
      attrs = nb::dict();
      els[t]["attributes"] = attrs;
    }
    attrs["_label"] = label;
  }
}

// Returns the very records it was given, wrappers left out.
nb::list dedup_text_elements(nb::handle candidates) {
  std::vector<nb::object> items;
  std::vector<br::TextCandidate> plain;
  for (nb::handle c : candidates) {
    items.push_back(nb::borrow(c));
    plain.push_back({utf8(nb::object(c["text"])), truthy(get(c, "has_direct_text")), box(c["bounding_box"])});
  }
  nb::list out;
  for (std::size_t i : br::dedup_text_indices(plain)) out.append(items[i]);
  return out;
}

nb::tuple as_tuple(const std::vector<std::string>& items) {
  nb::list out;
  for (const auto& s : items) out.append(to_str(s));
  return nb::tuple(out);
}

}  // namespace

NB_MODULE(page_scanner, m) {
  vantle::py::register_interrupts();
  m.doc() = "Scans a live Playwright page into element descriptors and text elements.";

  m.attr("_NATIVE_TAGS") = as_tuple(br::NATIVE_TAGS);
  m.attr("_ARIA_ROLES") = as_tuple(br::ARIA_ROLES);
  m.attr("INTERACTABLE_SELECTOR") = to_str(br::INTERACTABLE_SELECTOR);
  m.attr("CAPTURED_ATTRIBUTES") = as_tuple(br::CAPTURED_ATTRIBUTES);
  m.attr("_CUSTOM_INPUT_SELECTOR") = to_str(br::CUSTOM_INPUT_SELECTOR);
  m.attr("_XPATH_JS") = to_str(br::XPATH_JS);
  m.attr("_TEXT_TAGS") = as_tuple(br::TEXT_TAGS);
  m.attr("TEXT_SELECTOR") = to_str(br::TEXT_SELECTOR);
  m.attr("_TAG_JS") = to_str(br::TAG_JS);
  m.attr("_DATA_ATTRS_JS") = to_str(br::DATA_ATTRS_JS);
  m.attr("_DIRECT_TEXT_JS") = to_str(br::DIRECT_TEXT_JS);
  m.attr("_SIBLING_LABEL_JS") = to_str(br::SIBLING_LABEL_JS);
  m.attr("_PARENT_LABEL_JS") = to_str(br::PARENT_LABEL_JS);
  m.attr("_POINTER_SCAN_JS") = to_str(br::POINTER_SCAN_JS);
  m.attr("_LABEL_CANDIDATE_SELECTOR") = to_str(br::LABEL_CANDIDATE_SELECTOR);

  m.def(
      "_is_custom_input",
      [](nb::handle tag, nb::handle classes) {
        std::string c = classes.is_none() ? "" : utf8(classes);
        return br::is_custom_input(tag.is_none() ? "" : utf8(tag), c);
      },
      "tag"_a.none(), "classes"_a.none(),
      "Return True if a non-native element looks like an editable field by class name.");

  m.def(
      "scan_page",
      [](nb::object page) { return as_pair(br::scan_page(vantle::py::wrap(page), vantle::py::scan_hooks())); },
      "page"_a, "Scan the page in the mode set by vantle.settings.SCAN_MODE: (element descriptors, text elements).");

  nb::class_<br::ScanMemo>(m, "_ScanMemo",
                           "The last batched scan of a page, reused while the page reports no change (the "
                           "agent keeps one per page).")
      .def(nb::init<>())
      .def(
          "scan", [](br::ScanMemo& memo, nb::object page) {
            return as_pair(br::scan_page(vantle::py::wrap(page), vantle::py::scan_hooks(), memo));
          },
          "page"_a, "Scan as scan_page does, reusing the last records when the page has not changed since.")
      .def_ro("scans", &br::ScanMemo::scans, "Scans asked for.")
      .def_ro("reused", &br::ScanMemo::reused, "Scans answered from the last records.")
      .def_ro("ticks", &br::ScanMemo::ticks, "Scans that only mended the ticked state of boxes.");

  nb::class_<Scanner>(m, "PageScanner",
                      "Queries the page DOM and returns structured, interactable element descriptors.")
      .def(
          "__init__", [](Scanner* s, nb::object page, bool batched) { new (s) Scanner{std::move(page), batched}; },
          "page"_a.none(), "batched"_a = false,
          "Store a reference to the active Playwright page. With batched=True a scan gathers everything in one "
          "in-page call (same records as the element-by-element scan, much faster).")
      .def_rw("page", &Scanner::page, "The Playwright page this scanner reads.")
      .def_ro("batched", &Scanner::batched, "Whether scans gather everything in one in-page call.")
      .def(
          "extract_interactable_elements", [](const Scanner& s) { return as_pair(s.core().extract_interactable_elements()); },
          "Scan the page: returns (element descriptors, text elements).")
      .def(
          "_extract_custom_inputs", [](const Scanner& s) { return from_json(s.core().extract_custom_inputs()); },
          "Extract non-native editable fields identified by class naming conventions.")
      .def(
          "_extract_cursor_pointer_elements",
          [](const Scanner& s) { return from_json(s.core().extract_cursor_pointer_elements()); },
          "Extract custom clickable elements identified by cursor:pointer CSS.")
      .def(
          "_get_field_label",
          [](const Scanner& s, nb::handle handle) {
            return to_str(s.core().get_field_label(vantle::py::wrap(handle)));
          },
          "handle"_a, "Compute the accessible label for an input-like element.")
      .def(
          "_collect_label_candidates", [](const Scanner& s) { return from_json(s.core().collect_label_candidates()); },
          "Extract heading, label, and short-text div/span elements for spatial label lookup.")
      .def(
          "_assign_spatial_labels",
          [](const Scanner&, nb::handle elements, nb::handle label_candidates) {
            assign_spatial_labels(elements, label_candidates);
          },
          "elements"_a, "label_candidates"_a,
          "Attach the nearest above-element heading/label to each element as _label.")
      .def(
          "extract_text_elements", [](const Scanner& s) { return from_json(s.core().extract_text_elements()); },
          "Return all visible elements that carry readable text content.")
      .def_static("_dedup_text_elements", &dedup_text_elements, "candidates"_a,
                  "Eliminate container elements that only aggregate child text.")
      .def(
          "_save_snapshot",
          [](const Scanner& s, nb::handle elements, nb::handle text_elements) {
            s.core().save_snapshot(to_json(elements), to_json(text_elements));
          },
          "elements"_a, "text_elements"_a,
          "Save interactable and text elements to a timestamped JSON file in data/logs/.");
}
