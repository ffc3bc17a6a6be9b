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

}  // namespace vantle::records
