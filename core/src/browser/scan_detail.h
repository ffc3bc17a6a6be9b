#pragma once
// Record building shared by the element-by-element and the batched scan, so
// that both produce the very same records from the same facts.

#include <optional>
#include <string>
#include <vector>

#include "vantle/browser/page_scanner.h"
#include "vantle/records/json.h"

namespace vantle::browser::detail {

using records::text_of;
using records::truthy;
/// text_of, trimmed of white space.
std::string trimmed(const Json& v);
/// A box that is missing or has no area.
bool empty_box(const Json& box);
/// True for tags whose field label is looked up from the document.
bool takes_field_label(const std::string& tag);

/// Marks an icon control (`_icon`) from the icon script's result, and names it
/// by its icon when it shows no words.
void mark_icon(std::string& text, Json& attrs, const Json& icon);
/// Marks whether a check box, radio button or switch is ticked (`_checked`,
/// "true" or "false"), from the checked-state script's result; other controls
/// get no mark.
void mark_checked(Json& attrs, const Json& state);
/// Keeps where an element's own words sit (`_text_box`), when the script found
/// them smaller than its box: spatial steps measure from the words.
void mark_text_box(Json& attrs, const Json& box);
Json descriptor(const std::string& tag, const std::string& text, Json attrs, Json box, bool visible, bool enabled,
                bool editable, const std::string& xpath);
Json text_element(const std::string& tag, const std::string& text, bool direct, Json attrs, Json box,
                  const std::string& xpath);
/// Element descriptors of the pointer-cursor group from the pointer scan's items.
Json pointer_records(const Json& raw);

/// Takes a frame element; its view geometry (js/frame_box.js).
extern const std::string FRAME_BOX_JS;
/// Takes an element; its box in its own document, as {x, y, width, height} or null.
extern const std::string ELEMENT_BOX_JS;
/// Takes the frame elements of a document's child frames; returns their
/// geometries as one JSON line, then the batched scan's JSON text.
const std::string& framed_scan_script();
/// As framed_scan_script, for a document watched under `key` whose last
/// watch was `since` (or null): when nothing changed, only the geometry line
/// and a newline; else also the new watch id (empty: none installed), a
/// newline and the scan's JSON text. A leading '+' says the document asked
/// for a new page since it was last asked.
std::string framed_watch_script(const std::string& key, const Json& since);

/// Where one frame's document shows in the top page.
struct FrameView {
  std::vector<std::string> chain;  // iframe paths from the top page; empty for the top page itself
  double x = 0, y = 0;             // the top-page point where the frame's viewport begins
  Box clip;                        // the frame's viewport in the top page (unused for the top page)
  bool top() const { return chain.empty(); }
};

/// A frame and the element that holds it in its parent's document.
struct ChildFrame {
  RemotePtr frame;
  RemotePtr owner;
};
/// The frames embedded directly in `target` (a page or a frame), each with its
/// frame element; frames that went away meanwhile are left out.
std::vector<ChildFrame> child_frames(const RemotePtr& target, bool is_page);
/// The view of a frame embedded in `parent`'s document, from the frame
/// element's geometry as js/frame_box.js reports it; none when not shown.
std::optional<FrameView> child_view(const FrameView& parent, const Json& geometry);
/// Moves a box record ({x, y, ...}) by the view's origin.
void shift_box(Json& box, const FrameView& view);
/// Moves a record's `_text_box` ("x,y,width,height") by the view's origin.
void shift_text_box(Json& attrs, const FrameView& view);
/// Moves every record's box and `_text_box` by the view's origin.
void shift_records(Json& records, const FrameView& view);
/// Records read inside a frame as the top page holds them: element paths
/// behind the frame's, `_frame` set, and whatever lies wholly outside the
/// frame's viewport counted as hidden.
void place_records(ScanResult& result, const FrameView& view);

}  // namespace vantle::browser::detail
