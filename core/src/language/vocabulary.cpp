#include "vantle/language/vocabulary.h"

#include <algorithm>

namespace vantle::language {

const std::vector<Action>& actions() {
  static const std::vector<Action> rows = {
      {"click", Needs::element, true},
      {"type", Needs::element, true, "typed text"},
      {"hover", Needs::element, true},
      {"select", Needs::element, true, "a choice of option"},
      {"press_key", Needs::keys, true},
      {"sendkeys", Needs::keys, true},
      {"extract_text", Needs::element, true},
      {"extract_text_spatial", Needs::text, true},
      {"find_text", Needs::text, true},
      {"find_exact_text", Needs::text, true},
      {"verify_present", Needs::element, true},
      {"verify_visible", Needs::element, true},
      {"verify_enabled", Needs::element, true},
      {"verify_disabled", Needs::element, true},
      {"verify_text_present", Needs::text, true},
      {"verify_text_visible", Needs::text, true},
      {"verify_spatial_text", Needs::text, true},
      {"accept_dialog", Needs::dialog, true},
      {"dismiss_dialog", Needs::dialog, true},
      {"verify_dialog", Needs::dialog, true},
      {"verify_not_present", Needs::element, true},
      {"verify_not_visible", Needs::element, true},
      {"verify_text_not_present", Needs::text, true},
      {"verify_text_not_visible", Needs::text, true},
      {"verify_checked", Needs::element, true},
      {"verify_not_checked", Needs::element, true},
      {"check", Needs::element, true, "a tick"},
      {"uncheck", Needs::element, true, "a tick"},
      {"clear", Needs::element, true, "clearing"},
      {"upload", Needs::element, true, "a file"},
      {"double_click", Needs::element, true},
      {"right_click", Needs::element, true},
      {"drag", Needs::element, true},
      {"scroll_to", Needs::element, true},
      {"scroll_down", Needs::page, true},
      {"go_back", Needs::page, true},
      {"reload", Needs::page, true},
      {"verify_url", Needs::page, true},
      {"verify_title", Needs::page, true},
      {"switch_tab", Needs::page, true},
      {"close_tab", Needs::page, true},
      {"verify_cell", Needs::element, true},
      {"extract_cell", Needs::element, true},
      {"wait", Needs::pause, false},
      {"navigate", Needs::address, false},
  };
  return rows;
}

// Rows sharing a first word sit together and are tried in order; rows with
// different first words never compete, so the groups keep the order of
// validation's unknown-action message.
const std::vector<Phrase>& phrases() {
  static const std::vector<Phrase> rows = {
      {U"click ", Form::counted, "click", "", U"", U"", true},
      {U"type ", Form::separated, "type", "", U" into ", U"type <text> into <target>", true},
      {U"verify dialog says ", Form::expected, "verify_dialog", "", U"", U"", true},
      {U"verify url contains ", Form::expected, "verify_url", "", U"", U"verify url contains <text>", true},
      {U"verify title is ", Form::expected, "verify_title", "", U"", U"verify title is <text>", true},
      {U"verify text in row ", Form::cell, "verify_cell", "", U" is ",
       U"verify text in row <row> under <column> is <text>", true},
      {U"verify text ", Form::spatial_check, "", "verify_spatial_text", U" is ", U"", true},
      {U"verify text ", Form::text_state, "", "", U"", U"", true},
      {U"verify ", Form::element_state, "", "", U"", U"", true},
      {U"hover ", Form::named, "hover", "", U"", U"", true},
      {U"select ", Form::separated, "select", "", U" from ", U"select <value> from <target>", true},
      {U"press ", Form::key, "press_key", "", U"", U"", true},
      {U"wait ", Form::unwrapped, "wait", "", U"", U"", true},
      {U"find exact text ", Form::verbatim, "find_exact_text", "", U"", U"", true},
      {U"find text ", Form::named, "find_text", "", U"", U"", true},
      {U"extract text in row ", Form::cell, "extract_cell", "", U"", U"extract text in row <row> under <column>", true},
      {U"extract text ", Form::extract, "extract_text", "extract_text_spatial", U"from ", U"", true},
      {U"sendkeys ", Form::keys, "sendkeys", "", U"", U"", true},
      {U"extract_text ", Form::extract, "extract_text", "extract_text_spatial", U"from ", U"", false},
      {U"navigate ", Form::unwrapped, "navigate", "", U"", U"", false},
      {U"accept dialog", Form::bare, "accept_dialog", "", U"", U"", false},
      {U"dismiss dialog", Form::bare, "dismiss_dialog", "", U"", U"", false},
      {U"check ", Form::named, "check", "", U"", U"check <target>", true},
      {U"uncheck ", Form::named, "uncheck", "", U"", U"uncheck <target>", true},
      {U"clear ", Form::named, "clear", "", U"", U"clear <target>", true},
      {U"upload ", Form::separated, "upload", "", U" into ", U"upload <file> into <target>", true},
      {U"double click ", Form::counted, "double_click", "", U"", U"double click <target>", true},
      {U"right click ", Form::counted, "right_click", "", U"", U"right click <target>", true},
      {U"drag ", Form::paired, "drag", "", U" to ", U"drag <target> to <target>", true},
      {U"scroll down", Form::bare, "scroll_down", "", U"", U"scroll down", true},
      {U"scroll to ", Form::named, "scroll_to", "", U"", U"scroll to <target>", true},
      {U"go back", Form::bare, "go_back", "", U"", U"go back", true},
      {U"reload", Form::bare, "reload", "", U"", U"reload", true},
      {U"switch to tab ", Form::unwrapped, "switch_tab", "", U"", U"switch to tab <number or title>", true},
      {U"close tab", Form::bare, "close_tab", "", U"", U"close tab", true},
      {U"back", Form::reserved, "", "", U"", U"", false},
      {U"refresh", Form::reserved, "", "", U"", U"", false},
  };
  return rows;
}

const std::vector<State>& states() {
  static const std::vector<State> rows = {
      {U"is present", "verify_present", "verify_text_present"},
      {U"is visible", "verify_visible", "verify_text_visible"},
      {U"is enabled", "verify_enabled", ""},
      {U"is disabled", "verify_disabled", ""},
      {U"is not present", "verify_not_present", "verify_text_not_present", U"is present"},
      {U"is not visible", "verify_not_visible", "verify_text_not_visible", U"is visible"},
      {U"is checked", "verify_checked", ""},
      {U"is not checked", "verify_not_checked", "", U"is checked"},
      {U"is unchecked", "verify_not_checked", "", U"is checked"},
  };
  return rows;
}

const std::vector<Relation>& relations() {
  static const std::vector<Relation> rows = {
      {U"next to", U"next_to", U"right", 1, 1},
      {U"below", U"below", U"below", 2, 4},
      {U"under", U"below", U"below", 6, 5},
      {U"above", U"above", U"above", 3, 6},
      {U"left of", U"left", U"left", 4, 3},
      {U"right of", U"right", U"right", 5, 2},
      {U"near", U"near", U"", 7, 0},
  };
  return rows;
}

const std::vector<Ordinal>& ordinals() {
  static const std::vector<Ordinal> rows = {
      {U"first", 1, true}, {U"second", 2, true}, {U"third", 3, true}, {U"fourth", 4, true}, {U"fifth", 5, true},
      {U"1st", 1, false},  {U"2nd", 2, false},   {U"3rd", 3, false},  {U"4th", 4, false},   {U"5th", 5, false},
  };
  return rows;
}

const std::vector<TypeWord>& type_words() {
  static const std::vector<TypeWord> rows = {
      {U"button", U"button", true},   {U"btn", U"button", true},  {U"link", U"link", true},
      {U"anchor", U"link", false},    {U"input", U"input", true}, {U"field", U"input", true},
      {U"textbox", U"input", true},   {U"select", U"select", true}, {U"dropdown", U"select", true},
      {U"icon", U"icon", true},       {U"checkbox", U"checkbox", true, true}, {U"radio", U"radio", true, true},
      {U"box", U"", true},
      {U"textarea", U"", true},       {U"area", U"", true},
      {U"control", U"", true},        {U"widget", U"", true},     {U"form", U"", true},
      {U"element", U"", true},
  };
  return rows;
}

const std::vector<Filler>& fillers() {
  static const std::vector<Filler> rows = {
      {U"the", true}, {U"a", true}, {U"an", true}, {U"on", false}, {U"in", false}, {U"at", false}, {U"into", false},
  };
  return rows;
}

const TableWords& table_words() {
  static const TableWords words = {U" in row ", U" under "};
  return words;
}

// ---- lookups ------------------------------------------------------------------

const Action* action(std::string_view name) {
  for (const auto& row : actions())
    if (row.name == name) return &row;
  return nullptr;
}

std::u32string_view first_word(const Phrase& phrase) {
  std::u32string_view words = phrase.words;
  return words.substr(0, words.find(U' '));
}

namespace {

std::vector<std::u32string> first_words(bool hinted_only) {
  std::vector<std::u32string> out;
  for (const auto& row : phrases()) {
    if (hinted_only && !row.hinted) continue;
    std::u32string word(first_word(row));
    if (std::find(out.begin(), out.end(), word) == out.end()) out.push_back(std::move(word));
  }
  return out;
}

}  // namespace

const std::vector<std::u32string>& known_first_words() {
  static const std::vector<std::u32string> words = first_words(false);
  return words;
}

const std::vector<std::u32string>& hinted_first_words() {
  static const std::vector<std::u32string> words = first_words(true);
  return words;
}

const State* state_of(std::string_view action) {
  for (const auto& row : states())
    if (row.element_action == action || (!row.text_action.empty() && row.text_action == action)) return &row;
  return nullptr;
}

std::string_view negated_action(std::string_view action) {
  const State* row = state_of(action);
  if (!row || row->negates.empty()) return {};
  for (const auto& positive : states()) {
    if (positive.ending != row->negates) continue;
    return row->element_action == action ? positive.element_action : positive.text_action;
  }
  return {};
}

const std::vector<Relation>& relations_longest_first() {
  static const std::vector<Relation> rows = [] {
    std::vector<Relation> sorted = relations();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Relation& a, const Relation& b) { return a.phrase.size() > b.phrase.size(); });
    return sorted;
  }();
  return rows;
}

std::optional<int> ordinal_number(std::u32string_view word, bool leading_only) {
  for (const auto& row : ordinals())
    if (row.word == word && (row.leading || !leading_only)) return row.number;
  return std::nullopt;
}

const TypeWord* type_word(std::u32string_view word) {
  for (const auto& row : type_words())
    if (row.word == word) return &row;
  return nullptr;
}

bool is_filler(std::u32string_view lower_word) {
  const auto& rows = fillers();
  return std::any_of(rows.begin(), rows.end(), [&](const Filler& f) { return f.word == lower_word; });
}

const std::vector<std::u32string>& articles() {
  static const std::vector<std::u32string> words = [] {
    std::vector<std::u32string> out;
    for (const auto& row : fillers())
      if (row.article) out.emplace_back(row.word);
    return out;
  }();
  return words;
}

}  // namespace vantle::language
