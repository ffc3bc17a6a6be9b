#include "common/action_error.h"

#include "common/convert.h"

namespace vantle::py {

namespace {

nb::object runtime_error(const std::string& text) {
  nb::object exc = nb::steal(PyObject_CallOneArg(PyExc_RuntimeError, to_str(text).ptr()));
  if (!exc.is_valid()) throw nb::python_error();
  return exc;
}

// The Python exception object behind a caught C++ error, or a RuntimeError
// carrying a plain C++ error's text.
nb::object python_exception(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const nb::python_error& e) {
    return nb::borrow(e.value());
  } catch (...) {
    return runtime_error(browser::message_of(error));
  }
}

}  // namespace

namespace {

// A Python error reads as str(exc), as the user would print it, not the
// traceback text that python_error::what() holds.
nb::object action_exception(const browser::ActionError& error) {
  nb::str message = to_str(error.head());
  if (error.reason()) message = nb::str("{}{}").format(message, nb::str(python_exception(error.reason())));
  nb::object exc = runtime_error(utf8(message));
  if (error.cause()) PyException_SetCause(exc.ptr(), python_exception(error.cause()).release().ptr());
  return exc;
}

}  // namespace

nb::object exception_object(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const browser::ActionError& e) {
    return action_exception(e);
  } catch (...) {
    return python_exception(error);
  }
}

std::string error_text(const std::exception_ptr& error) {
  nb::object exc = exception_object(error);
  std::string text = utf8(nb::str(exc));
  return text.empty() ? utf8(exc.type().attr("__name__")) : text;
}

void raise_action_error(const browser::ActionError& error) {
  try {
    nb::object exc = action_exception(error);
    PyErr_SetObject(PyExc_RuntimeError, exc.ptr());
  } catch (nb::python_error& e) {
    e.restore();  // building the exception failed: raise that instead
  }
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
