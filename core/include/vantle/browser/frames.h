#pragma once
/// Elements inside embedded frames (iframes, same-origin or not, nested).
///
/// A scan reads every frame of the page. The record of an element inside a
/// frame carries in `attributes._frame` the element paths of the iframes that
/// lead to it from the top page, outermost first, each path taken in the
/// document holding that iframe, joined by " >> ":
///
///   "/html[1]/body[1]/iframe[1] >> /html[1]/body[1]/div[2]/iframe[1]"
///
/// Its `xpath` is those paths and its own path run together
/// ("/html[1]/body[1]/iframe[1]/html[1]/body[1]/button[1]"), so that no two
/// elements of different documents share one, and a path read as if it were
/// the top page's finds nothing there rather than some other element. Its box
/// is in the top page's coordinates; lying wholly outside the frame's own
/// viewport (scrolled or clipped out of it), it reads as not visible. The
/// content of a frame that is not shown at all is not read. Records of the
/// top page have no `_frame`.

#include <string>
#include <string_view>
#include <vector>

#include "vantle/browser/remote.h"

namespace vantle::browser {

inline constexpr const char FRAME_ATTRIBUTE[] = "_frame";
inline constexpr const char FRAME_SEPARATOR[] = " >> ";

/// The iframe paths leading to the element, outermost first; empty for an
/// element of the top page (or a record that is not an object).
std::vector<std::string> frame_chain(const Json& element);
/// The `_frame` value for a chain (empty chain: empty text).
std::string frame_value(const std::vector<std::string>& chain);
/// The element's path within its own document: its xpath without the iframe
/// paths in front (the xpath itself for the top page).
std::string own_path(const Json& element);

}  // namespace vantle::browser
