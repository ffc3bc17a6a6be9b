#include "common/convert.h"

#include <unordered_map>

#include "vantle/text/text.h"

namespace vantle::py {

std::string utf8(nb::handle str) {
  PyObject* bytes = PyUnicode_AsEncodedString(str.ptr(), "utf-8", "surrogatepass");
  if (!bytes) throw nb::python_error();
  nb::object owner = nb::steal(bytes);
  return std::string(PyBytes_AS_STRING(bytes), static_cast<size_t>(PyBytes_GET_SIZE(bytes)));
}

// Reads the code points straight from the str object: no UTF-8 round trip,
// and lone surrogates come through unchanged.
std::u32string u32(nb::handle str) {
  PyObject* obj = str.ptr();
  if (!PyUnicode_Check(obj)) return text::decode(utf8(str));
  const void* data = PyUnicode_DATA(obj);
  const auto n = static_cast<std::size_t>(PyUnicode_GET_LENGTH(obj));
  auto copy = [n](const auto* p) { return std::u32string(p, p + n); };
  switch (PyUnicode_KIND(obj)) {
    case PyUnicode_1BYTE_KIND: return copy(static_cast<const Py_UCS1*>(data));
    case PyUnicode_2BYTE_KIND: return copy(static_cast<const Py_UCS2*>(data));
    default: return copy(static_cast<const Py_UCS4*>(data));
  }
}

nb::str to_str(std::string_view s) {
  PyObject* obj = PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "surrogatepass");
  if (!obj) throw nb::python_error();
  return nb::steal<nb::str>(obj);
}

nb::str to_str(std::u32string_view t) { return to_str(text::encode(t)); }

Json to_json(nb::handle obj) {
  if (obj.is_none()) return nullptr;
  if (PyBool_Check(obj.ptr())) return obj.ptr() == Py_True;
  if (PyLong_Check(obj.ptr())) {
    long long v = PyLong_AsLongLong(obj.ptr());
    if (v == -1 && PyErr_Occurred()) {
      PyErr_Clear();
      return PyLong_AsDouble(obj.ptr());
    }
    return v;
  }
  if (PyFloat_Check(obj.ptr())) return PyFloat_AS_DOUBLE(obj.ptr());
  if (PyUnicode_Check(obj.ptr())) return utf8(obj);
  if (PyDict_Check(obj.ptr())) {
    Json out = Json::object();
    for (auto [k, v] : nb::borrow<nb::dict>(obj))
      out[PyUnicode_Check(k.ptr()) ? utf8(k) : utf8(nb::str(k))] = to_json(v);
    return out;
  }
  if (PyList_Check(obj.ptr()) || PyTuple_Check(obj.ptr())) {
    Json out = Json::array();
    for (nb::handle item : obj) out.push_back(to_json(item));
    return out;
  }
  return utf8(nb::str(obj));
}

namespace {

// Keys repeat on every record (tag, text, x, y, ...): each is made once and
// shared, which also spares hashing it again on every insertion. Only short
// keys are kept, and only so many, so arbitrary data cannot grow the cache.
PyObject* key_of(const std::string& k) {
  static std::unordered_map<std::string, PyObject*> made;
  if (auto it = made.find(k); it != made.end()) return Py_NewRef(it->second);
  PyObject* key = to_str(k).release().ptr();
  if (k.size() <= 32 && made.size() < 1024) made.emplace(k, Py_NewRef(key));
  return key;
}

// A new reference; throws with the Python error set when one cannot be made.
PyObject* python_of(const Json& v) {
  PyObject* out = nullptr;
  switch (v.type()) {
    case Json::value_t::null: return Py_NewRef(Py_None);
    case Json::value_t::boolean: return Py_NewRef(v.get<bool>() ? Py_True : Py_False);
    case Json::value_t::number_integer: out = PyLong_FromLongLong(v.get<long long>()); break;
    case Json::value_t::number_unsigned: out = PyLong_FromUnsignedLongLong(v.get<unsigned long long>()); break;
    case Json::value_t::number_float: out = PyFloat_FromDouble(v.get<double>()); break;
    case Json::value_t::string: return to_str(v.get_ref<const std::string&>()).release().ptr();
    case Json::value_t::array: {
      nb::object list = nb::steal(PyList_New(static_cast<Py_ssize_t>(v.size())));
      if (!list) break;
      Py_ssize_t i = 0;
      for (const auto& item : v) PyList_SET_ITEM(list.ptr(), i++, python_of(item));
      return list.release().ptr();
    }
    case Json::value_t::object: {
      nb::object dict = nb::steal(PyDict_New());
      if (!dict) break;
      for (const auto& [k, item] : v.items()) {
        nb::object key = nb::steal(key_of(k));
        nb::object value = nb::steal(python_of(item));
        if (PyDict_SetItem(dict.ptr(), key.ptr(), value.ptr()) < 0) throw nb::python_error();
      }
      return dict.release().ptr();
    }
    default: return Py_NewRef(Py_None);
  }
  if (!out) throw nb::python_error();
  return out;
}

}  // namespace

nb::object from_json(const Json& v) { return nb::steal(python_of(v)); }

std::string read_file(nb::handle path) {
  nb::object file = nb::module_::import_("builtins").attr("open")(path, "rb");
  nb::object data;
  try {
    data = file.attr("read")();
  } catch (...) {
    file.attr("close")();
    throw;
  }
  file.attr("close")();
  return std::string(PyBytes_AS_STRING(data.ptr()), static_cast<size_t>(PyBytes_GET_SIZE(data.ptr())));
}

}  // namespace vantle::py
