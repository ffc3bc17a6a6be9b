#include "common/scan_hooks.h"

#include <nanobind/nanobind.h>

#include <stdexcept>

#include "common/convert.h"

namespace vantle::py {

namespace nb = nanobind;

browser::ScanSettings engine_settings() {
  nb::module_ settings = nb::module_::import_("vantle.settings");
  browser::ScanSettings s;
  int flag = PyObject_IsTrue(settings.attr("SAVE_SNAPSHOTS").ptr());
  if (flag < 0) throw nb::python_error();
  s.save_snapshots = flag == 1;
  nb::object path = nb::module_::import_("os").attr("fsdecode")(settings.attr("LOG_PATH"));
  s.log_path = utf8(path);
  std::string mode = utf8(nb::str(settings.attr("SCAN_MODE")));
  if (mode == "batched") s.mode = browser::ScanMode::batched;
  else if (mode == "per-element") s.mode = browser::ScanMode::per_element;
  else throw std::invalid_argument("vantle.settings.SCAN_MODE must be 'batched' or 'per-element', not '" + mode + "'");
  return s;
}

browser::ScanHooks scan_hooks() {
  browser::ScanHooks hooks;
  hooks.settings = engine_settings;
  hooks.print = [](const std::string& line) { nb::print(to_str(line)); };
  return hooks;
}

}  // namespace vantle::py
