// Selectors of the page scanner, and its in-page scripts (kept in js/).

#include "page_scripts.h"
#include "vantle/browser/page_scanner.h"

namespace vantle::browser {

namespace {

std::string join(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) {
    if (!out.empty()) out += ", ";
    out += p;
  }
  return out;
}

std::string interactable_selector() {
  std::vector<std::string> parts = NATIVE_TAGS;
  for (const auto& role : ARIA_ROLES) parts.push_back("[role=\"" + role + "\"]");
  // a <summary> toggles its <details>: it is clicked like a button
  for (const char* extra : {"summary", "img[alt]", "img[data-testid]", "[data-testid]"}) parts.push_back(extra);
  return join(parts);
}

}  // namespace

const std::vector<std::string> NATIVE_TAGS = {"button", "input", "a", "select", "textarea"};
const std::vector<std::string> ARIA_ROLES = {
    "button", "link",   "textbox",   "checkbox", "menuitem", "menuitemcheckbox", "menuitemradio",
    "option", "combobox", "searchbox", "spinbutton", "switch", "tab"};
const std::string INTERACTABLE_SELECTOR = interactable_selector();
const std::vector<std::string> CAPTURED_ATTRIBUTES = {
    "id",    "name", "type", "placeholder", "aria-label", "aria-labelledby", "title",
    "role",  "href", "value", "class",      "data-testid", "alt"};
// A wrapper holding a real field is not a field of its own: typing into it
// pressed the middle of the wrapper (its help text) and the words went nowhere.
const std::string CUSTOM_INPUT_SELECTOR = [] {
  const std::string holds_field =
      ":not(:has(input:not([type=hidden]), textarea, select, [contenteditable]:not([contenteditable=false])))";
  std::string out;
  for (const char* base : {"span[class*='editable']", "div[class*='editable']", "span[class*='input']", "div[class*='input']"})
    out += (out.empty() ? "" : ", ") + std::string(base) + holds_field;
  return out;
}();
const std::vector<std::string> TEXT_TAGS = {"h1", "h2", "h3", "h4", "h5", "h6", "p",  "span",
                                            "label", "li", "td", "th", "a", "button", "div", "summary"};
const std::string TEXT_SELECTOR = join(TEXT_TAGS);
const std::vector<std::string> TEXT_ATTRIBUTES = {"id", "class", "href", "aria-label"};
const std::string LABEL_CANDIDATE_SELECTOR = "h1, h2, h3, h4, h5, h6, label, div, span, p";

const std::string TAG_JS = js::tag_name;
const std::string DATA_ATTRS_JS = js::data_attributes;
const std::string XPATH_JS = js::element_path;
// What an element's own words leave to others: the text elements inside it,
// fields and scripts.
const std::string NOT_OWN_WORDS = TEXT_SELECTOR + ", select, textarea, script, style, noscript, template";
const std::string DIRECT_TEXT_JS =
    std::string("el => (") + js::own_words + ")(el, " + Json(NOT_OWN_WORDS).dump() + ").length > 0";
const std::string SHOWN_TEXT_JS = js::shown_text;
const std::string ICON_NAME_JS = js::icon_name;
const std::string CHECKED_STATE_JS = js::checked_state;
const std::string TEXT_BOX_JS = std::string("el => (") + js::text_box + ")(el, null, (" + js::own_words + ")(el, " +
                                Json(NOT_OWN_WORDS).dump() + "))";
const std::string SIBLING_LABEL_JS = js::sibling_label;
const std::string PARENT_LABEL_JS = js::parent_label;
const std::string CELL_LABEL_JS = js::cell_label;
// Each label source is sent with the one label-text function bound to it.
const std::string LABELLEDBY_JS =
    std::string("el => (") + js::labelledby_text + ")(el, (" + js::label_text + "))";
const std::string NATIVE_LABEL_JS =
    std::string("el => (") + js::native_label_text + ")(el, (" + js::label_text + "))";
// The pointer scan is sent on its own as a function of no arguments.
const std::string POINTER_SCAN_JS =
    std::string("() => (") + js::pointer_scan + ")((" + js::element_path + "), (" + js::icon_name + "))";

}  // namespace vantle::browser
