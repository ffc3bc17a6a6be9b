#include <algorithm>

#include "vantle/spatial/resolver.h"
#include "vantle/text/text.h"

namespace vantle::spatial {

std::u32string normalize(std::u32string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (char32_t c : text)
    if (c != U' ' && c != U'-') out.push_back(text::lower(c));
  return out;
}

namespace {

bool has_word(const std::vector<std::u32string>& words, std::u32string_view word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

// Longest phrase first; phrases of equal length keep table order.
std::vector<Relation> relations_by_length() {
  std::vector<Relation> rows(std::begin(RELATIONS), std::end(RELATIONS));
  std::stable_sort(rows.begin(), rows.end(), [](const Relation& a, const Relation& b) {
    return std::u32string_view(a.phrase).size() > std::u32string_view(b.phrase).size();
  });
  return rows;
}

std::u32string drop_articles(std::u32string anchor) {
  for (const char32_t* article : ARTICLES) {
    std::u32string prefix = std::u32string(article) + U" ";
    if (text::starts_with(anchor, prefix)) anchor.erase(0, prefix.size());
  }
  return anchor;
}

std::optional<std::u32string> joined_or_null(const std::vector<std::u32string>& words) {
  if (words.empty()) return std::nullopt;
  return text::join(words, U" ");
}

}  // namespace

ParsedTarget parse_target(std::u32string_view target) {
  static const std::vector<Relation> relations = relations_by_length();
  ParsedTarget out;
  const std::u32string lower = text::lower(target);
  const std::vector<std::u32string> words = text::split_ws(lower);

  std::optional<std::u32string> rel_keyword, ordinal_word, type_word;
  size_t rel_pos = std::u32string::npos;
  for (const auto& row : relations) {
    rel_pos = lower.find(row.phrase);
    if (rel_pos != std::u32string::npos) {
      rel_keyword = row.phrase;
      out.rel_strategy = row.strategy;
      break;
    }
  }
  for (const auto& row : ORDINALS) {
    if (has_word(words, row.word)) {
      out.ordinal = row.number;
      ordinal_word = row.word;
      break;
    }
  }
  for (const auto& row : TYPE_KEYWORDS) {
    if (has_word(words, row.word)) {
      out.type_filter = row.type;
      type_word = row.word;
      break;
    }
  }

  auto skipped = [&](const std::u32string& w, bool skip_articles) {
    if ((ordinal_word && w == *ordinal_word) || (type_word && w == *type_word)) return true;
    if (!skip_articles) return false;
    for (const char32_t* article : ARTICLES)
      if (w == article) return true;
    return rel_keyword && has_word(text::split_ws(*rel_keyword), w);
  };

  if (rel_keyword) {
    std::u32string_view before = std::u32string_view(lower).substr(0, rel_pos);
    std::u32string_view after = std::u32string_view(lower).substr(rel_pos + rel_keyword->size());
    out.anchor = text::strip(drop_articles(text::strip(after)));
    std::vector<std::u32string> pre_words;
    for (auto& w : text::split_ws(text::strip(before)))
      if (!skipped(w, false)) pre_words.push_back(w);
    out.target_text = joined_or_null(pre_words);
  }

  if (out.ordinal && (!out.anchor || out.anchor->empty())) {
    std::vector<std::u32string> remaining;
    for (const auto& w : words)
      if (!skipped(w, true)) remaining.push_back(w);
    out.search_text = joined_or_null(remaining);
  }
  return out;
}

}  // namespace vantle::spatial
