#include "vantle/report/render.h"
#include "vantle/records/json.h"

#include "vantle/report/escape.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <vector>

namespace vantle::report {

namespace {

const char* const STYLE = R"CSS(
* { box-sizing: border-box; }
body { margin: 0; background: #f5f5f7; color: #1d1d1f; font: 14px/1.45 -apple-system, "Segoe UI", Helvetica, Arial, sans-serif; }
header { background: #1d1d1f; color: #fff; padding: 24px 32px; }
header h1 { margin: 0; font-size: 22px; font-weight: 600; }
header .meta { margin-top: 4px; color: #a1a1a6; font-size: 13px; }
main { padding: 24px 32px; }
.summary { display: grid; grid-template-columns: repeat(8, minmax(0, 1fr)); gap: 12px; margin-bottom: 20px; }
.card { background: #fff; border-radius: 12px; padding: 16px; box-shadow: 0 1px 3px rgba(0,0,0,.08); }
.card-label { color: #6e6e73; font-size: 12px; text-transform: uppercase; letter-spacing: .04em; }
.card-value { font-size: 26px; font-weight: 600; margin-top: 4px; }
.card.passed .card-value { color: #34c759; }
.card.failed .card-value { color: #ff3b30; }
.card.skipped .card-value { color: #ff9500; }
.card.xfailed .card-value { color: #af52de; }
.card.xpassed .card-value { color: #007aff; }
.filter-bar { display: flex; align-items: center; gap: 8px; margin-bottom: 16px; }
.filter-label { color: #6e6e73; margin-right: 4px; }
.filter-btn { border: 1px solid #d2d2d7; background: #fff; border-radius: 16px; padding: 4px 14px; cursor: pointer; font: inherit; }
.filter-btn.active { background: #1d1d1f; border-color: #1d1d1f; color: #fff; }
.filter-btn.passed.active { background: #34c759; border-color: #34c759; }
.filter-btn.failed.active { background: #ff3b30; border-color: #ff3b30; }
.filter-btn.skipped.active { background: #ff9500; border-color: #ff9500; }
.filter-btn.xfailed.active { background: #af52de; border-color: #af52de; }
.filter-btn.xpassed.active { background: #007aff; border-color: #007aff; }
.file-group { background: #fff; border-radius: 12px; margin-bottom: 14px; box-shadow: 0 1px 3px rgba(0,0,0,.08); overflow: hidden; }
.file-header { display: flex; align-items: center; gap: 8px; padding: 12px 16px; cursor: pointer; border-bottom: 1px solid #ececf0; user-select: none; }
.chevron { display: inline-block; transition: transform .15s; color: #6e6e73; font-size: 11px; }
.chevron.collapsed { transform: rotate(-90deg); }
.file-name { font-family: ui-monospace, Menlo, Consolas, monospace; font-weight: 600; margin-right: auto; }
.badge { display: inline-block; border-radius: 10px; padding: 1px 9px; font-size: 12px; }
.badge.passed { background: #d1f5d3; color: #1d7a32; }
.badge.failed { background: #ffd6d3; color: #b3261e; }
.badge.skipped { background: #fff3cd; color: #8a5a00; }
.badge.xfailed { background: #f1dcfa; color: #7a2f99; }
.badge.xpassed { background: #d6e8ff; color: #0a4fa8; }
.test-table { width: 100%; border-collapse: collapse; }
.test-table th { text-align: left; color: #6e6e73; font-weight: 500; font-size: 12px; padding: 8px 12px; }
.test-table th:last-child { text-align: right; }
.test-table td { padding: 8px 12px; border-top: 1px solid #f0f0f3; vertical-align: top; }
.icon { width: 28px; font-weight: 700; }
.icon.passed { color: #34c759; }
.icon.failed { color: #ff3b30; }
.icon.skipped { color: #ff9500; }
.icon.xfailed { color: #af52de; }
.icon.xpassed { color: #007aff; }
.test-name { font-family: ui-monospace, Menlo, Consolas, monospace; word-break: break-all; }
.duration { color: #6e6e73; text-align: right; white-space: nowrap; }
.expand-btn { border: 1px solid #d2d2d7; background: #fff; border-radius: 8px; padding: 2px 10px; cursor: pointer; font-size: 12px; white-space: nowrap; }
.expand-btn.open { background: #1d1d1f; color: #fff; border-color: #1d1d1f; }
.steps-table { width: 100%; border-collapse: collapse; }
.steps-table td { border-top: none; padding: 4px 8px; }
.step-text { font-family: ui-monospace, Menlo, Consolas, monospace; white-space: pre-wrap; word-break: break-word; }
.step-msg { color: #b3261e; margin-top: 2px; }
.step-screenshot img, .test-shot img { width: 320px; margin-top: 6px; border: 1px solid #d2d2d7; border-radius: 6px; cursor: zoom-in; }
.step-duration { color: #6e6e73; text-align: right; white-space: nowrap; font-size: 12px; }
.note-row td { border-top: none; padding-top: 0; }
.failure-msg { color: #b3261e; font-family: ui-monospace, Menlo, Consolas, monospace; white-space: pre-wrap; word-break: break-word; }
.failure-where { color: #6e6e73; font-family: ui-monospace, Menlo, Consolas, monospace; white-space: pre-wrap; }
.reason { color: #6e6e73; }
.traceback summary { cursor: pointer; color: #6e6e73; font-size: 12px; }
.traceback pre { background: #f5f5f7; padding: 8px; border-radius: 6px; overflow-x: auto; font-size: 12px; }
.attachments a { margin-right: 12px; }
.timeline { position: relative; display: inline-block; vertical-align: middle; width: 120px; height: 10px; margin-left: 8px; background: #ececf0; border-radius: 3px; overflow: hidden; }
.timeline .bar { position: absolute; top: 0; height: 10px; min-width: 2px; background: #34c759; border-right: 1px solid #fff; }
.timeline .bar.failed { background: #ff3b30; }
#lightbox { position: fixed; inset: 0; background: rgba(0,0,0,.85); overflow: auto; cursor: zoom-out; z-index: 10; text-align: center; }
#lightbox img { max-width: none; margin: 24px auto; }
.hidden, .collapsed-body, .filtered { display: none; }
)CSS";

// Filtering uses its own class so that it never fights with the open or
// closed state of a test's steps.
const char* const SCRIPT = R"JS(
function filter(status, btn) {
  document.querySelectorAll('.filter-btn').forEach(function (b) { b.classList.remove('active'); });
  btn.classList.add('active');
  document.querySelectorAll('.test-row').forEach(function (row) {
    var out = status !== 'all' && row.getAttribute('data-status') !== status;
    row.parentElement.classList.toggle('filtered', out);
  });
  document.querySelectorAll('.file-group').forEach(function (group) {
    var shown = group.querySelector('.test:not(.filtered)');
    group.classList.toggle('filtered', !shown);
  });
}
function toggleGroup(header) {
  header.nextElementSibling.classList.toggle('collapsed-body');
  var chevron = header.querySelector('.chevron');
  if (chevron) chevron.classList.toggle('collapsed');
}
function toggleSteps(id, btn) {
  var row = document.getElementById(id);
  var open = !row.classList.toggle('hidden');
  btn.textContent = open ? 'hide steps' : 'view steps';
  btn.classList.toggle('open', open);
}
// One overlay serves every picture: the page carries each image once.
document.addEventListener('click', function (event) {
  var img = event.target;
  if (!img.matches || !img.matches('.step-screenshot img, .test-shot img')) return;
  var box = document.getElementById('lightbox');
  if (!box) {
    box = document.createElement('div');
    box.id = 'lightbox';
    box.appendChild(document.createElement('img'));
    box.addEventListener('click', function () { box.classList.add('hidden'); });
    document.addEventListener('keydown', function (e) { if (e.key === 'Escape') box.classList.add('hidden'); });
    document.body.appendChild(box);
  }
  box.firstChild.src = img.src;
  box.firstChild.alt = img.alt;
  box.classList.remove('hidden');
});
)JS";

using records::text_of;

std::string field(const Json& record, const char* key) {
  if (!record.is_object()) return "";
  auto it = record.find(key);
  return it == record.end() ? "" : text_of(*it);
}

// The statuses in the order the summary, the filter and the group badges
// list them, with their label and icon.
struct StatusInfo {
  const char* status;
  const char* label;
  const char* icon;
};
const StatusInfo STATUSES[] = {
    {"passed", "Passed", "✓"},   {"failed", "Failed", "✗"},   {"skipped", "Skipped", "○"},
    {"xfailed", "XFailed", "⊘"}, {"xpassed", "XPassed", "!"},
};

const char* status_icon(const std::string& status) {
  for (const auto& info : STATUSES)
    if (status == info.status) return info.icon;
  return "?";
}

// A screenshot is shown as a thumbnail that opens full size on click.
std::string picture(const char* cls, const std::string& base64) {
  return std::string("<div class=\"") + cls + "\"><img src=\"data:image/png;base64," + escape_html(base64) +
         "\" alt=\"screenshot\"></div>";
}

std::string step_row(const Json& step) {
  std::string status = field(step, "status");
  bool passed = status == "passed";
  std::string out = "<tr class=\"step-row\"><td class=\"icon " + escape_html(status) +
                    "\" style=\"font-size:11px\">" + (passed ? "✓" : "✗") + "</td><td class=\"step-text\">" +
                    escape_html(field(step, "instruction"));
  std::string message = field(step, "message");
  if (!message.empty()) out += "<div class=\"step-msg\">" + escape_html(message) + "</div>";
  // Passed steps keep no picture: it would only make the file heavier.
  std::string shot = field(step, "screenshot");
  if (!shot.empty() && !passed) out += picture("step-screenshot", shot);
  out += "</td>";
  if (step.is_object() && step.contains("duration"))
    out += "<td class=\"step-duration\">" + fixed_seconds(records::number_at(step, "duration")) + "s</td>";
  return out + "</tr>\n";
}

const Json& steps_of(const Json& store, const std::string& nodeid) {
  static const Json none = Json::array();
  if (!store.is_object()) return none;
  auto it = store.find(nodeid);
  return it != store.end() && it->is_array() ? *it : none;
}

std::string percent(double part, double whole) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f%%", whole > 0 ? part / whole * 100.0 : 0.0);
  return buf;
}

// Each step as a bar placed at its start and as long as it took, so that a
// slow step stands out. Steps recorded without times get no timeline.
std::string timeline(const Json& steps) {
  double first = 0, end = 0, cursor = 0;
  std::vector<std::pair<double, double>> spans;
  for (const auto& step : steps) {
    if (!step.is_object() || !step.contains("duration")) return "";
    double duration = std::max(0.0, records::number_at(step, "duration"));
    double start = step.contains("start") ? records::number_at(step, "start") : cursor;
    if (spans.empty()) first = start;
    spans.emplace_back(start - first, duration);
    cursor = start + duration;
    end = std::max(end, cursor - first);
  }
  if (spans.empty()) return "";
  std::string out = "<div class=\"timeline\" title=\"" + short_seconds(end) + "s of steps\">";
  for (size_t i = 0; i < spans.size(); ++i) {
    const Json& step = steps[i];
    std::string cls = field(step, "status") == "passed" ? "bar" : "bar failed";
    out += "<span class=\"" + cls + "\" style=\"left:" + percent(spans[i].first, end) +
           ";width:" + percent(spans[i].second, end) + "\" title=\"" +
           escape_html(field(step, "instruction") + " (" + fixed_seconds(spans[i].second) + "s)") + "\"></span>";
  }
  return out + "</div>";
}

bool has_failed_step(const Json& steps) {
  for (const auto& step : steps)
    if (field(step, "status") != "passed") return true;
  return false;
}

std::string link(const Json& record, const char* key, const char* label) {
  std::string href = field(record, key);
  if (href.empty()) return "";
  return "<a href=\"" + escape_html(href) + "\">" + label + "</a>";
}

// What a test's row alone cannot say: why it failed when no step says so,
// the reason of a skip or an expected failure, and what was kept of it.
std::string note_row(const Json& record, const Json& steps) {
  std::string status = field(record, "status");
  std::string out;
  if (status == "failed" && !has_failed_step(steps)) {
    std::string message = field(record, "message");
    if (!message.empty()) out += "<div class=\"failure-msg\">" + escape_html(message) + "</div>";
    std::string where = field(record, "where");
    if (!where.empty()) out += "<div class=\"failure-where\">" + escape_html(where) + "</div>";
    std::string traceback = field(record, "traceback");
    if (!traceback.empty())
      out += "<details class=\"traceback\"><summary>full traceback</summary><pre>" + escape_html(traceback) +
             "</pre></details>";
  }
  std::string reason = field(record, "reason");
  if (!reason.empty()) out += "<div class=\"reason\">reason: " + escape_html(reason) + "</div>";
  std::string links = link(record, "trace", "trace") + link(record, "video", "video");
  if (!links.empty()) out += "<div class=\"attachments\">" + links + "</div>";
  std::string shot = field(record, "screenshot");
  if (!shot.empty()) out += picture("test-shot", shot);
  if (out.empty()) return "";
  return "<tr class=\"note-row\"><td></td><td colspan=\"4\">" + out + "</td></tr>\n";
}

std::string test_rows(const Json& record, const std::string& file, size_t idx, const Json& store) {
  std::string status = field(record, "status");
  const Json& steps = steps_of(store, field(record, "nodeid"));
  std::string id = "steps-" + file + "-" + std::to_string(idx);
  std::string button;
  if (!steps.empty())
    button = "<button class=\"expand-btn\" onclick=\"toggleSteps('" + escape_html(escape_js(id)) +
             "', this); event.stopPropagation()\">view steps</button>" + timeline(steps);
  std::string st = escape_html(status);
  std::string out = "<tbody class=\"test\">\n<tr class=\"test-row\" data-status=\"" + st + "\" data-file=\"" +
                    escape_html(file) + "\"><td class=\"icon " + st + "\">" + status_icon(status) +
                    "</td><td class=\"test-name\">" + escape_html(field(record, "test")) + "</td><td>" + button +
                    "</td><td><span class=\"badge " + st + "\">" + st + "</span></td><td class=\"duration\">" +
                    fixed_seconds(records::number_at(record, "duration")) + "s</td></tr>\n";
  out += note_row(record, steps);
  if (!steps.empty()) {
    out += "<tr class=\"steps-container hidden\" id=\"" + escape_html(id) +
           "\"><td colspan=\"4\" style=\"padding-left:40px\"><table class=\"steps-table\">\n";
    for (const auto& step : steps) out += step_row(step);
    out += "</table></td></tr>\n";
  }
  return out + "</tbody>\n";
}

struct Group {
  std::string file;
  std::vector<const Json*> records;
};

std::vector<Group> group_by_file(const Json& results) {
  std::vector<Group> groups;
  std::map<std::string, size_t> index;
  for (const auto& r : results) {
    std::string file = field(r, "file");
    auto [it, fresh] = index.emplace(file, groups.size());
    if (fresh) groups.push_back({file, {}});
    groups[it->second].records.push_back(&r);
  }
  return groups;
}

std::string file_group(const Group& g, const Json& store) {
  std::map<std::string, long> counts;
  std::string rows;
  for (size_t idx = 0; idx < g.records.size(); ++idx) {
    const Json& r = *g.records[idx];
    ++counts[field(r, "status")];
    rows += test_rows(r, g.file, idx, store);
  }
  std::string file = escape_html(g.file);
  std::string out = "<div class=\"file-group\" data-file=\"" + file +
                    "\">\n<div class=\"file-header\" onclick=\"toggleGroup(this)\"><span class=\"chevron\">▼</span>"
                    "<span class=\"file-name\">" + file + "</span>";
  for (const auto& info : STATUSES) {
    long n = counts[info.status];
    // The passed count always shows, so a group never stands without a figure.
    if (n > 0 || std::string(info.status) == "passed")
      out += std::string("<span class=\"badge ") + info.status + "\">" + std::to_string(n) + " " + info.status +
             "</span>";
  }
  out += "</div>\n<table class=\"test-table\"><thead><tr><th></th><th>Test</th><th></th><th>Status</th>"
         "<th>Duration</th></tr></thead>\n";
  return out + rows + "</table>\n</div>\n";
}

std::string card(const char* label, const char* cls, const std::string& value) {
  return std::string("<div class=\"card ") + cls + "\"><div class=\"card-label\">" + label +
         "</div><div class=\"card-value\">" + value + "</div></div>\n";
}

std::string filter_button(const char* status, const char* label, bool active) {
  return std::string("<button class=\"filter-btn ") + status + (active ? " active" : "") + "\" onclick=\"filter('" +
         status + "', this)\">" + label + "</button>\n";
}

}  // namespace

std::string render(const Json& results, const Json& steps, double elapsed) {
  Summary s = summarize(results);
  std::string duration = short_seconds(elapsed);
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>vantle — Test Report</title>\n<style>" + std::string(STYLE) + "</style>\n</head>\n<body>\n"
      "<header><h1>vantle — Test Report</h1><div class=\"meta\">Completed in " + duration + "s</div></header>\n"
      "<main>\n<section class=\"summary\">\n";
  long counts[] = {s.passed, s.failed, s.skipped, s.xfailed, s.xpassed};
  out += card("Total", "total", std::to_string(s.total));
  for (size_t i = 0; i < std::size(STATUSES); ++i)
    out += card(STATUSES[i].label, STATUSES[i].status, std::to_string(counts[i]));
  out += card("Pass Rate", "rate", std::to_string(s.pass_rate) + "%");
  out += card("Duration", "time", duration + "s");
  out += "</section>\n<div class=\"filter-bar\"><span class=\"filter-label\">Filter:</span>\n";
  out += filter_button("all", "All", true);
  for (const auto& info : STATUSES) out += filter_button(info.status, info.label, false);
  out += "</div>\n<div class=\"groups\" id=\"groups\">\n";
  for (const auto& g : group_by_file(results)) out += file_group(g, steps);
  out += "</div>\n</main>\n<script>" + std::string(SCRIPT) + "</script>\n</body>\n</html>\n";
  return out;
}

}  // namespace vantle::report
