#pragma once
// Helpers shared by the direct resolution sources.

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "vantle/strategies/direct_strategy.h"

namespace vantle::strategies::direct::detail {

/// Strict weak order on doubles in which NaN sorts after every number, so a
/// stray NaN in a record cannot break a sort.
inline bool less_nan_last(double a, double b) {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a < b;
}

/// Lower-cases `s` into `out`, reading "_" and "-" as spaces: the form in
/// which targets and surfaces are compared.
void normalise_into(std::u32string& out, std::u32string_view s);

/// Which surfaces a test reads: all of them, only names a person sees or
/// hears, only the other attributes, or of those only the element's own (its
/// id, name and test id, not the type or class it shares with its kind).
enum class Sources { all, names, others, own };

/// Tests one target against many elements without normalising it again. A
/// trailing colon or sort mark on either side does not stop a match.
class Matcher {
 public:
  explicit Matcher(std::u32string_view target);
  /// The target is contained in a surface of the element.
  bool contained_in(const Element& element, bool include_label, Sources which = Sources::all) const;
  /// The target equals a surface of the element, stripped of white space.
  bool equal_to(const Element& element, bool include_label, Sources which = Sources::all) const;
  /// The source of the first name containing the target, else of the first
  /// other surface; empty when none does. Points into the element or a table.
  std::u32string_view source_of(const Element& element, bool include_label) const;

 private:
  /// The surface, from that source, names the target.
  bool holds(std::u32string_view surface, std::u32string_view source) const;
  /// The normalised surface in buffer_ equals the target, stripped of white space.
  bool same_as_buffer() const;

  std::u32string needle_;
  std::u32string bare_;
  mutable std::u32string buffer_;
};

/// Whether `inner` lies in `outer`, by their element paths.
bool is_inside(const Element& inner, const Element& outer);

/// Stable sort on the number of characters of `text`.
void sort_by_text_length(std::vector<const Element*>& pool);

}  // namespace vantle::strategies::direct::detail
