#include "vantle/agent/step_parser.h"

#include "vantle/language/vocabulary.h"
#include "vantle/text/text.h"

#include <algorithm>

namespace vantle::agent {

namespace {

namespace lang = language;
using Issues = std::vector<std::u32string>;

std::u32string joined_endings(bool of_text) {
  std::vector<std::u32string> endings;
  for (const auto& row : lang::states())
    if (!of_text || !row.text_action.empty()) endings.emplace_back(row.ending);
  return text::join(endings, U" | ");
}

bool ends_with_state(std::u32string_view lower, bool of_text) {
  const auto& rows = lang::states();
  return std::any_of(rows.begin(), rows.end(), [&](const lang::State& row) {
    return (!of_text || !row.text_action.empty()) && text::ends_with(lower, row.ending);
  });
}

std::u32string first_word(std::u32string_view lower) {
  size_t end = 0;
  while (end < lower.size() && !text::is_space(lower[end])) ++end;
  return std::u32string(lower.substr(0, end));
}

bool known_action(std::u32string_view word) {
  const auto& known = lang::known_first_words();
  return std::find(known.begin(), known.end(), word) != known.end();
}

std::u32string hint() {
  return text::join(lang::hinted_first_words(), U", ");
}

// A word of the usage in angle brackets: "type <text> into <target>" -> "text".
std::u32string placeholder(std::u32string_view usage) {
  size_t open = usage.find(U'<'), close = usage.find(U'>');
  return open < close && close != std::u32string_view::npos ? std::u32string(usage.substr(open + 1, close - open - 1))
                                                           : U"value";
}

// "<verb> <value> <separator> <target>", read on the text without its quote
// pairs, as parse() reads it: a quoted separator is part of a name.
void check_separated(const lang::Phrase& form, std::u32string_view raw, Issues& issues) {
  Unquoted plain = unquote(raw);
  std::u32string lower = text::lower(plain.text);
  if (!text::starts_with(lower, form.words)) return;
  std::u32string verb = text::strip(form.words);
  std::u32string usage = U"Expected: " + std::u32string(form.usage);
  std::u32string keyword = text::strip(form.separator);
  const size_t after_verb = form.words.size();
  if (language::find_unquoted(lower, form.separator, plain.quoted) == std::u32string::npos) {
    issues.push_back(U"`" + verb + U"` instruction missing `" + keyword + U"` keyword. " + usage);
    return;
  }
  size_t pos = language::find_unquoted(lower, form.separator, plain.quoted, after_verb);
  // "type into X": the keyword right after the verb is the separator, so the
  // value is what is missing.
  size_t value_end = pos == std::u32string::npos ? after_verb : pos;
  size_t target_begin = std::min(plain.text.size(), pos == std::u32string::npos
                                                        ? after_verb + form.separator.size() - 1
                                                        : pos + form.separator.size());
  // A quoted space is something to type; white space outside quotes is not.
  auto blank = [&](size_t begin, size_t end) {
    return text::strip(plain.text.substr(begin, end - begin)).empty() &&
           !language::touches_quote(plain.quoted, begin, end);
  };
  if (blank(after_verb, value_end))
    issues.push_back(U"`" + verb + U"` instruction missing " + placeholder(form.usage) + U" to " + verb + U". " + usage);
  if (blank(target_begin, plain.text.size()))
    issues.push_back(U"`" + verb + U"` instruction missing target field. " + usage);
}

// Another phrase with the same first word that the line begins with
// ("verify text ", "verify dialog says " for "verify ").
bool longer_phrase(std::u32string_view lower, const lang::Phrase& form) {
  for (const auto& other : lang::phrases()) {
    if (other.words.size() > form.words.size() && text::starts_with(other.words, form.words) &&
        text::starts_with(lower, other.words))
      return true;
  }
  return false;
}

bool opens_with_relation(std::u32string_view rest) {
  const auto& rows = lang::relations();
  return std::any_of(rows.begin(), rows.end(),
                     [&](const lang::Relation& r) { return text::starts_with(rest, std::u32string(r.phrase) + U" "); });
}

// "<relation> <anchor> is <text>": both sides of the last " is " outside quotes hold something.
bool reads_expected_text(std::u32string_view raw, const lang::Phrase& check) {
  Unquoted plain = unquote(raw);
  std::u32string lower = text::lower(plain.text);
  size_t is_pos = lang::rfind_unquoted(lower, check.separator, plain.quoted);
  if (is_pos == std::u32string::npos || is_pos < check.words.size()) return false;
  return !text::strip(lower.substr(check.words.size(), is_pos - check.words.size())).empty() &&
         !text::strip(lower.substr(is_pos + check.separator.size())).empty();
}

const lang::Phrase* spatial_check_of(const lang::Phrase& form) {
  for (const auto& other : lang::phrases())
    if (other.form == lang::Form::spatial_check && other.words == form.words) return &other;
  return nullptr;
}

void check_state(const lang::Phrase& form, std::u32string_view raw, std::u32string_view lower, Issues& issues) {
  if (!text::starts_with(lower, form.words) || longer_phrase(lower, form)) return;
  bool of_text = form.form == lang::Form::text_state;
  std::u32string verb = text::strip(form.words);
  const lang::Phrase* spatial = of_text ? spatial_check_of(form) : nullptr;
  if (spatial && opens_with_relation(lower.substr(form.words.size()))) {
    if (reads_expected_text(raw, *spatial) || ends_with_state(lower, of_text)) return;
    issues.push_back(U"`" + verb + U"` instruction missing expected text. Expected: " + verb +
                     U" <relation> <anchor> is <text>");
    return;
  }
  if (ends_with_state(lower, of_text)) return;
  issues.push_back(U"`" + verb + U"` instruction missing state. Expected ending: " + joined_endings(of_text));
}

void check_wait(const lang::Phrase& form, std::u32string_view raw, std::u32string_view lower, Issues& issues) {
  if (!text::starts_with(lower, form.words)) return;
  std::u32string ms = text::strip_chars(text::strip_chars(text::strip(raw.substr(form.words.size())), U"\""), U"'");
  if (ms.empty() || !std::all_of(ms.begin(), ms.end(), [](char32_t c) { return text::is_digit(c); }))
    issues.push_back(U"`wait` value must be a number in milliseconds. Got: " + text::quoted(ms));
}

bool blank(const std::optional<std::u32string>& part) { return !part || text::strip(*part).empty(); }

// What a parsed step of this row lacks of the parts its usage names.
std::u32string missing_part(const lang::Phrase& row, const ParsedStep& step) {
  const std::u32string_view usage = row.usage;
  if (row.form == lang::Form::cell) {
    if (!step.row_number && blank(step.row)) return U"row";
    if (text::contains(usage, U"<column>") && blank(step.column) && !row.separator.empty()) return U"column";
  } else if (text::contains(usage, U"<target>") && blank(step.target)) {
    return U"target";
  }
  if (row.form == lang::Form::paired && blank(step.value)) return U"destination";
  if (text::contains(usage, U"<text>") && blank(step.value)) return U"text";
  return U"";
}

// The phrases that carry their own usage are checked by parsing the line: one
// that no row of its group reads, or that lacks a part its usage names, gets
// the usage as its issue. Returns whether the line was such a one.
bool check_usage(std::u32string_view raw, std::u32string_view lower, Issues& issues) {
  const std::u32string word = first_word(lower);
  std::vector<const lang::Phrase*> group;
  bool only_usage = true;
  const lang::Phrase* led = nullptr;
  const std::u32string spaced = text::join(text::split_ws(lower), U" ") + U" ";
  for (const auto& row : lang::phrases()) {
    if (lang::first_word(row) != word) continue;
    group.push_back(&row);
    only_usage = only_usage && !row.usage.empty();
    if (!led && !row.usage.empty() && row.form != lang::Form::separated &&
        text::starts_with(spaced, std::u32string(row.words) + (text::ends_with(row.words, U" ") ? U"" : U" ")))
      led = &row;
  }
  if (group.empty() || (!only_usage && !led)) return false;
  if (!led && std::all_of(group.begin(), group.end(), [](const lang::Phrase* r) { return r->form == lang::Form::separated; }))
    return false;  // check_separated reads these
  const std::u32string name = U"`" + (led && !only_usage ? text::strip(led->words) : word) + U"` instruction ";
  std::vector<std::u32string> usages;
  for (const auto* row : group)
    if (!row->usage.empty() && (only_usage || row == led)) usages.emplace_back(row->usage);
  try {
    const ParsedStep step = parse(raw);
    for (const auto* row : group) {
      if (row->action != step.action) continue;
      const std::u32string part = missing_part(*row, step);
      if (!part.empty()) issues.push_back(name + U"missing " + part + U". Expected: " + std::u32string(row->usage));
      return true;
    }
  } catch (const InvalidInstruction&) {
  }
  issues.push_back(name + U"does not match its form. Expected: " + text::join(usages, U" | "));
  return true;
}

// Quotes written \" inside a pair are part of its text, not pair ends.
size_t quote_count(std::u32string_view raw) {
  size_t n = 0;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == U'\\' && i + 1 < raw.size() && raw[i + 1] == U'"') ++i;
    else if (raw[i] == U'"') ++n;
  }
  return n;
}

}  // namespace

std::vector<std::u32string> validate(std::u32string_view instruction) {
  std::u32string raw = text::strip(instruction);
  if (raw.empty()) return {U"Instruction is empty."};
  if (quote_count(raw) % 2 != 0) return {U"Unbalanced quote \u2014 missing closing `\"` in: " + text::quoted(raw)};
  std::u32string lower = text::lower(raw);
  std::u32string word = first_word(lower);
  if (!known_action(word)) return {U"Unknown action " + text::quoted(word) + U". Expected one of: " + hint() + U"."};
  Issues issues;
  if (check_usage(raw, lower, issues)) return issues;
  for (const auto& form : lang::phrases()) {
    switch (form.form) {
      case lang::Form::separated: check_separated(form, raw, issues); break;
      case lang::Form::text_state:
      case lang::Form::element_state: check_state(form, raw, lower, issues); break;
      default:
        if (form.action == "wait") check_wait(form, raw, lower, issues);
    }
  }
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
