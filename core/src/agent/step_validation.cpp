#include "vantle/agent/step_parser.h"

#include "vantle/text/text.h"

#include <algorithm>

namespace vantle::agent {

namespace {

using Issues = std::vector<std::u32string>;

// "<verb> <value> <separator> <target>" and what to say when a part is missing.
struct SeparatedForm {
  std::u32string verb, separator, no_separator, no_value, no_target, usage;
};

const SeparatedForm type_form{U"type ", U" into ", U"`type` instruction missing `into` keyword.",
                              U"`type` instruction missing text to type.",
                              U"`type` instruction missing target field.", U"Expected: type <text> into <target>"};
// A missing value is reported for select too: parse cannot act on `select from X`.
const SeparatedForm select_form{U"select ", U" from ", U"`select` instruction missing `from` keyword.",
                                U"`select` instruction missing value to select.", U"",
                                U"Expected: select <value> from <target>"};

std::u32string joined_states(const std::vector<std::pair<std::string, std::string>>& states) {
  std::vector<std::u32string> keys;
  for (const auto& state : states) keys.push_back(text::u32(state.first));
  return text::join(keys, U" | ");
}

bool ends_with_state(std::u32string_view lower, const std::vector<std::pair<std::string, std::string>>& states) {
  return std::any_of(states.begin(), states.end(),
                     [&](const auto& state) { return text::ends_with(lower, text::u32(state.first)); });
}

std::u32string first_word(std::u32string_view lower) {
  size_t end = 0;
  while (end < lower.size() && !text::is_space(lower[end])) ++end;
  return std::u32string(lower.substr(0, end));
}

bool known_action(std::u32string_view word) {
  const auto& known = tables::known_actions;
  return std::any_of(known.begin(), known.end(), [&](const std::string& w) { return word == text::u32(w); });
}

// `raw` and `lower` share positions: lower-casing keeps one code point per code point.
void check_separated(const SeparatedForm& form, std::u32string_view raw, std::u32string_view lower, Issues& issues) {
  if (!text::starts_with(lower, form.verb)) return;
  if (!text::contains(lower, form.separator)) {
    issues.push_back(form.no_separator + U" " + form.usage);
    return;
  }
  const size_t verb = form.verb.size();
  size_t pos = lower.find(form.separator, verb);
  std::u32string value, target;
  if (pos == std::u32string_view::npos) {
    // "type into X": the keyword right after the verb is the separator, so
    // the value is what is missing.
    target = text::strip(raw.substr(std::min(raw.size(), verb + form.separator.size() - 1)));
  } else {
    value = text::strip(raw.substr(verb, pos - verb));
    target = text::strip(raw.substr(pos + form.separator.size()));
  }
  if (value.empty()) issues.push_back(form.no_value + U" " + form.usage);
  if (target.empty() && !form.no_target.empty()) issues.push_back(form.no_target + U" " + form.usage);
}

void check_verify(std::u32string_view lower, Issues& issues) {
  if (!text::starts_with(lower, U"verify ") || text::starts_with(lower, U"verify text ") ||
      text::starts_with(lower, U"verify dialog"))
    return;
  if (!ends_with_state(lower, tables::verify_states))
    issues.push_back(U"`verify` instruction missing state. Expected ending: " + joined_states(tables::verify_states));
}

void check_verify_text(std::u32string_view lower, Issues& issues) {
  if (!text::starts_with(lower, U"verify text ")) return;
  static const std::u32string spatial[] = {U"verify text next to", U"verify text below", U"verify text above",
                                           U"verify text left", U"verify text right"};
  for (const auto& prefix : spatial)
    if (text::starts_with(lower, prefix)) return;
  if (!ends_with_state(lower, tables::verify_text_states))
    issues.push_back(U"`verify text` instruction missing state. Expected ending: " +
                     joined_states(tables::verify_text_states));
}

void check_wait(std::u32string_view raw, std::u32string_view lower, Issues& issues) {
  if (!text::starts_with(lower, U"wait ")) return;
  std::u32string ms = text::strip_chars(text::strip_chars(text::strip(raw.substr(5)), U"\""), U"'");
  if (ms.empty() || !std::all_of(ms.begin(), ms.end(), [](char32_t c) { return text::is_digit(c); }))
    issues.push_back(U"`wait` value must be a number in milliseconds. Got: " + text::quoted(ms));
}

}  // namespace

std::vector<std::u32string> validate(std::u32string_view instruction) {
  std::u32string raw = text::strip(instruction);
  if (raw.empty()) return {U"Instruction is empty."};
  if (std::count(raw.begin(), raw.end(), U'"') % 2 != 0)
    return {U"Unbalanced quote \u2014 missing closing `\"` in: " + text::quoted(raw)};
  std::u32string lower = text::lower(raw);
  std::u32string word = first_word(lower);
  if (!known_action(word))
    return {U"Unknown action " + text::quoted(word) +
            U". Expected one of: click, type, verify, hover, select, press, wait, find, extract, sendkeys."};
  Issues issues;
  check_separated(type_form, raw, lower, issues);
  check_separated(select_form, raw, lower, issues);
  check_verify(lower, issues);
  check_verify_text(lower, issues);
  check_wait(raw, lower, issues);
  return issues;
}

std::map<int, std::vector<std::u32string>> validate_all(const std::vector<std::u32string>& instructions) {
  std::map<int, std::vector<std::u32string>> out;
  for (size_t i = 0; i < instructions.size(); ++i) {
    auto issues = validate(instructions[i]);
    if (!issues.empty()) out.emplace(static_cast<int>(i + 1), std::move(issues));
  }
  return out;
}

}  // namespace vantle::agent
