#pragma once
/// The records every stage passes on: element descriptors and text elements as
/// the scan builds them, and the resolution result a strategy answers with.
/// Records arrive as JSON (records/json.h) or as Python dicts (the bindings'
/// records codec); both are read into these structs by one reader each.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "vantle/language/quoting.h"

namespace vantle::records {

using Json = nlohmann::ordered_json;

/// A record holds a value of the wrong kind.
struct type_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// A number as delivered: whole numbers stay whole when written back.
struct Number {
  double value = 0;
  bool integral = true;
};

/// A `bounding_box`. A coordinate the record lacks, or holds as null, is empty.
struct Box {
  /// The record holds a non-empty box.
  bool present = false;
  std::optional<Number> x, y, width, height;
  /// Coordinates present but null (bit i for x, y, width, height): some
  /// readers take them as absent, others refuse them.
  unsigned nulls = 0;
};

/// One attribute, in record order. Its value is text, or kept as delivered in
/// `other` (a null, a number...) so that no attribute is lost on the way.
struct Attribute {
  std::u32string name;
  std::u32string value;
  std::optional<Json> other;

  bool is_text() const { return !other; }
};

/// The keys of an element record, as bits: which ones a reader converts and
/// which ones a record holds.
enum Key : unsigned {
  KEY_TAG = 1u << 0,
  KEY_TEXT = 1u << 1,
  KEY_XPATH = 1u << 2,
  KEY_ATTRIBUTES = 1u << 3,
  KEY_IS_VISIBLE = 1u << 4,
  KEY_IS_ENABLED = 1u << 5,
  KEY_IS_EDITABLE_FIELD = 1u << 6,
  KEY_BOUNDING_BOX = 1u << 7,
  KEY_HAS_DIRECT_TEXT = 1u << 8,
  ALL_KEYS = (1u << 9) - 1,
};

/// An element descriptor or a text element. Absent and null keys read as
/// empty text, false and no box; `keys` tells which keys the record held.
/// Written back, a record read with every key reads as it came, except that
/// a truth value of another kind (1, "yes") comes back as true or false.
struct Element {
  /// Position of the record in the caller's sequence.
  std::size_t index = 0;
  /// Identity of the caller's record (a JSON value or a Python dict); two
  /// elements with the same non-null origin are the same record.
  const void* origin = nullptr;
  std::u32string tag;
  std::u32string text;
  std::u32string xpath;
  /// Every attribute of the record, in record order, internal ones ("_label",
  /// "_icon", "_text_box", "_frame"...) included.
  std::vector<Attribute> attributes;
  bool is_visible = false;
  bool is_enabled = false;
  bool is_editable_field = false;
  bool has_direct_text = false;
  Box bounding_box;
  /// The keys the record held with a value other than null, and those it held
  /// as null (written back as null; a null `is_enabled` is a false one).
  unsigned keys = 0;
  unsigned nulls = 0;
  /// Keys outside the ones above (null when none), in record order.
  Json rest;
  /// The order of the record's keys, one character each: KEY_CODES[i] for the
  /// key of bit i, '*' for the next key of `rest`. Written back in this order.
  std::string order;

  bool has(Key key) const { return keys & key; }
  /// The record holds the key, null or not.
  bool holds(Key key) const { return (keys | nulls) & key; }
  /// The text of an attribute, or null when the record has none or holds
  /// another kind of value.
  const std::u32string* attribute(std::u32string_view name) const;
  bool same_record(const Element& other) const;
};

using Elements = std::vector<Element>;

/// What a reader converts: the keys it reads, and the attributes whose values
/// must be text (a value of another kind is a type error); null means none,
/// every attribute is carried as it came.
struct Reading {
  unsigned keys = ALL_KEYS;
  bool (*text_attribute)(std::u32string_view name) = nullptr;

  bool checks(std::u32string_view name) const { return text_attribute && text_attribute(name); }
};

/// The characters of `Element::order`, by Key bit.
inline constexpr char KEY_CODES[] = "abcdefghi";

/// The record key of one Key bit ("tag", "bounding_box"...), or null.
const char* key_name(unsigned key);
/// The Key bit of a record key, or 0 for a key outside the typed ones.
unsigned key_of(std::string_view name);

/// A parsed step as resolvers read it (the step record's keys action,
/// target, value, ordinal and _quoted).
struct Step {
  std::u32string action;
  std::u32string target;
  /// Expected text of a text check; text typed or chosen.
  std::u32string value;
  /// Which of several matches to take, counted from 1.
  long long ordinal = 1;
  /// Where the target holds quoted text, which is matched as written.
  language::Spans quoted;
};

/// Observed state of a verification; keys are present in the order declared.
struct State {
  std::optional<bool> present;
  std::optional<bool> visible;
  std::optional<bool> enabled;
  std::optional<std::u32string> expected;
  std::optional<std::u32string> actual;
};

/// How a spatial answer was anchored.
struct Anchoring {
  std::u32string anchor_text;
  long long ordinal = 1;
  bool type_relaxed = false;
  std::optional<std::u32string> actual_type;
};

/// A resolution result. Optional members are keys only some paths set; they
/// are written in the order declared here.
struct Resolution {
  bool resolved = false;
  std::optional<bool> verified;
  double confidence = 0.0;
  /// Points into the element sequences given to the resolution; null when not found.
  const Element* element = nullptr;
  std::optional<State> state;
  std::optional<std::u32string> extracted;
  std::optional<Anchoring> anchoring;
  std::vector<const Element*> candidates;
};

}  // namespace vantle::records
