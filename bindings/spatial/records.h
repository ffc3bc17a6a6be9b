#pragma once
// Reading scanned records and matrix entries into the spatial core, and
// writing matrix entries back. Shared by the layout builder and resolver.

#include <nanobind/nanobind.h>

#include <string>

#include "common/convert.h"
#include "vantle/spatial/errors.h"
#include "vantle/spatial/matrix.h"
#include "vantle/text/text.h"

namespace vantle::py::spatial_records {

namespace sp = vantle::spatial;

/// The value under `key`, or a null handle when the dict lacks it.
inline nb::handle item(nb::handle dict, const char* key) {
  PyObject* value = PyDict_GetItemString(dict.ptr(), key);
  return nb::handle(value);
}

/// A dict, or a null handle when absent or None; anything else is a type error.
inline nb::handle dict_or_null(nb::handle value, const std::string& what) {
  if (!value.is_valid() || value.is_none()) return {};
  if (!PyDict_Check(value.ptr())) throw nb::type_error((what + " must be a dict").c_str());
  return value;
}

/// Text under `key`; absent and None read as empty text.
inline std::u32string text(nb::handle dict, const char* key) {
  if (!dict.is_valid()) return {};
  nb::handle value = item(dict, key);
  if (!value.is_valid() || value.is_none()) return {};
  if (!PyUnicode_Check(value.ptr()))
    throw nb::type_error((std::string("'") + key + "' must be a str").c_str());
  return u32(value);
}

inline bool truth(nb::handle dict, const char* key, bool absent) {
  nb::handle value = item(dict, key);
  if (!value.is_valid()) return absent;
  int t = PyObject_IsTrue(value.ptr());
  if (t < 0) throw nb::python_error();
  return t == 1;
}

inline sp::Number number(nb::handle value, const char* key) {
  if (PyFloat_Check(value.ptr())) return {PyFloat_AS_DOUBLE(value.ptr()), false};
  if (PyLong_Check(value.ptr())) {
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
    if (overflow) return {PyLong_AsDouble(value.ptr()), false};
    return {static_cast<double>(v), true};
  }
  throw nb::type_error((std::string("'") + key + "' must be a number").c_str());
}

/// A number under `key`, or nothing when the dict lacks it.
inline std::optional<sp::Number> maybe_number(nb::handle dict, const char* key) {
  nb::handle value = item(dict, key);
  if (!value.is_valid()) return std::nullopt;
  return number(value, key);
}

/// A bounding box; an absent, None or empty one means the element is not placed.
inline std::optional<sp::Box> box(nb::handle element) {
  nb::handle bb = item(element, "bounding_box");
  if (!bb.is_valid()) return std::nullopt;
  int t = PyObject_IsTrue(bb.ptr());
  if (t < 0) throw nb::python_error();
  if (t == 0) return std::nullopt;
  if (!PyDict_Check(bb.ptr())) throw nb::type_error("'bounding_box' must be a dict");
  return sp::Box{maybe_number(bb, "x"), maybe_number(bb, "y"), maybe_number(bb, "width"),
                 maybe_number(bb, "height")};
}

inline void require_dict(nb::handle value, const char* what) {
  if (!PyDict_Check(value.ptr())) throw nb::type_error((std::string(what) + " must be a dict").c_str());
}

inline nb::handle attributes(nb::handle element) {
  return dict_or_null(item(element, "attributes"), "'attributes'");
}

/// The scan's marks beside the attributes: an icon control, and where a
/// block's own words sit.
inline void read_marks(nb::handle attrs, sp::Element& e) {
  if (!attrs.is_valid()) return;
  e.attributes.icon = item(attrs, "_icon").is_valid();
  if (auto words = text(attrs, "_text_box"); !words.empty()) e.text_box = sp::box_from_text(vantle::text::encode(words));
}

/// The fields of an element descriptor that typing and searching read.
inline sp::Element descriptor(nb::handle element) {
  sp::Element e;
  e.tag = text(element, "tag");
  e.text = text(element, "text");
  nb::handle attrs = attributes(element);
  e.attributes.role = text(attrs, "role");
  e.attributes.type = text(attrs, "type");
  e.attributes.label = text(attrs, "_label");
  e.attributes.aria_label = text(attrs, "aria-label");
  e.attributes.placeholder = text(attrs, "placeholder");
  e.attributes.name = text(attrs, "name");
  read_marks(attrs, e);
  e.is_enabled = truth(element, "is_enabled", true);
  return e;
}

/// An element descriptor as the builder reads it; one without a box is not
/// read further, as it will not be placed.
inline sp::Element interactable(nb::handle element) {
  require_dict(element, "each of dom_elements");
  std::optional<sp::Box> bb = box(element);
  if (!bb) return {};
  sp::Element e = descriptor(element);
  e.bounding_box = bb;
  return e;
}

/// A text element as the builder reads it: only its box, tag, text and label.
inline sp::Element text_element(nb::handle element) {
  require_dict(element, "each of text_elements");
  sp::Element e;
  e.bounding_box = box(element);
  if (!e.bounding_box) return e;
  e.tag = text(element, "tag");
  e.text = text(element, "text");
  e.attributes.label = text(attributes(element), "_label");
  read_marks(attributes(element), e);
  return e;
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

/// A matrix entry as the resolver reads it, with the parts of its element that
/// anchors and nearness look at.
inline sp::Entry entry(nb::handle e) {
  require_dict(e, "a matrix entry");
  sp::Entry out;
  if (nb::handle index = item(e, "index"); index.is_valid() && !index.is_none()) {
    if (!PyLong_Check(index.ptr())) throw nb::type_error("'index' must be an int");
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
    nb::handle attrs = attributes(element);
    out.element.attributes.aria_label = text(attrs, "aria-label");
    out.element.attributes.label = text(attrs, "_label");
    out.element.attributes.placeholder = text(attrs, "placeholder");
    read_marks(attrs, out.element);
    nb::handle xpath = item(element, "xpath");
    if (xpath.is_valid() && !xpath.is_none()) {
      if (!PyUnicode_Check(xpath.ptr())) throw nb::type_error("'xpath' must be a str");
      out.element.xpath = utf8(xpath);
    }
  }
  return out;
}

/// Whether a value is a sequence of records rather than text or a mapping.
inline bool is_sequence(nb::handle value) {
  PyObject* p = value.ptr();
  return PySequence_Check(p) && !PyUnicode_Check(p) && !PyBytes_Check(p) && !PyByteArray_Check(p);
}

/// Maps the core's errors for malformed records onto Python's.
inline void register_errors() {
  nb::register_exception_translator([](const std::exception_ptr& p, void*) {
    try {
      std::rethrow_exception(p);
    } catch (const sp::missing_key& e) {
      PyErr_SetString(PyExc_KeyError, e.what());
    } catch (const sp::type_error& e) {
      PyErr_SetString(PyExc_TypeError, e.what());
    }
  });
}

}  // namespace vantle::py::spatial_records
