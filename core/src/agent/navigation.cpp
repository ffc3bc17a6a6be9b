#include "vantle/agent/navigation.h"

#include <exception>
#include <string>

#include "page_scripts.h"
#include "vantle/text/text.h"

namespace vantle::agent::navigation {

namespace {

using browser::Json;

// Two task hops first: a form submitted by Enter or a click schedules its
// navigation as a task, which must get its turn before the answer is read.
// A document that stayed is marked for the next action at once, which then
// needs no call of its own to mark it.
const char* const kStartedScript = R"JS(async ([token, next]) => {
  const hop = () => new Promise((resolve) => setTimeout(resolve, 0));
  await hop();
  await hop();
  const state = window.__vantleNavigation;
  const moved = !state || state.token !== token || state.leaving;
  if (!moved) state.token = next;
  return moved;
})JS";

const char* const kReplacedScript = R"JS((token) => {
  const state = window.__vantleNavigation;
  return !state || state.token !== token;
})JS";

const char* const kNavigationErrors[] = {
    "execution context was destroyed",
    "cannot find context with specified id",
    "frame was detached",
    "inspected target navigated",
    "page is navigating",
    "element is not attached to the dom",
    "navigation interrupted",
};

}  // namespace

bool interrupted_by_navigation(std::string_view message) {
  std::string lower = text::lower(message);
  for (const char* known : kNavigationErrors) {
    if (lower.find(known) != std::string::npos) return true;
  }
  return false;
}

void mark(const RemotePtr& page, long token) { page->call("evaluate", {Json(browser::js::navigation_mark), Json(token)}); }

bool started(const RemotePtr& page, long token, long next) {
  try {
    return page->call("evaluate", {Json(kStartedScript), Json::array({token, next})})->truthy();
  } catch (const std::exception& error) {
    // The old document's context went away while we asked: it navigated.
    if (interrupted_by_navigation(error.what())) return true;
    throw;
  }
}

void wait_for_commit(const RemotePtr& page, long token, double timeout_ms) {
  try {
    page->call("wait_for_function", {Json(kReplacedScript)}, {{"arg", Json(token)}, {"timeout", Json(timeout_ms)}});
    page->call("wait_for_load_state", {Json("domcontentloaded")}, {{"timeout", Json(timeout_ms)}});
  } catch (const std::exception&) {
    // Never committed, or committed while we asked: the next scan decides.
  }
}

void wait_for_load(const RemotePtr& page, double timeout_ms) {
  try {
    page->call("wait_for_load_state", {Json("load")}, {{"timeout", Json(timeout_ms)}});
  } catch (const std::exception&) {
    // A page that never fires load is still worth a scan.
  }
}

}  // namespace vantle::agent::navigation
