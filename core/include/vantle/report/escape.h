#pragma once
/// Escaping of user text for the places the report inserts it.

#include <string>
#include <string_view>

namespace vantle::report {

/// Text safe inside HTML element content and quoted attribute values:
/// & < > " ' become character references.
std::string escape_html(std::string_view utf8);

/// Body of a single-quoted JavaScript string: backslash, quotes, line breaks,
/// "<" and other control characters become \uXXXX escapes, so the result can
/// neither end the string nor the surrounding script.
std::string escape_js(std::string_view utf8);

}  // namespace vantle::report
