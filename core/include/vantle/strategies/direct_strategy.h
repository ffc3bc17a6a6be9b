#pragma once
/// Direct resolution: finds the element an instruction names by its text and
/// attributes, checks recorded element state for verifications, finds page
/// text, and reads the text lying in a direction from an anchor text.
///
/// Matching is plain case-insensitive containment or equality; there is no
/// scoring. Every function here is pure: it reads the records it is given and
/// returns pointers into them, never copies.

#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "vantle/language/quoting.h"
#include "vantle/records/records.h"

namespace vantle::strategies::direct {

/// A record lacks a key that the operation cannot do without.
class MissingKeyError : public std::runtime_error {
 public:
  MissingKeyError(std::string key, const std::string& message)
      : std::runtime_error(message), key_(std::move(key)) {}
  /// The name of the missing key, such as "width".
  const std::string& key() const noexcept { return key_; }

 private:
  std::string key_;
};

/// A failed lookup of an action in a check table.
class UnknownActionError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

/// The records resolution reads and answers with. An absent key reads as
/// empty text or false; elements keep the identity of the caller's records.
using records::Attribute;
using records::Box;
using records::Element;
using records::Elements;

/// The keys of a parsed instruction that resolution reads.
using Instruction = records::Step;

using records::State;
/// The resolution result: `element` and `candidates` point into the element
/// sequences given to the call.
using Result = records::Resolution;

/// Keys of an element record, as bits of Inputs::dom_keys and text_keys.
using records::ALL_KEYS;
using records::KEY_ATTRIBUTES;
using records::KEY_BOUNDING_BOX;
using records::KEY_IS_EDITABLE_FIELD;
using records::KEY_IS_ENABLED;
using records::KEY_IS_VISIBLE;
using records::KEY_TAG;
using records::KEY_TEXT;
using records::KEY_XPATH;

/// Which inputs a resolution of one action reads, so that a caller holding
/// records in another form converts only those.
struct Inputs {
  bool dom_elements = false;
  bool text_elements = false;
  bool value = false;
  bool ordinal = false;
  /// The keys read from each element descriptor and each text element.
  unsigned dom_keys = 0;
  unsigned text_keys = 0;
};
Inputs inputs_for(std::u32string_view action);


// ---- constants ----------------------------------------------------------

/// Attributes whose values are match surfaces, in surface order. A tooltip
/// comes last: icon-only links and buttons are often named by nothing else.
inline constexpr std::array<std::u32string_view, 7> MATCH_ATTRIBUTES{
    U"aria-label", U"_label", U"placeholder", U"data-testid", U"type", U"alt", U"title"};
/// The attributes whose values matching reads; other attributes matter only
/// by name, when they begin with "data-".
inline constexpr std::array<std::u32string_view, 12> READ_ATTRIBUTES{
    U"aria-label", U"_label", U"placeholder", U"data-testid", U"type", U"alt", U"title", U"class", U"id", U"name",
    U"role", U"_text_box"};
/// True for the names of READ_ATTRIBUTES.
bool reads_attribute(std::u32string_view name);
/// Where a surface comes from when it is a name a person sees or hears ("text"
/// is the element's own text, a button's value included). A match through any
/// other attribute (type, class, name, id, data-*) is weaker than one here.
inline constexpr std::array<std::u32string_view, 7> NAME_SOURCES{
    U"text", U"aria-label", U"_label", U"placeholder", U"alt", U"title", U"value"};
/// Roles (and input types) of controls that a click names by their label.
inline constexpr std::array<std::u32string_view, 5> CHOICE_ROLES{
    U"checkbox", U"radio", U"switch", U"menuitemcheckbox", U"menuitemradio"};
/// Tags whose text can answer a spatial text question.
inline constexpr std::array<std::u32string_view, 14> TEXT_ONLY_TAGS{
    U"span", U"p", U"label", U"h1", U"h2", U"h3", U"h4",
    U"h5", U"h6", U"li", U"td", U"th", U"div", U"a"};
/// Largest tree distance between an anchor and a text read next to it.
inline constexpr int DOM_DISTANCE_THRESHOLD = 10;
inline constexpr std::array<std::u32string_view, 2> TYPEABLE_TAGS{U"input", U"textarea"};
inline constexpr std::array<std::u32string_view, 4> TYPEABLE_ROLES{
    U"textbox", U"searchbox", U"spinbutton", U"combobox"};
inline constexpr std::array<std::u32string_view, 1> SELECTABLE_TAGS{U"select"};
/// Input types that take no typed text: such an input is never a field to type into.
inline constexpr std::array<std::u32string_view, 10> UNTYPEABLE_INPUT_TYPES{
    U"button", U"submit", U"reset", U"image", U"checkbox", U"radio", U"file", U"hidden", U"range", U"color"};
/// Input types that make a button, which has a name of its own and no label.
inline constexpr std::array<std::u32string_view, 4> BUTTON_INPUT_TYPES{U"button", U"submit", U"reset", U"image"};
/// What "check" and "uncheck" may tick: input types, then ARIA roles.
inline constexpr std::array<std::u32string_view, 2> CHECKABLE_TYPES{U"checkbox", U"radio"};
inline constexpr std::array<std::u32string_view, 5> CHECKABLE_ROLES{
    U"checkbox", U"radio", U"switch", U"menuitemcheckbox", U"menuitemradio"};

// ---- matching primitives --------------------------------------------------

/// The human-readable surfaces of an element, as stored, in a fixed order.
std::vector<std::u32string> searchable_strings(const Element& element, bool include_label = false);
/// True for the sources of NAME_SOURCES.
bool is_name_source(std::u32string_view source);
/// Whether the field label is a surface of `element` for `action`: always for
/// the steps that fill, read or check a field (typing, selecting, reading its
/// value), and for a checkbox or radio button whatever the action,
/// since its label is the only name it has.
bool label_names(std::u32string_view action, const Element& element);
/// Where the target matched: "text" or the attribute's name, a name before any
/// other attribute; empty when it does not match.
std::u32string matched_by(std::u32string_view target, const Element& element, bool include_label = false);
/// The target (folded as text::fold does, "_" and "-" read as spaces) is
/// contained in a surface normalised the same way.
bool matches_element(std::u32string_view target, const Element& element, bool include_label = false);
/// As matches_element, but the target must equal a normalised, stripped surface.
bool exact_matches_element(std::u32string_view target, const Element& element,
                           bool include_label = false);
/// Drops element-type words from the end, then the start, of a target;
/// quoted words stay.
std::u32string strip_type_descriptors(std::u32string_view target, const language::Spans& quoted = {});
/// True when `action` narrows the pool ("type" and "select").
bool filters_by_action(std::u32string_view action);
/// Whether `element` can take `action` (typing, selecting, ticking,
/// clearing, uploading); true for every other action.
bool takes_action(std::u32string_view action, const Element& element);
/// The elements that can take `action`, in order; every element for actions
/// that do not narrow the pool.
std::vector<const Element*> filter_by_action(std::u32string_view action, const Elements& elements);
/// Tree steps between two elements given by their element paths.
long long dom_distance(std::u32string_view xpath_a, std::u32string_view xpath_b);
/// The form in which expected and actual texts of a spatial check are
/// compared: lower-cased, without "$", "£", "€" and ",", trimmed.
std::u32string norm(std::u32string_view text);

// ---- resolution -----------------------------------------------------------

/// Whether a shown text confirms an expected value: either holds the other,
/// letter case, currency symbols and thousands separators aside; an empty
/// text confirms nothing.
bool shows_value(std::u32string_view actual, std::u32string_view expected);

/// Resolves a parsed instruction against the page's element descriptors and
/// text elements, routing verification, find and spatial text actions.
Result resolve(const Instruction& instruction, const Elements& dom_elements,
               const Elements& text_elements);
/// Text and attribute matching for click, type, hover, select, extract...
Result resolve_generic(const Instruction& instruction, const Elements& dom_elements,
                       const Elements& text_elements);
/// Finds the target element, then reports whether its recorded state holds.
Result resolve_verify(std::u32string_view action, std::u32string_view target,
                      const Elements& dom_elements, const language::Spans& quoted = {});
/// Finds a text element containing the target, then reports its state.
Result resolve_verify_text(std::u32string_view action, std::u32string_view target,
                           const Elements& text_elements);
/// The shortest text element containing the target.
Result resolve_find_text(std::u32string_view target, const Elements& text_elements);
/// The first text element whose text equals the target.
Result resolve_find_exact_text(std::u32string_view target, const Elements& text_elements);
/// Reads the text in a direction from an anchor and compares it to `expected`.
/// A quoted anchor keeps its articles.
Result resolve_verify_spatial_text(std::u32string_view target, std::u32string_view expected,
                                   const Elements& text_elements, const Elements& dom_elements,
                                   const language::Spans& quoted = {});
/// Reads the nearest text in a direction from an anchor.
Result resolve_extract_spatial_text(std::u32string_view target, const Elements& text_elements,
                                    const Elements& dom_elements, const language::Spans& quoted = {});

}  // namespace vantle::strategies::direct
