#include "common/convert.h"

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

nb::object from_json(const Json& v) {
  switch (v.type()) {
    case Json::value_t::null: return nb::none();
    case Json::value_t::boolean: return nb::bool_(v.get<bool>());
    case Json::value_t::number_integer: return nb::int_(v.get<long long>());
    case Json::value_t::number_unsigned: return nb::int_(v.get<unsigned long long>());
    case Json::value_t::number_float: return nb::float_(v.get<double>());
    case Json::value_t::string: return to_str(v.get_ref<const std::string&>());
    case Json::value_t::array: {
      nb::list out;
      for (const auto& item : v) out.append(from_json(item));
      return out;
    }
    case Json::value_t::object: {
      nb::dict out;
      for (const auto& [k, item] : v.items()) out[to_str(k)] = from_json(item);
      return out;
    }
    default: return nb::none();
  }
}

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
