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

/// An instruction with its matched double-quote pairs removed, and the quoted texts.
struct Unquoted {
  std::u32string text;
  std::vector<std::u32string> literals;
};
Unquoted unquote(std::u32string_view instruction);

/// Drops leading stop words and collapses white space runs to one space.
std::u32string clean_target(std::u32string_view target);

/// Takes a leading ordinal word ("first" .. "fifth") off: (ordinal, rest).
/// Without one: (1, text unchanged).
std::pair<int, std::u32string> extract_ordinal(std::u32string_view text);

/// True when `target` equals one of `literals` exactly.
bool is_literal(std::u32string_view target, const std::vector<std::u32string>& literals);

/// The keyword tables, in their documented order.
namespace tables {
extern const std::vector<std::string> supported_actions;
extern const std::vector<std::pair<std::string, std::string>> verify_states;
extern const std::vector<std::pair<std::string, std::string>> verify_text_states;
extern const std::vector<std::string> stop_words;
extern const std::vector<std::string> known_actions;
extern const std::vector<std::pair<std::string, int>> ordinals;
extern const std::vector<std::string> spatial_keywords;
extern const std::vector<std::string> extract_prefixes;
/// The pattern the quote scan implements, for callers that want to show it.
extern const char* const quote_pattern;
}  // namespace tables

}  // namespace vantle::agent
