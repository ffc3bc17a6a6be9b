#include "vantle/report/results.h"

#include "vantle/text/text.h"

#include <cmath>
#include <cstdio>

namespace vantle::report {

std::pair<std::string, std::string> split_nodeid(std::string_view nodeid) {
  size_t cut = nodeid.find("::");
  if (cut == std::string_view::npos) return {std::string(nodeid), ""};
  return {std::string(nodeid.substr(0, cut)), std::string(nodeid.substr(cut + 2))};
}

bool records_phase(std::string_view when, bool passed) {
  return when == "call" || (when == "setup" && !passed);
}

std::string phase_status(bool passed, bool failed, bool expected_to_fail) {
  // pytest marks both outcomes of an expected failure with wasxfail; a strict
  // unexpected pass arrives as a plain failure and stays one.
  if (expected_to_fail && passed) return "xpassed";
  if (expected_to_fail && !failed) return "xfailed";
  if (passed) return "passed";
  return failed ? "failed" : "skipped";
}

void add_details(Json& record, const std::string& reason, const FailureDetail& failure) {
  if (!reason.empty()) record["reason"] = reason;
  if (!failure.where.empty()) record["where"] = failure.where;
  if (!failure.traceback.empty()) record["traceback"] = failure.traceback;
}

std::string skip_reason(std::string_view text) {
  std::string reason = text::strip(text);
  const std::string prefix = "Skipped: ";
  if (reason.rfind(prefix, 0) == 0) reason.erase(0, prefix.size());
  return reason;
}

Json result_record(const std::string& nodeid, const std::string& status, double duration,
                   const std::string& message, const std::string& when) {
  auto [file, test] = split_nodeid(nodeid);
  Json r = Json::object();
  r["nodeid"] = nodeid;
  r["file"] = file;
  r["test"] = test;
  r["status"] = status;
  r["duration"] = duration;
  r["message"] = message;
  r["when"] = when;
  return r;
}

std::string last_line(std::string_view text) {
  std::string trimmed = text::strip(text);
  size_t cut = trimmed.rfind('\n');
  return cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
}

long pass_rate(long passed, long total) {
  if (total <= 0) return 0;
  // Same expression and rounding as the host language's round(): half to even.
  return static_cast<long>(std::nearbyint(static_cast<double>(passed) / static_cast<double>(total) * 100.0));
}

Summary summarize(const Json& results) {
  Summary s;
  for (const auto& r : results) {
    ++s.total;
    std::string status = r.value("status", "");
    if (status == "passed") ++s.passed;
    else if (status == "failed") ++s.failed;
    else if (status == "skipped") ++s.skipped;
    else if (status == "xfailed") ++s.xfailed;
    else if (status == "xpassed") ++s.xpassed;
  }
  s.pass_rate = pass_rate(s.passed, s.total);
  return s;
}

std::string fixed_seconds(double seconds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", seconds);
  return buf;
}

std::string short_seconds(double seconds) {
  std::string s = fixed_seconds(seconds);
  size_t dot = s.find('.');
  if (dot == std::string::npos) return s;
  while (s.size() > dot + 2 && s.back() == '0') s.pop_back();
  return s;
}

}  // namespace vantle::report

namespace vantle::report {

Json lean_steps(const Json& steps) {
  Json out = steps;
  if (!out.is_array()) return Json::array();
  for (auto& step : out)
    if (step.is_object() && step.value("status", "") == "passed") step.erase("screenshot");
  return out;
}

}  // namespace vantle::report
