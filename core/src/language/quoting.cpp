#include "vantle/language/quoting.h"

#include <algorithm>

#include "vantle/text/text.h"

namespace vantle::language {

// Spans are kept in text order and never overlap, so one binary search finds
// the only stretch that can touch [begin, end) first.
bool touches_quote(const Spans& quoted, std::size_t begin, std::size_t end) {
  auto it = std::upper_bound(quoted.begin(), quoted.end(), begin,
                             [](std::size_t at, const Span& s) { return at < s.end; });
  return it != quoted.end() && it->begin < end && begin < end;
}

Spans spans_within(const Spans& quoted, std::size_t begin, std::size_t end) {
  Spans out;
  for (const Span& s : quoted) {
    std::size_t b = std::max(s.begin, begin), e = std::min(s.end, end);
    if (b < e) out.push_back({b - begin, e - begin});
  }
  return out;
}

Spans shifted(const Spans& quoted, std::size_t offset) {
  Spans out;
  for (const Span& s : quoted) out.push_back({s.begin + offset, s.end + offset});
  return out;
}

namespace {

std::vector<bool> mask(std::size_t size, const Spans& quoted) {
  std::vector<bool> out(size, false);
  for (const Span& s : quoted)
    for (std::size_t i = s.begin; i < s.end && i < size; ++i) out[i] = true;
  return out;
}

}  // namespace

std::vector<Word> words(std::u32string_view text, const Spans& quoted) {
  const std::vector<bool> in_quote = mask(text.size(), quoted);
  auto splits = [&](std::u32string_view, const Spans&, std::size_t at) {
    return text::is_space(text[at]) && !in_quote[at];
  };
  std::vector<Word> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && splits(text, quoted, i)) ++i;
    if (i == text.size()) break;
    std::size_t end = i;
    while (end < text.size() && !splits(text, quoted, end)) ++end;
    out.push_back({std::u32string(text.substr(i, end - i)), i, touches_quote(quoted, i, end)});
    i = end;
  }
  return out;
}

std::size_t find_unquoted(std::u32string_view text, std::u32string_view needle, const Spans& quoted,
                          std::size_t from) {
  for (std::size_t at = text.find(needle, from); at != std::u32string_view::npos; at = text.find(needle, at + 1))
    if (!touches_quote(quoted, at, at + needle.size())) return at;
  return std::u32string_view::npos;
}

std::size_t rfind_unquoted(std::u32string_view text, std::u32string_view needle, const Spans& quoted) {
  for (std::size_t at = text.rfind(needle); at != std::u32string_view::npos; at = text.rfind(needle, at - 1)) {
    if (!touches_quote(quoted, at, at + needle.size())) return at;
    if (at == 0) break;
  }
  return std::u32string_view::npos;
}

}  // namespace vantle::language
