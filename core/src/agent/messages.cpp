#include "vantle/agent/messages.h"
#include "vantle/records/json.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <utility>

#include "vantle/text/text.h"

namespace vantle::agent {

namespace {

// Names longer than this are compared by their start only.
constexpr std::size_t kComparedLength = 80;
// Shorter names are fragments: shown only when they nearly are the target.
constexpr std::size_t kMinNearMissLength = 3;
constexpr double kFragmentSimilarity = 0.5;
// Without a shared word, a name must read at least this much like the target.
constexpr double kNearSimilarity = 1.0 / 3.0;

std::string q(std::string_view s) { return text::quoted(s); }

std::string ms(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f", value);
  return buf;
}

std::string field(const Json& record, const char* key) { return text::strip(records::text_at(record, key)); }

// What a user would call the element: its text, else its accessible name.
std::string surface(const Json& element) {
  std::string text = field(element, "text");
  if (!text.empty()) return text;
  auto attrs = element.is_object() ? element.find("attributes") : element.end();
  if (attrs == element.end()) return {};
  for (const char* key : {"_label", "aria-label", "placeholder", "title", "alt", "value"}) {
    std::string value = field(*attrs, key);
    if (!value.empty()) return value;
  }
  return {};
}

std::size_t edit_distance(const std::u32string& a, const std::u32string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diag = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diag = up;
    }
  }
  return row[b.size()];
}

bool word_char(char32_t c) {
  if (text::is_space(c)) return false;
  return c > 0x7F || (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

// Words for comparing names: runs of letters and digits.
std::vector<std::u32string> words_of(const std::u32string& text) {
  std::vector<std::u32string> words(1);
  for (char32_t c : text) {
    if (word_char(c)) {
      words.back().push_back(c);
    } else if (!words.back().empty()) {
      words.emplace_back();
    }
  }
  if (words.back().empty()) words.pop_back();
  return words;
}

struct Nearness {
  std::size_t shared_words = 0;
  std::size_t distance = 0;
  bool worth_showing = false;
};

// A near miss shares a word with the target or reads much like it; a short
// fragment ("1", "5") only when it is nearly the whole target.
Nearness nearness(const std::u32string& target, const std::u32string& candidate) {
  Nearness n;
  auto candidate_words = words_of(candidate);
  for (const auto& word : words_of(target)) {
    if (std::find(candidate_words.begin(), candidate_words.end(), word) != candidate_words.end()) ++n.shared_words;
  }
  n.distance = edit_distance(target, candidate);
  double longest = static_cast<double>(std::max(target.size(), candidate.size()));
  double similarity = 1.0 - static_cast<double>(n.distance) / longest;
  bool contains = text::contains(candidate, target) || text::contains(target, candidate);
  bool fragment = candidate.size() < kMinNearMissLength;
  n.worth_showing = fragment ? similarity >= kFragmentSimilarity
                             : n.shared_words > 0 || contains || similarity >= kNearSimilarity;
  return n;
}

}  // namespace

std::vector<std::string> near_candidates(std::string_view target, const Json& elements,
                                         const Json& text_elements, std::size_t limit) {
  std::u32string wanted = text::fold(text::decode(text::strip(target)));
  if (wanted.empty()) return {};
  std::vector<std::pair<Nearness, std::string>> scored;
  std::set<std::string> seen;
  for (const Json* group : {&elements, &text_elements}) {
    if (!group->is_array()) continue;
    for (const auto& element : *group) {
      std::string name = surface(element);
      if (name.empty() || !seen.insert(name).second) continue;
      // Long blocks of text say little about a near miss; compare their start.
      Nearness n = nearness(wanted, text::fold(text::decode(name)).substr(0, kComparedLength));
      if (n.worth_showing) scored.emplace_back(n, name);
    }
  }
  std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) {
    if (a.first.shared_words != b.first.shared_words) return a.first.shared_words > b.first.shared_words;
    return a.first.distance < b.first.distance;
  });
  std::vector<std::string> out;
  for (const auto& entry : scored) {
    if (out.size() == limit) break;
    out.push_back(entry.second);
  }
  return out;
}

std::string step_failed(std::string_view instruction, std::string_view reason) {
  return "Step " + q(instruction) + " failed: " + std::string(reason);
}

std::string miss_message(std::string_view instruction, std::string_view target,
                         const std::vector<std::string>& near, std::string_view where) {
  std::string reason = "nothing " + std::string(where) + " matches " + q(target) + ".";
  if (near.empty()) return step_failed(instruction, reason + " The page offers nothing close to it.");
  reason += " Closest on the page: ";
  for (std::size_t i = 0; i < near.size(); ++i) reason += (i ? ", " : "") + q(near[i]);
  return step_failed(instruction, reason + ".");
}

std::string placed_miss_message(std::string_view instruction, std::string_view target, const Json& anchor,
                                std::string_view wanted) {
  const Json& box = anchor.value("bounding_box", Json::object());
  auto at = [&box](const char* key) { return ms(box.value(key, 0.0)); };
  const std::string text = field(anchor, "text");
  return step_failed(instruction, "nothing fits " + q(target) + ": its anchor is the <" +
                                      records::text_at(anchor, "tag") + ">" + (text.empty() ? "" : " " + q(text)) +
                                      " at x=" + at("x") + ", y=" + at("y") +
                                      ", and nothing " + (wanted.empty() ? "" : "reading " + q(wanted) + " that ") +
                                      "the step can act on is placed from it as asked.");
}

std::string unfit_message(std::string_view instruction, std::string_view found, std::string_view tag,
                          std::string_view takes) {
  return step_failed(instruction, q(found) + " is <" + std::string(tag) + ">, which cannot take " +
                                      std::string(takes) + ".");
}

std::string anchor_message(std::string_view instruction, std::string_view anchor,
                           const std::vector<std::string>& near) {
  std::string reason = "anchor " + q(anchor) + " not found.";
  if (near.empty()) return step_failed(instruction, reason);
  reason += " Closest on the page: ";
  for (std::size_t i = 0; i < near.size(); ++i) reason += (i ? ", " : "") + q(near[i]);
  return step_failed(instruction, reason + ".");
}

std::string negative_message(std::string_view instruction, std::string_view found_text, std::string_view state) {
  return step_failed(instruction, "expected " + q(found_text) + " not to be " + std::string(state) + ", but it is.");
}

std::string state_message(std::string_view instruction, std::string_view found_text, std::string_view wanted) {
  std::string actual = wanted == "visible"   ? "hidden"
                       : wanted == "enabled" ? "disabled"
                       : wanted == "checked" ? "not checked"
                                             : "enabled";
  return step_failed(instruction, "expected " + q(found_text) + " to be " + std::string(wanted) +
                                      ", but it is " + actual + ".");
}

std::string text_message(std::string_view instruction, std::string_view expected, std::string_view actual) {
  return step_failed(instruction, "expected " + q(expected) + ", found " + q(actual) + ".");
}

std::string dialog_text_message(std::string_view instruction, std::string_view expected,
                                std::string_view actual) {
  return step_failed(instruction, "expected the dialog to say " + q(expected) + ", but it says " + q(actual) + ".");
}

std::string dialog_pending_message(std::string_view instruction, std::string_view dialog_text) {
  return step_failed(instruction, "a dialog is open saying " + q(dialog_text) +
                                      "; handle it first with 'accept dialog' or 'dismiss dialog'.");
}

std::string no_dialog_message(std::string_view instruction, double waited_ms) {
  return step_failed(instruction, "no dialog opened within " + ms(waited_ms) + " ms.");
}

std::string timeout_message(std::string_view instruction, double waited_ms) {
  return step_failed(instruction, "the browser did not finish within " + ms(waited_ms) + " ms.");
}

std::string bad_wait_message(std::string_view instruction, std::string_view given) {
  return step_failed(instruction, "wait needs a number of milliseconds, got " + q(given) + ".");
}

bool parse_milliseconds(std::string_view text, double& out) {
  std::string s = text::strip(text);
  if (s.empty() || s.size() > 12) return false;
  bool dot = false;
  for (char c : s) {
    if (c == '.' && !dot) {
      dot = true;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  if (s == ".") return false;
  out = std::stod(s);
  return std::isfinite(out);
}

}  // namespace vantle::agent
