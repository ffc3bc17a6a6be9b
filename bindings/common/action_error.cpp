#include "common/action_error.h"

#include "common/convert.h"

namespace vantle::py {

namespace {

// The Python exception object behind a caught C++ error (new reference), or
// a RuntimeError carrying a plain C++ error's text.
nb::object python_exception(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const nb::python_error& e) {
    return nb::borrow(e.value());
  } catch (...) {
    return nb::steal(PyObject_CallOneArg(PyExc_RuntimeError, to_str(browser::message_of(error)).ptr()));
  }
}

}  // namespace

void raise_action_error(const browser::ActionError& error) {
  // A Python error reads as str(exc), as the user would print it, not the
  // traceback text that python_error::what() holds.
  nb::str message = to_str(error.head());
  if (error.reason()) message = nb::str("{}{}").format(message, nb::str(python_exception(error.reason())));
  nb::object exc = nb::steal(PyObject_CallOneArg(PyExc_RuntimeError, message.ptr()));
  if (!exc.is_valid()) return;  // the call has set a Python error already
  if (error.cause()) PyException_SetCause(exc.ptr(), python_exception(error.cause()).release().ptr());
  PyErr_SetObject(PyExc_RuntimeError, exc.ptr());
}

void register_action_errors() {
  nb::register_exception_translator([](const std::exception_ptr& p, void*) {
    try {
      std::rethrow_exception(p);
    } catch (const browser::ActionError& e) {
      raise_action_error(e);
    }
  });
}

}  // namespace vantle::py
