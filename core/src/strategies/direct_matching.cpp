#include "vantle/strategies/direct_strategy.h"

#include <algorithm>

#include "direct_util.h"
#include "vantle/language/vocabulary.h"
#include "vantle/text/text.h"

namespace vantle::strategies::direct {

namespace {

template <typename Table>
bool in_table(const Table& table, std::u32string_view word) {
  return std::find(table.begin(), table.end(), word) != table.end();
}

bool has_digit(std::u32string_view word) {
  return std::any_of(word.begin(), word.end(), [](char32_t c) { return text::is_digit(c); });
}

/// "_" and "-" separate words in labels, ids and class names alike.
std::u32string dashes_to_spaces(std::u32string_view s) {
  std::u32string out(s);
  for (auto& c : out)
    if (c == U'_' || c == U'-') c = U' ';
  return out;
}

std::u32string join_kept(const std::vector<std::u32string>& words, std::size_t min_length) {
  std::vector<std::u32string> kept;
  for (const auto& w : words)
    if (w.size() >= min_length && !has_digit(w)) kept.push_back(w);
  return text::join(kept, U" ");
}

// Class words are tested whole, before their dashes become spaces, so
// 'btn-primary' survives although 'btn' alone would not.
std::u32string class_surface(std::u32string_view cls) {
  std::vector<std::u32string> kept;
  for (const auto& w : text::split_ws(cls))
    if (w.size() >= 4 && !has_digit(w)) kept.push_back(dashes_to_spaces(w));
  return text::join(kept, U" ");
}

std::u32string id_surface(std::u32string_view id) {
  return join_kept(text::split_ws(dashes_to_spaces(id)), 4);
}

std::u32string data_name_surface(std::u32string_view name) {
  return join_kept(text::split_ws(dashes_to_spaces(name.substr(5))), 2);
}

// A submit button or a checkbox is an input, but typing into it types nowhere.
bool takes_no_text(const Element& el) {
  const auto* type = el.attribute(U"type");
  return el.tag == U"input" && type && in_table(UNTYPEABLE_INPUT_TYPES, text::lower(text::strip(*type)));
}

bool is_data_name(std::u32string_view name) {
  return text::starts_with(name, U"data-") && name != U"data-testid";
}

// Calls visit(surface, source) for each surface in order until it returns
// true; the source is "text" or the attribute the surface comes from.
template <typename Visit>
bool visit_surfaces(const Element& element, bool include_label, Visit visit) {
  if (!element.text.empty() && visit(std::u32string_view(element.text), std::u32string_view(U"text"))) return true;
  for (auto name : MATCH_ATTRIBUTES) {
    if (name == U"_label" && !include_label) continue;
    const auto* value = element.attribute(name);
    if (value && !value->empty() && visit(std::u32string_view(*value), name)) return true;
  }
  auto derived = [&visit](const std::u32string& surface, std::u32string_view source) {
    return !surface.empty() && visit(surface, source);
  };
  if (const auto* cls = element.attribute(U"class"); cls && derived(class_surface(*cls), U"class")) return true;
  if (const auto* id = element.attribute(U"id"); id && derived(id_surface(*id), U"id")) return true;
  // A form field's name is what a tester reads in the page source when the
  // field shows no label ("__login_name"), so it is taken as written; it is
  // weighed like an id. Names as short as "q" would match by a letter.
  if (const auto* name = element.attribute(U"name"); name && name->size() >= 4 && visit(*name, U"name")) return true;
  for (const auto& a : element.attributes)
    if (is_data_name(a.name) && derived(data_name_surface(a.name), a.name)) return true;
  return false;
}

bool wanted(detail::Sources which, std::u32string_view source) {
  if (which == detail::Sources::all) return true;
  if (which == detail::Sources::own) return !is_name_source(source) && source != U"type" && source != U"class";
  return is_name_source(source) == (which == detail::Sources::names);
}

// A label's closing colon and a header's sort mark are decoration, not name.
// Texts without either come back unchanged.
std::u32string_view undecorated(std::u32string_view s) {
  auto trimmed = [](std::u32string_view v) {
    while (!v.empty() && text::is_space(v.back())) v.remove_suffix(1);
    return v;
  };
  std::u32string_view t = trimmed(s);
  std::size_t end = t.size();
  while (end > 0 && text::is_mark(t[end - 1])) --end;
  const bool mark = end < t.size() && end > 0 && text::is_space(t[end - 1]);
  if (mark) t = trimmed(t.substr(0, end));
  const bool colon = t.size() > 1 && t.back() == U':';
  if (colon) t = trimmed(t.substr(0, t.size() - 1));
  return mark || colon ? t : s;
}

}  // namespace

namespace detail {

void normalise_into(std::u32string& out, std::u32string_view s) {
  out.assign(s);
  for (auto& c : out) {
    c = text::fold(c);
    if (c == U'_' || c == U'-') c = U' ';
  }
}

Matcher::Matcher(std::u32string_view target) {
  normalise_into(needle_, target);
  bare_ = std::u32string(undecorated(needle_));
  if (bare_.empty()) bare_ = needle_;
}

// A tooltip is a sentence ("Change selected category"): it names its control
// only as a whole, or a word of it would outrank the field it describes.
bool Matcher::holds(std::u32string_view surface, std::u32string_view source) const {
  normalise_into(buffer_, surface);
  return source == U"title" ? same_as_buffer() : text::contains(buffer_, bare_);
}

bool Matcher::same_as_buffer() const {
  auto first = std::find_if_not(buffer_.begin(), buffer_.end(), text::is_space);
  auto last = std::find_if_not(buffer_.rbegin(), buffer_.rend(), text::is_space).base();
  if (first >= last) return needle_.empty();
  std::u32string_view stripped(&*first, static_cast<std::size_t>(last - first));
  return stripped == needle_ || undecorated(stripped) == bare_;
}

bool Matcher::contained_in(const Element& element, bool include_label, Sources which) const {
  return visit_surfaces(element, include_label, [&](std::u32string_view surface, std::u32string_view source) {
    return wanted(which, source) && holds(surface, source);
  });
}

bool Matcher::equal_to(const Element& element, bool include_label, Sources which) const {
  return visit_surfaces(element, include_label, [&](std::u32string_view surface, std::u32string_view source) {
    if (!wanted(which, source)) return false;
    normalise_into(buffer_, surface);
    return same_as_buffer();
  });
}

std::u32string_view Matcher::source_of(const Element& element, bool include_label) const {
  std::u32string_view found;
  for (Sources which : {Sources::names, Sources::others}) {
    visit_surfaces(element, include_label, [&](std::u32string_view surface, std::u32string_view source) {
      if (wanted(which, source) && holds(surface, source)) found = source;
      return !found.empty();
    });
    if (!found.empty()) break;
  }
  return found;
}

}  // namespace detail

bool reads_attribute(std::u32string_view name) {
  return in_table(READ_ATTRIBUTES, name);
}

bool is_name_source(std::u32string_view source) { return in_table(NAME_SOURCES, source); }

namespace {

// What a label names: a field. A button or link has a name of its own, and
// the text that happens to sit above it is no label of it.
bool is_field(const Element& el) {
  if (el.tag == U"input") {
    const auto* type = el.attribute(U"type");
    return !type || !in_table(BUTTON_INPUT_TYPES, text::lower(text::strip(*type)));
  }
  return takes_action(U"type", el) || takes_action(U"select", el) || takes_action(U"check", el);
}

}  // namespace

bool label_names(std::u32string_view action, const Element& element) {
  if (action == U"type" || action == U"select" || action == U"clear" || action == U"upload") return true;
  if (action == U"verify_checked" || action == U"extract_text") return is_field(element);
  const auto* role = element.attribute(U"role");
  if (role && in_table(CHOICE_ROLES, text::lower(*role))) return true;
  const auto* type = element.attribute(U"type");
  return element.tag == U"input" && type && in_table(CHOICE_ROLES, text::lower(*type));
}

std::u32string matched_by(std::u32string_view target, const Element& element, bool include_label) {
  return std::u32string(detail::Matcher(target).source_of(element, include_label));
}

std::vector<std::u32string> searchable_strings(const Element& element, bool include_label) {
  std::vector<std::u32string> out;
  visit_surfaces(element, include_label, [&out](std::u32string_view surface, std::u32string_view) {
    out.emplace_back(surface);
    return false;
  });
  return out;
}

bool matches_element(std::u32string_view target, const Element& element, bool include_label) {
  return detail::Matcher(target).contained_in(element, include_label);
}

bool exact_matches_element(std::u32string_view target, const Element& element, bool include_label) {
  return detail::Matcher(target).equal_to(element, include_label);
}

std::u32string strip_type_descriptors(std::u32string_view target, const language::Spans& quoted) {
  auto words = language::words(target, quoted);
  auto is_descriptor = [](const language::Word& w) {
    const language::TypeWord* row = language::type_word(text::lower(w.text));
    return !w.quoted && row && row->descriptor;
  };
  auto end = words.end();
  while (end != words.begin() && is_descriptor(*(end - 1))) --end;
  auto begin = words.begin();
  while (begin != end && is_descriptor(*begin)) ++begin;
  if (begin == end) return std::u32string(target);
  std::vector<std::u32string> kept;
  for (auto it = begin; it != end; ++it) kept.push_back(it->text);
  return text::join(kept, U" ");
}

bool filters_by_action(std::u32string_view action) { return action == U"type" || action == U"select"; }

bool takes_action(std::u32string_view action, const Element& el) {
  if (action == U"type" || action == U"clear") {
    const auto* role = el.attribute(U"role");
    return (in_table(TYPEABLE_TAGS, el.tag) && !takes_no_text(el)) || (role && in_table(TYPEABLE_ROLES, *role)) ||
           el.is_editable_field;
  }
  if (action == U"select") return in_table(SELECTABLE_TAGS, el.tag);
  if (action == U"check" || action == U"uncheck") {
    const auto* type = el.attribute(U"type");
    const auto* role = el.attribute(U"role");
    return (el.tag == U"input" && type && in_table(CHECKABLE_TYPES, text::lower(*type))) ||
           (role && in_table(CHECKABLE_ROLES, *role));
  }
  if (action == U"upload") {
    const auto* type = el.attribute(U"type");
    return el.tag == U"input" && type && text::lower(*type) == U"file";
  }
  return true;
}

std::vector<const Element*> filter_by_action(std::u32string_view action, const Elements& elements) {
  std::vector<const Element*> out;
  out.reserve(elements.size());
  for (const auto& el : elements)
    if (takes_action(action, el)) out.push_back(&el);
  return out;
}

long long dom_distance(std::u32string_view xpath_a, std::u32string_view xpath_b) {
  auto steps = [](std::u32string_view path) {
    auto first = path.find_first_not_of(U'/');
    auto last = path.find_last_not_of(U'/');
    auto rest = first == std::u32string_view::npos ? std::u32string_view()
                                                   : path.substr(first, last - first + 1);
    std::vector<std::u32string_view> parts;
    for (std::size_t start = 0;;) {
      auto slash = rest.find(U'/', start);
      parts.push_back(rest.substr(start, slash == std::u32string_view::npos ? slash : slash - start));
      if (slash == std::u32string_view::npos) return parts;
      start = slash + 1;
    }
  };
  const auto a = steps(xpath_a);
  const auto b = steps(xpath_b);
  std::size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common]) ++common;
  return static_cast<long long>(a.size() - common + b.size() - common);
}

}  // namespace vantle::strategies::direct
