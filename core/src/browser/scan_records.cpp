// The browser-free half of scanning: spatial labels, wrapper removal and the
// custom-input rule, on plain boxes and texts.

#include <algorithm>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "vantle/browser/page_scanner.h"
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

std::vector<std::size_t> dedup_text_indices(const std::vector<TextCandidate>& candidates) {
  return dedup_text_indices_simple(candidates);
}

bool is_custom_input(std::string_view tag, std::string_view classes) {
  if (tag == "input" || tag == "textarea") return false;
  std::string c = text::lower(classes);
  return c.find("editable") != std::string::npos || c.find("input") != std::string::npos;
}

void assign_spatial_labels(Json& elements, const Json& label_candidates) {
  std::vector<std::optional<Box>> targets;
  for (const Json& el : elements) {
    auto box = el.find("bounding_box");
    if (has_label(el) || box == el.end() || box->is_null()) targets.emplace_back();
    else targets.emplace_back(box_of(*box));
  }
  std::vector<Box> boxes;
  for (const Json& c : label_candidates) boxes.push_back(box_of(c.at("bounding_box")));
  std::vector<long> chosen = choose_spatial_labels(targets, boxes);
  for (std::size_t t = 0; t < chosen.size(); ++t) {
    if (chosen[t] < 0) continue;
    const Json& label = label_candidates[static_cast<std::size_t>(chosen[t])].at("text");
    if (label.is_string() && label.get_ref<const std::string&>().empty()) continue;
    elements[t]["attributes"]["_label"] = label;
  }
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
