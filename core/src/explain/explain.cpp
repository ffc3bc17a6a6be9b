#include "vantle/explain/explain.h"
#include "vantle/agent/resolution.h"
#include "vantle/records/json.h"

#include <algorithm>
#include <cstdio>

#include "vantle/agent/messages.h"
#include "vantle/agent/pipeline.h"
#include "vantle/agent/routing.h"
#include "vantle/agent/step_parser.h"
#include "vantle/agent/web_agent.h"
#include "vantle/text/text.h"

#include "ranking.h"

namespace vantle::explain {

namespace {

const char* route_name(agent::Route route) {
  switch (route) {
    case agent::Route::direct: return "direct";
    case agent::Route::layout: return "layout";
    case agent::Route::keys: return "keys";
    case agent::Route::dialog: return "dialog";
    case agent::Route::wait: return "wait";
    case agent::Route::navigate: return "navigate";
    case agent::Route::page: return "page";
  }
  return "direct";
}

const char* route_reason(agent::Route route) {
  switch (route) {
    case agent::Route::direct: return "the target names its element by text and attributes";
    case agent::Route::layout: return "the target names its element by position, so the spatial matrix resolves it";
    case agent::Route::keys: return "keys go to the focused element; no element is looked up";
    case agent::Route::dialog: return "the step works on the pending native dialog; no element is looked up";
    case agent::Route::wait: return "the step only waits; no element is looked up";
    case agent::Route::navigate: return "the step only loads an address; no element is looked up";
    case agent::Route::page: return "the step works on the page as a whole; no element is looked up";
  }
  return "";
}

void require_records(const Json& group, const char* name) {
  if (!group.is_array()) throw BadInput(std::string("\"") + name + "\" is not an array");
  for (std::size_t i = 0; i < group.size(); ++i) {
    if (!group[i].is_object())
      throw BadInput(std::string("\"") + name + "\"[" + std::to_string(i) + "] is not an element record");
  }
  // A value of the wrong kind is the snapshot's fault, told before any resolver reads it.
  try {
    agent::scan_records(group);
  } catch (const records::type_error& error) {
    throw BadInput(std::string("\"") + name + "\": " + error.what());
  }
}

}  // namespace

Json parse_snapshot(std::string_view file_text) {
  try {
    return Json::parse(file_text);
  } catch (const Json::parse_error& error) {
    throw BadInput(std::string("not valid JSON: ") + error.what());
  }
}

agent::PageScan scan_of(const Json& snapshot) {
  if (!snapshot.is_object()) throw BadInput("not a DOM snapshot: the top level is not a JSON object");
  if (!snapshot.contains("elements")) throw BadInput("not a DOM snapshot: no \"elements\" member");
  agent::PageScan scan;
  scan.elements = snapshot["elements"];
  require_records(scan.elements, "elements");
  if (snapshot.contains("text_elements")) {
    scan.text_elements = snapshot["text_elements"];
    require_records(scan.text_elements, "text_elements");
  }
  scan.row = snapshot.value("row", Json());
  return scan;
}

Json explain(const Json& snapshot, std::u32string_view instruction) {
  agent::PageScan scan = scan_of(snapshot);
  agent::ParsedStep step;
  try {
    step = agent::parse(instruction);
  } catch (const agent::InvalidInstruction& error) {
    throw BadInput(error.what());
  }
  agent::Route route = agent::route(step);
  Json out = Json::object();
  out["instruction"] = text::encode(instruction);
  out["url"] = snapshot.contains("url") && snapshot["url"].is_string() ? snapshot["url"] : Json("");
  out["parsed"] = agent::step_record(step);
  out["strategy"] = route_name(route);
  out["reason"] = route_reason(route);
  if (!agent::looks_at_page(route)) {
    out["resolved"] = false;
    return out;
  }
  agent::StepResolution step_result = agent::resolve_step(instruction, step, scan);
  const Json& query = step_result.query;
  const Json& result = step_result.result;
  out["query"] = query;
  out["resolved"] = records::truth_at(result, "resolved");
  out["passed"] = step_result.passed;
  if (!step_result.passed) out["message"] = step_result.message;
  if (!step_result.matched_through.empty()) out["matched_through"] = step_result.matched_through;
  out["element"] = result.value("element", Json(nullptr));
  Ranking ranking = route == agent::Route::layout ? rank_layout(query, scan) : rank_direct(query, result, scan);
  out["anchor"] = ranking.anchor;
  out["rule"] = ranking.rule;
  out["candidates"] = ranking.candidates;
  out["set_aside"] = ranking.set_aside;
  if (!out["resolved"].get<bool>()) out["near_misses"] = step_result.near;
  out["result"] = result;
  return out;
}

}  // namespace vantle::explain

namespace vantle::explain {

namespace {

std::string label_of(const Json& record) {
  return records::text_at(records::member(record, "attributes"), "_label");
}

std::string box_of(const Json& record) {
  if (!record.is_object() || !record.contains("bounding_box") || !record["bounding_box"].is_object()) return "none";
  const Json& box = record["bounding_box"];
  std::string out;
  for (const char* key : {"x", "y", "width", "height"}) {
    out += (out.empty() ? "" : " ") + std::string(key) + "=" + (box.contains(key) ? box[key].dump() : "?");
  }
  return out;
}

std::string one_line(const Json& record) {
  std::string line = "<" + records::text_at(record, "tag") + "> " + text::quoted(records::text_at(record, "text"));
  std::string label = label_of(record);
  if (!label.empty()) line += " label " + text::quoted(label);
  return line + " [" + box_of(record) + "] " + records::text_at(record, "xpath");
}

std::string element_block(const Json& record) {
  return "  tag:   " + records::text_at(record, "tag") + "\n" +
         "  text:  " + text::quoted(records::text_at(record, "text")) + "\n" +
         "  label: " + text::quoted(label_of(record)) + "\n" +
         "  box:   " + box_of(record) + "\n" +
         "  path:  " + records::text_at(record, "xpath") + "\n";
}

std::string list_block(const Json& explanation) {
  std::string out;
  const Json& candidates = explanation["candidates"];
  out += "Candidates (" + std::to_string(candidates.size()) + "), ordered by: " + records::text_at(explanation, "rule") + "\n";
  for (const auto& c : candidates) {
    out += std::string(c["chosen"].get<bool>() ? "  * " : "    ") + std::to_string(c["rank"].get<int>()) + ". " +
           one_line(c["element"]) + "\n        " + records::text_at(c, "why") + "\n";
  }
  const Json& aside = explanation["set_aside"];
  if (!aside.empty()) out += "Set aside (" + std::to_string(aside.size()) + "):\n";
  for (const auto& a : aside) out += "    - " + one_line(a["element"]) + "\n        " + records::text_at(a, "why") + "\n";
  return out;
}

}  // namespace

std::string render(const Json& e) {
  std::string out = "Instruction: " + records::text_at(e, "instruction") + "\n";
  if (!records::text_at(e, "url").empty()) out += "Page:        " + records::text_at(e, "url") + "\n";
  out += "Parsed:      " + e["parsed"].dump() + "\n";
  out += "Strategy:    " + records::text_at(e, "strategy") + " (" + records::text_at(e, "reason") + ")\n";
  if (!e.contains("query")) return out + "Result:      nothing to resolve offline\n";
  if (e["query"]["target"] != e["parsed"]["target"])
    out += "Looked for:  " + text::quoted(records::text_at(e["query"], "target")) + "\n";
  if (e.contains("anchor") && !e["anchor"].is_null()) out += "Anchor:      " + one_line(e["anchor"]) + "\n";
  const Json& result = e["result"];
  if (result.contains("verified"))
    out += std::string("Verified:    ") + (result["verified"] == true ? "yes" : "no") + "\n";
  if (result.contains("extracted")) out += "Extracted:   " + text::quoted(records::text_at(result, "extracted")) + "\n";
  if (e.contains("message")) out += "Verdict:     fails: " + records::text_at(e, "message") + "\n";
  else out += "Verdict:     passes\n";
  if (e.contains("matched_through"))
    out += "Note:        " + agent::matched_through_note(records::text_at(e, "matched_through")) + "\n";
  if (e["resolved"].get<bool>()) {
    out += "Result:      resolved\nElement:\n" + element_block(e["element"]);
  } else {
    out += "Result:      not resolved\n";
    std::vector<std::u32string> near;
    for (const auto& n : e["near_misses"]) near.push_back(text::decode(n.get<std::string>()));
    if (!near.empty()) out += "Closest:     " + text::encode(text::quoted_list(near)) + "\n";
  }
  return out + list_block(e);
}

}  // namespace vantle::explain
