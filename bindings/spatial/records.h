#pragma once
// Reading matrix entries into the spatial core and writing them back; the
// records they stand for go through the records codec. Shared by the layout
// builder and resolver.

#include <nanobind/nanobind.h>

#include <string>

#include "common/convert.h"
#include "common/records.h"
#include "vantle/spatial/errors.h"
#include "vantle/spatial/matrix.h"
#include "vantle/text/text.h"

namespace vantle::py::spatial_records {

namespace sp = vantle::spatial;
namespace records = vantle::records;

/// The value under `key`, or a null handle when the dict lacks it.
inline nb::handle item(nb::handle dict, const char* key) {
  PyObject* value = PyDict_GetItemString(dict.ptr(), key);
  return nb::handle(value);
}

/// A dict, or a null handle when absent or None; anything else is a type error.
inline nb::handle dict_or_null(nb::handle value, const std::string& what) {
  if (!value.is_valid() || value.is_none()) return {};
  if (!PyDict_Check(value.ptr())) wrong_type(what, "a dict", value);
  return value;
}

/// Text under `key`; absent and None read as empty text.
inline std::u32string text(nb::handle dict, const char* key) {
  nb::handle value = item(dict, key);
  if (!value.is_valid() || value.is_none()) return {};
  return text_arg(value, (std::string("'") + key + "'").c_str());
}

inline bool truth(nb::handle dict, const char* key, bool absent) {
  nb::handle value = item(dict, key);
  if (!value.is_valid()) return absent;
  int t = PyObject_IsTrue(value.ptr());
  if (t < 0) throw nb::python_error();
  return t == 1;
}

/// A number under `key`, or nothing when the dict lacks it.
inline std::optional<sp::Number> maybe_number(nb::handle dict, const char* key) {
  nb::handle value = item(dict, key);
  if (!value.is_valid()) return std::nullopt;
  return vantle::py::number(value.ptr(), key);
}

inline void require_dict(nb::handle value, const char* what) {
  if (!PyDict_Check(value.ptr())) wrong_type(what, "a dict", value);
}

/// An element descriptor as layout reads it.
inline sp::Element descriptor(nb::handle element, const char* what = "element") {
  return sp::layout_element(vantle::py::element(element, 0, {sp::DESCRIPTOR_KEYS, sp::reads_attribute}, what));
}

/// A text element as layout reads it.
inline sp::Element text_element(nb::handle element, const char* what) {
  return sp::layout_text(vantle::py::element(element, 0, {sp::TEXT_KEYS, sp::text_reads_attribute}, what));
}

inline nb::object number_object(const sp::Number& n) {
  if (n.integral) return nb::int_(static_cast<long long>(n.value));
  return nb::float_(n.value);
}

inline nb::dict position_dict(const sp::Position& p) {
  nb::dict d;
  const sp::Number* values[] = {&p.x, &p.y, &p.w, &p.h, &p.cx, &p.cy, &p.x2, &p.y2};
  for (int i = 0; i < 8; ++i) d[sp::COORD_NAMES[i]] = number_object(*values[i]);
  return d;
}

/// A position record read back from an entry; keys it lacks stay marked absent.
inline std::optional<sp::Position> position(nb::handle entry) {
  nb::handle p = dict_or_null(item(entry, "position"), "'position'");
  if (!p.is_valid()) return std::nullopt;
  sp::Position out;
  out.keys = 0;
  sp::Number* values[] = {&out.x, &out.y, &out.w, &out.h, &out.cx, &out.cy, &out.x2, &out.y2};
  for (unsigned i = 0; i < 8; ++i) {
    if (auto n = maybe_number(p, sp::COORD_NAMES[i])) {
      *values[i] = *n;
      out.keys |= 1u << i;
    }
  }
  return out;
}

/// The attributes of an entry's element that anchors read.
inline bool anchor_attribute(std::u32string_view name) {
  return name == U"aria-label" || name == U"_label" || name == U"placeholder" || name == U"_text_box";
}

/// A matrix entry as the resolver reads it, with the parts of its element that
/// anchors and nearness look at.
inline sp::Entry entry(nb::handle e) {
  require_dict(e, "a matrix entry");
  sp::Entry out;
  if (nb::handle index = item(e, "index"); index.is_valid() && !index.is_none()) {
    if (!PyLong_Check(index.ptr())) wrong_type("'index'", "an int", index);
    out.index = PyLong_AsLongLong(index.ptr());
    if (PyErr_Occurred()) throw nb::python_error();
  }
  if (nb::handle type = item(e, "element_type"); type.is_valid() && !type.is_none())
    out.element_type = text(e, "element_type");
  out.text = text(e, "text");
  out.searchable = text(e, "searchable");
  out.is_anchor_only = truth(e, "is_anchor_only", false);
  out.position = position(e);
  nb::handle element = dict_or_null(item(e, "element"), "'element'");
  if (element.is_valid()) {
    const records::Reading reading{records::KEY_ATTRIBUTES | records::KEY_XPATH, anchor_attribute};
    out.element = sp::layout_element(vantle::py::element(element, 0, reading, "'element'"));
  }
  return out;
}

using vantle::py::is_sequence;

/// Maps the core's errors for malformed records onto Python's.
inline void register_errors() {
  register_record_errors();
  nb::register_exception_translator([](const std::exception_ptr& p, void*) {
    try {
      std::rethrow_exception(p);
    } catch (const sp::missing_key& e) {
      PyErr_SetString(PyExc_KeyError, e.what());
    }
  });
}

}  // namespace vantle::py::spatial_records
