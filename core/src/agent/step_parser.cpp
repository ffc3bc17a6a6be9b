#include "vantle/agent/step_parser.h"

#include "vantle/text/text.h"

#include <algorithm>

namespace vantle::agent {

namespace tables {
const std::vector<std::string> supported_actions = {
    "click",          "type",           "hover",           "select",
    "press_key",      "sendkeys",       "extract_text",    "extract_text_spatial",
    "find_text",      "find_exact_text", "verify_present", "verify_visible",
    "verify_enabled", "verify_disabled", "verify_text_present", "verify_text_visible",
    "verify_spatial_text", "accept_dialog", "dismiss_dialog", "verify_dialog"};
const std::vector<std::pair<std::string, std::string>> verify_states = {
    {"is present", "verify_present"},
    {"is visible", "verify_visible"},
    {"is enabled", "verify_enabled"},
    {"is disabled", "verify_disabled"}};
const std::vector<std::pair<std::string, std::string>> verify_text_states = {
    {"is present", "verify_text_present"},
    {"is visible", "verify_text_visible"}};
const std::vector<std::string> stop_words = {"on", "the", "a", "an", "in", "at", "into"};
const std::vector<std::string> known_actions = {
    "click", "type",   "hover",   "select", "press", "sendkeys", "wait",    "verify",
    "find",  "extract", "accept", "dismiss", "back", "refresh",  "navigate"};
const std::vector<std::pair<std::string, int>> ordinals = {
    {"first", 1}, {"second", 2}, {"third", 3}, {"fourth", 4}, {"fifth", 5}};
const std::vector<std::string> spatial_keywords = {
    "next to ", "below ", "above ", "left of ", "right of ", "under ", "near "};
const std::vector<std::string> extract_prefixes = {"extract text ", "extract_text "};
const char* const quote_pattern = "\"([^\"]+)\"";
}  // namespace tables

using text::u32;

InvalidInstruction::InvalidInstruction(std::u32string message)
    : std::invalid_argument(text::encode(message)), message_(std::move(message)) {}

namespace {

// Python-style slice [begin, end) for non-negative bounds: never throws.
std::u32string slice(std::u32string_view s, size_t begin, size_t end = std::u32string_view::npos) {
  end = std::min(end, s.size());
  if (begin >= end) return {};
  return std::u32string(s.substr(begin, end - begin));
}

bool starts_with(std::u32string_view text, const std::string& ascii) {
  return text::starts_with(text, u32(ascii));
}

bool ends_with(std::u32string_view text, const std::string& ascii) {
  return text::ends_with(text, u32(ascii));
}

bool contains(std::u32string_view text, const std::string& ascii) {
  return text::contains(text, u32(ascii));
}

bool is_stop_word(std::u32string_view word) {
  static const std::vector<std::u32string> words = [] {
    std::vector<std::u32string> out;
    for (const auto& w : tables::stop_words) out.push_back(u32(w));
    return out;
  }();
  return std::find(words.begin(), words.end(), word) != words.end();
}

bool starts_with_any(std::u32string_view text, const std::vector<std::string>& prefixes) {
  return std::any_of(prefixes.begin(), prefixes.end(),
                     [&](const std::string& p) { return starts_with(text, p); });
}

// Whitespace trim, then the double quotes, then the single quotes at both ends.
std::u32string unwrap(std::u32string_view rest) {
  return text::strip_chars(text::strip_chars(text::strip(rest), U"\""), U"'");
}

[[noreturn]] void fail_unrecognised(std::u32string_view instruction) {
  std::vector<std::u32string> names;
  for (const auto& name : tables::supported_actions) names.push_back(u32(name));
  throw InvalidInstruction(U"Unrecognised instruction: " + text::quoted(instruction) +
                           U". Supported actions: " + text::quoted_list(names));
}

// State of one parse call: the instruction as given, without its quote pairs,
// its lowered copy (same positions) and the quoted literals.
struct Step {
  std::u32string_view original;
  std::u32string stripped;
  std::u32string lower;
  std::vector<std::u32string> literals;

  bool literal(std::u32string_view target) const { return is_literal(target, literals); }
  std::u32string literal_or_clean(std::u32string_view target) const {
    return literal(target) ? std::u32string(target) : clean_target(target);
  }
  std::u32string rest(size_t prefix) const { return slice(stripped, prefix); }
};

ParsedStep record(std::string action, std::optional<std::u32string> target,
                  std::optional<std::u32string> value, bool literal_target) {
  ParsedStep out;
  out.action = std::move(action);
  out.target = std::move(target);
  out.value = std::move(value);
  out.literal_target = literal_target;
  return out;
}

// Shared shape of "type <value> into <target>" and "select <value> from <target>".
ParsedStep value_into_target(const Step& s, const std::string& action, size_t prefix,
                             const std::string& separator, const std::string& usage) {
  size_t pos = s.lower.find(u32(separator), prefix);
  // The only separator may begin inside the prefix ("type into X"): there is
  // then no value at all, which is not an instruction we can act on.
  if (pos == std::u32string::npos)
    throw InvalidInstruction(U"Malformed instruction: " + text::quoted(s.original) + U". Expected: " + u32(usage));
  std::u32string value = slice(s.stripped, prefix, pos);
  std::u32string raw_target = slice(s.stripped, pos + separator.size());
  std::u32string trimmed = text::strip(raw_target);
  std::u32string target = s.literal(trimmed) ? trimmed : clean_target(raw_target);
  bool literal = s.literal(target);
  return record(action, std::move(target), std::move(value), literal);
}

// A quoted name that happens to be an ordinal word ("first") or to begin with
// one ("First Class") names the element; only an unquoted word is an ordinal.
// The rest is tested as it stands, so a literal with its own spaces
// (`click " first"`) survives, and trimmed, so spaces before the opening
// quote (`click  "first"`) keep the literal as they do for any quoted name.
std::pair<int, std::u32string> ordinal_of(const Step& s, std::u32string raw_target) {
  if (s.literal(raw_target) || s.literal(text::strip(raw_target))) return {1, std::move(raw_target)};
  return extract_ordinal(raw_target);
}

ParsedStep with_ordinal(const Step& s, const std::string& action, std::u32string raw_target) {
  auto [ordinal, remaining] = ordinal_of(s, std::move(raw_target));
  std::u32string target = s.literal_or_clean(remaining);
  bool literal = s.literal(target);
  ParsedStep out = record(action, std::move(target), std::nullopt, literal);
  out.ordinal = ordinal;
  return out;
}

std::optional<ParsedStep> parse_extract(const Step& s) {
  for (const auto& prefix : tables::extract_prefixes) {
    if (!starts_with(s.lower, prefix)) continue;
    std::u32string raw_target = s.rest(prefix.size());
    std::u32string lowered = text::lower(raw_target);
    if (starts_with_any(lowered, tables::spatial_keywords))
      return record("extract_text_spatial", raw_target, std::nullopt, false);
    if (starts_with(lowered, "from ")) raw_target = slice(raw_target, 5);
    return with_ordinal(s, "extract_text", std::move(raw_target));
  }
  return std::nullopt;
}

std::optional<ParsedStep> parse_spatial_text(const Step& s) {
  const size_t prefix = 12;  // "verify text "
  if (!starts_with_any(slice(s.lower, prefix), tables::spatial_keywords)) return std::nullopt;
  size_t is_pos = s.lower.rfind(U" is ");
  if (is_pos == std::u32string::npos || is_pos < prefix) return std::nullopt;
  std::u32string target = text::strip(slice(s.stripped, prefix, is_pos));
  std::u32string expected = text::strip(slice(s.stripped, is_pos + 4));
  if (target.empty() || expected.empty()) return std::nullopt;
  return record("verify_spatial_text", std::move(target), std::move(expected), false);
}

std::optional<ParsedStep> parse_text_state(const Step& s) {
  const size_t prefix = 12;  // "verify text "
  for (const auto& [suffix, action] : tables::verify_text_states) {
    if (!ends_with(s.lower, suffix)) continue;
    std::u32string target = text::strip(slice(s.stripped, prefix, s.lower.size() - suffix.size()));
    bool literal = s.literal(target);
    return record(action, std::move(target), std::nullopt, literal);
  }
  return std::nullopt;
}

std::optional<ParsedStep> parse_state(const Step& s) {
  const size_t prefix = 7;  // "verify "
  for (const auto& [suffix, action] : tables::verify_states) {
    if (!ends_with(s.lower, suffix)) continue;
    std::u32string raw = text::strip(slice(s.stripped, prefix, s.lower.size() - suffix.size()));
    std::u32string target = s.literal_or_clean(raw);
    bool literal = s.literal(target);
    return record(action, std::move(target), std::nullopt, literal);
  }
  return std::nullopt;
}

ParsedStep plain(const Step& s, const std::string& action, size_t prefix) {
  std::u32string target = s.literal_or_clean(s.rest(prefix));
  bool literal = s.literal(target);
  return record(action, std::move(target), std::nullopt, literal);
}

std::optional<ParsedStep> parse_verify(const Step& s) {
  if (starts_with(s.lower, "verify text ")) {
    if (auto out = parse_spatial_text(s)) return out;
    if (auto out = parse_text_state(s)) return out;
  }
  if (starts_with(s.lower, "verify ")) return parse_state(s);
  return std::nullopt;
}

std::optional<ParsedStep> parse_simple(const Step& s) {
  const auto& l = s.lower;
  if (starts_with(l, "hover ")) return plain(s, "hover", 6);
  if (starts_with(l, "navigate ")) return record("navigate", unwrap(s.rest(9)), std::nullopt, false);
  if (starts_with(l, "press ")) return record("press_key", text::strip(s.rest(6)), std::nullopt, false);
  if (l == U"accept dialog") return record("accept_dialog", std::nullopt, std::nullopt, false);
  if (l == U"dismiss dialog") return record("dismiss_dialog", std::nullopt, std::nullopt, false);
  if (starts_with(l, "verify dialog says ")) return record("verify_dialog", std::nullopt, s.rest(19), false);
  if (starts_with(l, "sendkeys ")) {
    std::u32string keys = unwrap(s.rest(9));
    return record("sendkeys", keys, keys, false);
  }
  if (starts_with(l, "wait ")) return record("wait", unwrap(s.rest(5)), std::nullopt, false);
  return std::nullopt;
}

std::optional<ParsedStep> parse_rules(const Step& s) {
  const auto& l = s.lower;
  if (starts_with(l, "type ") && contains(l, " into "))
    return value_into_target(s, "type", 5, " into ", "type <text> into <target>");
  if (starts_with(l, "select ") && contains(l, " from "))
    return value_into_target(s, "select", 7, " from ", "select <value> from <target>");
  if (starts_with(l, "find exact text ")) {
    std::u32string target = s.rest(16);
    bool literal = s.literal(target);
    return record("find_exact_text", std::move(target), std::nullopt, literal);
  }
  if (starts_with(l, "find text ")) return plain(s, "find_text", 10);
  if (auto out = parse_extract(s)) return out;
  if (starts_with(l, "click ")) return with_ordinal(s, "click", s.rest(6));
  if (auto out = parse_simple(s)) return out;
  return parse_verify(s);
}

}  // namespace

bool is_literal(std::u32string_view target, const std::vector<std::u32string>& literals) {
  return std::any_of(literals.begin(), literals.end(),
                     [&](const std::u32string& lit) { return lit == target; });
}

Unquoted unquote(std::u32string_view instruction) {
  Unquoted out;
  size_t from = 0;  // start of the text not yet copied
  size_t pos = 0;   // where the next match may begin
  while (true) {
    size_t open = instruction.find(U'"', pos);
    if (open == std::u32string_view::npos) break;
    size_t close = instruction.find(U'"', open + 1);
    if (close == std::u32string_view::npos) break;
    if (close == open + 1) {  // "" holds nothing: the second quote may open a pair
      pos = close;
      continue;
    }
    std::u32string_view content = instruction.substr(open + 1, close - open - 1);
    out.text.append(instruction.substr(from, open - from));
    out.text.append(content);
    out.literals.emplace_back(content);
    from = pos = close + 1;
  }
  out.text.append(instruction.substr(from));
  return out;
}

std::u32string clean_target(std::u32string_view target) {
  std::vector<std::u32string> words = text::split_ws(target);
  size_t first = 0;
  while (first < words.size() && is_stop_word(text::lower(words[first]))) ++first;
  words.erase(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(first));
  return text::join(words, U" ");
}

std::pair<int, std::u32string> extract_ordinal(std::u32string_view text) {
  size_t begin = 0;
  while (begin < text.size() && text::is_space(text[begin])) ++begin;
  size_t end = begin;
  while (end < text.size() && !text::is_space(text[end])) ++end;
  if (end == begin) return {1, std::u32string(text)};
  std::u32string word = text::lower(text.substr(begin, end - begin));
  for (const auto& [name, number] : tables::ordinals) {
    if (word != u32(name)) continue;
    size_t rest = end;
    while (rest < text.size() && text::is_space(text[rest])) ++rest;
    return {number, std::u32string(text.substr(rest))};
  }
  return {1, std::u32string(text)};
}

ParsedStep parse(std::u32string_view instruction) {
  Step s;
  s.original = instruction;
  Unquoted unquoted = unquote(text::strip(instruction));
  s.stripped = std::move(unquoted.text);
  s.literals = std::move(unquoted.literals);
  s.lower = text::lower(s.stripped);
  if (auto out = parse_rules(s)) return std::move(*out);
  fail_unrecognised(instruction);
}

}  // namespace vantle::agent
