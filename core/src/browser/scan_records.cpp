// The browser-free half of scanning: spatial labels, wrapper removal and the
// custom-input rule, on plain boxes and texts.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "vantle/browser/page_scanner.h"
#include "vantle/records/json.h"
#include "vantle/text/text.h"

namespace vantle::browser {

namespace {

bool touches_horizontally(const Box& c, const Box& el) {
  return c.x <= el.x + el.width && c.x + c.width >= el.x;
}

bool overlaps(const Box& a, const Box& b) {
  return a.x < b.x + b.width && a.x + a.width > b.x && a.y < b.y + b.height && a.y + a.height > b.y;
}

double area(const Box& b) { return b.width * b.height; }

double number_at(const Json& record, const char* key) {
  const Json& v = record.at(key);
  if (!v.is_number()) throw std::invalid_argument(std::string("box coordinate ") + key + " is not a number");
  return v.get<double>();
}

bool has_label(const Json& element) {
  auto attrs = element.find("attributes");
  if (attrs == element.end() || !attrs->is_object()) return false;
  auto label = attrs->find("_label");
  if (label == attrs->end() || label->is_null()) return false;
  return !label->is_string() || !label->get_ref<const std::string&>().empty();
}

}  // namespace

Box box_of(const Json& record) {
  return {number_at(record, "x"), number_at(record, "y"), number_at(record, "width"), number_at(record, "height")};
}

// The same words in two places are two labels: a side list that repeats a
// field's heading must not take the heading's place above the field.
std::string label_candidate_key(const std::string& text, const Box& box) {
  std::string key = text;
  for (double v : {box.x, box.y, box.width, box.height}) key += '\x1f' + std::to_string(v);
  return key;
}

std::vector<long> choose_spatial_labels_simple(const std::vector<std::optional<Box>>& targets,
                                               const std::vector<Box>& candidates) {
  std::vector<long> out(targets.size(), -1);
  for (std::size_t t = 0; t < targets.size(); ++t) {
    if (!targets[t]) continue;
    const Box& el = *targets[t];
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      const Box& c = candidates[i];
      double bottom = c.y + c.height;
      if (bottom > el.y || !touches_horizontally(c, el)) continue;
      double dist = el.y - bottom;
      if (dist < best) {
        best = dist;
        out[t] = static_cast<long>(i);
      }
    }
  }
  return out;
}

// Candidates sorted by bottom edge, lowest on the page first: the label of a
// target is the first one at or above its top that touches it horizontally.
// Bottoms that differ yet give the same (rounded) distance still tie, so the
// search runs on through equal distances to keep the earliest candidate.
std::vector<long> choose_spatial_labels(const std::vector<std::optional<Box>>& targets,
                                        const std::vector<Box>& candidates) {
  std::vector<double> bottom(candidates.size());
  for (std::size_t i = 0; i < candidates.size(); ++i) bottom[i] = candidates[i].y + candidates[i].height;
  std::vector<std::size_t> order(candidates.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return bottom[a] > bottom[b]; });
  std::vector<double> sorted_bottom(order.size());
  for (std::size_t k = 0; k < order.size(); ++k) sorted_bottom[k] = bottom[order[k]];

  std::vector<long> out(targets.size(), -1);
  for (std::size_t t = 0; t < targets.size(); ++t) {
    if (!targets[t]) continue;
    const Box& el = *targets[t];
    auto start = std::lower_bound(sorted_bottom.begin(), sorted_bottom.end(), el.y,
                                  [](double b, double top) { return b > top; });
    std::size_t k = static_cast<std::size_t>(start - sorted_bottom.begin());
    bool found = false;
    double best = 0;
    for (; k < order.size(); ++k) {
      double dist = el.y - sorted_bottom[k];
      if (found && dist != best) break;
      if (!touches_horizontally(candidates[order[k]], el)) continue;
      if (!found || static_cast<long>(order[k]) < out[t]) out[t] = static_cast<long>(order[k]);
      found = true;
      best = dist;
    }
  }
  return out;
}

namespace {

bool dominates(const TextCandidate& o, const TextCandidate& el) {
  return area(o.box) < area(el.box) && overlaps(el.box, o.box) && el.text.find(o.text) != std::string::npos;
}

}  // namespace

std::vector<std::size_t> dedup_text_indices_simple(const std::vector<TextCandidate>& candidates) {
  std::vector<std::size_t> keep;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    bool dominated = false;
    if (!candidates[i].has_direct_text) {
      for (std::size_t j = 0; j < candidates.size() && !dominated; ++j)
        dominated = j != i && dominates(candidates[j], candidates[i]);
    }
    if (!dominated) keep.push_back(i);
  }
  return keep;
}

namespace {

constexpr double BAND_HEIGHT = 256;
constexpr long long MAX_BANDS = 4096;

/// The candidates grouped by the horizontal bands of the page they reach
/// into, so a box is compared only with boxes that share a band with it.
/// Boxes spanning too many bands (or with odd coordinates) sit in `wide`,
/// which every lookup checks.
struct BandIndex {
  std::unordered_map<long long, std::vector<std::size_t>> bands;
  std::vector<std::size_t> wide;
  std::vector<long long> first;  // first band of each candidate, or -1 when wide

  static bool span(const Box& b, long long& lo, long long& hi) {
    double top = b.y, bottom = b.y + b.height;
    if (!std::isfinite(top) || !std::isfinite(bottom) || bottom < top) return false;
    lo = static_cast<long long>(std::floor(top / BAND_HEIGHT));
    hi = static_cast<long long>(std::floor(bottom / BAND_HEIGHT));
    return hi - lo < MAX_BANDS;
  }

  explicit BandIndex(const std::vector<TextCandidate>& items) : first(items.size(), -1) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      long long lo, hi;
      if (!span(items[i].box, lo, hi)) {
        wide.push_back(i);
        continue;
      }
      first[i] = lo;
      for (long long b = lo; b <= hi; ++b) bands[b].push_back(i);
    }
  }
};

}  // namespace

// Whether some candidate dominates another does not depend on the order in
// which candidates are tried, so only those sharing a band are tried, and
// each distinct text is searched for at most once per element.
std::vector<std::size_t> dedup_text_indices(const std::vector<TextCandidate>& candidates) {
  BandIndex index(candidates);
  std::vector<std::size_t> text_id(candidates.size());
  {
    std::unordered_map<std::string_view, std::size_t> ids;
    for (std::size_t i = 0; i < candidates.size(); ++i)
      text_id[i] = ids.emplace(candidates[i].text, ids.size()).first->second;
  }
  std::vector<std::size_t> searched_for(candidates.size(), SIZE_MAX);  // by text id: element last searched
  std::vector<char> found(candidates.size(), 0);
  auto dominated_by = [&](std::size_t j, std::size_t i) {
    const TextCandidate& o = candidates[j];
    const TextCandidate& el = candidates[i];
    if (!(area(o.box) < area(el.box)) || !overlaps(el.box, o.box)) return false;
    std::size_t t = text_id[j];
    if (searched_for[t] != i) {
      searched_for[t] = i;
      found[t] = el.text.find(o.text) != std::string::npos;
    }
    return found[t] != 0;
  };
  auto dominated = [&](std::size_t i) {
    for (std::size_t j : index.wide)
      if (j != i && dominated_by(j, i)) return true;
    long long lo, hi;
    if (!BandIndex::span(candidates[i].box, lo, hi)) {
      for (std::size_t j = 0; j < candidates.size(); ++j)
        if (j != i && index.first[j] >= 0 && dominated_by(j, i)) return true;
      return false;
    }
    for (long long b = lo; b <= hi; ++b) {
      auto band = index.bands.find(b);
      if (band == index.bands.end()) continue;
      for (std::size_t j : band->second) {
        // a candidate reaching into several of these bands is tried once
        if (j == i || std::max(index.first[j], lo) != b) continue;
        if (dominated_by(j, i)) return true;
      }
    }
    return false;
  };
  std::vector<std::size_t> keep;
  for (std::size_t i = 0; i < candidates.size(); ++i)
    if (candidates[i].has_direct_text || !dominated(i)) keep.push_back(i);
  return keep;
}

bool is_custom_input(std::string_view tag, std::string_view classes) {
  if (tag == "input" || tag == "textarea") return false;
  std::string c = text::lower(classes);
  return c.find("editable") != std::string::npos || c.find("input") != std::string::npos;
}

void assign_spatial_labels(Json& elements, const std::vector<Box>& boxes, const std::vector<std::string>& texts) {
  std::vector<std::optional<Box>> targets;
  targets.reserve(elements.size());
  for (const Json& el : elements) {
    auto box = el.find("bounding_box");
    if (has_label(el) || box == el.end() || box->is_null()) targets.emplace_back();
    else targets.emplace_back(box_of(*box));
  }
  std::vector<long> chosen = choose_spatial_labels(targets, boxes);
  for (std::size_t t = 0; t < chosen.size(); ++t) {
    if (chosen[t] < 0) continue;
    const std::string& label = texts[static_cast<std::size_t>(chosen[t])];
    if (!label.empty()) elements[t]["attributes"]["_label"] = label;
  }
}

void assign_spatial_labels(Json& elements, const Json& label_candidates) {
  std::vector<Box> boxes;
  std::vector<std::string> texts;
  for (const Json& c : label_candidates) {
    boxes.push_back(box_of(c.at("bounding_box")));
    texts.push_back(records::text_of(c.at("text")));
  }
  assign_spatial_labels(elements, boxes, texts);
}

Json dedup_text_elements(const Json& candidates) {
  std::vector<TextCandidate> plain;
  for (const Json& c : candidates) {
    auto direct = c.find("has_direct_text");
    bool has_direct = direct != c.end() && direct->is_boolean() && direct->get<bool>();
    plain.push_back({c.at("text").get<std::string>(), has_direct, box_of(c.at("bounding_box"))});
  }
  Json out = Json::array();
  for (std::size_t i : dedup_text_indices(plain)) out.push_back(candidates[i]);
  return out;
}

}  // namespace vantle::browser
