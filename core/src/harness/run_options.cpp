#include "vantle/harness/run_options.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace vantle::harness {

namespace {

// Where the value came from, for an error message the user can act on.
std::string origin(const char* flag, const char* key, bool from_command_line) {
  return from_command_line ? std::string(flag) : std::string(key) + " in vantle.web.config.py";
}

struct Given {
  const Json* value = nullptr;
  bool from_command_line = false;
};

Given given(const OptionSpec& spec, const Json& command_line, const Json& config) {
  auto cli = command_line.find(spec.key);
  if (cli != command_line.end() && !cli->is_null()) return {&*cli, true};
  auto cfg = config.find(spec.key);
  if (cfg != config.end() && !cfg->is_null()) return {&*cfg, false};
  return {};
}

[[noreturn]] void refuse(const OptionSpec& spec, const Given& g, const std::string& wanted) {
  throw std::invalid_argument(origin(spec.flag, spec.key, g.from_command_line) + " = " + g.value->dump() +
                              ": expected " + wanted);
}

double milliseconds(const OptionSpec& spec, const Given& g) {
  if (g.value->is_number() && !g.value->is_boolean() && g.value->get<double>() >= 0) return g.value->get<double>();
  if (g.value->is_string()) {
    try {
      size_t used = 0;
      double ms = std::stod(g.value->get<std::string>(), &used);
      if (used == g.value->get<std::string>().size() && ms >= 0) return ms;
    } catch (const std::exception&) {
    }
  }
  refuse(spec, g, "a number of milliseconds");
}

int choice(const OptionSpec& spec, const Given& g) {
  if (g.value->is_string())
    for (size_t i = 0; i < spec.choices.size(); ++i)
      if (spec.choices[i] == g.value->get<std::string>()) return static_cast<int>(i);
  std::string list;
  for (const auto& c : spec.choices) list += (list.empty() ? "" : ", ") + c;
  refuse(spec, g, "one of " + list);
}

const OptionSpec& spec_of(const char* key) {
  for (const auto& spec : option_specs())
    if (std::string(spec.key) == key) return spec;
  throw std::logic_error(std::string("no run option ") + key);
}

}  // namespace

const std::vector<OptionSpec>& option_specs() {
  static const std::vector<OptionSpec> specs = {
      {"--headed", "HEADED", nullptr, "Run the browser with its window shown (default: headless)", {}},
      {"--slowmo", "SLOWMO", "MS", "Pause this many milliseconds after each browser operation (default: 0)", {}},
      {"--vantle-timeout", "TIMEOUT", "MS", "How long a step keeps trying, in milliseconds (default: 5000)", {}},
      {"--base-url", "URL", "URL", "Address each test's agent opens first (overrides URL of the configuration)", {}},
      {"--tracing", "TRACING", nullptr,
       "Record a Playwright trace of each test, saved next to the report", {"on", "off", "retain-on-failure"}},
      {"--video", "VIDEO", nullptr, "Record a video of each test, linked from the report",
       {"on", "off", "retain-on-failure"}},
      {"--screenshot", "SCREENSHOT", nullptr, "When a test's page is photographed for the report",
       {"on", "off", "only-on-failure"}},
  };
  return specs;
}

RunOptions resolve_options(const Json& command_line, const Json& config) {
  RunOptions out;
  if (Given g = given(spec_of("HEADED"), command_line, config); g.value) {
    if (!g.value->is_boolean()) refuse(spec_of("HEADED"), g, "True or False");
    out.headed = g.value->get<bool>();
  }
  if (Given g = given(spec_of("SLOWMO"), command_line, config); g.value)
    out.slowmo_ms = milliseconds(spec_of("SLOWMO"), g);
  if (Given g = given(spec_of("TIMEOUT"), command_line, config); g.value)
    out.timeout_ms = milliseconds(spec_of("TIMEOUT"), g);
  if (Given g = given(spec_of("URL"), command_line, config); g.value) {
    if (!g.value->is_string()) refuse(spec_of("URL"), g, "an address");
    out.base_url = g.value->get<std::string>();
  }
  static const Keep keeps[] = {Keep::on, Keep::off, Keep::retain_on_failure};
  if (Given g = given(spec_of("TRACING"), command_line, config); g.value)
    out.tracing = keeps[choice(spec_of("TRACING"), g)];
  if (Given g = given(spec_of("VIDEO"), command_line, config); g.value) out.video = keeps[choice(spec_of("VIDEO"), g)];
  static const Shots shots[] = {Shots::on, Shots::off, Shots::only_on_failure};
  if (Given g = given(spec_of("SCREENSHOT"), command_line, config); g.value) {
    out.screenshot = shots[choice(spec_of("SCREENSHOT"), g)];
  } else if (auto old = config.find("SCREENSHOTS_ON_FAILURE"); old != config.end() && old->is_boolean()) {
    // The older key still speaks for projects that set it.
    out.screenshot = old->get<bool>() ? Shots::only_on_failure : Shots::off;
  }
  return out;
}

Json options_record(const RunOptions& o) {
  static const char* const keeps[] = {"off", "on", "retain-on-failure"};
  static const char* const shots[] = {"off", "on", "only-on-failure"};
  auto ms = [](double v) { return v == static_cast<long long>(v) ? Json(static_cast<long long>(v)) : Json(v); };
  Json r = Json::object();
  r["HEADED"] = o.headed;
  r["SLOWMO"] = ms(o.slowmo_ms);
  r["TIMEOUT"] = ms(o.timeout_ms);
  r["URL"] = o.base_url ? Json(*o.base_url) : Json(nullptr);
  r["TRACING"] = keeps[static_cast<int>(o.tracing)];
  r["VIDEO"] = keeps[static_cast<int>(o.video)];
  r["SCREENSHOT"] = shots[static_cast<int>(o.screenshot)];
  return r;
}

bool keep_recording(Keep mode, bool failed) {
  return mode == Keep::on || (mode == Keep::retain_on_failure && failed);
}

bool test_screenshot(Shots mode, bool failed, bool step_has_screenshot) {
  if (mode == Shots::on) return true;
  return mode == Shots::only_on_failure && failed && !step_has_screenshot;
}

std::string artifact_name(const std::string& nodeid, const std::string& extension) {
  std::string name;
  for (unsigned char c : nodeid) {
    bool plain = std::isalnum(c) || c == '.' || c == '_' || c == '-';
    if (plain) name += static_cast<char>(c);
    else if (name.empty() || name.back() != '-') name += '-';
  }
  while (!name.empty() && name.back() == '-') name.pop_back();
  // Ids that differ only in replaced characters still get their own file.
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : nodeid) hash = (hash ^ c) * 16777619u;
  char tail[16];
  std::snprintf(tail, sizeof tail, "-%08x", hash);
  return (name.empty() ? std::string("test") : name) + tail + extension;
}

std::vector<std::string> endpoint_list(const std::string& text) {
  std::vector<std::string> out;
  std::string item;
  for (char c : text + ",") {
    if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
      if (!item.empty()) out.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  return out;
}

std::string endpoint_for_worker(const std::vector<std::string>& endpoints, const std::string& worker) {
  if (endpoints.empty()) return "";
  // pytest-xdist names its workers gw0, gw1, ...; the controller has no name.
  size_t index = 0;
  if (worker.size() > 2 && worker.compare(0, 2, "gw") == 0 &&
      worker.size() < 12 && worker.find_first_not_of("0123456789", 2) == std::string::npos)
    index = std::stoul(worker.substr(2)) % endpoints.size();
  return endpoints[index];
}

}  // namespace vantle::harness
