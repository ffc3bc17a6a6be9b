#pragma once
/// Where a target held quoted text. Quoted text is taken as written: words of
/// the language (relations, ordinals, type words, articles, separators) are
/// read only outside it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vantle::language {

/// One quoted stretch, as [begin, end) code point offsets into a target.
struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
};
using Spans = std::vector<Span>;

/// True when any code point of [begin, end) lies in a quoted stretch.
bool touches_quote(const Spans& quoted, std::size_t begin, std::size_t end);

/// The stretches that fall inside [begin, end) of a text, counted from `begin`.
Spans spans_within(const Spans& quoted, std::size_t begin, std::size_t end);

/// The stretches moved `offset` code points to the right.
Spans shifted(const Spans& quoted, std::size_t offset);

/// A word of a text and where it lies.
struct Word {
  std::u32string text;
  std::size_t begin = 0;
  bool quoted = false;  ///< some of it lies in a quoted stretch
};
/// The text split on runs of white space outside quotes (str.split() for a
/// text without quotes).
std::vector<Word> words(std::u32string_view text, const Spans& quoted);

/// The first place at or after `from` where `needle` occurs outside quotes.
std::size_t find_unquoted(std::u32string_view text, std::u32string_view needle, const Spans& quoted,
                          std::size_t from = 0);
/// The last place where `needle` occurs outside quotes.
std::size_t rfind_unquoted(std::u32string_view text, std::u32string_view needle, const Spans& quoted);

}  // namespace vantle::language
