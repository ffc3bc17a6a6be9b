#pragma once
// Raising the core's ActionError in Python as RuntimeError, chained to the
// browser error that caused it (`raise RuntimeError(...) from cause`).

#include <nanobind/nanobind.h>

#include "vantle/browser/actions.h"

namespace vantle::py {

namespace nb = nanobind;

/// The Python exception object for a caught C++ error: a Python error's own
/// object, an ActionError as the chained RuntimeError it raises, anything
/// else as a RuntimeError with its text.
nb::object exception_object(const std::exception_ptr& error);

/// str() of that exception, as a user would print it.
std::string error_text(const std::exception_ptr& error);

/// Sets the Python error for `error`: a RuntimeError whose message uses the
/// Python text of the underlying browser error, with __cause__ set.
void raise_action_error(const browser::ActionError& error);
/// Registers a translator that does the above for every ActionError that
/// leaves a binding. Call once in each module that runs browser actions.
void register_action_errors();

}  // namespace vantle::py
