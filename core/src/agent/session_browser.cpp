#include "vantle/agent/session_browser.h"

namespace vantle::agent {

SessionBrowser::SessionBrowser(std::shared_ptr<Host> host, BrowserOptions options)
    : host_(std::move(host)), options_(std::move(options)) {}

SessionBrowser::~SessionBrowser() {
  try {
    close();
  } catch (...) {
  }
}

bool SessionBrowser::alive() {
  if (!manager_ || manager_->closed() || !manager_->browser()) return false;
  try {
    return manager_->browser()->call("is_connected")->truthy();
  } catch (const std::exception&) {
    return false;
  }
}

void SessionBrowser::relaunch() {
  if (manager_) manager_->close();
  manager_ = std::make_shared<BrowserManager>(host_, options_);
  manager_->start_browser();
  ++launches_;
}

RemotePtr SessionBrowser::browser() {
  if (!alive()) relaunch();
  return manager_->browser();
}

RemotePtr SessionBrowser::new_context(const browser::Kwargs& options) {
  RemotePtr current = browser();
  try {
    return current->call("new_context", {}, options);
  } catch (const std::exception&) {
    // The browser may have died since it last answered (its disconnect event
    // not heard yet): one fresh browser, then the error is real.
    relaunch();
    return manager_->browser()->call("new_context", {}, options);
  }
}

void SessionBrowser::close() {
  if (manager_) manager_->close();
  manager_.reset();
}

}  // namespace vantle::agent
