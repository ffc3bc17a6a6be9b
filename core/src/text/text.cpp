#include "vantle/text/text.h"

#include <utf8proc.h>

namespace vantle::text {

namespace {

// Number of continuation bytes that a UTF-8 lead byte announces, or -1.
int continuation_count(unsigned char lead) {
  if (lead < 0x80) return 0;
  if ((lead & 0xE0) == 0xC0) return lead >= 0xC2 ? 1 : -1;
  if ((lead & 0xF0) == 0xE0) return 2;
  if ((lead & 0xF8) == 0xF0) return lead <= 0xF4 ? 3 : -1;
  return -1;
}

bool in_range(char32_t c, int extra) {
  switch (extra) {
    case 1: return c >= 0x80;
    case 2: return c >= 0x800;
    default: return c >= 0x10000 && c <= 0x10FFFF;
  }
}

const utf8proc_property_t* prop(char32_t c) {
  return utf8proc_get_property(static_cast<utf8proc_int32_t>(c));
}

}  // namespace

std::u32string decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    auto lead = static_cast<unsigned char>(s[i]);
    int extra = continuation_count(lead);
    if (extra == 0) {
      out.push_back(lead);
      ++i;
      continue;
    }
    bool ok = extra > 0 && i + static_cast<size_t>(extra) < s.size();
    char32_t c = ok ? (lead & (0x3F >> extra)) : 0;
    for (int k = 1; ok && k <= extra; ++k) {
      auto b = static_cast<unsigned char>(s[i + k]);
      ok = (b & 0xC0) == 0x80;
      c = (c << 6) | (b & 0x3F);
    }
    if (!ok || !in_range(c, extra)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(c);
    i += static_cast<size_t>(extra) + 1;
  }
  return out;
}

std::string encode(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

char32_t lower(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c > 0x10FFFF) return c;
  return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(c)));
}

std::u32string lower(std::u32string_view text) {
  std::u32string out(text);
  for (auto& c : out) c = lower(c);
  return out;
}

std::string lower(std::string_view utf8) { return encode(lower(decode(utf8))); }

bool is_space(char32_t c) {
  if (c < 0x80) return c == ' ' || (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x1F);
  if (c > 0x10FFFF) return false;
  const auto* p = prop(c);
  return p->category == UTF8PROC_CATEGORY_ZS || p->bidi_class == UTF8PROC_BIDI_CLASS_WS ||
         p->bidi_class == UTF8PROC_BIDI_CLASS_B || p->bidi_class == UTF8PROC_BIDI_CLASS_S;
}

bool is_digit(char32_t c) {
  if (c < 0x80) return c >= '0' && c <= '9';
  return c <= 0x10FFFF && prop(c)->category == UTF8PROC_CATEGORY_ND;
}

bool is_control(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::u32string lstrip(std::u32string_view t) {
  size_t b = 0;
  while (b < t.size() && is_space(t[b])) ++b;
  return std::u32string(t.substr(b));
}

std::u32string rstrip(std::u32string_view t) {
  size_t e = t.size();
  while (e > 0 && is_space(t[e - 1])) --e;
  return std::u32string(t.substr(0, e));
}

std::u32string strip(std::u32string_view t) { return lstrip(rstrip(t)); }

std::string strip(std::string_view utf8) { return encode(strip(decode(utf8))); }

std::u32string strip_chars(std::u32string_view t, std::u32string_view chars) {
  size_t b = 0, e = t.size();
  while (b < e && chars.find(t[b]) != std::u32string_view::npos) ++b;
  while (e > b && chars.find(t[e - 1]) != std::u32string_view::npos) --e;
  return std::u32string(t.substr(b, e - b));
}

std::vector<std::u32string> split_ws(std::u32string_view t) {
  std::vector<std::u32string> words;
  size_t i = 0;
  while (i < t.size()) {
    while (i < t.size() && is_space(t[i])) ++i;
    size_t start = i;
    while (i < t.size() && !is_space(t[i])) ++i;
    if (i > start) words.emplace_back(t.substr(start, i - start));
  }
  return words;
}

std::u32string join(const std::vector<std::u32string>& words, std::u32string_view sep) {
  std::u32string out;
  for (size_t i = 0; i < words.size(); ++i) {
    if (i) out += sep;
    out += words[i];
  }
  return out;
}

bool starts_with(std::u32string_view t, std::u32string_view p) {
  return t.size() >= p.size() && t.compare(0, p.size(), p) == 0;
}

bool ends_with(std::u32string_view t, std::u32string_view s) {
  return t.size() >= s.size() && t.compare(t.size() - s.size(), s.size(), s) == 0;
}

bool contains(std::u32string_view t, std::u32string_view n) {
  return t.find(n) != std::u32string_view::npos;
}

std::u32string_view without_colon(std::u32string_view t) {
  size_t end = t.size();
  while (end > 0 && (t[end - 1] == U' ' || t[end - 1] == U'\t')) --end;
  if (end > 0 && t[end - 1] == U':') --end;
  while (end > 0 && (t[end - 1] == U' ' || t[end - 1] == U'\t')) --end;
  return t.substr(0, end);
}

// A required field's closing asterisk ("First Name*") is decoration, as a colon is.
std::u32string_view without_required_mark(std::u32string_view t) {
  size_t end = t.size();
  while (end > 0 && (t[end - 1] == U' ' || t[end - 1] == U'\t')) --end;
  if (end > 1 && t[end - 1] == U'*') return t.substr(0, end - 1);
  return t;
}

bool same_label(std::u32string_view t, std::u32string_view name) {
  const auto bare = without_colon(without_required_mark(name));
  return bare.empty() ? t == name : without_colon(without_required_mark(t)) == bare;
}

std::u32string replace_all(std::u32string_view t, std::u32string_view from, std::u32string_view to) {
  if (from.empty()) return std::u32string(t);
  std::u32string out;
  size_t i = 0;
  for (size_t hit; (hit = t.find(from, i)) != std::u32string_view::npos; i = hit + from.size()) {
    out.append(t.substr(i, hit - i));
    out.append(to);
  }
  out.append(t.substr(i));
  return out;
}

char32_t fold(char32_t c) {
  switch (c) {
    case 0x2018: case 0x2019: case 0x201A: case 0x201B: case 0x2032: case 0x02BC:
      return U'\'';
    case 0x201C: case 0x201D: case 0x201E: case 0x201F: case 0x2033:
      return U'"';
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2015: case 0x2212:
      return U'-';
    default:
      break;
  }
  // Pages put no-break and thin spaces where a person types a plain one; line
  // breaks and tabs stay what they are.
  if (c >= 0x80 && c <= 0x10FFFF && prop(c)->category == UTF8PROC_CATEGORY_ZS) return U' ';
  return lower(c);
}

std::u32string fold(std::u32string_view text) {
  std::u32string out(text);
  for (auto& c : out) c = fold(c);
  return out;
}

std::string fold(std::string_view utf8) { return encode(fold(decode(utf8))); }

bool is_mark(char32_t c) {
  return (c >= 0x2190 && c <= 0x21FF) ||  // arrows
         (c >= 0x25B2 && c <= 0x25C5) ||  // triangles
         c == 0x2303 || c == 0x2304 || c == 0x02C4 || c == 0x02C5 || c == 0x2B06 || c == 0x2B07;
}

std::u32string without_trailing_mark(std::u32string_view t) {
  size_t e = t.size();
  while (e > 0 && is_mark(t[e - 1])) --e;
  if (e == t.size() || e == 0 || !is_space(t[e - 1])) return std::u32string(t);
  return rstrip(t.substr(0, e));
}

std::u32string quoted(std::u32string_view t) {
  char32_t q = (contains(t, U"'") && !contains(t, U"\"")) ? U'"' : U'\'';
  std::u32string out(1, q);
  static const char* hex = "0123456789abcdef";
  for (char32_t c : t) {
    if (c == U'\\' || c == q) {
      out += U'\\';
      out += c;
    } else if (c == U'\n') {
      out += U"\\n";
    } else if (c == U'\r') {
      out += U"\\r";
    } else if (c == U'\t') {
      out += U"\\t";
    } else if (is_control(c)) {
      out += U"\\x";
      out += static_cast<char32_t>(hex[(c >> 4) & 0xF]);
      out += static_cast<char32_t>(hex[c & 0xF]);
    } else {
      out += c;
    }
  }
  out += q;
  return out;
}

std::string quoted(std::string_view utf8) { return encode(quoted(decode(utf8))); }

std::u32string quoted_list(const std::vector<std::u32string>& items) {
  std::u32string out = U"[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += U", ";
    out += quoted(items[i]);
  }
  return out + U"]";
}

}  // namespace vantle::text
