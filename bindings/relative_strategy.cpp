// vantle.engine.strategies.relative_strategy: the relative strategy checks
// the kinds of its arguments and resolves nothing; spatial targets are
// resolved by the layout builder and resolver.

#include <nanobind/nanobind.h>

#include "vantle/spatial/errors.h"
#include "vantle/strategies/relative_strategy.h"

namespace nb = nanobind;
using namespace nb::literals;
using vantle::strategies::Kind;

namespace {

Kind kind_of(nb::handle value) {
  PyObject* p = value.ptr();
  if (PyDict_Check(p)) return Kind::record;
  if (PySequence_Check(p) && !PyUnicode_Check(p) && !PyBytes_Check(p) && !PyByteArray_Check(p))
    return Kind::sequence;
  return Kind::other;
}

struct RelativeStrategy {
  vantle::strategies::RelativeStrategy core;
};

}  // namespace

NB_MODULE(relative_strategy, m) {
  m.doc() = "Relative strategy: resolves instructions using spatial relationships between DOM elements.";
  nb::register_exception_translator([](const std::exception_ptr& p, void*) {
    try {
      std::rethrow_exception(p);
    } catch (const vantle::spatial::type_error& e) {
      PyErr_SetString(PyExc_TypeError, e.what());
    }
  });

  nb::class_<RelativeStrategy>(m, "RelativeStrategy",
                               "Resolves instructions using spatial relationships between DOM elements.")
      .def(nb::init<>())
      .def(
          "resolve",
          [](const RelativeStrategy& self, nb::handle parsed_instruction, nb::handle matrix,
             nb::handle dom_candidates) -> nb::object {
            // The core never has an answer; its checks are what this call is for.
            self.core.resolve(kind_of(parsed_instruction), kind_of(matrix), kind_of(dom_candidates));
            return nb::none();
          },
          "parsed_instruction"_a, "matrix"_a, "dom_candidates"_a,
          "Returns None: this strategy resolves nothing (spatial targets go through LayoutBuilder "
          "and LayoutResolver). Raises TypeError naming parsed_instruction or matrix when it is "
          "not a dict, or dom_candidates when it is not a sequence.");
}
