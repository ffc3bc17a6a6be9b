// Actions that set a control's state (ticks, text, files), move things about
// and move through the page's history.

#include "vantle/browser/actions.h"
#include "vantle/browser/frames.h"
#include "vantle/text/text.h"
#include "page_scripts.h"
#include "scan_detail.h"

namespace vantle::browser {

const char* const SCROLL_DOWN_JS = js::scroll_down;

namespace {

const char* const CAN_GO_BACK_JS = js::can_go_back;

std::string text_of(const Json& value) { return value.is_string() ? value.get<std::string>() : std::string(); }

void shift_if_box(Json& answer, const char* key, const detail::FrameView& view) {
  if (answer.contains(key) && answer[key].is_object()) detail::shift_box(answer[key], view);
}

// Asks one document for the row, then each frame it embeds, depth first, as
// the scan reads them: the first that has the row answers, its boxes moved
// into the top page's coordinates like the scan's records.
Json cell_in(const RemotePtr& target, bool is_page, const detail::FrameView& view, const Json& query) {
  Json found = target->call_value("evaluate", {Json(js::table_cell), query});
  if (found.is_object()) {
    shift_if_box(found, "row", view);
    shift_if_box(found, "cell", view);
    return found;
  }
  for (const detail::ChildFrame& child : detail::child_frames(target, is_page)) {
    try {
      auto inner = detail::child_view(view, child.owner->call_value("evaluate", {Json(detail::FRAME_BOX_JS)}));
      if (!inner) continue;
      Json answer = cell_in(child.frame, false, *inner, query);
      if (!answer.is_null()) return answer;
    } catch (const std::exception&) {
      // The frame navigated or went away while asked: it has no rows yet.
    }
  }
  return nullptr;
}

}  // namespace

void Actions::set_checked(const Json& element, bool checked) const {
  if (!frame_chain(element).empty() && framed_set_checked(element, checked)) return;
  on_element(element, checked ? "check" : "uncheck",
             [&](const RemotePtr& locator) { locator->call("set_checked", {Json(checked)}); });
}

void Actions::clear(const Json& element) const {
  on_element(element, "clear", [](const RemotePtr& locator) { locator->call("clear"); });
}

void Actions::upload(const Json& element, const std::string& path) const {
  on_element(element, "upload into",
             [&](const RemotePtr& locator) { locator->call("set_input_files", {Json(path)}); });
}

void Actions::scroll_to(const Json& element) const {
  on_element(element, "scroll to", [](const RemotePtr& locator) { locator->call("evaluate", {Json(SCROLL_JS)}); });
}

void Actions::drag(const Json& element, const Json& destination) const {
  if (framed_drag(element, destination)) return;
  // The destination is reached the same way as the element; the first of its
  // locators that works is the one dragged onto.
  RemotePtr onto;
  on_element(destination, "drag onto", [&](const RemotePtr& locator) {
    locator->call("wait_for", {}, {{"state", Json("attached")}, {"timeout", Json(HANDLE_TIMEOUT_MS)}});
    onto = locator;
  });
  on_element(element, "drag", [&](const RemotePtr& locator) { locator->call("drag_to", {onto}); });
}

void Actions::scroll_down() const { page_->call("evaluate", {Json(SCROLL_DOWN_JS)}); }

void Actions::go_back() const {
  // Going back from the first page goes nowhere, and Playwright reports no
  // error for it: such a step must not pass as done.
  if (!page_->call("evaluate", {Json(CAN_GO_BACK_JS)})->truthy())
    throw ActionError("there is no earlier page to go back to");
  page_->call("go_back", {}, {{"wait_until", Json("load")}});
}

void Actions::reload() const { page_->call("reload", {}, {{"wait_until", Json("load")}}); }

Json Actions::find_cell(const Json& row, const Json& column) const {
  return cell_in(page_, true, detail::FrameView{}, Json{{"row", row}, {"column", column}});
}

std::string Actions::url() const { return text_of(page_->attr("url")->value()); }

std::string Actions::title() const { return text::strip(text_of(page_->call_value("title"))); }

Json perform(const Actions& actions, const Json& record, const Json& element, bool* driver_followed) {
  const std::string action = text_of(record.value("action", Json()));
  const std::string value = text_of(record.value("value", Json()));
  if (driver_followed) *driver_followed = false;
  if (action == "click") return driver_followed ? actions.click(element, *driver_followed) : actions.click(element);
  if (action == "double_click") return actions.double_click(element);
  if (action == "right_click") return actions.right_click(element);
  if (action == "extract_text") return actions.extract_text(element);
  if (action == "type") actions.type_text(element, value);
  else if (action == "hover") actions.hover(element);
  else if (action == "select") actions.select_option(element, value);
  else if (action == "check" || action == "uncheck") actions.set_checked(element, action == "check");
  else if (action == "clear") actions.clear(element);
  else if (action == "upload") actions.upload(element, value);
  else if (action == "scroll_to") actions.scroll_to(element);
  else if (action == "drag") actions.drag(element, record.value("destination", Json::object()));
  else throw std::runtime_error("no element action for " + action);
  return nullptr;
}

}  // namespace vantle::browser
