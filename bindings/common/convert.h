#pragma once
// Conversions shared by every binding: Python text to and from the core's
// code-point strings, and Python records to and from JSON values.

#include <nanobind/nanobind.h>
#include <nlohmann/json.hpp>

#include <string>

namespace vantle::py {

namespace nb = nanobind;
using Json = nlohmann::ordered_json;

/// UTF-8 of a Python str; lone surrogates pass through (as "surrogatepass").
std::string utf8(nb::handle str);
/// The code points of a Python str.
std::u32string u32(nb::handle str);
/// A Python str from UTF-8 written by utf8() or by the core.
nb::str to_str(std::string_view utf8);
nb::str to_str(std::u32string_view text);

/// Converts plain Python data (dict, list, tuple, str, int, float, bool, None)
/// to JSON, keeping key order. Other objects become their str().
Json to_json(nb::handle obj);
/// Converts JSON back to plain Python data (dicts keep key order).
nb::object from_json(const Json& value);

/// The bytes of a file, opened through Python so that any path-like works.
std::string read_file(nb::handle path);

}  // namespace vantle::py
