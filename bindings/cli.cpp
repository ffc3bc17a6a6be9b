// The `vantle` console command: hands sys.argv to the core dispatcher and
// writes what it returns to the Python process's standard streams.

#include <nanobind/nanobind.h>

#include <nanobind/stl/string.h>
#include <nanobind/stl/vector.h>

#include "vantle/cli/cli.h"

namespace nb = nanobind;
namespace cli = vantle::cli;

namespace {

// The subcommand table. A command served by another extension module (such
// as `explain` from vantle._explain) is appended here as a cli::Command whose
// run() imports that module and forwards the arguments to it.
cli::Command explain_command() {
  nb::module_ m = nb::module_::import_("vantle._explain");
  auto run = [m](const std::vector<std::string>& args) {
    nb::tuple result = nb::borrow<nb::tuple>(m.attr("run")(nb::cast(args)));
    nb::bytes out = nb::borrow<nb::bytes>(result[1]), err = nb::borrow<nb::bytes>(result[2]);
    return cli::Outcome{nb::cast<int>(result[0]), std::string(out.c_str(), out.size()),
                        std::string(err.c_str(), err.size())};
  };
  return {"explain", nb::cast<std::string>(m.attr("SUMMARY")), nb::cast<std::string>(m.attr("HELP")), run,
          nb::cast<std::string>(m.attr("EXAMPLE"))};
}

std::vector<cli::Command> commands() {
  std::vector<cli::Command> table = cli::core_commands();
  table.push_back(explain_command());
  return table;
}

// File names arrive as os.fsencode() bytes so that undecodable names still
// open and print back as given.
std::vector<std::string> arguments() {
  nb::object fsencode = nb::module_::import_("os").attr("fsencode");
  nb::list argv = nb::borrow<nb::list>(nb::module_::import_("sys").attr("argv"));
  std::vector<std::string> args;
  for (size_t i = 1; i < argv.size(); ++i) {
    nb::bytes raw = nb::borrow<nb::bytes>(fsencode(argv[i]));
    args.emplace_back(raw.c_str(), raw.size());
  }
  return args;
}

// Writes bytes through the stream's binary buffer when it has one (a real
// console or pipe), else as text with undecodable bytes replaced.
void write(const char* stream_name, const std::string& data) {
  if (data.empty()) return;
  nb::object stream = nb::module_::import_("sys").attr(stream_name);
  stream.attr("flush")();
  nb::bytes raw(data.data(), data.size());
  if (nb::hasattr(stream, "buffer")) {
    nb::object buffer = stream.attr("buffer");
    buffer.attr("write")(raw);
    buffer.attr("flush")();
  } else {
    stream.attr("write")(raw.attr("decode")("utf-8", "replace"));
    stream.attr("flush")();
  }
}

int main_entry() {
  cli::Outcome outcome = cli::run(arguments(), commands());
  write("stdout", outcome.out);
  write("stderr", outcome.err);
  return outcome.exit_code;
}

}  // namespace

NB_MODULE(_cli, m) {
  m.doc() = "The vantle command line (vantle validate FILE..., vantle explain SNAPSHOT INSTRUCTION).";
  m.attr("__version__") = cli::version();
  m.def("main", &main_entry,
        "Run the vantle command with sys.argv, print its output and return the exit status.");
}
