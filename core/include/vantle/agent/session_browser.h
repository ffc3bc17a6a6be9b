#pragma once
/// One browser for a whole test run, handing out a fresh browser context per
/// test. A browser that died (crashed, or closed by a test) is replaced the
/// next time a context is asked for, so one test's crash never fails the
/// tests after it.

#include <memory>

#include "vantle/agent/browser_manager.h"

namespace vantle::agent {

class SessionBrowser {
 public:
  SessionBrowser(std::shared_ptr<Host> host, BrowserOptions options);
  ~SessionBrowser();

  /// A new, empty browser context (own cookies, storage, permissions,
  /// viewport) with Playwright's context options `options`.
  RemotePtr new_context(const browser::Kwargs& options = {});

  /// The browser now serving contexts (launched on first use).
  RemotePtr browser();

  /// How many browsers this run has launched so far.
  int launches() const { return launches_; }

  /// Closes the browser and stops the driver. Safe to call again.
  void close();

 private:
  bool alive();
  void relaunch();

  std::shared_ptr<Host> host_;
  BrowserOptions options_;
  BrowserManagerPtr manager_;
  int launches_ = 0;
};

}  // namespace vantle::agent
