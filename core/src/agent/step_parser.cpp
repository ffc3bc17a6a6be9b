#include "vantle/agent/step_parser.h"

#include "vantle/language/vocabulary.h"
#include "vantle/text/text.h"

#include <algorithm>

namespace vantle::agent {

namespace lang = language;
using lang::Form;
using lang::Phrase;
using lang::Spans;

const char* const quote_pattern = "\"([^\"]+)\"";

InvalidInstruction::InvalidInstruction(std::u32string message)
    : std::invalid_argument(text::encode(message)), message_(std::move(message)) {}

namespace {

// A stretch of the instruction and where it held quoted text.
struct Piece {
  std::u32string text;
  Spans quoted;
};

Piece slice(const Piece& p, size_t begin, size_t end = std::u32string::npos) {
  end = std::min(end, p.text.size());
  if (begin >= end) return {};
  return {p.text.substr(begin, end - begin), lang::spans_within(p.quoted, begin, end)};
}

bool unquoted_space(const Piece& p, size_t at) {
  return text::is_space(p.text[at]) && !lang::touches_quote(p.quoted, at, at + 1);
}

// Trims white space outside quotes: quoted spaces are part of the name.
Piece strip(const Piece& p) {
  size_t begin = 0, end = p.text.size();
  while (begin < end && unquoted_space(p, begin)) ++begin;
  while (end > begin && unquoted_space(p, end - 1)) --end;
  return slice(p, begin, end);
}

// Drops leading filler words outside quotes and joins the words with one space.
Piece clean(const Piece& p) {
  std::vector<lang::Word> words = lang::words(p.text, p.quoted);
  size_t first = 0;
  while (first < words.size() && !words[first].quoted && lang::is_filler(text::lower(words[first].text))) ++first;
  Piece out;
  for (size_t i = first; i < words.size(); ++i) {
    if (!out.text.empty()) out.text += U' ';
    const lang::Word& w = words[i];
    for (const auto& s : lang::spans_within(p.quoted, w.begin, w.begin + w.text.size()))
      out.quoted.push_back({s.begin + out.text.size(), s.end + out.text.size()});
    out.text += w.text;
  }
  return out;
}

struct Counted {
  int ordinal = 1;
  std::u32string word;  // as written; empty when none was taken
  Piece rest;
};

// A leading ordinal word outside quotes: a quoted one names the element.
Counted take_ordinal(const Piece& p) {
  std::vector<lang::Word> words = lang::words(p.text, p.quoted);
  if (words.empty() || words[0].quoted) return {1, U"", p};
  auto number = lang::ordinal_number(text::lower(words[0].text), true);
  if (!number) return {1, U"", p};
  size_t rest = words[0].begin + words[0].text.size();
  while (rest < p.text.size() && unquoted_space(p, rest)) ++rest;
  return {*number, words[0].text, slice(p, rest)};
}

// Whitespace trim, then the double quotes, then the single quotes at both ends.
std::u32string unwrap(std::u32string_view rest) {
  return text::strip_chars(text::strip_chars(text::strip(rest), U"\""), U"'");
}

// The text with its quote pairs put back.
Piece as_written(const Piece& p) {
  Piece out;
  size_t from = 0;
  for (const auto& s : p.quoted) {
    out.text += p.text.substr(from, s.begin - from) + U"\"";
    out.quoted.push_back({out.text.size(), out.text.size() + (s.end - s.begin)});
    out.text += p.text.substr(s.begin, s.end - s.begin) + U"\"";
    from = s.end;
  }
  out.text += p.text.substr(std::min(from, p.text.size()));
  return out;
}

[[noreturn]] void fail_unrecognised(std::u32string_view instruction) {
  std::vector<std::u32string> names;
  for (const auto& a : lang::actions())
    if (a.listed) names.push_back(text::u32(a.name));
  throw InvalidInstruction(U"Unrecognised instruction: " + text::quoted(instruction) +
                           U". Supported actions: " + text::quoted_list(names));
}

// One parse call: the instruction as given, without its quote pairs, its
// lowered copy (same positions) and the quoted literals.
struct Line {
  std::u32string_view original;
  Piece stripped;
  std::u32string lower;
  std::vector<std::u32string> literals;

  bool literal(const Piece& p) const { return is_literal(p.text, literals); }
  Piece literal_or_clean(const Piece& p) const { return literal(p) ? p : clean(p); }
  Piece rest(size_t prefix) const { return slice(stripped, prefix); }
  bool unquoted(size_t begin, size_t length) const {
    return !lang::touches_quote(stripped.quoted, begin, begin + length);
  }
  bool ends_with(std::u32string_view ending) const {
    return text::ends_with(lower, ending) && unquoted(lower.size() - ending.size(), ending.size());
  }
  // A relation phrase, outside quotes, opens the text at `at`.
  bool relation_at(size_t at) const {
    for (const auto& r : lang::relations()) {
      std::u32string keyword = std::u32string(r.phrase) + U" ";
      if (text::starts_with(std::u32string_view(lower).substr(std::min(at, lower.size())), keyword) &&
          unquoted(at, keyword.size()))
        return true;
    }
    return false;
  }
};

ParsedStep record(std::string_view action, std::optional<Piece> target, std::optional<std::u32string> value,
                  bool literal) {
  ParsedStep out;
  out.action = std::string(action);
  if (target) {
    out.target = std::move(target->text);
    out.quoted = std::move(target->quoted);
  }
  out.value = std::move(value);
  out.literal_target = literal;
  return out;
}

// A target searched for as page text keeps the quotes it was written with,
// unless the whole of it was one quoted literal.
ParsedStep target_record(const Line& s, std::string_view action, Piece target) {
  bool literal = s.literal(target);
  const lang::Action* row = lang::action(action);
  if (!literal && row && row->needs == lang::Needs::text) target = as_written(target);
  return record(action, std::move(target), std::nullopt, literal);
}

ParsedStep named(const Line& s, std::string_view action, const Piece& raw) {
  return target_record(s, action, s.literal_or_clean(raw));
}

ParsedStep counted(const Line& s, std::string_view action, const Piece& raw) {
  Counted c = take_ordinal(raw);
  ParsedStep out = named(s, action, c.rest);
  out.ordinal = c.ordinal;
  out.ordinal_word = std::move(c.word);
  return out;
}

// "<value><separator><target>"; the separator counts only outside quotes.
std::optional<ParsedStep> separated(const Line& s, const Phrase& p) {
  const auto& quoted = s.stripped.quoted;
  if (lang::find_unquoted(s.lower, p.separator, quoted) == std::u32string::npos) return std::nullopt;
  size_t pos = lang::find_unquoted(s.lower, p.separator, quoted, p.words.size());
  // The only separator may begin inside the phrase ("type into X"): there is
  // then no value at all, which is not an instruction we can act on.
  if (pos == std::u32string::npos)
    throw InvalidInstruction(U"Malformed instruction: " + text::quoted(s.original) + U". Expected: " +
                             std::u32string(p.usage));
  std::u32string value = slice(s.stripped, p.words.size(), pos).text;
  Piece raw_target = s.rest(pos + p.separator.size());
  Piece trimmed = strip(raw_target);
  Piece target = s.literal(trimmed) ? trimmed : clean(raw_target);
  bool literal = s.literal(target);
  return record(p.action, std::move(target), std::move(value), literal);
}

std::optional<ParsedStep> extract(const Line& s, const Phrase& p) {
  size_t at = p.words.size();
  if (s.relation_at(at)) return record(p.relative_action, s.rest(at), std::nullopt, false);
  if (text::starts_with(std::u32string_view(s.lower).substr(at), p.separator) && s.unquoted(at, p.separator.size()))
    at += p.separator.size();
  return counted(s, p.action, s.rest(at));
}

std::optional<ParsedStep> spatial_check(const Line& s, const Phrase& p) {
  size_t prefix = p.words.size();
  if (!s.relation_at(prefix)) return std::nullopt;
  size_t is_pos = lang::rfind_unquoted(s.lower, p.separator, s.stripped.quoted);
  if (is_pos == std::u32string::npos || is_pos < prefix) return std::nullopt;
  Piece target = strip(slice(s.stripped, prefix, is_pos));
  std::u32string expected = text::strip(s.rest(is_pos + p.separator.size()).text);
  if (target.text.empty() || expected.empty()) return std::nullopt;
  return record(p.relative_action, std::move(target), std::move(expected), false);
}

std::optional<ParsedStep> state(const Line& s, const Phrase& p, bool of_text) {
  for (const auto& row : lang::states()) {
    std::string_view action = of_text ? row.text_action : row.element_action;
    if (action.empty() || !s.ends_with(row.ending)) continue;
    Piece raw = strip(slice(s.stripped, p.words.size(), s.lower.size() - row.ending.size()));
    return of_text ? target_record(s, action, raw) : named(s, action, raw);
  }
  return std::nullopt;
}

// "<target><separator><target>": the first outside-quotes separator splits
// them, so a quoted name may hold the word.
std::optional<ParsedStep> paired(const Line& s, const Phrase& p) {
  const size_t pos = lang::find_unquoted(s.lower, p.separator, s.stripped.quoted, p.words.size());
  if (pos == std::u32string::npos) return std::nullopt;
  ParsedStep out = named(s, p.action, slice(s.stripped, p.words.size(), pos));
  out.value = s.literal_or_clean(s.rest(pos + p.separator.size())).text;
  return out;
}

// "<row>[ under <column>]": a row is a number unless quoted, else a cell's text.
void read_row(const Piece& rest, ParsedStep& out) {
  const lang::TableWords& words = lang::table_words();
  const size_t under = lang::find_unquoted(text::lower(rest.text), words.column, rest.quoted);
  const Piece row = strip(slice(rest, 0, under));
  if (under != std::u32string::npos) out.column = strip(slice(rest, under + words.column.size())).text;
  const bool number = row.quoted.empty() && !row.text.empty() && row.text.size() < 9 &&
                      std::all_of(row.text.begin(), row.text.end(), [](char32_t c) { return c >= U'0' && c <= U'9'; });
  if (number) out.row_number = std::stoi(text::encode(row.text));
  else out.row = row.text;
}

// A cell read or checked: "<row>[ under <column>]" then, for a check,
// "<separator><expected text>".
std::optional<ParsedStep> cell(const Line& s, const Phrase& p) {
  Piece rest = s.rest(p.words.size());
  std::optional<std::u32string> expected;
  if (!p.separator.empty()) {
    const size_t is = lang::rfind_unquoted(text::lower(rest.text), p.separator, rest.quoted);
    if (is == std::u32string::npos) return std::nullopt;
    expected = text::strip(slice(rest, is + p.separator.size()).text);
    rest = slice(rest, 0, is);
  }
  ParsedStep out = record(p.action, std::nullopt, std::move(expected), false);
  read_row(rest, out);
  return out;
}

std::optional<ParsedStep> apply(const Line& s, const Phrase& p) {
  if (p.form == Form::bare) {
    // However the words are spaced.
    if (text::join(text::split_ws(s.lower), U" ") != p.words) return std::nullopt;
    return record(p.action, std::nullopt, std::nullopt, false);
  }
  // A quoted word is a name, never a keyword: 'verify "Title" is present'
  // checks for a title on the page, not the page's title.
  if (p.form == Form::reserved || !text::starts_with(s.lower, p.words) || !s.unquoted(0, p.words.size()))
    return std::nullopt;
  const Piece rest = s.rest(p.words.size());
  switch (p.form) {
    case Form::separated: return separated(s, p);
    case Form::named: return named(s, p.action, rest);
    case Form::counted: return counted(s, p.action, rest);
    case Form::extract: return extract(s, p);
    case Form::verbatim: return target_record(s, p.action, rest);
    case Form::key: return record(p.action, Piece{text::strip(rest.text), {}}, std::nullopt, false);
    case Form::unwrapped: return record(p.action, Piece{unwrap(rest.text), {}}, std::nullopt, false);
    case Form::keys: {
      std::u32string keys = unwrap(rest.text);
      return record(p.action, Piece{keys, {}}, keys, false);
    }
    case Form::expected: return record(p.action, std::nullopt, rest.text, false);
    case Form::spatial_check: return spatial_check(s, p);
    case Form::text_state: return state(s, p, true);
    case Form::element_state: return state(s, p, false);
    case Form::paired: return paired(s, p);
    case Form::cell: return cell(s, p);
    default: return std::nullopt;
  }
}

}  // namespace

bool is_literal(std::u32string_view target, const std::vector<std::u32string>& literals) {
  return std::any_of(literals.begin(), literals.end(),
                     [&](const std::u32string& lit) { return lit == target; });
}

namespace {

// The content of the pair opened at `open`, with \" read as a quote, and where
// it closes; npos when it never does.
size_t close_of(std::u32string_view s, size_t open, std::u32string& content) {
  for (size_t i = open + 1; i < s.size(); ++i) {
    if (s[i] == U'\\' && i + 1 < s.size() && s[i + 1] == U'"') {
      content += U'"';
      ++i;
    } else if (s[i] == U'"') {
      return i;
    } else {
      content += s[i];
    }
  }
  return std::u32string_view::npos;
}

}  // namespace

Unquoted unquote(std::u32string_view instruction) {
  Unquoted out;
  size_t from = 0;  // start of the text not yet copied
  size_t pos = 0;   // where the next pair may open
  while (true) {
    size_t open = instruction.find(U'"', pos);
    if (open == std::u32string_view::npos) break;
    std::u32string content;
    size_t close = close_of(instruction, open, content);
    if (close == std::u32string_view::npos) break;
    if (close == open + 1) {  // "" holds nothing: the second quote may open a pair
      pos = close;
      continue;
    }
    out.text.append(instruction.substr(from, open - from));
    out.quoted.push_back({out.text.size(), out.text.size() + content.size()});
    out.text.append(content);
    out.literals.push_back(std::move(content));
    from = pos = close + 1;
  }
  out.text.append(instruction.substr(from));
  return out;
}

std::u32string clean_target(std::u32string_view target) { return clean(Piece{std::u32string(target), {}}).text; }

std::pair<int, std::u32string> extract_ordinal(std::u32string_view text) {
  Counted c = take_ordinal(Piece{std::u32string(text), {}});
  return {c.ordinal, std::move(c.rest.text)};
}

std::u32string layout_target(const ParsedStep& step) {
  std::u32string target = step.target.value_or(U"");
  if (step.ordinal_word.empty()) return target;
  return target.empty() ? step.ordinal_word : step.ordinal_word + U" " + target;
}

language::Spans layout_quoted(const ParsedStep& step) {
  return step.ordinal_word.empty() ? step.quoted : lang::shifted(step.quoted, step.ordinal_word.size() + 1);
}

ParsedStep parse(std::u32string_view instruction) {
  Line s;
  s.original = instruction;
  Unquoted unquoted = unquote(text::strip(instruction));
  s.stripped = {std::move(unquoted.text), std::move(unquoted.quoted)};
  s.literals = std::move(unquoted.literals);
  s.lower = text::lower(s.stripped.text);
  // An element step may end with the table row it is in: its own words are
  // read without that ending.
  const std::u32string_view in_row = lang::table_words().row;
  const size_t row_at = lang::find_unquoted(s.lower, in_row, s.stripped.quoted);
  Line head = s;
  if (row_at != std::u32string::npos) {
    head.stripped = slice(s.stripped, 0, row_at);
    head.lower = s.lower.substr(0, row_at);
  }
  for (const auto& phrase : lang::phrases()) {
    if (phrase.form != Form::cell && row_at != std::u32string::npos) {
      auto out = apply(head, phrase);
      const lang::Action* row = out ? lang::action(out->action) : nullptr;
      if (row && row->needs == lang::Needs::element) {
        read_row(s.rest(row_at + in_row.size()), *out);
        return std::move(*out);
      }
    }
    if (auto out = apply(s, phrase)) return std::move(*out);
  }
  fail_unrecognised(instruction);
}

}  // namespace vantle::agent
