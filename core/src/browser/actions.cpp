// Addressing a scanned element again in the live page, and the pointer and
// keyboard actions built on that.

#include "vantle/browser/actions.h"
#include "vantle/browser/frames.h"
#include "vantle/browser/page_scanner.h"
#include "vantle/text/text.h"

namespace vantle::browser {

namespace {

void require_record(const Json& value, const char* what) {
  if (!value.is_object()) throw std::invalid_argument(std::string(what) + " must be a record");
}

// A record-valued key; missing, null or empty reads as the empty record.
const Json& record_field(const Json& record, const char* key) {
  static const Json empty = Json::object();
  auto it = record.find(key);
  if (it == record.end() || it->is_null()) return empty;
  require_record(*it, key);
  return *it;
}

// A text-valued key; missing or null reads as the empty text.
std::string text_field(const Json& record, const char* key) {
  auto it = record.find(key);
  if (it == record.end() || it->is_null()) return "";
  if (!it->is_string()) throw std::invalid_argument(std::string(key) + " must be text");
  return it->get<std::string>();
}

double number_field(const Json& record, const char* key) {
  auto it = record.find(key);
  if (it == record.end() || it->is_null()) return 0.0;
  if (!it->is_number()) throw std::invalid_argument(std::string("bounding_box.") + key + " must be a number");
  return it->get<double>();
}

// Browser text results: null reads as empty, surrounding white space goes.
std::string trimmed(const Json& value) {
  return value.is_string() ? text::strip(value.get_ref<const std::string&>()) : "";
}

std::string escape_double_quotes(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out;
}

// How failure messages name the element: its text, else its xpath, else None.
std::string element_label(const Json& element) {
  const std::string text = text_field(element, "text");
  if (!text.empty()) return text::quoted(text);
  auto it = element.find("xpath");
  if (it != element.end() && it->is_string()) return text::quoted(it->get<std::string>());
  return "None";
}

// Runs one fallback attempt; a failure is kept in `last` for the final report.
template <typename Attempt>
bool attempt(std::exception_ptr& last, Attempt&& run) {
  try {
    run();
    return true;
  } catch (...) {
    rethrow_interrupt();
    last = std::current_exception();
    return false;
  }
}

[[noreturn]] void fail_all(const char* what, const Json& element, const std::exception_ptr& last) {
  const std::exception_ptr error = std::current_exception();
  const std::string head = std::string(what) + element_label(element) + ": ";
  throw ActionError(head, last ? last : error, error);
}

}  // namespace

namespace {

// The Python-facing contract: any object with get_dialog() and clear_dialog().
class ManagerDialogs final : public DialogSource {
 public:
  explicit ManagerDialogs(RemotePtr manager) : manager_(std::move(manager)) {}
  RemotePtr pending() override {
    if (!manager_->truthy()) throw ActionError(NO_DIALOG_SOURCE);
    RemotePtr dialog = manager_->call("get_dialog");
    return dialog && dialog->truthy() ? dialog : nullptr;
  }
  void forget() override { manager_->call("clear_dialog"); }

 private:
  RemotePtr manager_;
};

}  // namespace

DialogSourcePtr manager_dialogs(RemotePtr browser_manager) {
  return browser_manager ? std::make_shared<ManagerDialogs>(std::move(browser_manager)) : nullptr;
}

Actions::Actions(RemotePtr page, RemotePtr browser_manager)
    : Actions(std::move(page), manager_dialogs(std::move(browser_manager))) {}

Actions::Actions(RemotePtr page, DialogSourcePtr dialogs) : page_(std::move(page)), dialogs_(std::move(dialogs)) {}

// Selectors run in the element's own document: the page's, or the frame's
// reached through the iframes that lead to it.
RemotePtr Actions::scope(const Json& element) const {
  RemotePtr in = page_;
  for (const std::string& frame : frame_chain(element)) in = in->call("frame_locator", {Json("xpath=" + frame)});
  return in;
}

RemotePtr Actions::at_path(const Json& element) const {
  return scope(element)->call("locator", {Json("xpath=" + own_path(element))});
}

Point Actions::centre(const Json& element) const {
  require_record(element, "element");
  const Json& bb = record_field(element, "bounding_box");
  return {number_field(bb, "x") + number_field(bb, "width") / 2.0,
          number_field(bb, "y") + number_field(bb, "height") / 2.0};
}

RemotePtr Actions::build_locator(const Json& element) const {
  require_record(element, "element");
  const Json& attrs = record_field(element, "attributes");
  const std::string tag = text_field(element, "tag");
  const std::string text = text::strip(text_field(element, "text"));
  RemotePtr in = scope(element);
  auto locate = [&in](const std::string& selector) { return in->call("locator", {Json(selector)}); };

  // An id is a CSS identifier: unescaped, "a b" or "user.name" would select
  // some other element and "1st" no element at all.
  if (const std::string id = text_field(attrs, "id"); !id.empty()) return locate("#" + css_escape(id));
  if (const std::string label = text_field(attrs, "aria-label"); !label.empty())
    return locate("[aria-label=\"" + escape_double_quotes(label) + "\"]");
  if (const std::string href = text_field(attrs, "href"); tag == "a" && !href.empty())
    return locate("a[href=\"" + escape_double_quotes(href) + "\"]");
  if (const std::string name = text_field(attrs, "name"); !name.empty()) return locate("[name=\"" + name + "\"]");
  if (text.empty()) return nullptr;
  const std::string first_line = text::strip(text.substr(0, text.find('\n')));
  return locate(tag + ":has-text(\"" + escape_double_quotes(first_line) + "\")")->attr("first");
}

RemotePtr Actions::element_handle(const Json& element) const {
  auto handle_of = [](const RemotePtr& locator) -> RemotePtr {
    try {
      return locator->attr("first")->call("element_handle", {}, {{"timeout", Json(HANDLE_TIMEOUT_MS)}});
    } catch (...) {
      rethrow_interrupt();
      return nullptr;
    }
  };
  if (RemotePtr locator = build_locator(element))
    if (RemotePtr handle = handle_of(locator)) return handle;
  // Not there (any more) by its attributes. The point of the top page at the
  // scan-time centre holds the frame, not the element inside it: a frame's
  // element is looked for by its path instead.
  if (!frame_chain(element).empty()) return handle_of(at_path(element));
  const Point at = centre(element);
  RemotePtr found = page_->call("evaluate_handle", {Json(POINT_JS), Json::array({at.x, at.y})})->call("as_element");
  return found && !found->is_null() ? found : nullptr;
}

// How a pointer action presses: the locator's and the mouse's method, the
// button (none for the plain left click), and the failure message's verb.
struct Actions::Press {
  const char* method;
  const char* button;
  const char* failure;
  Kwargs kwargs() const { return button ? Kwargs{{"button", Json(button)}} : Kwargs{}; }
};

void Actions::click_through(const RemotePtr& locator, const Press& how, std::string& text) const {
  locator->call("evaluate", {Json(SCROLL_JS)});
  text = trimmed(locator->call_value("inner_text"));
  press(locator, how);
}

void Actions::press(const RemotePtr& locator, const Press& how) const {
  locator->call(how.method, {}, how.kwargs());
  settle();
}

// Once the press has landed, nothing may make the action try another way and
// press again: a page that closes itself (a pop-up done with its work) or a
// load that does not finish leaves the next step to meet the page as it is.
void Actions::settle() const {
  try {
    page_->call("wait_for_load_state", {Json("domcontentloaded")});
  } catch (...) {
    rethrow_interrupt();
  }
}

// An element of the top document that is there already is scrolled and asked
// in one browser call instead of the locator's three (wait for it, evaluate,
// release) per question. Null sends the caller the locator's waiting way.
Json Actions::at_path_answer(const std::string& script, const std::string& xpath) const {
  try {
    return page_->call_value("evaluate", {Json(script), Json(xpath)});
  } catch (...) {
    rethrow_interrupt();
  }
  return nullptr;
}

std::optional<std::string> Actions::scrolled_text(const std::string& xpath) const {
  Json text = at_path_answer(SCROLLED_TEXT_JS, xpath);
  if (text.is_string()) return trimmed(text);
  return std::nullopt;
}

bool Actions::dialog_pending() const {
  if (!dialogs_) return false;
  try {
    return dialogs_->pending() != nullptr;
  } catch (...) {
    rethrow_interrupt();
    return false;
  }
}

std::string Actions::click(const Json& element) const {
  return pointer(element, {"click", nullptr, "Failed to click element "});
}

std::string Actions::click(const Json& element, bool& driver_followed) const {
  return pointer(element, {"click", nullptr, "Failed to click element "}, &driver_followed);
}

std::string Actions::right_click(const Json& element) const {
  return pointer(element, {"click", "right", "Failed to right-click element "});
}

std::string Actions::double_click(const Json& element) const {
  return pointer(element, {"dblclick", nullptr, "Failed to double-click element "});
}

std::string Actions::pointer(const Json& element, const Press& how, bool* driver_followed) const {
  require_record(element, "element");
  if (driver_followed) *driver_followed = false;
  // The driver's locator click (not its double click) waits for a navigation it starts.
  auto followed = [&] {
    if (driver_followed) *driver_followed = std::string_view(how.method) == "click";
  };
  const std::string xpath = own_path(element);
  std::exception_ptr last;
  const bool framed = !frame_chain(element).empty();
  const std::optional<FrameSpot> spot = framed ? pressable_spot(element, last) : std::nullopt;
  // A click that opens a native dialog the browser manager keeps pending has
  // landed, but the browser answers nothing until the dialog is handled: the
  // click times out, and a further attempt would click again or, through the
  // mouse, never return. So the click counts as done once such a dialog shows.
  const bool dialog_before = dialog_pending();
  auto landed = [&] { return !dialog_before && dialog_pending(); };
  std::string text;
  if (!xpath.empty() && (!spot || !spot->driver_off) && (attempt(last, [&] {
                           RemotePtr at = at_path(element);
                           auto ready = spot ? std::optional(spot->text) : framed ? std::nullopt : scrolled_text(xpath);
                           if (ready) {
                             text = *ready;
                             press(at, how);
                           } else {
                             click_through(at, how, text);
                           }
                           followed();
                         }) || landed()))
    return text;
  RemotePtr locator;
  text.clear();
  if ((!spot || !spot->driver_off) && attempt(last, [&] { locator = build_locator(element); }) && locator &&
      (attempt(last, [&] {
         click_through(locator, how, text);
         followed();
       }) || landed()))
    return text;
  // Inside a frame, the spot read just now; the scan's may have scrolled away.
  const Point at = spot ? spot->centre : centre(element);
  if (!spot) require_reach(element, at, how.failure + element_label(element) + ": ", last);
  try {
    page_->attr("mouse")->call(how.method, {Json(at.x), Json(at.y)}, how.kwargs());
    settle();
    return spot ? spot->text : text_field(element, "text");
  } catch (...) {
    rethrow_interrupt();
    fail_all(how.failure, element, last);
  }
}

// The last way presses where the scan saw the element. If the element is
// still there, that place must reach it: a veil over the page would take the
// press, and the step would pass for done. A path that finds nothing any more
// leaves the place as the only guide to where the element went.
void Actions::require_reach(const Json& element, const Point& at, const std::string& head,
                            const std::exception_ptr& last) const {
  const std::string xpath = own_path(element);
  if (xpath.empty()) return;
  Json answer;
  try {
    answer = page_->call_value("evaluate", {Json(PRESS_REACH_JS), Json::array({xpath, at.x, at.y})});
  } catch (...) {
    rethrow_interrupt();
    return;
  }
  if (answer.is_string() && !answer.get_ref<const std::string&>().empty())
    throw ActionError(head + answer.get<std::string>() + ". ", last, last);
}

void Actions::type_here(std::string_view text) const {
  RemotePtr keyboard = page_->attr("keyboard");
  keyboard->call("press", {Json("Control+a")});
  keyboard->call("type", {Json(std::string(text))});
}

void Actions::type_through(const RemotePtr& locator, std::string_view text) const {
  locator->call("evaluate", {Json(SCROLL_JS)});
  type_after(locator, locator->call_value("evaluate", {Json(FOCUS_FOR_TYPING_JS)}) == Json("focused"), text);
}

void Actions::type_after(const RemotePtr& locator, bool focused, std::string_view text) const {
  if (!focused) locator->call("click");
  type_here(text);
}

// A rich editor may copy what was typed into its form only a moment after
// the last key (Draftail: 250 ms). A person takes longer than that to reach
// the next control; a step does not, and a form sent at once saves nothing
// while every step passes. Plain fields hold their value at once.
void Actions::type_text(const Json& element, std::string_view text) const {
  type_into(element, text);
  const std::string tag = text_field(element, "tag");
  if (tag != "input" && tag != "textarea") page_->call("wait_for_timeout", {Json(EDITOR_SETTLE_MS)});
}

void Actions::type_into(const Json& element, std::string_view text) const {
  require_record(element, "element");
  const std::string xpath = own_path(element);
  const bool framed = !frame_chain(element).empty();
  std::exception_ptr last;
  const std::optional<FrameSpot> spot = framed ? pressable_spot(element, last) : std::nullopt;
  if (spot && spot->driver_off) {
    // Where the driver would press beside the field, a rich editor is still
    // focused as it would focus itself; any other field takes the mouse.
    if (!spot->reached && at_path(element)->call_value("evaluate", {Json(FOCUS_FOR_TYPING_JS)}) == Json("focused"))
      return type_here(text);
    page_->attr("mouse")->call("click", {Json(spot->centre.x), Json(spot->centre.y)});
    return type_here(text);
  }
  if (!xpath.empty() && attempt(last, [&] {
        RemotePtr at = at_path(element);
        Json ready = framed ? Json() : at_path_answer(SCROLLED_FOCUS_JS, xpath);
        if (ready.is_string()) type_after(at, ready == "focused", text);
        else type_through(at, text);
      }))
    return;
  RemotePtr locator;
  if (attempt(last, [&] { locator = build_locator(element); }) && locator &&
      attempt(last, [&] { type_through(locator, text); }))
    return;
  const Point at = spot ? spot->centre : centre(element);
  if (!spot) require_reach(element, at, "Failed to type into element " + element_label(element) + ": ", last);
  try {
    page_->attr("mouse")->call("click", {Json(at.x), Json(at.y)});
    type_here(text);
  } catch (...) {
    rethrow_interrupt();
    fail_all("Failed to type into element ", element, last);
  }
}

// The driver's set_checked presses where the driver thinks the box is; where
// that is wrong the box is pressed at its real centre, and the press must
// have changed its state.
bool Actions::framed_set_checked(const Json& element, bool checked) const {
  std::exception_ptr last;
  const std::optional<FrameSpot> spot = pressable_spot(element, last);
  if (!spot || !spot->driver_off) return false;
  const std::string head =
      std::string("Failed to ") + (checked ? "check" : "uncheck") + " element " + element_label(element) + ": ";
  RemotePtr box = at_path(element);
  auto state = [&] { return box->call_value("evaluate", {Json(CHECKED_STATE_JS)}); };
  const Json before = state();
  if (!before.is_boolean()) throw ActionError(head + "it is not a check box, radio button or switch");
  if (before.get<bool>() == checked) return true;
  if (!spot->reached) throw ActionError(head + "something else covers it in its frame");
  page_->attr("mouse")->call("click", {Json(spot->centre.x), Json(spot->centre.y)});
  if (state() != Json(checked)) throw ActionError(head + "pressing it did not change its state");
  return true;
}

void Actions::on_element(const Json& element, const char* what,
                         const std::function<void(const RemotePtr&)>& act) const {
  require_record(element, "element");
  const std::string xpath = own_path(element);
  std::exception_ptr last;
  if (!xpath.empty() && attempt(last, [&] { act(at_path(element)); })) return;
  RemotePtr locator;
  if (attempt(last, [&] { locator = build_locator(element); }) && locator && attempt(last, [&] { act(locator); }))
    return;
  const std::string head = std::string("Failed to ") + what + " element " + element_label(element) + ": ";
  if (!last) throw ActionError(head + "it has no path or stable attribute to find it by");
  throw ActionError(head, last, last);
}

// The scan-time centre may lie below the fold, or elsewhere since the page
// scrolled, where moving the pointer hovers nothing and the step would pass
// for done: an element still at its path is scrolled into view and hovered
// where it shows, if the pointer reaches it there.
Point Actions::hover_point(const Json& element) const {
  const std::string xpath = own_path(element);
  if (xpath.empty()) return centre(element);
  const std::string head = "Failed to hover element " + element_label(element) + ": ";
  if (!frame_chain(element).empty()) {
    const std::optional<FrameSpot> spot = frame_spot(element);
    if (!spot) return centre(element);
    if (!spot->reached) throw ActionError(head + "something else covers it in its frame.");
    return spot->centre;
  }
  const Json spot = at_path_answer(HOVER_SPOT_JS, xpath);
  if (!spot.is_array() || spot.size() != 3) return centre(element);
  if (spot[2].is_string() && !spot[2].get_ref<const std::string&>().empty())
    throw ActionError(head + spot[2].get<std::string>() + ".");
  return {spot[0].get<double>(), spot[1].get<double>()};
}

void Actions::hover(const Json& element) const {
  const Point at = hover_point(element);
  page_->attr("mouse")->call("move", {Json(at.x), Json(at.y)});
}

void Actions::press_key(std::string_view key) const {
  page_->attr("keyboard")->call("press", {Json(playwright_key(key))});
}

void Actions::send_keys(std::string_view text) const {
  page_->attr("keyboard")->call("type", {Json(std::string(text))});
}

}  // namespace vantle::browser
