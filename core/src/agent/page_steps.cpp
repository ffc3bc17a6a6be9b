// Steps on the page as a whole: history, scrolling the window, and the checks
// of its address and title.

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "vantle/agent/budgets.h"
#include "vantle/agent/messages.h"
#include "vantle/agent/retry.h"
#include "vantle/agent/web_agent.h"
#include "vantle/browser/actions.h"
#include "vantle/text/text.h"

namespace vantle::agent {

namespace {

std::u32string collapsed(std::string_view utf8) {
  return text::join(text::split_ws(text::lower(text::decode(utf8))), U" ");
}

double elapsed_since(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
}

bool page_agrees(bool url, const std::string& actual, const std::string& expected) {
  if (url) return actual.find(expected) != std::string::npos;
  return collapsed(actual) == collapsed(expected);
}

}  // namespace

Json WebAgent::run_page_step(const ParsedStep& step, const std::string& text) {
  const std::string action = step.action;
  if (action == "verify_url" || action == "verify_title") return check_page(step, text);
  if (action == "switch_tab") return switch_tab(step, text), nullptr;
  if (action == "close_tab") {
    try {
      manager_->close_page();
    } catch (const std::logic_error& e) {
      throw StepFailure(step_failed(text, e.what()));
    }
    return nullptr;
  }
  // Going back or reloading starts a navigation: the next step waits for it.
  BrowserManagerPtr manager = manager_;
  return act_on_page(
      [manager, action] {
        browser::Actions actions(manager->page());
        if (action == "go_back") actions.go_back();
        else if (action == "reload") actions.reload();
        else actions.scroll_down();
        return Json(nullptr);
      },
      nullptr, text);
}

void WebAgent::follow_pages() {
  BrowserManagerPtr manager = manager_;
  guarded(
      [manager] {
        try {
          manager->follow_new_pages();
        } catch (const std::runtime_error&) {
          // A page closing while it is looked at: the next look sees the rest.
        }
      },
      action_limit_ms(options_.timeout_ms));
}

// A tab opening or loading its title may come a little after the step that
// opened it: look again until the step's time is up.
void WebAgent::switch_tab(const ParsedStep& step, const std::string& text) {
  const std::string wanted = text::encode(step.target.value_or(U""));
  const bool by_number = !wanted.empty() && std::all_of(wanted.begin(), wanted.end(), [](char c) {
    return c >= '0' && c <= '9';
  });
  const auto started = std::chrono::steady_clock::now();
  for (int attempt = 0;; ++attempt) {
    auto error = std::make_shared<std::string>();
    BrowserManagerPtr manager = manager_;
    guarded(
        [manager, wanted, by_number, error] {
          try {
            if (by_number) manager->switch_to(std::stoul(wanted));
            else manager->switch_to_title(wanted);
          } catch (const std::exception& e) {
            *error = e.what();
          }
        },
        action_limit_ms(options_.timeout_ms));
    if (error->empty()) return;
    auto pause = next_pause_ms(elapsed_since(started), options_.timeout_ms, attempt);
    if (!pause) throw StepFailure(step_failed(text, *error));
    wait_for_change(*pause);
  }
}

// The address and the title change after a navigation or a script: read them
// again until they agree or the step's time is up.
Json WebAgent::check_page(const ParsedStep& step, const std::string& text) {
  const bool url = step.action == "verify_url";
  const std::string expected = text::encode(step.value.value_or(U""));
  BrowserManagerPtr manager = manager_;
  const auto started = std::chrono::steady_clock::now();
  std::string actual;
  for (int attempt = 0;; ++attempt) {
    auto seen = std::make_shared<std::string>();
    guarded(
        [manager, url, seen] {
          try {
            manager->follow_new_pages();
            browser::Actions actions(manager->page());
            *seen = url ? actions.url() : actions.title();
          } catch (const std::runtime_error&) {
            // Read during a navigation: the next attempt sees the new page.
          }
        },
        action_limit_ms(options_.timeout_ms));
    actual = *seen;
    if (!expected.empty() && page_agrees(url, actual, expected)) return true;
    auto pause = next_pause_ms(elapsed_since(started), options_.timeout_ms, attempt);
    if (!pause) break;
    wait_for_change(*pause);
    refuse_while_dialog(text);
  }
  if (!url) throw StepFailure(text_message(text, expected, actual));
  throw StepFailure(step_failed(text, "expected the address to contain " + text::quoted(expected) + ", found " +
                                          text::quoted(actual) + "."));
}

// A relative path is the tester's, written next to the test or the
// configuration; where it exists there is the file meant.
std::string WebAgent::upload_path(const std::string& given, const std::string& text) const {
  namespace fs = std::filesystem;
  const fs::path path = fs::u8path(given);
  std::vector<fs::path> tried;
  if (path.is_absolute()) {
    tried.push_back(path);
  } else {
    for (const auto& root : options_.file_roots) tried.push_back(fs::u8path(root) / path);
    tried.push_back(fs::current_path() / path);
  }
  std::vector<std::u32string> looked;
  for (const auto& candidate : tried) {
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return fs::absolute(candidate).lexically_normal().u8string();
    looked.push_back(text::decode(candidate.lexically_normal().u8string()));
  }
  throw StepFailure(step_failed(text, "no file " + text::quoted(given) + " (looked for " +
                                          text::encode(text::quoted_list(looked)) + ")."));
}

}  // namespace vantle::agent
