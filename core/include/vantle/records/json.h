#pragma once
/// The records as JSON (nlohmann ordered_json): the one reader and writer
/// for callers that hold a scan, a snapshot or a result in that form.

#include "vantle/records/records.h"

namespace vantle::records {

/// Reads one element record; its origin is `record` itself. `what` names the
/// record in errors. Throws type_error naming the key when a value read has
/// the wrong kind.
Element element_from_json(const Json& record, std::size_t index = 0, const Reading& reading = {},
                          const char* what = "an element record");
/// Reads a sequence of records; null reads as none.
Elements elements_from_json(const Json& records, const Reading& reading = {}, const char* what = "elements");

/// Reads a step record: action and target must be text; value and ordinal
/// are read only when asked for (text, and an integer), as other actions
/// leave them to hold anything.
Step step_from_json(const Json& record, bool value, bool ordinal);
/// The quoted stretches of a step record's `_quoted` ([[begin, end], ...]);
/// anything else reads as none.
language::Spans quoted_from_json(const Json& spans);

/// Writes an element back: in the order it was read in, or for an element
/// built by hand in scan order.
Json to_json(const Element& element);
/// A number, whole when it came whole.
Json to_json(const Number& number);
/// Writes a state record: its keys in the order declared.
Json to_json(const State& state);
/// Writes a resolution result; `element` writes each element it names (null
/// for none): by default the record it was read from.
Json to_json(const Resolution& resolution, Json (*element)(const Element&) = nullptr);

/// The JSON value an element was read from by element_from_json.
const Json& origin_json(const Element& element);

// ---- values and keys of any record the system builds (results, step records, options)

/// Truth as Python reads it: false, null, zero, empty text and empty records
/// are false.
bool truthy(const Json& value);
/// Text as shown: null reads as empty, text as itself, anything else as its JSON.
std::string text_of(const Json& value);

/// The value under `key`; null when the record lacks it or is no record.
const Json& member(const Json& record, const char* key);
/// The text under `key`; empty when absent or not text.
std::string text_at(const Json& record, const char* key);
/// The truth under `key` (truthy); `absent` when the record lacks the key.
bool truth_at(const Json& record, const char* key, bool absent = false);
/// The number under `key`; 0 when absent or not a number.
double number_at(const Json& record, const char* key);

}  // namespace vantle::records
