#include "common/records.h"

#include "common/convert.h"
#include "vantle/records/json.h"

#include <climits>

namespace vantle::py {

void wrong_type(const std::string& what, const char* wanted, nb::handle value) {
  throw nb::type_error((what + " must be " + wanted + ", not " + Py_TYPE(value.ptr())->tp_name).c_str());
}

namespace {

constexpr const char* COORDS[] = {"x", "y", "width", "height"};

[[noreturn]] void wrong(const std::string& what, const char* wanted, PyObject* value) {
  wrong_type(what, wanted, value);
}

std::string quoted(const char* key) { return std::string("'") + key + "'"; }

// Interned once: every record is looked up by these.
struct Keys {
  PyObject* names[9];
  PyObject* coords[4];
};

const Keys& keys() {
  static const Keys k = [] {
    Keys out{};
    for (unsigned i = 0; i < 9; ++i) out.names[i] = PyUnicode_InternFromString(records::key_name(1u << i));
    for (unsigned i = 0; i < 4; ++i) out.coords[i] = PyUnicode_InternFromString(COORDS[i]);
    return out;
  }();
  return k;
}

PyObject* lookup(PyObject* dict, PyObject* key) {
  PyObject* v = PyDict_GetItemWithError(dict, key);
  if (!v && PyErr_Occurred()) throw nb::python_error();
  return v;
}

std::u32string text_of(PyObject* value, const std::string& what) {
  if (!PyUnicode_Check(value)) wrong(what, "text", value);
  return u32(value);
}

bool truth_of(PyObject* value) {
  int t = PyObject_IsTrue(value);
  if (t < 0) throw nb::python_error();
  return t == 1;
}

}  // namespace

records::Number number(PyObject* value, const char* key) {
  if (PyFloat_Check(value)) return {PyFloat_AS_DOUBLE(value), false};
  if (!PyLong_Check(value)) wrong(quoted(key), "a number", value);
  int overflow = 0;
  long long v = PyLong_AsLongLongAndOverflow(value, &overflow);
  if (overflow) return {PyLong_AsDouble(value), false};
  return {static_cast<double>(v), true};
}

namespace {

records::Box box_of(PyObject* value) {
  if (!PyDict_Check(value)) wrong("'bounding_box'", "a dict", value);
  records::Box box;
  box.present = PyDict_GET_SIZE(value) > 0;
  std::optional<records::Number>* slots[] = {&box.x, &box.y, &box.width, &box.height};
  for (unsigned i = 0; i < 4; ++i) {
    PyObject* v = lookup(value, keys().coords[i]);
    if (!v) continue;
    if (v == Py_None)
      box.nulls |= 1u << i;
    else
      *slots[i] = number(v, COORDS[i]);
  }
  return box;
}

std::vector<records::Attribute> attributes_of(PyObject* value, const records::Reading& reading) {
  if (!PyDict_Check(value)) wrong("'attributes'", "a dict", value);
  std::vector<records::Attribute> out;
  out.reserve(static_cast<std::size_t>(PyDict_GET_SIZE(value)));
  Py_ssize_t pos = 0;
  PyObject *name, *item;
  while (PyDict_Next(value, &pos, &name, &item)) {
    if (!PyUnicode_Check(name)) wrong("an attribute name", "text", name);
    records::Attribute a{u32(name), {}, std::nullopt};
    if (PyUnicode_Check(item))
      a.value = u32(item);
    else if (item != Py_None && reading.checks(a.name))
      wrong("attribute '" + utf8(name) + "'", "text", item);
    else
      a.other = to_json(item);
    out.push_back(std::move(a));
  }
  return out;
}

void read_key(records::Element& e, unsigned key, PyObject* value, const records::Reading& reading) {
  switch (key) {
    case records::KEY_TAG: e.tag = text_of(value, quoted("tag")); break;
    case records::KEY_TEXT: e.text = text_of(value, quoted("text")); break;
    case records::KEY_XPATH: e.xpath = text_of(value, quoted("xpath")); break;
    case records::KEY_ATTRIBUTES: e.attributes = attributes_of(value, reading); break;
    case records::KEY_IS_VISIBLE: e.is_visible = truth_of(value); break;
    case records::KEY_IS_ENABLED: e.is_enabled = truth_of(value); break;
    case records::KEY_IS_EDITABLE_FIELD: e.is_editable_field = truth_of(value); break;
    case records::KEY_HAS_DIRECT_TEXT: e.has_direct_text = truth_of(value); break;
    case records::KEY_BOUNDING_BOX: e.bounding_box = box_of(value); break;
  }
}

bool is_records(PyObject* p) { return !PyUnicode_Check(p) && !PyBytes_Check(p) && !PyDict_Check(p); }

}  // namespace

std::u32string text_arg(nb::handle value, const char* name) { return text_of(value.ptr(), name); }

std::u32string text_item(nb::handle dict, const char* key, const std::string& what) {
  PyObject* value = PyDict_GetItemString(dict.ptr(), key);
  return value ? text_of(value, what) : std::u32string();
}

records::Step step(nb::handle record, bool value, bool ordinal) {
  if (!PyDict_Check(record.ptr())) wrong_type("the step record", "a dict", record);
  auto text_key = [&](const char* key) { return text_item(record, key, std::string("the instruction's '") + key + "'"); };
  records::Step out;
  out.action = text_key("action");
  out.target = text_key("target");
  if (value) out.value = text_key("value");
  PyObject* n = PyDict_GetItemString(record.ptr(), "ordinal");
  if (ordinal && n) {
    if (!PyLong_Check(n)) wrong("the instruction's 'ordinal'", "an integer", n);
    int overflow = 0;
    out.ordinal = PyLong_AsLongLongAndOverflow(n, &overflow);
    if (overflow) out.ordinal = overflow > 0 ? LLONG_MAX : LLONG_MIN;
  }
  if (PyObject* quoted = PyDict_GetItemString(record.ptr(), "_quoted"))
    out.quoted = records::quoted_from_json(to_json(quoted));
  return out;
}

bool is_sequence(nb::handle value) {
  PyObject* p = value.ptr();
  return PySequence_Check(p) && !PyUnicode_Check(p) && !PyBytes_Check(p) && !PyByteArray_Check(p);
}

records::Element element(nb::handle record, std::size_t index, const records::Reading& reading, const char* what) {
  PyObject* dict = record.ptr();
  if (!PyDict_Check(dict)) wrong(what, "a dict", dict);
  records::Element e;
  e.index = index;
  e.origin = dict;
  for (unsigned i = 0; i < 9; ++i) {
    const unsigned key = 1u << i;
    if (!(reading.keys & key)) continue;
    PyObject* value = lookup(dict, keys().names[i]);
    if (!value) continue;
    if (value == Py_None) {
      e.nulls |= key;
      continue;
    }
    e.keys |= key;
    read_key(e, key, value, reading);
  }
  return e;
}

Records elements(nb::handle sequence, const records::Reading& reading, const char* what) {
  Records r;
  if (sequence.is_none()) return r;
  if (!is_records(sequence.ptr())) wrong(what, "a sequence of records", sequence.ptr());
  PyObject* fast = PySequence_Fast(sequence.ptr(), (std::string(what) + " must be a sequence of records").c_str());
  if (!fast) throw nb::python_error();
  // A list may change under us (another thread, while the GIL is released,
  // or Python code run by a conversion): a tuple holds every record it had.
  if (PyList_Check(fast)) {
    PyObject* list = fast;
    fast = PyList_AsTuple(list);
    Py_DECREF(list);
    if (!fast) throw nb::python_error();
  }
  r.items = nb::steal(fast);
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(fast);
  PyObject** items = PySequence_Fast_ITEMS(fast);
  r.elements.reserve(static_cast<std::size_t>(n));
  const std::string each = std::string("each of ") + what;
  for (Py_ssize_t i = 0; i < n; ++i)
    r.elements.push_back(element(items[i], static_cast<std::size_t>(i), reading, each.c_str()));
  return r;
}

nb::object record(const records::Element* element) {
  return element ? nb::borrow(static_cast<PyObject*>(const_cast<void*>(element->origin))) : nb::none();
}

nb::dict state(const records::State& s) {
  nb::dict d;
  if (s.present) d["present"] = *s.present;
  if (s.visible) d["visible"] = *s.visible;
  if (s.enabled) d["enabled"] = *s.enabled;
  if (s.expected) d["expected"] = to_str(*s.expected);
  if (s.actual) d["actual"] = to_str(*s.actual);
  return d;
}

nb::dict result(const records::Resolution& r) {
  nb::dict d;
  d["resolved"] = r.resolved;
  if (r.verified) d["verified"] = *r.verified;
  d["confidence"] = r.confidence;
  d["element"] = record(r.element);
  if (r.state) d["state"] = state(*r.state);
  if (r.extracted) d["extracted"] = to_str(*r.extracted);
  if (r.anchoring) {
    d["anchor_text"] = to_str(r.anchoring->anchor_text);
    d["ordinal"] = r.anchoring->ordinal;
    d["type_relaxed"] = r.anchoring->type_relaxed;
    d["actual_type"] = r.anchoring->actual_type ? nb::object(to_str(*r.anchoring->actual_type)) : nb::none();
  }
  nb::list candidates;
  for (const auto* c : r.candidates) candidates.append(record(c));
  d["candidates"] = candidates;
  return d;
}

void register_record_errors() {
  nb::register_exception_translator([](const std::exception_ptr& p, void*) {
    try {
      std::rethrow_exception(p);
    } catch (const records::type_error& e) {
      PyErr_SetString(PyExc_TypeError, e.what());
    }
  });
}

}  // namespace vantle::py
