// Pressing elements inside embedded frames where the driver's own geometry
// is wrong.
//
// The driver places an element of a frame that runs in a process of its own
// (a frame from another site) by the frame element's outer box, leaving out
// that element's border and padding. Inside such a frame with a border or
// padding, its presses land beside the element, and its check that a press
// reaches the element waits out the whole time limit. Comparing the driver's
// box with the element's own, read through each frame's view, tells when that
// happens; the press then goes to the element's real centre through the mouse.

#include <chrono>
#include <cmath>
#include <thread>

#include "scan_detail.h"
#include "vantle/browser/actions.h"
#include "vantle/browser/frames.h"
#include "vantle/text/text.h"

namespace vantle::browser {

namespace {

constexpr double SAME_PLACE_PIXELS = 0.5;

// A frame drawn scaled or turned (by its own transform or an ancestor's)
// shows its document at other sizes than its own coordinates say: there the
// driver, which reads the browser's own quads, is left to place the press.
const std::string& untransformed_frame_box_js() {
  static const std::string script =
      "el => { const r = el.getBoundingClientRect();"
      " if (Math.abs(r.width - el.offsetWidth) > 0.5 || Math.abs(r.height - el.offsetHeight) > 0.5) return null;"
      " return (" + detail::FRAME_BOX_JS + ")(el); }";
  return script;
}
constexpr int REACH_POLL_MS = 100;

double number(const Json& value) { return value.is_number() ? value.get<double>() : 0.0; }

bool same_place(const Json& box, double x, double y) {
  return box.is_object() && std::abs(number(box.value("x", Json())) - x) <= SAME_PLACE_PIXELS &&
         std::abs(number(box.value("y", Json())) - y) <= SAME_PLACE_PIXELS;
}

}  // namespace

std::optional<FrameSpot> Actions::frame_spot(const Json& element) const {
  const std::vector<std::string> chain = frame_chain(element);
  if (chain.empty() || own_path(element).empty()) return std::nullopt;
  RemotePtr locator = at_path(element);
  const Json seen = locator->call_value("evaluate", {Json(FRAME_SPOT_JS)});
  if (!seen.is_array() || seen.size() != 6) return std::nullopt;
  const double left = number(seen[0]), top = number(seen[1]), width = number(seen[2]), height = number(seen[3]);
  if (width <= 0 || height <= 0) return std::nullopt;
  Point origin;
  Json view;
  RemotePtr in = page_;
  for (const std::string& frame : chain) {
    const std::string selector = "xpath=" + frame;
    view = in->call("locator", {Json(selector)})->call_value("evaluate", {Json(untransformed_frame_box_js())});
    if (!view.is_array() || view.size() != 5) return std::nullopt;
    origin.x += number(view[1]);
    origin.y += number(view[2]);
    in = in->call("frame_locator", {Json(selector)});
  }
  const Point local{left + width / 2, top + height / 2};
  const bool in_view = local.x >= 0 && local.y >= 0 && local.x <= number(view[3]) && local.y <= number(view[4]);
  FrameSpot spot;
  spot.centre = {origin.x + local.x, origin.y + local.y};
  spot.driver_off = !same_place(locator->call_value("bounding_box"), origin.x + left, origin.y + top);
  spot.reached = in_view && seen[5] == Json(true);
  spot.text = seen[4].is_string() ? text::strip(seen[4].get_ref<const std::string&>()) : "";
  return spot;
}

// Something may cover the element for a moment (a closing menu, a loading
// veil), as the driver would wait for: the spot is read again until a press
// there reaches the element, for as long as the driver waits for a handle.
std::optional<FrameSpot> Actions::pressable_spot(const Json& element, std::exception_ptr& last) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(HANDLE_TIMEOUT_MS);
  for (;;) {
    std::optional<FrameSpot> spot;
    try {
      spot = frame_spot(element);
    } catch (...) {
      rethrow_interrupt();
      last = std::current_exception();
      return std::nullopt;
    }
    if (!spot || !spot->driver_off || spot->reached || std::chrono::steady_clock::now() >= until) return spot;
    page_->call("wait_for_timeout", {Json(REACH_POLL_MS)});
  }
}

// The driver's drag presses and lets go where it thinks both ends are; where
// that is wrong for either end, the mouse carries the element between the
// ends' real centres.
bool Actions::framed_drag(const Json& element, const Json& destination) const {
  std::exception_ptr ignored;
  auto spot = [&](const Json& end) {
    return frame_chain(end).empty() ? std::nullopt : pressable_spot(end, ignored);
  };
  const std::optional<FrameSpot> from = spot(element), to = spot(destination);
  if (!(from && from->driver_off) && !(to && to->driver_off)) return false;
  const Point start = from ? from->centre : centre(element), end = to ? to->centre : centre(destination);
  RemotePtr mouse = page_->attr("mouse");
  mouse->call("move", {Json(start.x), Json(start.y)});
  mouse->call("down");
  mouse->call("move", {Json(end.x), Json(end.y)}, {{"steps", Json(5)}});
  mouse->call("up");
  return true;
}

}  // namespace vantle::browser
