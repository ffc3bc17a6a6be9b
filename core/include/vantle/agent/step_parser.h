#pragma once
/// The instruction language: turns one plain-English test step into a parsed
/// record, and checks instruction text for syntax problems without failing.
///
/// All text is handled as code points (std::u32string); use text::decode /
/// text::encode at the edges.

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vantle/language/quoting.h"

namespace vantle::agent {

/// One parsed instruction. `target` and `value` are empty optionals where the
/// record holds null; `ordinal` is set only for "click" and "extract_text".
struct ParsedStep {
  std::string action;
  std::optional<std::u32string> target;
  std::optional<std::u32string> value;
  std::optional<int> ordinal;
  /// True when `target` is, character for character, one of the quoted literals.
  bool literal_target = false;
  /// The ordinal word as written ("Second") when one was taken off the target.
  std::u32string ordinal_word;
  /// The stretches of `target` that were quoted.
  language::Spans quoted;
  /// The table row the step is addressed to: a cell's text, or its number;
  /// and the heading of the column in it.
  std::optional<std::u32string> row;
  std::optional<int> row_number;
  std::optional<std::u32string> column;
};

/// Raised by parse() for text it cannot turn into a step. what() is UTF-8;
/// message() keeps the exact code points (lone surrogates included).
class InvalidInstruction : public std::invalid_argument {
 public:
  explicit InvalidInstruction(std::u32string message);
  const std::u32string& message() const noexcept { return message_; }

 private:
  std::u32string message_;
};

/// Parses one instruction. Throws InvalidInstruction when no form applies.
ParsedStep parse(std::u32string_view instruction);

/// The syntax issues of one instruction, in the order found; empty when clean.
std::vector<std::u32string> validate(std::u32string_view instruction);

/// Issues per 1-based line number; lines without issues are left out.
std::map<int, std::vector<std::u32string>> validate_all(const std::vector<std::u32string>& instructions);

/// An instruction with its matched double-quote pairs removed, the quoted
/// texts, and where they lie in `text`. Inside a pair, \" stands for a quote.
struct Unquoted {
  std::u32string text;
  std::vector<std::u32string> literals;
  language::Spans quoted;
};
Unquoted unquote(std::u32string_view instruction);

/// Drops leading stop words and collapses white space runs to one space.
std::u32string clean_target(std::u32string_view target);

/// Takes a leading ordinal word ("first" .. "fifth") off: (ordinal, rest).
/// Without one: (1, text unchanged).
std::pair<int, std::u32string> extract_ordinal(std::u32string_view text);

/// True when `target` equals one of `literals` exactly.
bool is_literal(std::u32string_view target, const std::vector<std::u32string>& literals);

/// The layout resolver's reading of a step's target: the ordinal word the
/// parser took off, given back in front.
std::u32string layout_target(const ParsedStep& step);
/// Where layout_target() holds quoted text.
language::Spans layout_quoted(const ParsedStep& step);

/// The pattern of a quoted literal without escapes, for callers that show it.
extern const char* const quote_pattern;

}  // namespace vantle::agent
