#pragma once
/// Owns the browser of one agent: the driver, the Chromium browser, the page,
/// and the native dialog pending on that page.

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "vantle/agent/budgets.h"
#include "vantle/agent/host.h"
#include "vantle/browser/actions.h"

namespace vantle::agent {

/// Chromium's flags: no sandbox (runs as root in containers), and no
/// background traffic to hosts a closed network refuses.
extern const std::vector<std::string> kChromiumArgs;

/// The Debian package's Chromium.
inline constexpr const char* kDebianChromium = "/usr/bin/chromium";

/// Where a Chromium executable may be, strongest first. Empty texts are unset.
struct BrowserSearch {
  std::string explicit_path;  ///< the browser_path argument
  std::string env_path;       ///< VANTLE_BROWSER
  std::string debian_path = kDebianChromium;
  std::string bundled_path;   ///< the driver's own downloaded browser
};

/// No usable Chromium.
class BrowserNotFound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The Chromium to launch: an explicit path or VANTLE_BROWSER must exist;
/// otherwise Debian's, then the bundled one. Throws BrowserNotFound saying
/// what to install.
std::string locate_browser(const BrowserSearch& search,
                           const std::function<bool(const std::string&)>& exists);

struct BrowserOptions {
  bool headless = true;
  double slow_mo_ms = 0;     ///< pause after each browser operation, to watch a run
  std::string browser_path;  ///< empty: search
  std::string ws_endpoint;   ///< empty: VANTLE_BROWSER_WS_ENDPOINT, else launch
  double timeout_ms = 5000;
  /// A browser context made for this manager (by a browser that outlives
  /// it): the page opens there, and close() closes the context, never the
  /// browser.
  RemotePtr context;
};

class BrowserManager : public browser::DialogSource, public std::enable_shared_from_this<BrowserManager> {
 public:
  BrowserManager(std::shared_ptr<Host> host, BrowserOptions options);

  /// Starts the driver, launches (or connects to) Chromium unless a context
  /// was given, and opens a page.
  void start();
  /// Starts the driver and launches (or connects to) Chromium; no page.
  void start_browser();
  bool started() const { return page_ != nullptr; }
  bool closed() const { return closed_; }

  const RemotePtr& driver() const { return driver_; }
  const RemotePtr& browser() const { return browser_; }
  const RemotePtr& page() const { return page_; }

  /// The dialog pending on the page, or null.
  RemotePtr get_dialog();
  /// Forgets the dialog last handed out by get_dialog(). A dialog that opened
  /// after it (while it was being handled) stays pending.
  void clear_dialog();
  bool has_dialog() const { return dialog_ != nullptr; }
  /// The browser actions' view of the dialog: get_dialog() and clear_dialog().
  RemotePtr pending() override { return get_dialog(); }
  void forget() override { clear_dialog(); }
  /// The pending dialog's message (empty when none).
  std::string dialog_message() const;

  /// Makes a page that opened since the last look (a link with a target, a
  /// pop-up) the page steps work on, as a user's eyes would follow it.
  /// Returns whether it did.
  bool follow_new_pages();
  /// Follows a page the current one asked for and the browser has not
  /// reported yet, waiting for it a little (kNewPageWaitMs). Returns whether
  /// a new page is now current.
  bool await_new_page();
  /// The open pages, in the order they opened.
  std::vector<RemotePtr> pages();
  /// Makes the n-th open page (from 1) current; std::out_of_range when there is none.
  void switch_to(std::size_t n);
  /// Makes the first page whose title is `title` (else contains it, letter
  /// case aside) current; std::out_of_range when there is none.
  void switch_to_title(const std::string& title);
  /// Closes the current page and goes back to the one shown before it.
  /// std::logic_error when it is the only page.
  void close_page();

  /// Dismisses a dialog left open, closes the browser and stops the driver.
  /// Safe to call again.
  void close();

 private:
  void launch();
  void connect(const std::string& endpoint);

  std::shared_ptr<Host> host_;
  BrowserOptions options_;
  void on_dialog(RemotePtr dialog);

  void adopt(const RemotePtr& page);
  void show(const RemotePtr& page);
  /// The page to show once `gone` has closed: the one shown before it, else
  /// the last one opened; null when none is left.
  RemotePtr previous_page(const std::vector<RemotePtr>& open, const RemotePtr& gone);
  void bring_forward();

  RemotePtr driver_, browser_, page_, dialog_;
  bool driver_started_ = false;
  std::vector<RemotePtr> known_;   // pages heard of, each listened to for dialogs
  std::vector<RemotePtr> shown_;   // pages shown before the current one, oldest first
  unsigned long dialog_count_ = 0;   // dialogs heard so far
  unsigned long handed_count_ = 0;   // dialog_count_ when get_dialog() last answered
  bool closed_ = false;
};

using BrowserManagerPtr = std::shared_ptr<BrowserManager>;

}  // namespace vantle::agent
