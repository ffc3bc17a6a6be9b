#include <algorithm>

#include "vantle/language/vocabulary.h"
#include "vantle/spatial/resolver.h"
#include "vantle/text/text.h"

namespace vantle::spatial {

std::u32string normalize(std::u32string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (char32_t c : text)
    if (char32_t f = text::fold(c); f != U' ' && f != U'-') out.push_back(f);
  return out;
}

namespace {

namespace lang = language;

// The word among the unquoted ones, if any.
bool has_word(const std::vector<lang::Word>& words, std::u32string_view word) {
  return std::any_of(words.begin(), words.end(), [&](const lang::Word& w) { return !w.quoted && w.text == word; });
}

// The word, unquoted, as a type of its own: not the "button" of "radio button".
bool has_type_word(const std::vector<lang::Word>& words, std::u32string_view word) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i].quoted || words[i].text != word) continue;
    const lang::TypeWord* before = i > 0 && !words[i - 1].quoted ? lang::type_word(words[i - 1].text) : nullptr;
    if (!before || !before->named_with_type_word) return true;
  }
  return false;
}

// Trims [begin, end) of `lower` and drops leading articles outside quotes.
std::u32string anchor_of(const std::u32string& lower, size_t begin, const lang::Spans& quoted) {
  size_t end = lower.size();
  while (begin < end && text::is_space(lower[begin])) ++begin;
  while (end > begin && text::is_space(lower[end - 1])) --end;
  for (const auto& article : lang::articles()) {
    std::u32string word = article + U" ";
    if (text::starts_with(std::u32string_view(lower).substr(begin, end - begin), word) &&
        !lang::touches_quote(quoted, begin, begin + word.size()))
      begin += word.size();
  }
  return text::strip(std::u32string_view(lower).substr(begin, end - begin));
}

std::optional<std::u32string> joined_or_null(const std::vector<std::u32string>& words) {
  if (words.empty()) return std::nullopt;
  return text::join(words, U" ");
}

}  // namespace

ParsedTarget parse_target(std::u32string_view target, const lang::Spans& quoted) {
  ParsedTarget out;
  const std::u32string lower = text::lower(target);
  const std::vector<lang::Word> words = lang::words(lower, quoted);

  std::optional<std::u32string> rel_keyword, ordinal_word, type_word;
  size_t rel_pos = std::u32string::npos;
  for (const auto& row : lang::relations_longest_first()) {
    rel_pos = lang::find_unquoted(lower, row.phrase, quoted);
    if (rel_pos != std::u32string::npos) {
      rel_keyword = std::u32string(row.phrase);
      out.rel_strategy = std::u32string(row.strategy);
      break;
    }
  }
  for (const auto& row : lang::ordinals()) {
    if (has_word(words, row.word)) {
      out.ordinal = row.number;
      ordinal_word = std::u32string(row.word);
      break;
    }
  }
  for (const auto& row : lang::type_words()) {
    if (!row.element_type.empty() && has_type_word(words, row.word)) {
      out.type_filter = std::u32string(row.element_type);
      type_word = std::u32string(row.word);
      break;
    }
  }

  auto skipped = [&](const lang::Word& w, bool skip_articles) {
    if (w.quoted) return false;
    if ((ordinal_word && w.text == *ordinal_word) || (type_word && w.text == *type_word)) return true;
    if (!skip_articles) return false;
    const auto& articles = lang::articles();
    if (std::find(articles.begin(), articles.end(), w.text) != articles.end()) return true;
    return rel_keyword && text::contains(U" " + *rel_keyword + U" ", U" " + w.text + U" ");
  };

  if (rel_keyword) {
    out.anchor = anchor_of(lower, rel_pos + rel_keyword->size(), quoted);
    std::vector<std::u32string> pre_words;
    for (const auto& w : lang::words(std::u32string_view(lower).substr(0, rel_pos), lang::spans_within(quoted, 0, rel_pos)))
      if (!skipped(w, false)) {
        pre_words.push_back(w.text);
        out.target_quoted = out.target_quoted || w.quoted;
      }
    out.target_text = joined_or_null(pre_words);
  }

  if (out.ordinal && (!out.anchor || out.anchor->empty())) {
    std::vector<std::u32string> remaining;
    for (const auto& w : words)
      if (!skipped(w, true)) remaining.push_back(w.text);
    out.search_text = joined_or_null(remaining);
  }
  return out;
}

}  // namespace vantle::spatial
