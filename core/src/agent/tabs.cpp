// The pages of one agent: following the pages a step opens, moving between
// them and closing them.

#include <algorithm>
#include <stdexcept>

#include "vantle/agent/browser_manager.h"
#include "vantle/agent/budgets.h"
#include "vantle/text/text.h"
#include "page_scripts.h"

namespace vantle::agent {

namespace {

using browser::Json;

bool among(const std::vector<RemotePtr>& pages, const RemotePtr& page) {
  return std::any_of(pages.begin(), pages.end(), [&](const RemotePtr& p) { return p->same(*page); });
}

std::u32string title_of(const RemotePtr& page) {
  try {
    Json title = page->call_value("title");
    return text::lower(text::strip(text::decode(title.is_string() ? title.get<std::string>() : "")));
  } catch (const std::exception&) {
    return {};  // a page still loading or just closed has no title to match
  }
}

// A page that opened one now followed noted that it asked for it; that note is
// spent, or the next scan of the opener would wait for a page already here.
void spend_open_requests(const RemotePtr& page) {
  std::vector<RemotePtr> frames;
  try {
    frames = page->attr("frames")->items();
  } catch (const std::exception&) {
    return;  // closed meanwhile
  }
  for (const RemotePtr& frame : frames) {
    try {
      frame->call("evaluate", {Json(browser::js::open_spent)});
    } catch (const std::exception&) {
      // a frame going away or loading has no note left to spend
    }
  }
}

RemotePtr opener_of(const RemotePtr& page) {
  try {
    RemotePtr opener = page->call("opener");
    return opener && !opener->is_null() ? opener : nullptr;
  } catch (const std::exception&) {
    return nullptr;
  }
}

}  // namespace

std::vector<RemotePtr> BrowserManager::pages() {
  if (!page_) return {};
  return page_->attr("context")->attr("pages")->items();
}

// Every page is listened to, so a dialog on any of them is handled as on the first.
void BrowserManager::adopt(const RemotePtr& page) {
  page->call("set_default_timeout", {Json(page_limit_ms(options_.timeout_ms))});
  std::weak_ptr<BrowserManager> self = weak_from_this();
  host_->listen_for_dialogs(page, [self](RemotePtr dialog) {
    if (auto manager = self.lock()) manager->on_dialog(std::move(dialog));
  });
  known_.push_back(page);
}

void BrowserManager::show(const RemotePtr& page) {
  if (page->same(*page_)) return;
  shown_.push_back(page_);
  page_ = page;
  try {
    page_->call("bring_to_front");
    page_->call("wait_for_load_state", {Json("domcontentloaded")});
  } catch (const std::exception&) {
    // Still loading or gone: the step's own retries meet the page as it is.
  }
}

bool BrowserManager::follow_new_pages() {
  if (!page_ || closed_) return false;
  std::vector<RemotePtr> open = pages();
  RemotePtr newest;
  for (const auto& page : open) {
    if (among(known_, page)) continue;
    adopt(page);
    newest = page;
  }
  known_.erase(std::remove_if(known_.begin(), known_.end(), [&](const RemotePtr& p) { return !among(open, p); }),
               known_.end());
  if (newest) {
    spend_open_requests(page_);
    if (RemotePtr opener = opener_of(newest); opener && !opener->same(*page_)) spend_open_requests(opener);
    show(newest);
  } else if (!among(open, page_)) {
    // The page closed itself (a pop-up done with its work): back to its opener.
    if (RemotePtr back = previous_page(open, page_)) {
      page_ = back;
      bring_forward();
    }
  }
  return newest != nullptr;
}

bool BrowserManager::await_new_page() {
  if (follow_new_pages()) return true;
  try {
    page_->attr("context")->call("wait_for_event", {Json("page")}, {{"timeout", Json(kNewPageWaitMs)}});
  } catch (const std::exception&) {
    // None came (a window reused by name, or one the browser blocked); it may
    // also have come just before the wait began, which the look below sees.
  }
  return follow_new_pages();
}

RemotePtr BrowserManager::previous_page(const std::vector<RemotePtr>& open, const RemotePtr& gone) {
  RemotePtr next;
  while (!shown_.empty() && !next) {
    RemotePtr candidate = shown_.back();
    shown_.pop_back();
    if (!candidate->same(*gone) && among(open, candidate)) next = candidate;
  }
  if (!next)
    for (const auto& page : open)
      if (!page->same(*gone)) next = page;
  return next;
}

void BrowserManager::bring_forward() {
  try {
    page_->call("bring_to_front");
  } catch (const std::exception&) {
  }
}

void BrowserManager::switch_to(std::size_t n) {
  follow_new_pages();
  std::vector<RemotePtr> open = pages();
  if (n == 0 || n > open.size())
    throw std::out_of_range("there is no tab " + std::to_string(n) + " (" + std::to_string(open.size()) +
                            (open.size() == 1 ? " tab is" : " tabs are") + " open)");
  show(open[n - 1]);
}

void BrowserManager::switch_to_title(const std::string& title) {
  follow_new_pages();
  std::vector<RemotePtr> open = pages();
  const std::u32string wanted = text::lower(text::strip(text::decode(title)));
  std::vector<std::u32string> titles;
  for (const auto& page : open) titles.push_back(title_of(page));
  for (std::size_t i = 0; i < open.size(); ++i)
    if (titles[i] == wanted) return show(open[i]);
  for (std::size_t i = 0; i < open.size(); ++i)
    if (!wanted.empty() && text::contains(titles[i], wanted)) return show(open[i]);
  throw std::out_of_range("no tab is titled " + text::quoted(title) + " (open: " +
                          text::encode(text::quoted_list(titles)) + ")");
}

void BrowserManager::close_page() {
  follow_new_pages();
  std::vector<RemotePtr> open = pages();
  if (open.size() <= 1) throw std::logic_error("the only open tab cannot be closed");
  RemotePtr closing = page_;
  closing->call("close");
  // Back to the page shown before, as a browser does.
  page_ = previous_page(open, closing);
  known_.erase(std::remove_if(known_.begin(), known_.end(), [&](const RemotePtr& p) { return p->same(*closing); }),
               known_.end());
  bring_forward();
}

}  // namespace vantle::agent
