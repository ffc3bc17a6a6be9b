// vantle.engine.spatial.layout_resolver: resolves a target by its place
// relative to an anchor, or by ordinal. The work is done by
// vantle::spatial::Resolver; this file reads the matrix entries once and maps
// the core's answers back onto the caller's own entry and element dicts.

#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>

#include <algorithm>
#include <ctime>
#include <memory>

#include "common/records.h"
#include "spatial/records.h"
#include "vantle/language/vocabulary.h"
#include "vantle/spatial/geometry.h"
#include "vantle/spatial/resolver.h"

namespace nb = nanobind;
using namespace nb::literals;
namespace sp = vantle::spatial;
namespace rec = vantle::py::spatial_records;
using vantle::py::to_str;
using vantle::py::u32;

namespace {

/// The matrix as the core sees it, beside the entry dicts it was read from.
struct Snapshot {
  std::vector<nb::object> entries;
  /// Each entry's element, the record a result hands back (None when absent).
  std::vector<vantle::records::Element> elements;
  std::unique_ptr<sp::Resolver> core;
};

struct LayoutResolver {
  nb::object matrix;
  std::shared_ptr<Snapshot> snapshot;

  void set_matrix(nb::object value) {
    matrix = std::move(value);
    snapshot.reset();
  }

  // A matrix describes one scan and its entries are not changed afterwards,
  // so it is read once. A new matrix, or one holding other entry objects, is
  // read again.
  std::shared_ptr<Snapshot> current() {
    if (!rec::is_sequence(matrix)) throw nb::type_error("matrix must be a sequence of matrix entries");
    nb::object items = nb::steal(PySequence_Fast(matrix.ptr(), "matrix must be a sequence of matrix entries"));
    if (!items.is_valid()) throw nb::python_error();
    Py_ssize_t size = PySequence_Fast_GET_SIZE(items.ptr());
    PyObject** item = PySequence_Fast_ITEMS(items.ptr());
    if (snapshot && unchanged(item, size)) return snapshot;
    auto fresh = std::make_shared<Snapshot>();
    std::vector<sp::Entry> entries;
    entries.reserve(static_cast<size_t>(size));
    for (Py_ssize_t i = 0; i < size; ++i) {
      entries.push_back(rec::entry(item[i]));
      fresh->entries.push_back(nb::borrow(item[i]));
      nb::handle element = rec::item(item[i], "element");
      fresh->elements.emplace_back().origin = element.is_valid() ? element.ptr() : Py_None;
    }
    fresh->core = std::make_unique<sp::Resolver>(std::move(entries));
    snapshot = std::move(fresh);
    return snapshot;
  }

  bool unchanged(PyObject** item, Py_ssize_t size) const {
    if (static_cast<size_t>(size) != snapshot->entries.size()) return false;
    for (Py_ssize_t i = 0; i < size; ++i)
      if (item[i] != snapshot->entries[static_cast<size_t>(i)].ptr()) return false;
    return true;
  }
};

nb::object entry_object(const Snapshot& s, const sp::Entry* e) {
  return s.entries[static_cast<size_t>(e - s.core->matrix().data())];
}

nb::object optional_text(const std::optional<std::u32string>& value) {
  return value ? nb::object(to_str(*value)) : nb::none();
}

nb::dict result(const Snapshot& s, const sp::Resolution& r) {
  return vantle::py::result(sp::result_of(r, [&](const sp::Entry& e) {
    return &s.elements[static_cast<size_t>(&e - s.core->matrix().data())];
  }));
}

using vantle::py::text_arg;

std::string utf8_arg(nb::handle value, const char* name) { return vantle::text::encode(text_arg(value, name)); }

std::optional<std::u32string> optional_text_arg(nb::handle value, const char* name) {
  if (value.is_none()) return std::nullopt;
  return text_arg(value, name);
}

std::optional<long long> optional_int_arg(nb::handle value, const char* name) {
  if (value.is_none()) return std::nullopt;
  if (!PyLong_Check(value.ptr())) vantle::py::wrong_type(name, "an int", value);
  long long v = PyLong_AsLongLong(value.ptr());
  if (PyErr_Occurred()) throw nb::python_error();
  return v;
}

nb::dict resolve(LayoutResolver& self, nb::handle parsed_instruction) {
  rec::require_dict(parsed_instruction, "parsed_instruction");
  nb::handle target = rec::item(parsed_instruction, "target");
  std::u32string t = target.is_valid() ? text_arg(target, "target") : std::u32string();
  auto snapshot = self.current();
  return result(*snapshot, snapshot->core->resolve(t));
}

double time_core_resolve(LayoutResolver& self, nb::handle parsed_instruction, int repeats) {
  rec::require_dict(parsed_instruction, "parsed_instruction");
  nb::handle target = rec::item(parsed_instruction, "target");
  std::u32string t = target.is_valid() ? text_arg(target, "target") : std::u32string();
  auto snapshot = self.current();
  // Processor time, so other work on a shared machine inflates it less.
  const std::clock_t start = std::clock();
  size_t found = 0;
  for (int i = 0; i < repeats; ++i) found += snapshot->core->resolve(t).resolved;
  const double spent = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  static volatile size_t sink;  // keeps the timed work from being optimised away
  sink = found;
  return spent / std::max(repeats, 1);
}

nb::object find_anchor(LayoutResolver& self, nb::handle anchor_text) {
  std::u32string anchor = text_arg(anchor_text, "anchor_text");
  auto s = self.current();
  const sp::Entry* e = s->core->find_anchor(anchor);
  return e ? entry_object(*s, e) : nb::none();
}

nb::list rank(nb::handle candidates, nb::handle anchor, nb::handle strategy, nb::handle ordinal) {
  if (!rec::is_sequence(candidates)) vantle::py::wrong_type("candidates", "a sequence", candidates);
  std::vector<nb::object> dicts;
  std::vector<sp::Entry> entries;
  for (nb::handle c : candidates) {
    entries.push_back(rec::entry(c));
    dicts.push_back(nb::borrow(c));
  }
  std::vector<const sp::Entry*> pointers;
  for (const sp::Entry& e : entries) pointers.push_back(&e);
  sp::Entry anchor_entry = rec::entry(anchor);
  // Any strategy that is not text is simply unknown and ranks nothing.
  std::optional<std::u32string> s;
  if (PyUnicode_Check(strategy.ptr())) s = u32(strategy);
  nb::list out;
  for (const sp::Entry* e : sp::rank(pointers, anchor_entry, s, optional_int_arg(ordinal, "ordinal")))
    out.append(dicts[static_cast<size_t>(e - entries.data())]);
  return out;
}

nb::dict resolve_ordinal(LayoutResolver& self, nb::handle ordinal, nb::handle type_filter,
                         nb::handle search_text) {
  auto n = optional_int_arg(ordinal, "ordinal");
  if (!n) vantle::py::wrong_type("ordinal", "an int", ordinal);
  auto type = optional_text_arg(type_filter, "type_filter");
  auto search = optional_text_arg(search_text, "search_text");
  auto snapshot = self.current();
  return result(*snapshot, snapshot->core->resolve_ordinal(*n, type, search));
}

sp::Position position_arg(nb::handle entry) {
  rec::require_dict(entry, "a matrix entry");
  auto p = rec::position(entry);
  if (!p) throw sp::missing_key("matrix entry has no 'position'");
  return *p;
}

nb::tuple parse_target(nb::handle target) {
  sp::ParsedTarget t = sp::parse_target(text_arg(target, "target"));
  nb::object ordinal = t.ordinal ? nb::object(nb::int_(*t.ordinal)) : nb::none();
  return nb::make_tuple(optional_text(t.anchor), optional_text(t.rel_strategy),
                        optional_text(t.type_filter), ordinal, optional_text(t.search_text),
                        optional_text(t.target_text));
}

namespace lang = vantle::language;

nb::dict relations() {
  nb::dict d;
  for (const auto& row : lang::relations()) d[to_str(row.phrase)] = to_str(row.strategy);
  return d;
}

nb::dict ordinals() {
  nb::dict d;
  for (const auto& row : lang::ordinals()) d[to_str(row.word)] = row.number;
  return d;
}

nb::dict type_keywords() {
  nb::dict d;
  for (const auto& row : lang::type_words())
    if (!row.element_type.empty()) d[to_str(row.word)] = to_str(row.element_type);
  return d;
}

nb::tuple articles() {
  nb::list l;
  for (const auto& a : lang::articles()) l.append(to_str(a));
  return nb::tuple(l);
}

nb::tuple anchor_attributes() {
  nb::list l;
  for (const char* a : sp::ANCHOR_ATTRIBUTES) l.append(nb::str(a));
  return nb::tuple(l);
}

}  // namespace

NB_MODULE(layout_resolver, m) {
  m.doc() =
      "Finds elements using spatial relationships \u2014 proximity, direction, ordinal: "
      "'first button next to Sign up', 'edit link below Username', 'second Add to cart button'.";
  rec::register_errors();

  m.attr("SPATIAL_TOLERANCE") = sp::SPATIAL_TOLERANCE;
  m.attr("NEAR_MAX_PIXELS") = sp::NEAR_MAX_PIXELS;
  m.attr("NEAR_MAX_DOM_STEPS") = sp::NEAR_MAX_DOM_STEPS;
  m.attr("_RELATIONS") = relations();
  m.attr("_ORDINALS") = ordinals();
  m.attr("_TYPE_KEYWORDS") = type_keywords();
  m.attr("_ARTICLES") = articles();
  m.attr("_ANCHOR_ATTRIBUTES") = anchor_attributes();

  nb::class_<LayoutResolver>(m, "LayoutResolver",
                             "Finds elements using spatial relationships \u2014 proximity, direction, ordinal.")
      .def(
          "__init__",
          [](LayoutResolver* self, nb::object matrix) { new (self) LayoutResolver{std::move(matrix), {}}; },
          "matrix"_a, "Binds the resolver to one spatial matrix (a list of matrix entries).")
      .def_prop_rw(
          "matrix", [](LayoutResolver& self) { return self.matrix; },
          [](LayoutResolver& self, nb::object value) { self.set_matrix(std::move(value)); },
          "The matrix entries the resolver works on, as given.")
      .def("resolve", &resolve, "parsed_instruction"_a,
           "Resolves the record's target. Returns a dict with resolved, confidence, element and "
           "candidates (the caller's element dicts); an anchored result adds anchor_text, "
           "ordinal, type_relaxed and actual_type. Nothing found is resolved False, not an error.")
      .def("_time_core_resolve", &time_core_resolve, "parsed_instruction"_a, "repeats"_a,
           "Seconds per resolution spent in the core alone, the matrix already read (benchmarks).")
      .def("_find_anchor", &find_anchor, "anchor_text"_a,
           "The matrix entry the anchor phrase names (exact text, exact attribute, text prefix, "
           "attribute prefix; interactable and then smaller entries preferred), or None.")
      .def_static("_rank", &rank, "candidates"_a, "anchor"_a, "strategy"_a.none(), "ordinal"_a.none(),
                  "Keeps the candidates in the relation to the anchor, nearest first, cut to the ordinal.")
      .def("_resolve_ordinal", &resolve_ordinal, "ordinal"_a, "type_filter"_a.none(),
           "search_text"_a.none() = nb::none(),
           "Resolves a target named only by ordinal, type and text, such as 'second Add to cart button'.");

  m.def("_parse_target", &parse_target, "target"_a,
        "Takes a spatial target apart: (anchor, rel_strategy, type_filter, ordinal, search_text, target_text).");
  m.def(
      "_normalize", [](nb::handle text) { return to_str(sp::normalize(text_arg(text, "text"))); }, "text"_a,
      "Lower-cases the text and drops every space and hyphen.");
  m.def(
      "_overlaps_vertically",
      [](nb::handle a, nb::handle b) { return sp::overlaps_vertically(position_arg(a), position_arg(b)); },
      "a"_a, "b"_a, "Whether two entries share a row, with 40 px of slack.");
  m.def(
      "_overlaps_horizontally",
      [](nb::handle a, nb::handle b) { return sp::overlaps_horizontally(position_arg(a), position_arg(b)); },
      "a"_a, "b"_a, "Whether two entries share a column, with 40 px of slack.");
  m.def(
      "_centre_distance",
      [](nb::handle a, nb::handle b) { return sp::centre_distance(position_arg(a), position_arg(b)); },
      "a"_a, "b"_a, "Distance between the centres of two entries.");
  m.def(
      "_dom_distance",
      [](nb::handle a, nb::handle b) { return sp::dom_distance(utf8_arg(a, "xpath_a"), utf8_arg(b, "xpath_b")); },
      "xpath_a"_a, "xpath_b"_a,
      "Steps between two element paths: the segments of both that do not match position by position.");
}
