#include "vantle/agent/pipeline.h"
#include "vantle/records/json.h"

#include "vantle/agent/messages.h"
#include "vantle/agent/resolution.h"
#include "vantle/agent/table_steps.h"
#include "vantle/agent/web_agent.h"
#include "vantle/language/vocabulary.h"
#include "vantle/spatial/resolver.h"
#include "vantle/text/text.h"

namespace vantle::agent {

namespace {

bool settled(const Json& result) {
  if (!records::truth_at(result, "resolved")) return false;
  return !result.contains("verified") || records::truth_at(result, "verified");
}

// The layout resolver finds an element but does not judge its state.
void judge_state(const std::string& action, Json& result) {
  if (!records::truth_at(result, "resolved") || action.rfind("verify_", 0) != 0) return;
  const Json& element = result["element"];
  bool visible = records::truth_at(element, "is_visible"), enabled = records::truth_at(element, "is_enabled");
  bool verified = action == "verify_visible"    ? visible
                  : action == "verify_enabled"  ? enabled
                  : action == "verify_disabled" ? !enabled
                                                : true;
  result["verified"] = verified;
  result["state"] = Json{{"present", true}, {"visible", visible}, {"enabled", enabled}};
}

// A heading or plain text is present too, though nothing can be clicked there.
void text_fallback(const Json& query, const PageScan& scan, Json& result) {
  std::string action = records::text_at(query, "action");
  if (records::truth_at(result, "resolved") || (action != "verify_present" && action != "verify_visible")) return;
  Json text_query = query;
  text_query["action"] = action == "verify_present" ? "verify_text_present" : "verify_text_visible";
  Json by_text = resolve_direct(text_query, scan);
  if (records::truth_at(by_text, "resolved")) result = by_text;
}

// What a list box lists or a drop-down shows is text a person reads on the
// page, though it is a control's and no text element's.
void control_text_fallback(const Json& query, const PageScan& scan, Json& result) {
  std::string action = records::text_at(query, "action");
  if (records::truth_at(result, "resolved") || (action != "verify_text_present" && action != "verify_text_visible")) return;
  Json by_control = resolve_on_controls(query, scan);
  if (records::truth_at(by_control, "resolved")) result = by_control;
}

// What one drags or scrolls to is often no control at all (a card, a
// heading): when no control matches, a piece of text names it.
bool text_will_do(const std::string& action) { return action == "drag" || action == "scroll_to"; }

Json resolve_with(const Json& query, const PageScan& scan, bool layout) {
  if (layout) return resolve_layout(query, scan);
  Json result = resolve_direct(query, scan);
  text_fallback(query, scan, result);
  control_text_fallback(query, scan, result);
  if (records::truth_at(result, "resolved") || !text_will_do(records::text_at(query, "action"))) return result;
  Json text_query = query;
  text_query["action"] = "verify_text_present";
  Json by_text = resolve_direct(text_query, scan);
  return records::truth_at(by_text, "resolved") ? by_text : result;
}

// A drag names a second element, its destination: resolved like its source.
Json resolve_destination(std::u32string_view instruction, const ParsedStep& step, const PageScan& scan) {
  if (step.action != "drag" || !step.value) return nullptr;
  const bool literal = is_literal(*step.value, unquote(text::strip(instruction)).literals);
  Json query{{"action", "drag"}, {"target", text::encode(*step.value)}, {"value", nullptr},
             {"ordinal", 1}, {"_literal_target", literal}};
  return resolve_with(query, scan, !literal && names_position(*step.value));
}

std::string wanted_state(const std::string& action) {
  if (action == "verify_visible" || action == "verify_text_visible") return "visible";
  if (action == "verify_checked") return "checked";
  if (action == "verify_enabled") return "enabled";
  if (action == "verify_disabled") return "disabled";
  return "present";
}

std::string found_text(const Json& result, const std::string& target) {
  std::string found = records::text_at(result["element"], "text");
  return found.empty() ? target : found;
}

// Whether a box is ticked is read from the record the scan made. A control
// that cannot be ticked fails the check, and its denial too: neither says
// anything of it.
void judge_checked(const std::string& action, const std::string& target, Json& result) {
  if (action != "verify_checked" || !records::truth_at(result, "resolved")) return;
  // Read everything first: adding keys to the result moves its element.
  const Json element = result["element"];
  const std::string checked = element.is_object() ? records::text_at(element.value("attributes", Json::object()), "_checked") : "";
  if (checked.empty()) {
    result["verified"] = false;
    result["reason"] = text::quoted(found_text(result, target)) + " is not a check box, radio button or switch.";
    return;
  }
  result["verified"] = checked == "true";
  result["state"] = Json{{"present", true}, {"visible", records::truth_at(element, "is_visible")},
                         {"enabled", records::truth_at(element, "is_enabled")}, {"checked", checked == "true"}};
}

// What a spatial target names, as written: its anchor, the record taken for
// that anchor (null when the page has none) and the quoted words sought.
struct PlacedTarget {
  std::u32string anchor;
  Json taken;
  std::u32string wanted;
};

// The resolver reads targets lower-cased; one code point for one, so a
// position in the lower-cased target is the position in the written one. The
// wanted words come before the relation, the anchor after it.
std::u32string as_written(const std::u32string& target, const std::u32string& lower_part, bool last) {
  const std::u32string lower = text::lower(target);
  std::size_t at = last ? lower.rfind(lower_part) : lower.find(lower_part);
  return at == std::u32string::npos ? lower_part : target.substr(at, lower_part.size());
}

PlacedTarget target_anchor(const Json& query, const PageScan& scan) {
  std::u32string target = text::decode(records::text_at(query, "target"));
  spatial::ParsedTarget parsed = spatial::parse_target(target, quoted_of(query));
  if (!parsed.anchor || parsed.anchor->empty()) return {};
  Json taken = entry_record(typed_records(scan).layout().find_anchor(*parsed.anchor), scan);
  std::u32string wanted = parsed.target_quoted ? as_written(target, *parsed.target_text, false) : U"";
  return {as_written(target, *parsed.anchor, true), std::move(taken), std::move(wanted)};
}

// The attribute a resolved element matched through, when that is not a name a
// person sees or hears.
std::string noise_match(const Json& query, const Json& result) {
  const Json* element = result.is_object() && result.contains("element") ? &result["element"] : nullptr;
  if (!element || !element->is_object()) return {};
  std::string source = matched_attribute(query, *element);
  if (source.empty() || strategies::direct::is_name_source(text::decode(source))) return {};
  return source;
}

// A step only some elements take (typing, ticking) whose target names
// something else: saying so beats "nothing matches" beside that very name.
bool explain_unfit(const std::string& text, const PageScan& scan, StepResolution& out) {
  const language::Action* row = language::action(records::text_at(out.query, "action"));
  if (!row || row->takes.empty()) return false;
  Json query = out.query;
  query["action"] = "click";
  const Json found = resolve_direct(query, scan);
  if (!records::truth_at(found, "resolved") || !found["element"].is_object()) return false;
  const Json& element = found["element"];
  std::string tag = records::text_at(element, "tag");
  const std::string type = records::text_at(element.value("attributes", Json::object()), "type");
  if (!type.empty()) tag += " type=\"" + type + "\"";
  out.message = unfit_message(text, found_text(found, records::text_at(out.query, "target")), tag, row->takes);
  return true;
}

void explain_failure(const std::string& text, const ParsedStep& step, const PageScan& scan, StepResolution& out) {
  const Json& result = out.result;
  const std::string action = records::text_at(out.query, "action");
  const std::string target = records::text_at(out.query, "target");
  if (result.is_object() && result.contains("reason")) {
    out.message = step_failed(text, records::text_at(result, "reason"));
    return;
  }
  if (action == "verify_cell") {
    out.message = text_message(text, records::text_at(out.query, "value"), records::text_at(result, "extracted"));
    return;
  }
  if (settled(result) && !out.destination.is_null()) {
    const std::string missing = text::encode(step.value.value_or(U""));
    out.near = near_candidates(missing, scan.elements, scan.text_elements);
    out.message = miss_message(text, missing, out.near);
    return;
  }
  if (action == "verify_spatial_text") {
    const Json& state = result.is_object() ? result.value("state", Json::object()) : Json::object();
    std::string actual = records::text_at(state, "actual");
    out.message = text_message(text, text::encode(step.value.value_or(U"")),
                               actual.empty() ? "no text in that direction" : actual);
    return;
  }
  if (records::truth_at(result, "resolved")) {
    out.message = state_message(text, found_text(result, target), wanted_state(action));
    return;
  }
  if (out.route == Route::layout) {
    auto [anchor, taken, wanted] = target_anchor(out.query, scan);
    if (!anchor.empty() && taken.is_object()) {
      out.message = placed_miss_message(text, target, taken, text::encode(wanted));
      return;
    }
    if (!anchor.empty()) {
      out.near = near_candidates(text::encode(anchor), scan.elements, scan.text_elements);
      out.message = anchor_message(text, text::encode(anchor), out.near);
      return;
    }
  }
  if (out.route != Route::layout && !out.query.contains("row") && explain_unfit(text, scan, out)) return;
  Json near_misses = result.is_object() ? result.value("candidates", Json::array()) : Json::array();
  out.near = near_misses.empty() ? near_candidates(target, scan.elements, scan.text_elements)
                                 : near_candidates(target, Json::array(), near_misses);
  out.message = miss_message(text, target, out.near,
                             out.query.contains("row") ? "in " + row_words(out.query) : "on the page");
}

}  // namespace

std::string matched_through_note(const std::string& attribute) {
  return "matched only through its '" + attribute + "' attribute, not by a name on the page";
}

bool looks_at_page(Route route) { return route == Route::direct || route == Route::layout; }

StepResolution resolve_step(std::u32string_view instruction, const ParsedStep& step, const PageScan& scan) {
  StepResolution out;
  const std::string text = text::encode(instruction);
  out.route = route(step);
  Json record = step_record(step);
  // A negative check passes when the check it denies does not.
  const std::string positive(language::negated_action(step.action));
  if (!positive.empty()) record["action"] = positive;
  out.query = resolver_query(std::move(record), step, out.route);
  const std::string action = records::text_at(out.query, "action");

  const bool layout = out.route == Route::layout;
  if (out.query.contains("row")) {
    out.result = resolve_in_row(scan.row, out.query, scan,
                                [layout](const Json& q, const PageScan& part) { return resolve_with(q, part, layout); });
  } else {
    out.result = resolve_with(out.query, scan, layout);
  }
  if (layout) judge_state(action, out.result);
  judge_checked(action, records::text_at(out.query, "target"), out.result);
  out.destination = resolve_destination(instruction, step, scan);
  bool holds = settled(out.result) && (out.destination.is_null() || settled(out.destination));
  if (out.route == Route::direct && holds) out.matched_through = noise_match(out.query, out.result);
  if (positive.empty() || out.result.contains("reason")) {
    out.passed = holds;
    if (!holds) explain_failure(text, step, scan, out);
  } else {
    out.passed = !holds;
    if (holds)
      out.message = negative_message(text, found_text(out.result, records::text_at(out.query, "target")),
                                     wanted_state(positive));
  }
  return out;
}

}  // namespace vantle::agent
