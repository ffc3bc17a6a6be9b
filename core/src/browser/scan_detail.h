#pragma once
// Record building shared by the element-by-element and the batched scan, so
// that both produce the very same records from the same facts.

#include <string>

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

}  // namespace vantle::browser::detail
