#include "common/py_remote.h"

#include "common/convert.h"

namespace vantle::py {

namespace {

nb::object to_python(const browser::Arg& arg) {
  if (const auto* remote = std::get_if<browser::RemotePtr>(&arg)) return unwrap(*remote);
  if (const auto* remotes = std::get_if<std::vector<browser::RemotePtr>>(&arg)) {
    nb::list items;
    for (const auto& r : *remotes) items.append(unwrap(r));
    return std::move(items);
  }
  return from_json(std::get<browser::Json>(arg));
}

}  // namespace

void throw_python_error() {
  auto error = std::make_shared<nb::python_error>();
  if (error->matches(PyExc_Exception)) throw nb::python_error(std::move(*error));
  PyInterrupt interrupt;
  interrupt.error = std::move(error);
  throw interrupt;
}

void register_interrupts() {
  nb::register_exception_translator([](const std::exception_ptr& p, void*) {
    try {
      std::rethrow_exception(p);
    } catch (const PyInterrupt& e) {
      e.error->restore();
    }
  });
}

browser::RemotePtr wrap(nb::handle obj) {
  return std::make_shared<PyRemote>(nb::borrow(obj));
}

nb::object unwrap(const browser::RemotePtr& remote) {
  if (!remote) return nb::none();
  auto* py = dynamic_cast<PyRemote*>(remote.get());
  if (!py) throw std::invalid_argument("remote object does not come from Python");
  return py->object();
}

browser::RemotePtr PyRemote::attr(std::string_view name) {
  return keeping_interrupts([&] { return wrap(nb::getattr(obj_, nb::str(name.data(), name.size()))); });
}

browser::RemotePtr PyRemote::call(std::string_view method, const browser::Args& args,
                                  const browser::Kwargs& kwargs) {
  nb::object fn = keeping_interrupts([&] { return nb::getattr(obj_, nb::str(method.data(), method.size())); });
  nb::list pos;
  for (const auto& a : args) pos.append(to_python(a));
  nb::dict kw;
  for (const auto& [k, a] : kwargs) kw[nb::str(k.c_str())] = to_python(a);
  PyObject* result = PyObject_Call(fn.ptr(), nb::tuple(pos).ptr(), kw.ptr());
  if (!result) throw_python_error();
  return std::make_shared<PyRemote>(nb::steal(result));
}

browser::Json PyRemote::value() {
  return keeping_interrupts([&] { return to_json(obj_); });
}

bool PyRemote::truthy() {
  int result = PyObject_IsTrue(obj_.ptr());
  if (result < 0) throw_python_error();
  return result != 0;
}

std::vector<browser::RemotePtr> PyRemote::items() {
  return keeping_interrupts([&] {
    std::vector<browser::RemotePtr> out;
    for (nb::handle item : obj_) out.push_back(wrap(item));
    return out;
  });
}

}  // namespace vantle::py
