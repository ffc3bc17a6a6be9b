#pragma once
/// The words of the step language, each spelled once. The parser, validation,
/// routing, the direct and spatial strategies, the CLI and the Python tables
/// all read these tables; none of them spells a word of the language itself.
///
/// Adding a word is one edit, in vocabulary.cpp:
/// - an action: a row of `phrases()` (how it is written and how the rest of
///   the line is read) and, for a new record action, a row of `actions()` (its
///   record name and what it needs). Then its behaviour where it acts: the
///   agent for what it does, the strategies for how its element is found.
/// - a state ending ("is checked"): a row of `states()`.
/// - a relation phrase ("inside"): a row of `relations()`; its geometry lives
///   in the spatial resolver and in the direct strategy's text checks.
/// - an ordinal word, a type word or a filler word: a row of its table.
///
/// Words are lower-case; the parser compares them with a lower-cased line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantle::language {

/// What a step needs in order to be carried out; routing reads it.
enum class Needs {
  element,  ///< an element named by its text and attributes, or by its position
  text,     ///< text on the page, searched by the direct strategy only
  keys,     ///< nothing to find: keys go to the focused element
  dialog,   ///< the pending native dialog
  pause,    ///< nothing: the step only waits
  address,  ///< nothing: the step loads an address
  page,     ///< the page as a whole: its history, tabs, scrolling, address and title
};

/// A record action: the name parse() writes under `action`.
struct Action {
  std::string_view name;
  Needs needs;
  /// Named in the unrecognised-instruction message (SUPPORTED_ACTIONS).
  bool listed;
  /// What the element must take, for an action only some elements take
  /// ("typed text"); failures name it when the target is something else.
  std::string_view takes = {};
};
/// In the order the unrecognised-instruction message lists them.
const std::vector<Action>& actions();
/// The row of a record action, or nullptr.
const Action* action(std::string_view name);

/// How the words after a phrase are read.
enum class Form {
  separated,      ///< "<value><separator><target>" (type, select)
  named,          ///< a target, quoted or cleaned of leading filler words (hover, find text)
  counted,        ///< a leading ordinal word, then a named target (click)
  extract,        ///< a relation phrase keeps the rest as a spatial target; else an
                  ///< optional `separator` word, then a counted target
  verbatim,       ///< the rest, unchanged, is the target (find exact text)
  key,            ///< the rest, trimmed, is the target (press)
  unwrapped,      ///< the rest trimmed of white space, then of quotes (navigate, wait)
  keys,           ///< unwrapped, as target and value (sendkeys)
  bare,           ///< the whole line is the phrase (accept dialog)
  expected,       ///< the rest, unchanged, is the value (verify dialog says)
  spatial_check,  ///< "<relation> <anchor><separator><expected text>" (verify text)
  text_state,     ///< "<text> <state ending>": the ending's text action (verify text)
  element_state,  ///< "<target> <state ending>": the ending's element action (verify)
  reserved,       ///< a known first word that has no form yet (back, refresh)
  paired,         ///< "<target><separator><target>": the second is the value (drag)
  cell,           ///< "<row>[ under <column>]", then for a check "<separator><expected text>"
};

/// One way an instruction begins. parse() tries the rows in table order; the
/// first that applies makes the record.
struct Phrase {
  /// The leading words, with the space that follows them where more words follow.
  std::u32string_view words;
  Form form;
  /// Record action; spatial_check and extract use `relative_action` when the
  /// target begins with a relation phrase; the state forms take the ending's.
  std::string_view action;
  std::string_view relative_action;
  /// The word between the parts ("into", "from", "is"), spaces included.
  std::u32string_view separator;
  /// What validation shows as the expected form of a separated phrase.
  std::u32string_view usage;
  /// Its first word is named in validation's unknown-action message.
  bool hinted;
};
const std::vector<Phrase>& phrases();

/// How a step names a table row, and a column in it, after its own words:
/// "click "Edit" in row "Order 1042"", "... in row 3 under "Total"".
struct TableWords {
  std::u32string_view row;     ///< " in row "
  std::u32string_view column;  ///< " under "
};
const TableWords& table_words();

/// The first word of a phrase ("find exact text " -> "find").
std::u32string_view first_word(const Phrase& phrase);
/// Every first word that begins an instruction, once each, in table order.
const std::vector<std::u32string>& known_first_words();
/// The first words named in validation's unknown-action message, in order.
const std::vector<std::u32string>& hinted_first_words();

/// A state ending of a check and the actions it makes.
struct State {
  std::u32string_view ending;        ///< "is present"
  std::string_view element_action;   ///< "verify_present"
  std::string_view text_action;      ///< "verify_text_present"; empty when text has no such state
  std::u32string_view negates = {};  ///< for "is not present": "is present", the state it denies
};
/// In the order the endings are listed and tried.
const std::vector<State>& states();
/// The row whose element or text action is `action`, or nullptr.
const State* state_of(std::string_view action);
/// For a negative check ("verify_not_present"), the check it denies
/// ("verify_present"); empty for every other action.
std::string_view negated_action(std::string_view action);

/// A relation phrase: where the wanted element lies from its anchor.
struct Relation {
  std::u32string_view phrase;     ///< "left of"
  std::u32string_view strategy;   ///< how the spatial resolver ranks by it: "left"
  std::u32string_view direction;  ///< where a text check reads from the anchor; empty where it reads none
  /// Places in the two listings shown to Python: the parser's keywords and
  /// the text check's directions (ties in length are broken by table order,
  /// never by these).
  int keyword_place;
  int direction_place;
};
/// In table order; length ties are broken by it.
const std::vector<Relation>& relations();
/// Longest phrase first; equal lengths keep table order.
const std::vector<Relation>& relations_longest_first();

/// An ordinal word.
struct Ordinal {
  std::u32string_view word;
  int number;
  /// Taken off the front of a click or extract target by the parser; the
  /// others are read only inside a positional target ("2nd button").
  bool leading;
};
const std::vector<Ordinal>& ordinals();
/// The number of an ordinal word (lower-case); `leading_only` limits it to
/// the words the parser takes off a target.
std::optional<int> ordinal_number(std::u32string_view word, bool leading_only = false);

/// A word that names a kind of element.
struct TypeWord {
  std::u32string_view word;
  /// The element type a positional target filters by; empty when it names none.
  std::u32string_view element_type;
  /// Dropped from the ends of a target that names its element by text.
  bool descriptor;
  /// A type word right after it is part of its name: a "radio button" is a
  /// radio, not one of the buttons.
  bool named_with_type_word = false;
};
/// Words with an element type come first, in the order they are tried.
const std::vector<TypeWord>& type_words();
/// The row of a type word (lower-case), or nullptr.
const TypeWord* type_word(std::u32string_view word);

/// A leading word dropped from an unquoted target ("the", "on").
struct Filler {
  std::u32string_view word;
  /// Articles are also dropped from the front of an unquoted anchor.
  bool article;
};
const std::vector<Filler>& fillers();
bool is_filler(std::u32string_view lower_word);
/// The articles, in the order they are dropped.
const std::vector<std::u32string>& articles();

}  // namespace vantle::language
