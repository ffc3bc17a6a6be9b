// vantle._explain: offline explanation of an instruction against a saved DOM
// snapshot, for the `vantle explain` command and for Python callers.

#include <nanobind/nanobind.h>
#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include "common/convert.h"
#include "vantle/explain/explain.h"

namespace nb = nanobind;
using namespace nb::literals;
using namespace vantle;

namespace {

// A snapshot given as a path is read as the command reads it; a dict is used as is.
nb::dict explain_snapshot(nb::handle snapshot, nb::handle instruction) {
  explain::Json data;
  if (nb::isinstance<nb::dict>(snapshot)) {
    data = py::to_json(snapshot);
  } else {
    nb::object path = nb::module_::import_("os").attr("fspath")(snapshot);
    nb::object file = nb::module_::import_("builtins").attr("open")(path, "rb");
    nb::bytes raw = nb::borrow<nb::bytes>(file.attr("read")());
    file.attr("close")();
    data = explain::parse_snapshot(std::string_view(raw.c_str(), raw.size()));
  }
  return nb::cast<nb::dict>(py::from_json(explain::explain(data, py::u32(instruction))));
}

nb::tuple run(const std::vector<std::string>& args) {
  cli::Outcome outcome = explain::explain_command().run(args);
  return nb::make_tuple(outcome.exit_code, nb::bytes(outcome.out.data(), outcome.out.size()),
                        nb::bytes(outcome.err.data(), outcome.err.size()));
}

}  // namespace

NB_MODULE(_explain, m) {
  m.doc() = "Offline explanation of instructions against saved DOM snapshots (vantle explain).";
  nb::exception<explain::BadInput>(m, "BadSnapshot", PyExc_ValueError);
  cli::Command command = explain::explain_command();
  m.attr("SUMMARY") = command.summary;
  m.attr("HELP") = command.help;
  m.attr("EXAMPLE") = command.example;
  m.def("explain", &explain_snapshot, "snapshot"_a, "instruction"_a,
        "Resolve an instruction against a DOM snapshot (a dict, or the path of a snapshot file) the way the "
        "agent would. Returns the explanation record: parsed, strategy, element, anchor, rule, candidates "
        "(rank, chosen, element, why), set_aside and the resolution result.");
  m.def("render", [](nb::handle explanation) { return py::to_str(explain::render(py::to_json(explanation))); },
        "explanation"_a, "The explanation record as the `vantle explain` command prints it.");
  m.def("run", &run, "args"_a,
        "Run `vantle explain` with the arguments after the command name. Returns (exit_code, stdout, stderr), "
        "the output as UTF-8 bytes.");
}
