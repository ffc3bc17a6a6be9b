// vantle.engine.strategies.relative_strategy: the relative strategy checks
// the kinds of its arguments and resolves nothing; spatial targets are
// resolved by the layout builder and resolver. The checks are about Python
// values, so they live here and the core has no part in this module.

#include <nanobind/nanobind.h>

#include "common/records.h"

namespace nb = nanobind;
using namespace nb::literals;

namespace {

bool is_record(nb::handle value) { return PyDict_Check(value.ptr()); }

using vantle::py::is_sequence;

void expect(bool holds, const char* name, const char* what) {
  if (!holds) throw nb::type_error((std::string(name) + " must be " + what).c_str());
}

struct RelativeStrategy {};

}  // namespace

NB_MODULE(relative_strategy, m) {
  m.doc() = "Relative strategy: resolves instructions using spatial relationships between DOM elements.";

  nb::class_<RelativeStrategy>(m, "RelativeStrategy",
                               "Resolves instructions using spatial relationships between DOM elements.")
      .def(nb::init<>())
      .def(
          "resolve",
          [](const RelativeStrategy&, nb::handle parsed_instruction, nb::handle matrix,
             nb::handle dom_candidates) -> nb::object {
            // Nothing is ever resolved here; the checks are what this call is for.
            expect(is_record(parsed_instruction), "parsed_instruction", "a dict");
            expect(is_record(matrix), "matrix", "a dict");
            expect(is_sequence(dom_candidates), "dom_candidates", "a sequence");
            return nb::none();
          },
          "parsed_instruction"_a, "matrix"_a, "dom_candidates"_a,
          "Returns None: this strategy resolves nothing (spatial targets go through LayoutBuilder "
          "and LayoutResolver). Raises TypeError naming parsed_instruction or matrix when it is "
          "not a dict, or dom_candidates when it is not a sequence.");
}
