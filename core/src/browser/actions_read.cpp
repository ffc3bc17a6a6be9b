// Option selection, native dialogs and reading text back from the page.

#include <algorithm>

#include "vantle/browser/actions.h"
#include "vantle/browser/frames.h"
#include "vantle/records/json.h"
#include "vantle/text/text.h"

namespace vantle::browser {

namespace {

const Json& attributes_of(const Json& element) {
  static const Json empty = Json::object();
  if (!element.is_object()) throw std::invalid_argument("element must be a record");
  auto it = element.find("attributes");
  return it != element.end() && it->is_object() ? *it : empty;
}

std::string trimmed(const Json& value) {
  return value.is_string() ? text::strip(value.get_ref<const std::string&>()) : "";
}

// A CSS string between single quotes holds any value once its quotes and
// backslashes are escaped.
std::string single_quoted_escape(std::string_view value) {
  std::string out;
  for (char c : value) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// Option labels as a person reads a list of them, the first few only.
std::string listed(const Json& labels) {
  constexpr std::size_t SHOWN = 10;
  if (labels.empty()) return "no options";
  std::string out;
  for (std::size_t i = 0; i < labels.size() && i < SHOWN; ++i)
    out += (i ? ", " : "") + text::quoted(labels[i].is_string() ? labels[i].get<std::string>() : labels[i].dump());
  if (labels.size() > SHOWN) out += " and " + std::to_string(labels.size() - SHOWN) + " more";
  return out;
}

// A dialog's message as text, whatever the manager's dialog object holds.
std::string message_text(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  return value.is_null() ? "None" : value.dump();
}

}  // namespace

std::string Actions::select_option(const Json& element, std::string_view value) const {
  const std::string tag = records::text_at(element, "tag");
  const std::string role = records::text_at(attributes_of(element), "role");
  if (tag == "select") return select_native(element, value);
  if (role == "combobox" || role == "listbox" || tag == "div" || tag == "span")
    return select_custom(element, value);
  try {
    return select_native(element, value);
  } catch (...) {
    rethrow_interrupt();
    return select_custom(element, value);
  }
}

// The drop-down the scan saw, at its path. By id or name only when the path
// finds nothing now; the page's first drop-down only for a record with none
// of these, since any other one would be chosen from in silence.
RemotePtr Actions::native_select(const Json& element) const {
  if (!own_path(element).empty()) {
    RemotePtr at = at_path(element);
    if (at->call_value("count") == Json(1)) return at;
  }
  const Json& attrs = attributes_of(element);
  const std::string id = records::text_at(attrs, "id");
  const std::string name = records::text_at(attrs, "name");
  RemotePtr in = scope(element);
  // Escaped for the same reason as in build_locator: the id must select
  // exactly its own element.
  if (!id.empty()) return in->call("locator", {Json("#" + css_escape(id))});
  if (!name.empty()) return in->call("locator", {Json("select[name='" + single_quoted_escape(name) + "']")});
  return in->call("locator", {Json("select")})->call("nth", {Json(0)});
}

std::string Actions::select_native(const Json& element, std::string_view value) const {
  RemotePtr locator = native_select(element);
  locator->call("scroll_into_view_if_needed");
  // Read back through a handle: a page that answers the choice by adding a
  // row above the drop-down leaves its path pointing at nothing.
  RemotePtr held = locator->call("element_handle");
  try {
    locator->call("select_option", {}, {{"label", Json(std::string(value))}});
  } catch (...) {
    rethrow_interrupt();
    // The driver waits for the option, which a page may still be loading,
    // then says only that time ran out: the options it did find say more.
    const Json offered = locator->call_value("evaluate", {Json(OPTION_LABELS_JS)});
    if (offered.is_array() && std::find(offered.begin(), offered.end(), Json(std::string(value))) == offered.end())
      throw ActionError("Failed to select " + text::quoted(value) + ": the drop-down offers " + listed(offered) + ".");
    throw;
  }
  const std::string chosen = trimmed(held->call_value("evaluate", {Json(SELECTED_LABEL_JS)}));
  // Released, or the page keeps one handle per choice for as long as it lives.
  held->call("dispose");
  return chosen;
}

std::string Actions::select_custom(const Json& element, std::string_view value) const {
  const Point at = centre(element);
  page_->attr("mouse")->call("click", {Json(at.x), Json(at.y)});
  page_->call("wait_for_timeout", {Json(OPEN_PAUSE_MS)});
  for (const OptionSelector& selector : OPTION_SELECTORS) {
    try {
      RemotePtr option = scope(element)->call("locator", {Json(selector.with(value))})->attr("first");
      option->call("wait_for", {}, {{"state", Json("visible")}, {"timeout", Json(OPTION_TIMEOUT_MS)}});
      option->call("click");
      return std::string(value);
    } catch (...) {
      rethrow_interrupt();
      // Not this kind of option list: try the next selector.
    }
  }
  throw ActionError("Could not find option " + text::quoted(value) +
                    " in dropdown after trying all selectors.");
}

RemotePtr Actions::pending_dialog(const char* none_message) const {
  if (!dialogs_) throw ActionError(NO_DIALOG_SOURCE);
  RemotePtr dialog = dialogs_->pending();
  if (!dialog) throw ActionError(none_message);
  return dialog;
}

std::string Actions::handle_dialog(const char* method, const char* none_message) const {
  RemotePtr dialog = pending_dialog(none_message);
  std::string message = message_text(dialog->attr("message")->value());
  dialog->call(method);
  dialogs_->forget();
  return message;
}

std::string Actions::accept_dialog() const { return handle_dialog("accept", "No pending dialog to accept."); }

std::string Actions::dismiss_dialog() const { return handle_dialog("dismiss", "No pending dialog to dismiss."); }

std::string Actions::get_dialog_message() const {
  return message_text(pending_dialog("No pending dialog.")->attr("message")->value());
}

std::string Actions::extract_text(const Json& element) const {
  RemotePtr handle = element_handle(element);
  if (!handle) throw ActionError("No element to read text from at the scanned position.");
  const std::string tag = records::text_at(element, "tag");
  // The handle belongs to its own frame's document: evaluated there.
  if (tag == "select") return trimmed(handle->call_value("evaluate", {Json(SELECT_TEXT_JS)}));
  if (tag == "input" || tag == "textarea") return trimmed(handle->call_value("input_value"));
  return trimmed(handle->call_value("inner_text"));
}

bool Actions::find_text(std::string_view text) const {
  const Json body = page_->call_value("inner_text", {Json("body")});
  const std::string haystack = body.is_string() ? text::fold(body.get_ref<const std::string&>()) : "";
  return haystack.find(text::fold(text)) != std::string::npos;
}

}  // namespace vantle::browser
