#include "vantle/agent/messages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <utility>

#include "vantle/text/text.h"

namespace vantle::agent {

namespace {

std::string q(std::string_view s) { return text::quoted(s); }

std::string ms(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f", value);
  return buf;
}

std::string field(const Json& record, const char* key) {
  if (!record.is_object()) return {};
  auto it = record.find(key);
  if (it == record.end() || !it->is_string()) return {};
  return text::strip(std::string_view(it->get_ref<const std::string&>()));
}

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

double closeness(const std::u32string& target, const std::u32string& candidate) {
  if (target.empty() || candidate.empty()) return 0;
  double longest = static_cast<double>(std::max(target.size(), candidate.size()));
  double score = 1.0 - static_cast<double>(edit_distance(target, candidate)) / longest;
  if (text::contains(candidate, target) || text::contains(target, candidate)) score += 0.5;
  auto words = text::split_ws(candidate);
  for (const auto& w : text::split_ws(target)) {
    if (std::find(words.begin(), words.end(), w) != words.end()) {
      score += 0.25;
      break;
    }
  }
  return score;
}

}  // namespace

std::vector<std::string> near_candidates(std::string_view target, const Json& elements,
                                         const Json& text_elements, std::size_t limit) {
  std::u32string wanted = text::lower(text::decode(text::strip(target)));
  std::vector<std::pair<double, std::string>> scored;
  std::set<std::string> seen;
  for (const Json* group : {&elements, &text_elements}) {
    if (!group->is_array()) continue;
    for (const auto& element : *group) {
      std::string name = surface(element);
      if (name.empty() || !seen.insert(name).second) continue;
      // Long blocks of text say little about a near miss; compare their start.
      std::u32string candidate = text::lower(text::decode(name)).substr(0, 80);
      scored.emplace_back(closeness(wanted, candidate), name);
    }
  }
  std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<std::string> out;
  for (const auto& [score, name] : scored) {
    if (out.size() == limit) break;
    if (score > 0) out.push_back(name);
  }
  return out;
}

std::string step_failed(std::string_view instruction, std::string_view reason) {
  return "Step " + q(instruction) + " failed: " + std::string(reason);
}

std::string miss_message(std::string_view instruction, std::string_view target,
                         const std::vector<std::string>& near) {
  std::string reason = "nothing on the page matches " + q(target) + ".";
  if (near.empty()) return step_failed(instruction, reason + " The page offers nothing close to it.");
  reason += " Closest on the page: ";
  for (std::size_t i = 0; i < near.size(); ++i) reason += (i ? ", " : "") + q(near[i]);
  return step_failed(instruction, reason + ".");
}

std::string state_message(std::string_view instruction, std::string_view found_text, std::string_view wanted) {
  std::string actual = wanted == "visible" ? "hidden" : wanted == "enabled" ? "disabled" : "enabled";
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
