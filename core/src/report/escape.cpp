#include "vantle/report/escape.h"

#include <cstdio>

namespace vantle::report {

std::string escape_html(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

namespace {

bool needs_js_escape(unsigned char c) {
  return c < 0x20 || c == 0x7f || c == '\\' || c == '\'' || c == '"' || c == '<' || c == '>' ||
         c == '&' || c == '`';
}

}  // namespace

std::string escape_js(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    // U+2028 and U+2029 end a line inside older JavaScript string literals.
    if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
      out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
      i += 2;
      continue;
    }
    if (!needs_js_escape(c)) {
      out += static_cast<char>(c);
      continue;
    }
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\u%04x", c);
    out += buf;
  }
  return out;
}

}  // namespace vantle::report
