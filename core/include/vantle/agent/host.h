#pragma once
/// What the agent needs from its host besides remote calls on browser
/// objects: starting the driver, hearing native dialogs, and running browser
/// work so that a dialog or a deadline hands control back at once.

#include <exception>
#include <functional>
#include <string>

#include "vantle/browser/actions.h"
#include "vantle/browser/remote.h"

namespace vantle::agent {

using browser::RemotePtr;

/// How a guarded run ended.
enum class RunEnd {
  finished,     ///< the work returned (or threw, which run_guarded rethrows)
  interrupted,  ///< the stop condition turned true first (a dialog opened)
  timed_out,    ///< the deadline passed first
};

class Host {
 public:
  virtual ~Host() = default;

  /// The browser driver's entry object (chromium, ...). Managers of one
  /// thread share a driver; each start_driver() is paired with a stop_driver().
  virtual RemotePtr start_driver() = 0;
  virtual void stop_driver() = 0;

  /// Calls `on_dialog` with every native dialog the page opens.
  virtual void listen_for_dialogs(const RemotePtr& page, std::function<void(RemotePtr)> on_dialog) = 0;

  /// Runs `work` until it returns, `stop()` turns true or `timeout_ms` passes.
  /// A run that ends early leaves the work suspended; it finishes on its own
  /// once the browser answers, so `work` must own everything it touches.
  virtual RunEnd run_guarded(std::function<void()> work, std::function<bool()> stop, double timeout_ms) = 0;

  /// A PNG screenshot of the page, as raw bytes.
  virtual std::string screenshot(const RemotePtr& page, double timeout_ms) = 0;

  /// Reads an environment variable; empty when unset.
  virtual std::string env(const std::string& name) = 0;

  /// An error of browser work as a user reads it: the driver's own message,
  /// not a traceback.
  virtual std::string describe(const std::exception_ptr& error) { return browser::message_of(error); }
};

}  // namespace vantle::agent
