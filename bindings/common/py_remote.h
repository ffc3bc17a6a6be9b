#pragma once
// The browser driver interface of the core, implemented over Python objects
// (Playwright's sync API in production; any duck-typed object in tests).

#include <nanobind/nanobind.h>

#include "vantle/browser/remote.h"

namespace vantle::py {

namespace nb = nanobind;

class PyRemote final : public browser::Remote {
 public:
  explicit PyRemote(nb::object obj) : obj_(std::move(obj)) {}
  browser::RemotePtr attr(std::string_view name) override;
  browser::RemotePtr call(std::string_view method, const browser::Args& args,
                          const browser::Kwargs& kwargs) override;
  browser::Json value() override;
  bool is_null() override { return obj_.is_none(); }
  bool truthy() override;
  std::vector<browser::RemotePtr> items() override;
  bool same(const browser::Remote& other) const override {
    auto* py = dynamic_cast<const PyRemote*>(&other);
    return py && py->obj_.ptr() == obj_.ptr();
  }
  const nb::object& object() const { return obj_; }

 private:
  nb::object obj_;
};

/// A Python error that is not an Exception (KeyboardInterrupt, SystemExit, a
/// test runner's time-out): carried through the core as an Interrupt.
struct PyInterrupt final : browser::Interrupt {
  std::shared_ptr<nb::python_error> error;
};

/// Throws the Python error in flight: as a PyInterrupt when it must end the
/// run, otherwise as nanobind's python_error.
[[noreturn]] void throw_python_error();

/// Runs `f`, which calls Python; a Python error that must end the run leaves
/// it as a PyInterrupt, so no handler for ordinary errors can swallow it.
template <typename F>
auto keeping_interrupts(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (nb::python_error& e) {
    if (e.matches(PyExc_Exception)) throw;
    PyInterrupt interrupt;
    interrupt.error = std::make_shared<nb::python_error>(std::move(e));
    throw interrupt;
  }
}

/// Makes a PyInterrupt that leaves the module raise its original Python error.
/// Every module that lets the core call Python objects registers it.
void register_interrupts();

/// Wraps a Python object for the core.
browser::RemotePtr wrap(nb::handle obj);
/// The Python object behind a remote created by wrap() (None for null).
nb::object unwrap(const browser::RemotePtr& remote);

}  // namespace vantle::py
