#pragma once
// The records codec of every binding: Python dicts read into the core's
// records, and results written back as dicts that hold the caller's very
// records.

#include <nanobind/nanobind.h>

#include <string>

#include "vantle/records/records.h"

namespace vantle::py {

namespace nb = nanobind;

/// Raises TypeError: "<what> must be <wanted>, not <type>".
[[noreturn]] void wrong_type(const std::string& what, const char* wanted, nb::handle value);
/// The text of an argument named `name`.
std::u32string text_arg(nb::handle value, const char* name);
/// The text under `key` of a dict, named `what` in the error; absent reads
/// as empty text.
std::u32string text_item(nb::handle dict, const char* key, const std::string& what);

/// Reads a step record: action and target must be text; value and ordinal
/// are read only when asked for (text, and an integer), as other actions
/// leave them to hold anything.
records::Step step(nb::handle record, bool value, bool ordinal);

/// A sequence of records rather than text or a mapping.
bool is_sequence(nb::handle value);

/// Reads one record; its origin is the dict itself, so results hand it back.
/// `what` names it in errors. Raises TypeError naming the key for a value of
/// the wrong kind.
records::Element element(nb::handle record, std::size_t index = 0, const records::Reading& reading = {},
                         const char* what = "an element record");

/// A number of a record, named `key` in the error when it is none.
records::Number number(PyObject* value, const char* key);

/// The records of a sequence read for one call: `items` holds every record
/// while the core points at them, even if the caller's list changes meanwhile.
struct Records {
  nb::object items;
  records::Elements elements;
};
/// Reads a sequence (any iterable but text or a dict); None reads as none.
Records elements(nb::handle sequence, const records::Reading& reading, const char* what);

/// The caller's record an element was read from; None for none.
nb::object record(const records::Element* element);
nb::dict state(const records::State& state);
/// A resolution result; its elements are the caller's records.
nb::dict result(const records::Resolution& resolution);

/// Raises a record of the wrong kind met in the core as Python's TypeError.
void register_record_errors();

}  // namespace vantle::py
