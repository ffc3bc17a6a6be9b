// Scanning embedded frames: which frames a document holds, where each shows
// in the top page, and how its records are placed there.

#include <cmath>
#include <cstdio>

#include "page_scripts.h"
#include "scan_detail.h"
#include "vantle/browser/frames.h"

namespace vantle::browser::detail {

const std::string FRAME_BOX_JS = std::string("el => (") + js::frame_box + ")(el, (" + js::element_path + "))";
const std::string ELEMENT_BOX_JS = js::element_box;

std::string framed_watch_script(const std::string& key, const Json& since) {
  static const std::string body =
      std::string("(key, since, owners) => {\n  const opened = window.__vantleOpened ? '+' : '';\n  (") +
      js::open_watch + ")();\n  window.__vantleOpened = false;\n" +
      "  const geometry = JSON.stringify(owners.map(o => (" + js::frame_box + ")(o, (" + js::element_path + "))));\n"
      "  const watch = window[key];\n"
      "  const known = window.frames.length === owners.length;\n"
      "  if (since && watch && watch.id === since && known && watch.unchanged())\n"
      "    return opened + geometry + '\\n' + watch.ticks(" + js::element_path + ");\n"
      "  if (watch) { watch.stop(); delete window[key]; }\n"
      "  // A frame the driver has not reported yet would go unread: watch nothing then.\n"
      "  const id = known ? (" + js::scan_watch + ")(key) : '';\n"
      "  return opened + geometry + '\\n' + id + '\\n' + (" + batch_scan_script() + ")();\n}";
  return "(owners) => (" + body + ")(" + Json(key).dump() + ", " + since.dump() + ", owners)";
}

const std::string& framed_scan_script() {
  static const std::string script = std::string("(owners) => JSON.stringify(owners.map(o => (") + js::frame_box +
                                    ")(o, (" + js::element_path + ")))) + '\\n' + (" + batch_scan_script() + ")()";
  return script;
}

namespace {

// Browser numbers reach the records as JSON numbers: a whole one as an
// integer, as the browser writes it, so a moved box reads like one measured
// in place.
Json number(double v) {
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 9007199254740992.0) return static_cast<long long>(v);
  return v;
}

void move(Json& value, double by) {
  if (value.is_number()) value = number(value.get<double>() + by);
}

bool meets(const Box& a, const Box& b) {
  return a.x < b.x + b.width && a.x + a.width > b.x && a.y < b.y + b.height && a.y + a.height > b.y;
}

Box intersection(const Box& a, const Box& b) {
  double left = std::max(a.x, b.x), top = std::max(a.y, b.y);
  double right = std::min(a.x + a.width, b.x + b.width), bottom = std::min(a.y + a.height, b.y + b.height);
  return {left, top, std::max(0.0, right - left), std::max(0.0, bottom - top)};
}

bool seen_in(const Json& record, const FrameView& view) {
  auto box = record.find("bounding_box");
  if (box == record.end() || !box->is_object()) return false;
  try {
    return meets(box_of(*box), view.clip);
  } catch (const std::exception&) {
    return false;
  }
}

void mark(Json& record, const std::string& prefix, const std::string& frame) {
  record["xpath"] = prefix + text_of(record.value("xpath", Json()));
  record["attributes"][FRAME_ATTRIBUTE] = frame;
}

}  // namespace

std::vector<ChildFrame> child_frames(const RemotePtr& target, bool is_page) {
  std::vector<RemotePtr> frames;
  try {
    frames = (is_page ? target->attr("main_frame") : target)->attr("child_frames")->items();
  } catch (const std::exception&) {
    return {};  // not a driver page or frame: nothing embedded to reach
  }
  std::vector<ChildFrame> out;
  for (const RemotePtr& frame : frames) {
    try {
      RemotePtr owner = frame->call("frame_element");
      if (owner && !owner->is_null()) out.push_back({frame, owner});
    } catch (const std::exception&) {
      // detached while we looked
    }
  }
  return out;
}

std::optional<FrameView> child_view(const FrameView& parent, const Json& geometry) {
  if (!geometry.is_array() || geometry.size() != 5 || !geometry.at(0).is_string()) return std::nullopt;
  for (std::size_t i = 1; i < 5; ++i)
    if (!geometry.at(i).is_number()) return std::nullopt;
  FrameView view;
  view.chain = parent.chain;
  view.chain.push_back(geometry.at(0).get<std::string>());
  view.x = parent.x + geometry.at(1).get<double>();
  view.y = parent.y + geometry.at(2).get<double>();
  view.clip = {view.x, view.y, geometry.at(3).get<double>(), geometry.at(4).get<double>()};
  // A frame shows only through the part of its parent that shows.
  if (!parent.top()) view.clip = intersection(view.clip, parent.clip);
  return view;
}

void shift_box(Json& box, const FrameView& view) {
  if (!box.is_object()) return;
  if (box.contains("x")) move(box["x"], view.x);
  if (box.contains("y")) move(box["y"], view.y);
}

void shift_text_box(Json& attrs, const FrameView& view) {
  auto it = attrs.find("_text_box");
  if (it == attrs.end() || !it->is_string()) return;
  double x, y, w, h;
  if (std::sscanf(it->get_ref<const std::string&>().c_str(), "%lf,%lf,%lf,%lf", &x, &y, &w, &h) != 4) return;
  // The same text the page would write: JavaScript's shortest round-trip form.
  auto js = [](double v) { return number(v).dump(); };
  *it = js(x + view.x) + "," + js(y + view.y) + "," + js(w) + "," + js(h);
}

void shift_records(Json& records, const FrameView& view) {
  for (Json& record : records) {
    if (record.contains("bounding_box")) shift_box(record["bounding_box"], view);
    if (record.contains("attributes") && record["attributes"].is_object()) shift_text_box(record["attributes"], view);
  }
}

void place_records(ScanResult& result, const FrameView& view) {
  std::string prefix;
  for (const auto& path : view.chain) prefix += path;
  const std::string frame = frame_value(view.chain);
  // Scrolled or clipped out of the frame's viewport, a thing is not where a
  // person could see it, though a step can still scroll it into view: it
  // stays, as hidden.
  for (Json* records : {&result.elements, &result.text_elements}) {
    for (Json& record : *records) {
      if (!seen_in(record, view)) record["is_visible"] = false;
      mark(record, prefix, frame);
    }
  }
}

}  // namespace vantle::browser::detail
