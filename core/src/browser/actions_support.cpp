// Tables, in-page scripts, CSS identifier escaping and the error type of the browser actions.

#include <cstdio>

#include "page_scripts.h"
#include "vantle/browser/actions.h"
#include "vantle/text/text.h"

namespace vantle::browser {

const char* const SCROLL_JS = js::scroll_into_view;
const char* const FOCUS_FOR_TYPING_JS = js::focus_for_typing;
const char* const POINT_JS = js::element_at_point;
const char* const SELECTED_LABEL_JS = js::selected_label;
const char* const OPTION_LABELS_JS = "el => Array.from(el.options || [], option => option.label)";
const char* const SELECT_TEXT_JS = js::select_text;
const std::string FRAME_SPOT_JS = std::string("el => (") + js::frame_spot + ")(el, " + js::scroll_into_view + ")";

namespace {

// The element at a path, scrolled as SCROLL_JS does and then asked `question`.
std::string scrolled_at_path(const char* question) {
  return std::string("(path) => (") + js::at_path + ")(path, " + js::scroll_into_view + ", " + question + ")";
}

}  // namespace

// A driver's inner_text() reads the element's innerText.
const std::string SCROLLED_TEXT_JS = scrolled_at_path("el => el.innerText");
const std::string SCROLLED_FOCUS_JS = scrolled_at_path(js::focus_for_typing);
const std::string PRESS_REACH_JS = std::string("([path, x, y]) => (") + js::at_path + ")(path, el => (" +
                                   js::press_reach + ")(el, x, y, 'press'))";
const std::string HOVER_SPOT_JS = scrolled_at_path(
    (std::string("el => { const r = el.getBoundingClientRect(); const x = r.left + r.width / 2, y = r.top + r.height / 2;"
                 " return [x, y, (") + js::press_reach + ")(el, x, y, 'hover')]; }").c_str());

const std::vector<std::pair<std::string, std::string>> KEYMAP = {
    {"enter", "Enter"},         {"return", "Enter"},       {"escape", "Escape"},
    {"esc", "Escape"},          {"tab", "Tab"},            {"space", "Space"},
    {"backspace", "Backspace"}, {"delete", "Delete"},      {"up", "ArrowUp"},
    {"down", "ArrowDown"},      {"left", "ArrowLeft"},     {"right", "ArrowRight"},
    {"home", "Home"},           {"end", "End"},            {"pageup", "PageUp"},
    {"pagedown", "PageDown"},
};

const std::vector<OptionSelector> OPTION_SELECTORS = {
    {"[role=\"option\"]:has-text(\"", "\")"},
    {"div[class*=\"option\"]:has-text(\"", "\")"},
    {"li[class*=\"option\"]:has-text(\"", "\")"},
    {"li:has-text(\"", "\")"},
    {"[data-value=\"", "\"]"},
};

std::string playwright_key(std::string_view key) {
  const std::string name = text::lower(key);
  for (const auto& [from, to] : KEYMAP)
    if (from == name) return to;
  return std::string(key);
}

namespace {

bool is_ascii_digit(char32_t c) { return c >= U'0' && c <= U'9'; }

bool is_ascii_alnum(char32_t c) {
  return is_ascii_digit(c) || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

// "\" + lower-case hex + " ": the escape CSS.escape writes for code points
// that may not appear literally (control characters, a leading digit).
void escape_code_point(std::u32string& out, char32_t c) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "\\%x ", static_cast<unsigned>(c));
  for (const char* p = hex; *p; ++p) out.push_back(static_cast<char32_t>(*p));
}

}  // namespace

// The CSSOM "serialize an identifier" algorithm, code point by code point.
std::string css_escape(std::string_view utf8) {
  const std::u32string id = text::decode(utf8);
  std::u32string out;
  for (size_t i = 0; i < id.size(); ++i) {
    const char32_t c = id[i];
    if (c == 0) {
      out.push_back(0xFFFD);
    } else if ((c >= 0x1 && c <= 0x1F) || c == 0x7F || (i == 0 && is_ascii_digit(c)) ||
               (i == 1 && is_ascii_digit(c) && id[0] == U'-')) {
      escape_code_point(out, c);
    } else if (i == 0 && c == U'-' && id.size() == 1) {
      out += U"\\-";
    } else if (c >= 0x80 || c == U'-' || c == U'_' || is_ascii_alnum(c)) {
      out.push_back(c);
    } else {
      out.push_back(U'\\');
      out.push_back(c);
    }
  }
  return text::encode(out);
}

std::string message_of(const std::exception_ptr& error) {
  if (!error) return "";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error";
  }
}

ActionError::ActionError(const std::string& message) : std::runtime_error(message), head_(message) {}

ActionError::ActionError(const std::string& head, std::exception_ptr reason, std::exception_ptr cause)
    : std::runtime_error(head + message_of(reason)),
      head_(head),
      reason_(std::move(reason)),
      cause_(std::move(cause)) {}

}  // namespace vantle::browser
