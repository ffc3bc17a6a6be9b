#include "vantle/agent/routing.h"
#include "vantle/records/json.h"

#include <algorithm>
#include <vector>

#include "vantle/language/vocabulary.h"
#include "vantle/text/text.h"

namespace vantle::agent {

namespace {

namespace lang = language;

// The unquoted words of a target, lower-cased; a quoted word stays as a gap so
// that a phrase never spans it.
std::vector<std::u32string> plain_words(std::u32string_view target, const lang::Spans& quoted) {
  std::vector<std::u32string> out;
  for (const auto& w : lang::words(target, quoted)) out.push_back(w.quoted ? U"" : text::lower(w.text));
  return out;
}

bool has_phrase(const std::vector<std::u32string>& words, std::u32string_view phrase) {
  std::vector<std::u32string> wanted = text::split_ws(phrase);
  if (wanted.empty() || words.size() < wanted.size()) return false;
  auto it = std::search(words.begin(), words.end(), wanted.begin(), wanted.end());
  return it != words.end();
}

}  // namespace

bool names_position(std::u32string_view target, const lang::Spans& quoted) {
  std::vector<std::u32string> words = plain_words(target, quoted);
  for (const auto& relation : lang::relations())
    if (has_phrase(words, relation.phrase)) return true;
  bool ordinal = std::any_of(words.begin(), words.end(), [](const auto& w) { return lang::ordinal_number(w).has_value(); });
  bool type = std::any_of(words.begin(), words.end(), [](const auto& w) {
    const lang::TypeWord* row = lang::type_word(w);
    return row && !row->element_type.empty();
  });
  return ordinal && type;
}

Route route(const ParsedStep& step) {
  const lang::Action* action = lang::action(step.action);
  switch (action ? action->needs : lang::Needs::element) {
    case lang::Needs::dialog: return Route::dialog;
    case lang::Needs::pause: return Route::wait;
    case lang::Needs::address: return Route::navigate;
    case lang::Needs::keys: return Route::keys;
    case lang::Needs::page: return Route::page;
    // These read the relation phrase themselves or search plain text.
    case lang::Needs::text: return Route::direct;
    case lang::Needs::element: break;
  }
  if (step.literal_target) return Route::direct;
  return names_position(layout_target(step), layout_quoted(step)) ? Route::layout : Route::direct;
}

nlohmann::ordered_json resolver_query(nlohmann::ordered_json record, const ParsedStep& step, Route how) {
  lang::Spans quoted = step.quoted;
  if (how == Route::layout) {
    record["target"] = text::encode(layout_target(step));
    quoted = layout_quoted(step);
  }
  if (quoted.empty()) return record;
  auto spans = nlohmann::ordered_json::array();
  for (const auto& s : quoted) spans.push_back({s.begin, s.end});
  record["_quoted"] = std::move(spans);
  return record;
}

lang::Spans quoted_of(const nlohmann::ordered_json& query) {
  return records::quoted_from_json(records::member(query, "_quoted"));
}

}  // namespace vantle::agent
