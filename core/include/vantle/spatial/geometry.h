#pragma once
/// Boxes, position records and the distance and overlap tests between them.

#include <optional>
#include <string_view>
#include <vector>

#include "vantle/records/records.h"

namespace vantle::spatial {

/// Slack, in pixels, of the row and column overlap tests.
inline constexpr int SPATIAL_TOLERANCE = 40;
/// Largest centre-to-centre distance that counts as "near".
inline constexpr int NEAR_MAX_PIXELS = 300;
/// Largest element-path distance that counts as "near".
inline constexpr int NEAR_MAX_DOM_STEPS = 10;

/// A coordinate as delivered: whole numbers stay whole when written back.
using Number = records::Number;

/// A bounding box as scanned; an absent coordinate reads as 0.
struct Box {
  std::optional<Number> x, y, width, height;
};

/// The eight keys of a position record, in record order.
enum class Coord { x, y, w, h, cx, cy, x2, y2 };
inline constexpr const char* COORD_NAMES[] = {"x", "y", "w", "h", "cx", "cy", "x2", "y2"};

/// A position record: the box with its centre and far edges.
struct Position {
  Number x, y, w, h, cx, cy, x2, y2;
  /// Which keys the record holds (bit i for Coord i); a built record holds all.
  unsigned keys = 0xFF;

  bool has(Coord c) const { return keys & (1u << static_cast<unsigned>(c)); }
  /// The value of one key; throws missing_key when the record lacks it.
  double get(Coord c) const;
};

/// A box written "x,y,width,height", as the scan keeps a text's own extent;
/// nothing when the text is not four numbers.
std::optional<Box> box_from_text(std::string_view text);
/// The position record of a bounding box.
Position position_of(const Box& box);

/// Same row: the vertical extents overlap once each is raised by the tolerance.
bool overlaps_vertically(const Position& a, const Position& b);
/// Same column: the horizontal extents overlap once each is widened leftwards.
bool overlaps_horizontally(const Position& a, const Position& b);
/// Vertical extents overlap without any tolerance.
bool overlaps_vertically_exact(const Position& a, const Position& b);
/// Horizontal extents overlap without any tolerance.
bool overlaps_horizontally_exact(const Position& a, const Position& b);
/// Euclidean distance between the two centres.
double centre_distance(const Position& a, const Position& b);
/// Steps between two element paths: segments not shared position by position.
long long dom_distance(std::string_view xpath_a, std::string_view xpath_b);

namespace detail {
/// The segments of an element path; an empty path is one empty segment.
std::vector<std::string_view> segments(std::string_view path);
long long dom_distance(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b);
}  // namespace detail

}  // namespace vantle::spatial
