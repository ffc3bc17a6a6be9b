#include "vantle/spatial/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "vantle/spatial/errors.h"

namespace vantle::spatial {

double Position::get(Coord c) const {
  if (!has(c))
    throw missing_key(std::string("position record has no '") +
                      COORD_NAMES[static_cast<unsigned>(c)] + "'");
  switch (c) {
    case Coord::x: return x.value;
    case Coord::y: return y.value;
    case Coord::w: return w.value;
    case Coord::h: return h.value;
    case Coord::cx: return cx.value;
    case Coord::cy: return cy.value;
    case Coord::x2: return x2.value;
    case Coord::y2: return y2.value;
  }
  return 0;
}

namespace {

Number plus(Number a, Number b) { return {a.value + b.value, a.integral && b.integral}; }
Number plus_half(Number a, Number b) { return {a.value + b.value / 2, false}; }

}  // namespace

std::optional<Box> box_from_text(std::string_view text) {
  std::string s(text);
  double v[4];
  const char* at = s.c_str();
  for (int i = 0; i < 4; ++i) {
    char* end = nullptr;
    v[i] = std::strtod(at, &end);
    if (end == at || !std::isfinite(v[i]) || (i < 3 ? *end != ',' : *end != '\0')) return std::nullopt;
    at = end + 1;
  }
  return Box{Number{v[0], false}, Number{v[1], false}, Number{v[2], false}, Number{v[3], false}};
}

Position position_of(const Box& box) {
  Position p;
  p.x = box.x.value_or(Number{});
  p.y = box.y.value_or(Number{});
  p.w = box.width.value_or(Number{});
  p.h = box.height.value_or(Number{});
  p.cx = plus_half(p.x, p.w);
  p.cy = plus_half(p.y, p.h);
  p.x2 = plus(p.x, p.w);
  p.y2 = plus(p.y, p.h);
  return p;
}

bool overlaps_vertically(const Position& a, const Position& b) {
  const double t = SPATIAL_TOLERANCE;
  return a.get(Coord::y) - t < b.get(Coord::y2) && b.get(Coord::y) - t < a.get(Coord::y2);
}

bool overlaps_horizontally(const Position& a, const Position& b) {
  const double t = SPATIAL_TOLERANCE;
  return a.get(Coord::x) - t < b.get(Coord::x2) && b.get(Coord::x) - t < a.get(Coord::x2);
}

bool overlaps_vertically_exact(const Position& a, const Position& b) {
  return a.get(Coord::y) < b.get(Coord::y2) && b.get(Coord::y) < a.get(Coord::y2);
}

bool overlaps_horizontally_exact(const Position& a, const Position& b) {
  return a.get(Coord::x) < b.get(Coord::x2) && b.get(Coord::x) < a.get(Coord::x2);
}

double centre_distance(const Position& a, const Position& b) {
  return std::hypot(a.get(Coord::cx) - b.get(Coord::cx), a.get(Coord::cy) - b.get(Coord::cy));
}

namespace detail {

// Like Python's path.strip("/").split("/"): an empty path is one empty segment.
std::vector<std::string_view> segments(std::string_view path) {
  size_t first = path.find_first_not_of('/');
  if (first == std::string_view::npos) return {std::string_view()};
  size_t last = path.find_last_not_of('/');
  path = path.substr(first, last - first + 1);
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    size_t slash = path.find('/', start);
    out.push_back(path.substr(start, slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return out;
}

long long dom_distance(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b) {
  size_t shorter = std::min(a.size(), b.size());
  long long common = 0;
  for (size_t i = 0; i < shorter; ++i)
    if (a[i] == b[i]) ++common;
  return static_cast<long long>(a.size() + b.size()) - 2 * common;
}

}  // namespace detail

long long dom_distance(std::string_view xpath_a, std::string_view xpath_b) {
  return detail::dom_distance(detail::segments(xpath_a), detail::segments(xpath_b));
}

}  // namespace vantle::spatial
