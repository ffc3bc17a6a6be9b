#include "vantle/agent/routing.h"

#include <algorithm>
#include <vector>

#include "vantle/text/text.h"

namespace vantle::agent {

namespace {

using text::u32;

// Relation phrases as word sequences.
const std::vector<std::vector<std::u32string>> kRelations = {
    {U"next", U"to"}, {U"below"}, {U"under"}, {U"above"}, {U"left", U"of"}, {U"right", U"of"}, {U"near"},
};

const std::vector<std::u32string> kOrdinalWords = {
    U"first", U"second", U"third", U"fourth", U"fifth", U"1st", U"2nd", U"3rd", U"4th", U"5th",
};

const std::vector<std::u32string> kTypeWords = {
    U"button", U"btn", U"link", U"anchor", U"input", U"field", U"textbox", U"select", U"dropdown",
};

bool in(const std::vector<std::u32string>& table, const std::u32string& word) {
  return std::find(table.begin(), table.end(), word) != table.end();
}

bool has_phrase(const std::vector<std::u32string>& words, const std::vector<std::u32string>& phrase) {
  if (words.size() < phrase.size()) return false;
  for (std::size_t i = 0; i + phrase.size() <= words.size(); ++i) {
    if (std::equal(phrase.begin(), phrase.end(), words.begin() + static_cast<std::ptrdiff_t>(i))) return true;
  }
  return false;
}

// The text after the parser's prefix, where it looks for a leading ordinal.
std::u32string ordinal_zone(std::u32string_view instruction, const ParsedStep& step) {
  std::u32string stripped = unquote(text::strip(instruction)).text;
  std::u32string lower = text::lower(stripped);
  if (step.action == "click" && text::starts_with(lower, U"click ")) return stripped.substr(6);
  if (step.action != "extract_text") return {};
  for (const auto& prefix : {std::u32string(U"extract text "), std::u32string(U"extract_text ")}) {
    if (!text::starts_with(lower, prefix)) continue;
    std::u32string rest = stripped.substr(prefix.size());
    if (text::starts_with(text::lower(rest), U"from ")) rest = rest.substr(5);
    return rest;
  }
  return {};
}

}  // namespace

bool names_position(std::u32string_view target) {
  std::vector<std::u32string> words = text::split_ws(text::lower(target));
  for (const auto& phrase : kRelations) {
    if (has_phrase(words, phrase)) return true;
  }
  bool ordinal = std::any_of(words.begin(), words.end(), [](const auto& w) { return in(kOrdinalWords, w); });
  bool type = std::any_of(words.begin(), words.end(), [](const auto& w) { return in(kTypeWords, w); });
  return ordinal && type;
}

std::u32string taken_ordinal_word(std::u32string_view instruction, const ParsedStep& step) {
  if (!step.ordinal) return {};
  std::vector<std::u32string> words = text::split_ws(ordinal_zone(instruction, step));
  if (words.empty()) return {};
  std::u32string first = text::lower(words.front());
  for (const auto& [word, number] : tables::ordinals) {
    if (first == u32(word)) return words.front();
  }
  return {};
}

std::u32string layout_target(std::u32string_view instruction, const ParsedStep& step) {
  std::u32string target = step.target.value_or(U"");
  std::u32string word = taken_ordinal_word(instruction, step);
  if (word.empty()) return target;
  return target.empty() ? word : word + U" " + target;
}

Route route(std::u32string_view instruction, const ParsedStep& step) {
  const std::string& a = step.action;
  if (a == "accept_dialog" || a == "dismiss_dialog" || a == "verify_dialog") return Route::dialog;
  if (a == "wait") return Route::wait;
  if (a == "navigate") return Route::navigate;
  if (a == "press_key" || a == "sendkeys") return Route::keys;
  // These paths read the relation phrase themselves or search plain text.
  if (a == "verify_spatial_text" || a == "extract_text_spatial" || a == "find_text" ||
      a == "find_exact_text" || a == "verify_text_present" || a == "verify_text_visible")
    return Route::direct;
  if (step.literal_target) return Route::direct;
  return names_position(layout_target(instruction, step)) ? Route::layout : Route::direct;
}

}  // namespace vantle::agent
