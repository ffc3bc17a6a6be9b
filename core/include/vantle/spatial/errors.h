#pragma once
/// Errors raised by the spatial core for malformed records.

#include <stdexcept>
#include <string>

#include "vantle/records/records.h"

namespace vantle::spatial {

/// A record lacks a key that the operation cannot do without.
struct missing_key : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// A record or argument holds a value of the wrong kind.
using type_error = records::type_error;

}  // namespace vantle::spatial
