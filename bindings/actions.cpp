// Python module vantle.engine.browser.actions: the browser actions of the core
// over Playwright's synchronous page.

#include <nanobind/nanobind.h>

#include "common/action_error.h"
#include "common/convert.h"
#include "common/py_remote.h"
#include "vantle/browser/actions.h"

namespace nb = nanobind;
using namespace nb::literals;
using vantle::browser::Json;

namespace {

namespace browser = vantle::browser;
namespace py = vantle::py;

// Keeps the very page and manager objects it was given, for Python readers.
struct PyActions {
  PyActions(nb::object page_obj, nb::object manager_obj)
      : page(std::move(page_obj)),
        manager(std::move(manager_obj)),
        core(py::wrap(page), manager.is_none() ? nullptr : py::wrap(manager)) {}
  nb::object page;
  nb::object manager;
  browser::Actions core;
};

Json record(nb::handle element) { return py::to_json(element); }

nb::dict keymap() {
  nb::dict out;
  for (const auto& [name, key] : browser::KEYMAP) out[name.c_str()] = key.c_str();
  return out;
}

nb::list option_selectors() {
  nb::list out;
  for (const auto& s : browser::OPTION_SELECTORS) out.append(py::to_str(s.with("{value}")));
  return out;
}

void add_constants(nb::module_& m) {
  m.attr("_KEYMAP") = keymap();
  m.attr("_SCROLL_JS") = browser::SCROLL_JS;
  m.attr("_POINT_JS") = browser::POINT_JS;
  m.attr("_SELECTED_LABEL_JS") = browser::SELECTED_LABEL_JS;
  m.attr("_SELECT_TEXT_JS") = browser::SELECT_TEXT_JS;
  m.attr("_OPTION_SELECTORS") = option_selectors();
  m.attr("_HANDLE_TIMEOUT_MS") = browser::HANDLE_TIMEOUT_MS;
  m.attr("_OPEN_PAUSE_MS") = browser::OPEN_PAUSE_MS;
  m.attr("_OPTION_TIMEOUT_MS") = browser::OPTION_TIMEOUT_MS;
}

void add_addressing(nb::class_<PyActions>& cls) {
  cls.def(
         "_build_locator",
         [](const PyActions& self, nb::handle element) { return py::unwrap(self.core.build_locator(record(element))); },
         "element"_a, "Build a Playwright locator from the element's stable attributes.")
      .def(
          "_element_handle",
          [](const PyActions& self, nb::handle element) {
            return py::unwrap(self.core.element_handle(record(element)));
          },
          "element"_a, "Return a live ElementHandle via locator, falling back to elementFromPoint.")
      .def(
          "_centre",
          [](const PyActions& self, nb::handle element) {
            const browser::Point at = self.core.centre(record(element));
            return nb::make_tuple(at.x, at.y);
          },
          "element"_a, "Return the (x, y) centre coordinates of an element's bounding box.");
}

void add_pointer_and_keys(nb::class_<PyActions>& cls) {
  cls.def(
         "click",
         [](const PyActions& self, nb::handle element, nb::handle, nb::handle) {
           return py::to_str(self.core.click(record(element)));
         },
         "element"_a, "anchor_text"_a = nb::none(), "ordinal"_a = 1,
         "Click an element using its stored xpath, falling back to attribute-based locator.")
      .def(
          "type_text",
          [](const PyActions& self, nb::handle element, nb::str text) {
            self.core.type_text(record(element), py::utf8(text));
          },
          "element"_a, "text"_a, "Scroll element into view, focus it, clear existing value, then type.")
      .def(
          "hover", [](const PyActions& self, nb::handle element) { self.core.hover(record(element)); }, "element"_a,
          "Move the mouse pointer over the centre of the given element.")
      .def(
          "press_key", [](const PyActions& self, nb::str key) { self.core.press_key(py::utf8(key)); }, "key"_a,
          "Press a keyboard key by name (Enter, Escape, Tab, Space, ArrowDown, etc.).")
      .def(
          "send_keys", [](const PyActions& self, nb::str text) { self.core.send_keys(py::utf8(text)); }, "text"_a,
          "Type text into whatever element currently has focus.");
}

void add_selection(nb::class_<PyActions>& cls) {
  cls.def(
         "select_option",
         [](const PyActions& self, nb::handle element, nb::str value) {
           return py::to_str(self.core.select_option(record(element), py::utf8(value)));
         },
         "element"_a, "value"_a, "Select an option from a dropdown by matching visible label text.")
      .def(
          "_select_native",
          [](const PyActions& self, nb::handle element, nb::str value) {
            return py::to_str(self.core.select_native(record(element), py::utf8(value)));
          },
          "element"_a, "value"_a, "Select an option in a native <select> element by visible label.")
      .def(
          "_select_custom",
          [](const PyActions& self, nb::handle element, nb::str value) {
            return py::to_str(self.core.select_custom(record(element), py::utf8(value)));
          },
          "element"_a, "value"_a, "Select an option in a custom ARIA dropdown: click to open, click the option.");
}

void add_dialogs_and_text(nb::class_<PyActions>& cls) {
  cls.def(
         "accept_dialog", [](const PyActions& self) { return py::to_str(self.core.accept_dialog()); },
         "Accept the pending native browser dialog (OK). Returns the dialog message.")
      .def(
          "dismiss_dialog", [](const PyActions& self) { return py::to_str(self.core.dismiss_dialog()); },
          "Dismiss the pending native browser dialog (Cancel). Returns the dialog message.")
      .def(
          "get_dialog_message", [](const PyActions& self) { return py::to_str(self.core.get_dialog_message()); },
          "Return the pending dialog message without handling it.")
      .def(
          "extract_text",
          [](const PyActions& self, nb::handle element) { return py::to_str(self.core.extract_text(record(element))); },
          "element"_a, "Return the content of an element.")
      .def(
          "find_text", [](const PyActions& self, nb::str text) { return self.core.find_text(py::utf8(text)); },
          "text"_a, "Return True if the given text is present anywhere in the current page body.");
}

}  // namespace

NB_MODULE(actions, m) {
  vantle::py::register_interrupts();
  m.doc() = "Executes browser interactions on resolved page elements via Playwright.";
  py::register_action_errors();
  add_constants(m);
  nb::class_<PyActions> cls(m, "Actions", "Wraps Playwright interactions for clicking, typing, hovering, and text extraction.");
  cls.def(nb::init<nb::object, nb::object>(), "page"_a, "browser_manager"_a = nb::none(),
          "Store a reference to the active Playwright page and optional browser manager.")
      .def_prop_ro("page", [](const PyActions& self) { return self.page; }, "The live Playwright page.")
      .def_prop_ro(
          "_browser_manager", [](const PyActions& self) { return self.manager; },
          "The component holding the pending native dialog, or None.");
  add_addressing(cls);
  add_pointer_and_keys(cls);
  add_selection(cls);
  add_dialogs_and_text(cls);
}
