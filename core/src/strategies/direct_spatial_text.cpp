#include <algorithm>
#include <array>
#include <utility>

#include "direct_util.h"
#include "vantle/spatial/geometry.h"
#include "vantle/strategies/direct_strategy.h"
#include "vantle/language/vocabulary.h"
#include "vantle/text/text.h"

namespace vantle::strategies::direct {

namespace {

struct Direction {
  std::u32string_view direction;
  std::u32string anchor_text;
};

// The relation phrase opening the target and the anchor after it; articles
// are dropped from an unquoted anchor only.
Direction parse_direction(std::u32string_view target, const language::Spans& quoted) {
  const auto lowered = text::lower(target);
  for (const auto& r : language::relations_longest_first()) {
    std::u32string keyword = std::u32string(r.phrase) + U" ";
    if (r.direction.empty() || !text::starts_with(lowered, keyword) ||
        language::touches_quote(quoted, 0, keyword.size()))
      continue;
    size_t begin = r.phrase.size(), end = target.size();
    while (begin < end && text::is_space(target[begin])) ++begin;
    while (end > begin && text::is_space(target[end - 1])) --end;
    for (const auto& article : language::articles()) {
      std::u32string word = article + U" ";
      if (text::starts_with(std::u32string_view(lowered).substr(begin), word) &&
          !language::touches_quote(quoted, begin, begin + word.size()))
        begin += word.size();
    }
    return {r.direction, std::u32string(target.substr(begin, end - begin))};
  }
  return {};
}

bool is_line_break(char32_t c) {
  return c == U'\n' || c == U'\r' || c == U'\v' || c == U'\f' || (c >= 0x1C && c <= 0x1E) ||
         c == 0x85 || c == 0x2028 || c == 0x2029;
}

// How an anchor is compared with page text: folded (text::fold), and a
// header's trailing sort mark is not part of its name.
std::u32string anchor_form(std::u32string_view s) { return text::without_trailing_mark(text::fold(text::strip(s))); }

std::u32string first_line(std::u32string_view s) {
  auto folded = text::fold(text::strip(s));
  auto end = std::find_if(folded.begin(), folded.end(), is_line_break);
  return anchor_form(std::u32string_view(folded).substr(0, static_cast<std::size_t>(end - folded.begin())));
}

bool placed(const Element& el) { return !el.xpath.empty() && el.bounding_box.present; }

double coordinate(const Element& el, const std::optional<records::Number>& value, const char* key) {
  if (value) return value->value;
  std::string where = el.xpath.empty() ? "an element" : "the element at " + text::encode(el.xpath);
  throw MissingKeyError(key, "the bounding_box of " + where + " has no '" + key + "'");
}

struct Centre {
  double x, y;
};

Centre centre(const Element& el) {
  const auto& b = el.bounding_box;
  return {coordinate(el, b.x, "x") + coordinate(el, b.width, "width") / 2,
          coordinate(el, b.y, "y") + coordinate(el, b.height, "height") / 2};
}

Centre top_left(const Element& el) {
  return {coordinate(el, el.bounding_box.x, "x"), coordinate(el, el.bounding_box.y, "y")};
}

struct Anchors {
  std::vector<const Element*> found;
  bool from_text = false;
};

Anchors find_anchors(std::u32string_view anchor_folded, const Elements& text_elements,
                     const Elements& dom_elements) {
  Anchors a;
  for (const auto& el : text_elements)
    if (placed(el) && text::same_label(first_line(el.text), anchor_folded)) a.found.push_back(&el);
  if (!a.found.empty()) {
    a.from_text = true;
    return a;
  }
  for (const auto& el : dom_elements)
    if (placed(el) && text::same_label(anchor_form(el.text), anchor_folded)) a.found.push_back(&el);
  if (!a.found.empty()) return a;
  for (const auto& el : dom_elements) {
    const auto* label = el.attribute(U"aria-label");
    if (placed(el) && label && text::same_label(anchor_form(*label), anchor_folded)) a.found.push_back(&el);
  }
  return a;
}

// A namesake that holds another is a block around the words, not the words.
// Of the rest the one read first is meant: the narrower of two table cells
// reading "Priority:" may be an old value in a change history further down.
std::vector<const Element*> in_reading_order(const std::vector<const Element*>& anchors) {
  std::vector<const Element*> out;
  for (const Element* a : anchors)
    if (std::none_of(anchors.begin(), anchors.end(), [&](const Element* b) { return detail::is_inside(*b, *a); }))
      out.push_back(a);
  std::stable_sort(out.begin(), out.end(), [](const Element* a, const Element* b) {
    const Centre p = top_left(*a);
    const Centre q = top_left(*b);
    return p.y != q.y ? p.y < q.y : p.x < q.x;
  });
  return out;
}

struct Band {
  double x, x2, y, y2, cx, cy;
};

Band band_of(const Element& anchor) {
  // Measured from the anchor's own words when they sit inside a wider block.
  if (const auto* words = anchor.attribute(U"_text_box")) {
    if (auto box = spatial::box_from_text(text::encode(*words))) {
      Band band{};
      band.x = box->x->value;
      band.x2 = band.x + box->width->value;
      band.y = box->y->value;
      band.y2 = band.y + box->height->value;
      band.cx = (band.x + band.x2) / 2;
      band.cy = (band.y + band.y2) / 2;
      return band;
    }
  }
  const auto& b = anchor.bounding_box;
  Band band{};
  band.x = coordinate(anchor, b.x, "x");
  band.x2 = band.x + coordinate(anchor, b.width, "width");
  band.y = coordinate(anchor, b.y, "y");
  band.y2 = band.y + coordinate(anchor, b.height, "height");
  band.cx = (band.x + band.x2) / 2;
  band.cy = (band.y + band.y2) / 2;
  return band;
}

/// The distance of a centre in `direction` from the anchor, or nothing when
/// the centre lies elsewhere.
std::optional<double> distance_in(std::u32string_view direction, const Band& a, const Element& el) {
  const Centre c = centre(el);
  const bool in_row = a.y <= c.y && c.y <= a.y2;
  // A column's cell may start at its header's left edge or be wider than the
  // header: any horizontal overlap puts it in the column.
  const double x = coordinate(el, el.bounding_box.x, "x");
  const double x2 = x + coordinate(el, el.bounding_box.width, "width");
  const bool in_column = x < a.x2 && a.x < x2;
  if (direction == U"right" && c.x > a.cx && in_row) return std::abs(c.x - a.cx);
  if (direction == U"left" && c.x < a.cx && in_row) return std::abs(c.x - a.cx);
  if (direction == U"below" && c.y > a.cy && in_column) return std::abs(c.y - a.cy);
  if (direction == U"above" && c.y < a.cy && in_column) return std::abs(c.y - a.cy);
  return std::nullopt;
}

bool is_text_only(std::u32string_view tag) {
  return std::find(TEXT_ONLY_TAGS.begin(), TEXT_ONLY_TAGS.end(), tag) != TEXT_ONLY_TAGS.end();
}

std::vector<const Element*> in_direction(std::u32string_view direction, const Element& anchor,
                                         bool use_tree, const Elements& text_elements, const Elements& dom_elements) {
  const Band band = band_of(anchor);
  std::vector<std::pair<double, const Element*>> pairs;
  auto consider = [&](const Element& el) {
    if (el.same_record(anchor) || !placed(el)) return;
    if (use_tree && dom_distance(anchor.xpath, el.xpath) > DOM_DISTANCE_THRESHOLD) return;
    if (auto d = distance_in(direction, band, el)) pairs.emplace_back(*d, &el);
  };
  for (const auto& el : text_elements)
    if (is_text_only(el.tag)) consider(el);
  // A drop-down is read where it stands: its record's text is its chosen option.
  for (const auto& el : dom_elements)
    if (el.tag == U"select") consider(el);
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const auto& a, const auto& b) { return detail::less_nan_last(a.first, b.first); });
  std::vector<const Element*> out;
  out.reserve(pairs.size());
  for (const auto& p : pairs) out.push_back(p.second);
  return out;
}

Result spatial_result(bool resolved, bool verified, const Element* element, State state) {
  Result r;
  r.resolved = resolved;
  r.verified = verified;
  r.confidence = resolved ? 1.0 : 0.0;
  r.element = element;
  r.state = std::move(state);
  return r;
}

State expecting(std::u32string_view expected, std::optional<std::u32string> actual = std::nullopt) {
  State s;
  s.expected = std::u32string(expected);
  s.actual = std::move(actual);
  return s;
}

}  // namespace

// Case, currency symbols and thousands separators do not change an amount,
// nor do typographic quotes, dashes and spaces change a text.
std::u32string norm(std::u32string_view s) {
  std::u32string out;
  for (char32_t c : text::fold(s))
    if (c != U'$' && c != U'£' && c != U'€' && c != U',') out += c;
  return text::strip(out);
}

bool shows_value(std::u32string_view actual, std::u32string_view expected) {
  const auto want = norm(expected);
  const auto got = norm(actual);
  // An empty cell is contained in every text, but it shows no value at all:
  // it must not confirm one.
  return !want.empty() && !got.empty() && (text::contains(got, want) || text::contains(want, got));
}

Result resolve_verify_spatial_text(std::u32string_view target, std::u32string_view expected,
                                   const Elements& text_elements, const Elements& dom_elements,
                                   const language::Spans& quoted) {
  const auto [direction, anchor_text] = parse_direction(target, quoted);
  if (direction.empty() || anchor_text.empty()) return spatial_result(false, false, nullptr, expecting(expected));

  const auto anchors = find_anchors(anchor_form(anchor_text), text_elements, dom_elements);
  if (anchors.found.empty())
    return spatial_result(false, false, nullptr,
                          expecting(expected, U"anchor '" + anchor_text + U"' not found"));

  // The first namesake with text in the asked direction is the one meant.
  const auto ordered = in_reading_order(anchors.found);
  const Element* anchor = ordered.front();
  std::vector<const Element*> candidates;
  for (const Element* a : ordered) {
    candidates = in_direction(direction, *a, anchors.from_text, text_elements, dom_elements);
    if (!candidates.empty()) {
      anchor = a;
      break;
    }
  }
  if (candidates.empty())
    return spatial_result(true, false, anchor,
                          expecting(expected, U"no element " + std::u32string(direction) + U" of '" +
                                                  anchor_text + U"'"));

  const Element* best = candidates.front();
  auto actual = text::strip(best->text);
  const bool verified = shows_value(actual, expected);
  Result r = spatial_result(true, verified, best, expecting(expected, std::move(actual)));
  r.candidates = std::move(candidates);
  return r;
}

Result resolve_extract_spatial_text(std::u32string_view target, const Elements& text_elements,
                                    const Elements& dom_elements, const language::Spans& quoted) {
  Result seen = resolve_verify_spatial_text(target, U"", text_elements, dom_elements, quoted);
  Result r;
  r.extracted = std::u32string();
  // An empty candidate list means nothing lies in the direction; the element
  // is then the anchor itself, whose text is not what was asked for.
  if (!seen.resolved || !seen.element || seen.candidates.empty()) return r;
  r.resolved = true;
  r.confidence = 1.0;
  r.element = seen.element;
  r.extracted = text::strip(seen.element->text);
  r.candidates = std::move(seen.candidates);
  return r;
}

}  // namespace vantle::strategies::direct
